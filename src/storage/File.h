#pragma once
// Checked file I/O for the engine. Internal.
#include <QByteArray>
#include <QString>

namespace orv::storage::detail {

// An open file descriptor with checked positional I/O.
class File {
public:
    File() = default;
    ~File();
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    // Returns false when the file does not exist; throws ReadFailed otherwise.
    bool open(const QString& path, bool create, const QString& what);
    void close();
    bool isOpen() const { return m_fd >= 0; }
    int fd() const { return m_fd; }
    qint64 size() const;
    // Reads up to n bytes; returns the count (less at end of file).
    qint64 readAt(qint64 off, char* buf, qint64 n) const;
    void writeAt(qint64 off, const char* buf, qint64 n);
    void sync();
    void truncate(qint64 size);
    bool tryLock(); // exclusive, non-blocking
    // Bytes read through any File of the process, for measuring what an operation reads.
    static qint64 bytesReadInProcess();

private:
    int m_fd = -1;
    QString m_what;
};
void syncFolder(const QString& folder);
// The path itself, or the one file of its folder whose name differs only in case.
QString existingCaseVariant(const QString& path);
QByteArray readWholeFile(const QString& path, bool* exists, const QString& what);
void writeFileDurably(const QString& path, const QByteArray& bytes, const QString& what);

} // namespace orv::storage::detail
