#pragma once
#include <QDateTime>
#include <QString>
#include <cstdint>

namespace orv {

// MS-DOS style file attributes, the way the program has always seen files.
// On this machine: read-only is the missing owner write bit, hidden is a
// name starting with '.', system is never set, and the archive flag lives in
// an extended attribute ("user.orvanta.archive") where the file system keeps
// one; where it cannot, every file counts as changed (archive set).
enum FileAttribute : quint32 {
    faReadOnly = 0x01,
    faHidden = 0x02,
    faSysFile = 0x04,
    faVolumeID = 0x08,
    faDirectory = 0x10,
    faArchive = 0x20,
    faTemporary = 0x100,
    faAnyFile = 0x3F,
};

// Returns the attributes, or -1 (as quint32 0xFFFFFFFF) when the file is missing.
constexpr quint32 kInvalidAttributes = 0xFFFFFFFFu;
quint32 fileAttributes(const QString& path);
// Sets read-only, archive and temporary; hidden cannot be given to a file
// whose name does not start with '.', and is ignored. Returns false on error.
bool setFileAttributes(const QString& path, quint32 attributes);
bool setArchiveFlag(const QString& path, bool on);
bool archiveFlag(const QString& path);

// MS-DOS packed date and time (date in the high word), in local time.
quint32 toDosDateTime(const QDateTime& t);
QDateTime fromDosDateTime(quint32 packed);
// The file's last-write time as an MS-DOS packed value (0 when missing).
quint32 fileDosDateTime(const QString& path);
bool setFileDosDateTime(const QString& path, quint32 packed);

} // namespace orv
