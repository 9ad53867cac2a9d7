#include "editor/MergeFields.h"

namespace orv {

const std::array<MergeKey, 9>& mergeKeys()
{
    static const std::array<MergeKey, 9> keys{{
        {"COMUNE", 30, false},
        {"PROVINCIA", 20, true},
        {"VIA", 20, true},
        {"CITTA", 20, true},
        {"NUMERO", 5, true},
        {"TELEFONO", 14, true},
        {"FAX", 14, true},
        {"SERVIZIO", 24, false},
        {"MAIL", 25, true},
    }};
    return keys;
}

const MergeKey* findMergeKey(const QString& tag)
{
    // Only a-z are folded: a tag with any other letter is not a key.
    QString upper = tag;
    for (QChar& c : upper)
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - 32);
    for (const MergeKey& k : mergeKeys())
        if (upper == QLatin1String(k.key))
            return &k;
    return nullptr;
}

bool isBlankValue(const QString& value)
{
    for (QChar c : value)
        if (c.unicode() > 32)
            return false;
    return true;
}

QString mergeFieldText(const MergeKey& key, const QString& value)
{
    return isBlankValue(value) ? QString(key.placeholder, QLatin1Char('_')) : value;
}

} // namespace orv
