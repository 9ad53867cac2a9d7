#pragma once
// Helpers for the backup tests: hand-built archives and file fixtures.
#include "maintenance/BackupFormat.h"
#include "platform/FileAttributes.h"
#include "support/TestSupport.h"

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QtEndian>
#include <zlib.h>

namespace orv::test {

inline QByteArray int32le(qint32 v)
{
    QByteArray b;
    backup::putInt32(b, v);
    return b;
}

inline qint32 int32At(const QByteArray& bytes, qsizetype offset)
{
    return qFromLittleEndian<qint32>(bytes.constData() + offset);
}

// A zlib stream made by zlib's own one-shot call, independent of the engine.
inline QByteArray zlibStream(const QByteArray& data, int level = 1)
{
    uLongf len = compressBound(uLong(data.size()));
    QByteArray out(int(len), Qt::Uninitialized);
    compress2(reinterpret_cast<Bytef*>(out.data()), &len, reinterpret_cast<const Bytef*>(data.constData()),
              uLong(data.size()), level);
    out.resize(int(len));
    return out;
}

inline QByteArray randomBytes(qsizetype n, quint32 seed = 1)
{
    QRandomGenerator rng(seed);
    QByteArray b(n, Qt::Uninitialized);
    for (qsizetype i = 0; i < n; ++i)
        b[i] = char(rng.generate() & 0xFF);
    return b;
}

// Builds archives byte by byte, for names and damage the engine never writes.
class ArchiveBuilder {
public:
    explicit ArchiveBuilder(qint32 total = 0, qint32 count = 0, const QByteArray& title = {})
    {
        m_bytes += int32le(qint32(title.size())) + title + int32le(total) + int32le(count);
    }
    ArchiveBuilder& record(const QByteArray& name, qint32 date = qint32(0x30210000))
    {
        m_bytes += int32le(qint32(name.size())) + name + int32le(date);
        return *this;
    }
    ArchiveBuilder& stream(const QList<QByteArray>& blocks)
    {
        m_bytes += QByteArray("EC2\0", 4);
        for (const QByteArray& b : blocks)
            m_bytes += b;
        m_bytes += int32le(0);
        return *this;
    }
    ArchiveBuilder& file(const QByteArray& name, const QByteArray& data, qint32 date = qint32(0x30210000))
    {
        return record(name, date).stream({compressed(data)});
    }
    ArchiveBuilder& raw(const QByteArray& bytes)
    {
        m_bytes += bytes;
        return *this;
    }
    ArchiveBuilder& end() { return raw(int32le(0)); }
    QByteArray bytes() const { return m_bytes; }

    static QByteArray compressed(const QByteArray& data)
    {
        const QByteArray z = zlibStream(data);
        return int32le(qint32(z.size())) + z;
    }
    static QByteArray stored(const QByteArray& data) { return int32le(-qint32(data.size())) + data; }

private:
    QByteArray m_bytes;
};

// Every file below `folder`, relative paths sorted.
inline QStringList filesBelow(const QString& folder)
{
    QStringList out;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        out << QDir(folder).relativeFilePath(it.next());
    out.sort();
    return out;
}

inline void setDosTime(const QString& path, quint32 dos)
{
    QFile f(path);
    f.open(QIODevice::ReadWrite);
    f.setFileTime(fromDosDateTime(dos), QFileDevice::FileModificationTime);
}

} // namespace orv::test

namespace orv::test {

// A single-volume archive taken apart by the test itself (not by the engine).
struct ParsedEntry {
    QByteArray name;
    qint32 date = 0;
    QList<qint32> blockLengths;
    QByteArray data;
};
struct ParsedArchive {
    QByteArray title;
    qint32 total = 0;
    qint32 count = 0;
    QList<ParsedEntry> entries;
    bool ended = false;
};

inline ParsedArchive parseArchive(const QByteArray& b)
{
    ParsedArchive a;
    qsizetype pos = 0;
    auto next = [&] { const qint32 v = int32At(b, pos); pos += 4; return v; };
    const qint32 tl = next();
    a.title = b.mid(pos, tl);
    pos += tl;
    a.total = next();
    a.count = next();
    while (pos + 4 <= b.size()) {
        const qint32 n = next();
        if (n == 0) {
            a.ended = true;
            break;
        }
        ParsedEntry e;
        e.name = b.mid(pos, n);
        pos += n;
        e.date = next();
        pos += 4; // signature
        for (qint32 l = next(); l != 0; l = next()) {
            e.blockLengths << l;
            const QByteArray block = b.mid(pos, qAbs(l));
            pos += qAbs(l);
            if (l < 0) {
                e.data += block;
            } else {
                QByteArray out(16384, Qt::Uninitialized);
                uLongf len = 16384;
                uncompress(reinterpret_cast<Bytef*>(out.data()), &len, reinterpret_cast<const Bytef*>(block.constData()), uLong(block.size()));
                e.data += out.left(int(len));
            }
        }
        a.entries << e;
    }
    return a;
}

} // namespace orv::test
