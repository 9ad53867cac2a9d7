#include "editor/format/Formats.h"

namespace orv::doc::detail {

bool looksLikeRtf(const QByteArray& data)
{
    qsizetype i = data.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    while (i < data.size() && (data[i] == ' ' || data[i] == '\r' || data[i] == '\n' || data[i] == '\t'))
        ++i;
    return data.mid(i, 5) == "{\\rtf";
}

bool looksLikeZip(const QByteArray& data)
{
    return data.startsWith(QByteArray("PK\x03\x04", 4));
}

bool looksLikeOle(const QByteArray& data)
{
    return data.startsWith(QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8));
}

} // namespace orv::doc::detail
