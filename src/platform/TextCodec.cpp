#include "platform/TextCodec.h"

#include <QStringDecoder>
#include <array>

namespace orv {
namespace {
// 0x80..0x9F of Windows-1252; zero where the code page leaves a hole
// (those bytes map to the C1 control of the same number).
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0,
    0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178};
} // namespace

bool isValidUtf8(const QByteArray& bytes)
{
    QStringDecoder dec(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    (void)QString(dec.decode(bytes));
    return !dec.hasError();
}

QString decodeWindows1252(const QByteArray& bytes)
{
    QString out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x80 && b < 0xA0 && kHigh[b - 0x80])
            out += QChar(kHigh[b - 0x80]);
        else
            out += QChar(char16_t(b));
    }
    return out;
}

QString decodeUtf8OrWindows1252(const QByteArray& bytes)
{
    QStringDecoder dec(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString s = dec.decode(bytes);
    if (!dec.hasError())
        return s;
    return decodeWindows1252(bytes);
}

QByteArray encodeWindows1252(const QString& text)
{
    QByteArray out;
    out.reserve(text.size());
    for (const QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            out += char(u);
            continue;
        }
        char found = '?';
        for (int i = 0; i < 32; ++i)
            if (kHigh[i] == u) {
                found = char(0x80 + i);
                break;
            }
        out += found;
    }
    return out;
}

} // namespace orv
