// Feeds arbitrary bytes to one document reader. A reader may refuse the input
// with orv::Error; anything else (a crash, another exception, a hang) is a
// fault. What it accepts must also save and lay out.
#include "editor/format/DocumentIO.h"

#include <QAbstractTextDocumentLayout>
#include <QGuiApplication>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (!QCoreApplication::instance())
        LLVMFuzzerInitialize(nullptr, nullptr);
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    orv::doc::TxDocument doc;
    try {
#if FUZZ_FORMAT == 100
        orv::doc::loadDocx(doc, bytes);
#else
        orv::doc::load(doc, bytes, orv::doc::Format(FUZZ_FORMAT));
#endif
    } catch (const orv::Error&) {
        return 0;
    }
    doc.body()->setPageSize(QSizeF(595, 842));
    (void)doc.body()->pageCount();
    (void)orv::doc::save(doc, orv::doc::OwnFormat);
    (void)orv::doc::save(doc, orv::doc::Rtf);
    return 0;
}
