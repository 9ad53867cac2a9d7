#include "platform/IniFile.h"

#include "platform/TextCodec.h"

#include <QFile>
#include <QSaveFile>

namespace orv {
namespace {

QString trimmed(QStringView s) { return s.trimmed().toString(); }

// "[name]" -> name, or a null string when the line is no section header.
QString sectionName(const QString& line)
{
    const QString t = line.trimmed();
    if (t.size() >= 2 && t.startsWith(QLatin1Char('[')) && t.endsWith(QLatin1Char(']')))
        return trimmed(QStringView(t).mid(1, t.size() - 2));
    return {};
}

bool isComment(const QString& line)
{
    const QString t = line.trimmed();
    return t.startsWith(QLatin1Char(';')) || t.startsWith(QLatin1Char('#'));
}

// Splits "key=value"; returns false for lines that are no assignment.
bool splitAssignment(const QString& line, QString* key, QString* value)
{
    if (isComment(line))
        return false;
    const int eq = line.indexOf(QLatin1Char('='));
    if (eq <= 0)
        return false;
    *key = trimmed(QStringView(line).left(eq));
    QString v = trimmed(QStringView(line).mid(eq + 1));
    // The profile functions drop one pair of surrounding quotes.
    if (v.size() >= 2 && ((v.startsWith(QLatin1Char('"')) && v.endsWith(QLatin1Char('"')))
                          || (v.startsWith(QLatin1Char('\'')) && v.endsWith(QLatin1Char('\'')))))
        v = v.mid(1, v.size() - 2);
    *value = v;
    return !key->isEmpty();
}

struct Location {
    int sectionLine = -1; // index of the section header, -1 when absent
    int sectionEnd = -1;  // one past the last line of the section
    int keyLine = -1;     // index of the key's line, -1 when absent
};

Location locate(const QStringList& lines, const QString& section, const QString& key)
{
    Location loc;
    for (int i = 0; i < lines.size(); ++i) {
        const QString name = sectionName(lines[i]);
        if (name.isNull())
            continue;
        if (loc.sectionLine >= 0) {
            loc.sectionEnd = i;
            return loc;
        }
        if (name.compare(section, Qt::CaseInsensitive) == 0)
            loc.sectionLine = i;
        else
            continue;
        for (int j = i + 1; j < lines.size() && sectionName(lines[j]).isNull(); ++j) {
            QString k, v;
            if (loc.keyLine < 0 && splitAssignment(lines[j], &k, &v)
                && k.compare(key, Qt::CaseInsensitive) == 0)
                loc.keyLine = j;
        }
    }
    if (loc.sectionLine >= 0)
        loc.sectionEnd = lines.size();
    return loc;
}

} // namespace

IniFile::IniFile(QString path) : m_path(std::move(path)) {}

QStringList IniFile::readLines(bool* hadBom) const
{
    QFile f(m_path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QByteArray bytes = f.readAll();
    const bool bom = bytes.startsWith("\xEF\xBB\xBF");
    if (bom)
        bytes.remove(0, 3);
    if (hadBom)
        *hadBom = bom;
    QString text = decodeUtf8OrWindows1252(bytes);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

bool IniFile::writeLines(const QStringList& lines, bool withBom)
{
    QSaveFile f(m_path);
    if (!f.open(QIODevice::WriteOnly)) {
        m_lastError = f.errorString();
        return false;
    }
    QByteArray out;
    if (withBom)
        out += "\xEF\xBB\xBF";
    for (const QString& line : lines)
        out += line.toUtf8() + "\r\n";
    if (f.write(out) != out.size() || !f.commit()) {
        m_lastError = f.errorString();
        return false;
    }
    return true;
}

QString IniFile::readString(const QString& section, const QString& key, const QString& defaultValue) const
{
    const QStringList lines = readLines();
    const Location loc = locate(lines, section, key);
    if (loc.keyLine < 0)
        return defaultValue;
    QString k, v;
    splitAssignment(lines[loc.keyLine], &k, &v);
    return v;
}

int IniFile::readInteger(const QString& section, const QString& key, int defaultValue) const
{
    bool ok = false;
    const int v = readString(section, key).toInt(&ok);
    return ok ? v : defaultValue;
}

bool IniFile::hasKey(const QString& section, const QString& key) const
{
    return locate(readLines(), section, key).keyLine >= 0;
}

QStringList IniFile::sectionKeys(const QString& section) const
{
    const QStringList lines = readLines();
    const Location loc = locate(lines, section, QString());
    QStringList keys;
    if (loc.sectionLine < 0)
        return keys;
    for (int i = loc.sectionLine + 1; i < loc.sectionEnd; ++i) {
        QString k, v;
        if (splitAssignment(lines[i], &k, &v))
            keys << k;
    }
    return keys;
}

bool IniFile::writeString(const QString& section, const QString& key, const QString& value)
{
    bool bom = false;
    QStringList lines = readLines(&bom);
    const Location loc = locate(lines, section, key);
    const QString assignment = key + QLatin1Char('=') + value;
    if (loc.keyLine >= 0) {
        lines[loc.keyLine] = assignment;
    } else if (loc.sectionLine >= 0) {
        // After the section's last non-blank line, so blank separators stay put.
        int at = loc.sectionEnd;
        while (at > loc.sectionLine + 1 && lines[at - 1].trimmed().isEmpty())
            --at;
        lines.insert(at, assignment);
    } else {
        lines << QLatin1Char('[') + section + QLatin1Char(']') << assignment;
    }
    return writeLines(lines, bom);
}

bool IniFile::writeInteger(const QString& section, const QString& key, int value)
{
    return writeString(section, key, QString::number(value));
}

bool IniFile::deleteKey(const QString& section, const QString& key)
{
    bool bom = false;
    QStringList lines = readLines(&bom);
    const Location loc = locate(lines, section, key);
    if (loc.keyLine < 0)
        return true;
    lines.removeAt(loc.keyLine);
    return writeLines(lines, bom);
}

} // namespace orv
