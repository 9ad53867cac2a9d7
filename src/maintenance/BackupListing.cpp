#include "maintenance/BackupListing.h"

#include "maintenance/BackupFormat.h"
#include "platform/Error.h"
#include "platform/TextCodec.h"

#include <QFile>
#include <QFileInfo>
#include <memory>

namespace orv::backup {

namespace {
qint64 readStream(ArchiveSource& source, char* in, char* out, ZlibArena& arena)
{
    source.readSignature();
    qint64 size = 0;
    for (;;) {
        const qint32 l = source.readBlockLength();
        if (l == 0)
            return size;
        const int n = l > 0 ? l : -l;
        source.readInto(in, n);
        if (l > 0) {
            const int produced = inflateBlock(in, n, out, &arena);
            if (produced < 0)
                throw Error(errorMessage(errCompression), errCompression);
            size += produced;
        } else {
            size += n;
        }
    }
}
} // namespace

ArchiveListing listArchive(const QString& firstVolume, const VolumeRequest& request)
{
    auto file = std::make_unique<QFile>(firstVolume);
    if (!file->open(QIODevice::ReadOnly))
        throwDamaged();
    ArchiveSource source(file.get());
    std::vector<char> in(kBlockSize), out(kBlockSize);
    ZlibArena arena;
    ArchiveListing listing;
    listing.title = decodeWindows1252(source.readBytes(source.readInt32()));
    listing.totalSize = source.readInt32();
    listing.fileCount = source.readInt32();
    int volume = 1;
    for (;;) {
        const qint32 length = source.readInt32();
        if (length == 0)
            return listing;
        if (length < 0)
            continue;
        const QByteArray name = source.readBytes(length);
        if (name.startsWith(kNextDisk)) {
            const QByteArray digits = name.mid(int(sizeof kNextDisk) - 1);
            if (digits.size() != 3 || digits.toInt() != volume + 1 || listing.entries.empty())
                throwDamaged();
            ++volume;
            const QString next = volumeName(firstVolume, volume);
            while (!QFileInfo::exists(next))
                if (!request || !request(volume, next))
                    throw Error(QStringLiteral("Missing volume %1").arg(next), errCannotReadArchive);
            file = std::make_unique<QFile>(next);
            if (!file->open(QIODevice::ReadOnly))
                throwDamaged();
            source.setDevice(file.get());
            listing.entries.back().size += readStream(source, in.data(), out.data(), arena);
            ++listing.entries.back().volumes;
            continue;
        }
        ListedEntry entry;
        entry.name = decodeWindows1252(name);
        entry.dosDate = source.readInt32();
        entry.size = readStream(source, in.data(), out.data(), arena);
        listing.entries.push_back(entry);
    }
}

} // namespace orv::backup
