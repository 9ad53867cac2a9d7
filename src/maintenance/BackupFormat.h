#pragma once
// The byte layout of backup archives, shared by the writer, the reader and
// the listing.
//
// Integers are 32-bit signed little-endian; strings are Windows-1252 bytes
// preceded by their length, no terminator; no padding anywhere.
//
//   archive     := header entry* end
//   header      := int32 titleLength, title, int32 totalSize, int32 fileCount
//   entry       := fileRecord blockStream (volumeChange blockStream)*
//   fileRecord  := int32 nameLength (> 0), name, int32 dosDateTime
//   blockStream := "EC2\0" block* int32 0
//   block       := int32 L (L != 0, |L| <= 16384), |L| bytes:
//                    L > 0: one complete zlib stream inflating to <= 16384 bytes
//                    L < 0: -L bytes of file data stored as they are
//   volumeChange:= int32 12, "NEXT:DISK" + three digits; the volume file ends
//                  here and the next one starts with the entry's next blockStream
//   end         := int32 0
//
// Where a record may start, a reader skips negative integers. A name starting
// with "NEXT:DISK" is always a volume change. The entry named "FILE:LIST"
// holds the file-ID list (one "name\tdate=size\r\n" line per file).
// Volume k (2..999) of "x.001" is "x.00k": the extension is replaced.
#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <optional>

namespace orv::backup {

constexpr int kBlockSize = 16384;
// A volume takes no further block once its length reaches MaxSize minus this.
constexpr int kVolumeReserve = kBlockSize + 100;
// Below this a MaxSize leaves no room for a block in a volume.
constexpr qint32 kMinMaxSize = 16489;
constexpr int kMaxVolume = 999;
// Longer names or titles than this come only from a damaged archive.
constexpr qint32 kMaxNameLength = 32767;

inline constexpr char kSignature[4] = {'E', 'C', '2', '\0'};
inline constexpr char kNextDisk[] = "NEXT:DISK";
inline constexpr char kFileListName[] = "FILE:LIST";

// The engine's error codes and their (English) messages.
enum ErrorCode : int {
    errNone = 0,
    errCannotReadFile = 1,
    errOverwriteFailed = 2,
    errCannotReadArchive = 3,
    errCannotWriteArchive = 4,
    errInvalidArchiveType = 5,
    errCompression = 6,
    errFileIdTempFile = 7,
    errUnsafeName = 8,
};
QString errorMessage(int code);

// "NEXT:DISK" + the volume number as three digits.
QByteArray volumeMarker(int volume);
// The file of volume `volume` (1 = the first volume itself).
QString volumeName(const QString& firstVolume, int volume);

// The name under which a file of this machine is stored: its absolute path
// written the Windows way (A:/B: for the diskette folders, C: for the rest),
// lower case.
QString storedName(const QString& absolutePath);

// A stored name taken apart, or nothing when it could lead a restore astray
// (empty parts, "." or "..", control characters).
struct StoredPath {
    QChar drive;             // null when the name has none
    bool rooted = false;     // a separator after the drive (or at the start)
    QStringList components;  // at least one, each a plain name
};
std::optional<StoredPath> parseStoredName(const QString& name);

// One line of the file-ID list, CR LF included.
QByteArray fileIdLine(const QString& storedName, qint32 dosDateTime, qint64 size);

// Keeps the few areas a zlib stream allocates for the next stream, so that
// a fresh stream per block costs no trip to the system allocator (which
// trims and regrows the heap around each block). Every stream still starts
// from a fully reset state.
class ZlibArena {
public:
    ZlibArena() = default;
    ~ZlibArena();
    ZlibArena(const ZlibArena&) = delete;
    ZlibArena& operator=(const ZlibArena&) = delete;
    void* allocate(size_t bytes);
    void release(void* p);

private:
    struct Slot {
        void* p = nullptr;
        size_t size = 0;
        bool used = false;
    };
    Slot m_slots[8];
};

// Compresses one piece (at most kBlockSize bytes) into `out` (kBlockSize bytes).
// Returns the block length to write: > 0 the zlib stream's length in `out`,
// < 0 the piece is stored as it is; 0 on a zlib failure.
int compressBlock(const char* piece, int length, int level, char* out, ZlibArena* arena = nullptr);
// Inflates one block's zlib stream into `out` (kBlockSize bytes). Returns the
// number of bytes produced, or -1 when the stream is damaged or does not end
// within the area.
int inflateBlock(const char* stream, int length, char* out, ZlibArena* arena = nullptr);

void putInt32(QByteArray& to, qint32 value);

// Reads an archive volume with every length checked: a short read, a lying
// length or an oversized block throws orv::Error "Cannot read archive" and
// nothing is read past the data at hand.
class ArchiveSource {
public:
    explicit ArchiveSource(QIODevice* device = nullptr) : m_device(device) {}
    void setDevice(QIODevice* device) { m_device = device; }
    QIODevice* device() const { return m_device; }

    qint32 readInt32();
    QByteArray readBytes(qint32 length);
    void readInto(char* to, qint32 length);
    void skip(qint64 length);
    // Reads the signature of a block stream; throws "Invalid archive type".
    void readSignature();
    // A block length, checked against the format's limit.
    qint32 readBlockLength();

private:
    void ensureAvailable(qint64 length);
    QIODevice* m_device;
};

[[noreturn]] void throwDamaged();

} // namespace orv::backup
