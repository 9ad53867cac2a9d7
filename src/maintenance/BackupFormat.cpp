#include "maintenance/BackupFormat.h"

#include "platform/Error.h"
#include "platform/Paths.h"
#include "platform/TextCodec.h"

#include <QFileInfo>
#include <QtEndian>
#include <cstdlib>
#include <zlib.h>

namespace orv::backup {

QString errorMessage(int code)
{
    switch (code) {
    case errCannotReadFile: return QStringLiteral("Cannot read file");
    case errOverwriteFailed: return QStringLiteral("Overwriting file failed");
    case errCannotReadArchive: return QStringLiteral("Cannot read archive");
    case errCannotWriteArchive: return QStringLiteral("Cannot write to archive");
    case errInvalidArchiveType: return QStringLiteral("Invalid archive type");
    case errCompression: return QStringLiteral("Compression error");
    case errFileIdTempFile: return QStringLiteral("Cannot create temporary file to save the file IDs");
    case errUnsafeName: return QStringLiteral("Unsafe file name in archive");
    default: return {};
    }
}

QByteArray volumeMarker(int volume)
{
    // The last three characters of "00" + the number, as the volume names use.
    const QByteArray digits = ("00" + QByteArray::number(volume)).right(3);
    return QByteArray(kNextDisk) + digits;
}

QString volumeName(const QString& firstVolume, int volume)
{
    if (volume <= 1)
        return firstVolume;
    const QString ext = QString::fromLatin1(("00" + QByteArray::number(volume)).right(3));
    // The extension is what follows the last dot of the file name, not of a folder.
    int sep = qMax(firstVolume.lastIndexOf(QLatin1Char('/')), firstVolume.lastIndexOf(QLatin1Char('\\')));
    const int dot = firstVolume.lastIndexOf(QLatin1Char('.'));
    if (dot > sep)
        return firstVolume.left(dot + 1) + ext;
    return firstVolume + QLatin1Char('.') + ext;
}

QString storedName(const QString& absolutePath)
{
    QString win = toDisplayPath(absolutePath);
    if (win == absolutePath) {
        win = absolutePath;
        win.replace(QLatin1Char('/'), QLatin1Char('\\'));
        if (!win.startsWith(QLatin1Char('\\')))
            win.prepend(QLatin1Char('\\'));
        win.prepend(QLatin1String("c:"));
    }
    return win.toLower();
}

std::optional<StoredPath> parseStoredName(const QString& name)
{
    StoredPath p;
    QString rest = name;
    if (rest.size() >= 2 && rest[1] == QLatin1Char(':') && rest[0].isLetter() && rest[0].unicode() < 128) {
        p.drive = rest[0].toLower();
        rest = rest.mid(2);
    }
    if (rest.startsWith(QLatin1Char('\\')) || rest.startsWith(QLatin1Char('/'))) {
        p.rooted = true;
        rest = rest.mid(1);
    }
    rest.replace(QLatin1Char('/'), QLatin1Char('\\'));
    p.components = rest.split(QLatin1Char('\\'));
    for (const QString& c : p.components) {
        if (c.isEmpty() || c == QLatin1String(".") || c == QLatin1String(".."))
            return std::nullopt;
        for (QChar ch : c)
            if (ch.unicode() < 32 || ch == QLatin1Char(':'))
                return std::nullopt;
    }
    return p;
}

QByteArray fileIdLine(const QString& name, qint32 dosDateTime, qint64 size)
{
    return encodeWindows1252(name) + '\t' + QByteArray::number(dosDateTime) + '=' + QByteArray::number(size) + "\r\n";
}

ZlibArena::~ZlibArena()
{
    for (Slot& s : m_slots)
        std::free(s.p);
}

void* ZlibArena::allocate(size_t bytes)
{
    for (Slot& s : m_slots) {
        if (!s.used && s.p && s.size >= bytes) {
            s.used = true;
            return s.p;
        }
    }
    for (Slot& s : m_slots) {
        if (!s.used) {
            std::free(s.p);
            s.p = std::malloc(bytes);
            s.size = s.p ? bytes : 0;
            s.used = s.p != nullptr;
            return s.p;
        }
    }
    return std::malloc(bytes); // more areas than zlib asks for: not kept
}

void ZlibArena::release(void* p)
{
    for (Slot& s : m_slots) {
        if (s.p == p) {
            s.used = false;
            return;
        }
    }
    std::free(p);
}

namespace {
void useArena(z_stream& zs, ZlibArena* arena)
{
    if (!arena)
        return;
    zs.opaque = arena;
    zs.zalloc = [](voidpf opaque, uInt items, uInt size) -> voidpf {
        return static_cast<ZlibArena*>(opaque)->allocate(size_t(items) * size);
    };
    zs.zfree = [](voidpf opaque, voidpf p) { static_cast<ZlibArena*>(opaque)->release(p); };
}
} // namespace

int compressBlock(const char* piece, int length, int level, char* out, ZlibArena* arena)
{
    z_stream zs{};
    useArena(zs, arena);
    if (deflateInit(&zs, level) != Z_OK)
        return 0;
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(piece));
    zs.avail_in = uInt(length);
    zs.next_out = reinterpret_cast<Bytef*>(out);
    zs.avail_out = uInt(kBlockSize);
    const int r = deflate(&zs, Z_FINISH);
    int result = 0;
    if (r == Z_STREAM_END)
        result = int(kBlockSize - zs.avail_out);
    else if (r == Z_OK) // the stream did not fit: store the piece itself
        result = -length;
    deflateEnd(&zs);
    return result;
}

int inflateBlock(const char* stream, int length, char* out, ZlibArena* arena)
{
    z_stream zs{};
    useArena(zs, arena);
    if (inflateInit(&zs) != Z_OK)
        return -1;
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(stream));
    zs.avail_in = uInt(length);
    zs.next_out = reinterpret_cast<Bytef*>(out);
    zs.avail_out = uInt(kBlockSize);
    const int r = inflate(&zs, Z_NO_FLUSH);
    const int produced = int(kBlockSize - zs.avail_out);
    inflateEnd(&zs);
    // Anything but a complete stream is damage: a truncated stream, a bad
    // checksum, or more data than a block may hold.
    return r == Z_STREAM_END ? produced : -1;
}

void putInt32(QByteArray& to, qint32 value)
{
    char b[4];
    qToLittleEndian<qint32>(value, b);
    to.append(b, 4);
}

void throwDamaged()
{
    throw Error(errorMessage(errCannotReadArchive), errCannotReadArchive);
}

void ArchiveSource::ensureAvailable(qint64 length)
{
    if (!m_device || length < 0)
        throwDamaged();
    if (!m_device->isSequential() && m_device->size() - m_device->pos() < length)
        throwDamaged();
}

void ArchiveSource::readInto(char* to, qint32 length)
{
    ensureAvailable(length);
    qint64 done = 0;
    while (done < length) {
        const qint64 n = m_device->read(to + done, length - done);
        if (n <= 0) {
            if (n == 0 && m_device->isSequential() && m_device->waitForReadyRead(30000))
                continue;
            throwDamaged();
        }
        done += n;
    }
}

qint32 ArchiveSource::readInt32()
{
    char b[4];
    readInto(b, 4);
    return qFromLittleEndian<qint32>(b);
}

QByteArray ArchiveSource::readBytes(qint32 length)
{
    if (length < 0 || length > kMaxNameLength)
        throwDamaged();
    QByteArray bytes(length, Qt::Uninitialized);
    readInto(bytes.data(), length);
    return bytes;
}

void ArchiveSource::skip(qint64 length)
{
    ensureAvailable(length);
    if (!m_device->isSequential()) {
        if (!m_device->seek(m_device->pos() + length))
            throwDamaged();
        return;
    }
    char buf[4096];
    while (length > 0) {
        const qint32 n = qint32(qMin<qint64>(length, sizeof buf));
        readInto(buf, n);
        length -= n;
    }
}

void ArchiveSource::readSignature()
{
    char sig[4];
    readInto(sig, 4);
    // Read as text up to the first zero byte, it must say "EC2".
    if (qstrncmp(sig, kSignature, 4) != 0 || sig[3] != 0)
        throw Error(errorMessage(errInvalidArchiveType), errInvalidArchiveType);
}

qint32 ArchiveSource::readBlockLength()
{
    const qint32 l = readInt32();
    if (l > kBlockSize || l < -kBlockSize)
        throwDamaged();
    return l;
}

} // namespace orv::backup
