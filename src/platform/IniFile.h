#pragma once
#include <QString>
#include <QStringList>

namespace orv {

// Settings file access by section and key, in the manner of the Windows
// profile functions: each read opens the file, each write changes one key
// and leaves every other line (unknown sections and keys, comments, blank
// lines, order) exactly as it was. Section and key names match without
// regard to case. Files are read as UTF-8, falling back to Windows-1252.
class IniFile {
public:
    explicit IniFile(QString path);

    const QString& path() const { return m_path; }

    QString readString(const QString& section, const QString& key, const QString& defaultValue = {}) const;
    int readInteger(const QString& section, const QString& key, int defaultValue) const;
    bool hasKey(const QString& section, const QString& key) const;
    QStringList sectionKeys(const QString& section) const;

    // Writes one key, creating the section or the file when missing. The
    // file is replaced atomically. Returns false when it cannot be written.
    bool writeString(const QString& section, const QString& key, const QString& value);
    bool writeInteger(const QString& section, const QString& key, int value);
    bool deleteKey(const QString& section, const QString& key);

    QString lastError() const { return m_lastError; }

private:
    QStringList readLines(bool* hadBom = nullptr) const;
    bool writeLines(const QStringList& lines, bool withBom);

    QString m_path;
    QString m_lastError;
};

} // namespace orv
