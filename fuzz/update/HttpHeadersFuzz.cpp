// Everything the HTTP transfer reads from a server or an address it was
// given: the response header block, its dates and realm, and the address
// splitter. None of it may crash, hang or read out of bounds.
#include "update/HttpHelpers.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString text = QString::fromLatin1(bytes);

    const orv::HttpHeaderBlock block(bytes);
    (void)block.raw();
    for (const char* name : {"Date", "Last-Modified", "Expires", "WWW-Authenticate", "Content-Length"}) {
        const std::optional<QString> v = block.value(name);
        if (v) {
            (void)orv::ParseHttpDate(*v);
            (void)orv::RealmOf(*v);
            v->toLongLong();
        }
    }
    (void)orv::ParseHttpDate(text);
    (void)orv::ParseGmtOffset(text);
    const orv::TUrlParts parts = orv::CrackURL(text);
    if (parts.Port < 0 || parts.Port > 65535)
        __builtin_trap();
    (void)orv::RemoteFileNameOf(text);
    (void)orv::NoProxyList(text);
    return 0;
}
