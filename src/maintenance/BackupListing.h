#pragma once
// Reads a backup archive's table of contents without extracting anything:
// each entry's stored name, date and data size (every block is inflated, so
// a listing that succeeds also proves the archive sound).
#include <QString>
#include <functional>
#include <vector>

namespace orv::backup {

struct ListedEntry {
    QString name;        // as stored ("FILE:LIST" for the file-ID list)
    qint32 dosDate = 0;  // MS-DOS packed local time
    qint64 size = 0;     // bytes of file data
    int volumes = 1;     // how many volumes hold a part of it
};

struct ArchiveListing {
    QString title;
    qint32 totalSize = 0;
    qint32 fileCount = 0;
    std::vector<ListedEntry> entries;
};

// Asked for volume k (2..999) when its file is missing; false gives up.
using VolumeRequest = std::function<bool(int volume, const QString& path)>;

// Throws orv::Error: "Cannot read archive" (missing, unreadable, truncated or
// damaged), "Invalid archive type" (a block stream without its signature),
// "Compression error" (a block that does not inflate), or "Missing volume"
// when the request gives up.
ArchiveListing listArchive(const QString& firstVolume, const VolumeRequest& request = {});

} // namespace orv::backup
