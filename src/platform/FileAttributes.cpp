#include "platform/FileAttributes.h"

#include <QFile>
#include <QFileInfo>

#ifndef Q_OS_WIN
#include <sys/xattr.h>
#include <cerrno>
#endif

namespace orv {
namespace {
constexpr const char* kArchiveXattr = "user.orvanta.archive";
constexpr const char* kTemporaryXattr = "user.orvanta.temporary";

#ifndef Q_OS_WIN
// Returns 1/0 for a stored flag, -1 when none is stored or none can be.
int readFlag(const QString& path, const char* name)
{
    char value = 0;
    const QByteArray p = QFile::encodeName(path);
    const ssize_t n = ::getxattr(p.constData(), name, &value, 1);
    if (n == 1)
        return value == '1' ? 1 : 0;
    return -1;
}

bool writeFlag(const QString& path, const char* name, bool on)
{
    const QByteArray p = QFile::encodeName(path);
    const char value = on ? '1' : '0';
    if (::setxattr(p.constData(), name, &value, 1, 0) == 0)
        return true;
    // A file system without extended attributes cannot keep the flag: that is
    // not an error, the file simply always counts as changed.
    return errno == ENOTSUP || errno == EOPNOTSUPP;
}
#endif
} // namespace

quint32 fileAttributes(const QString& path)
{
    const QFileInfo fi(path);
    if (!fi.exists() && !fi.isSymLink())
        return kInvalidAttributes;
    quint32 a = 0;
    if (fi.isDir())
        a |= faDirectory;
    if (!(fi.permissions() & QFileDevice::WriteOwner))
        a |= faReadOnly;
    if (fi.fileName().startsWith(QLatin1Char('.')))
        a |= faHidden;
#ifndef Q_OS_WIN
    if (!fi.isDir()) {
        if (readFlag(path, kArchiveXattr) != 0)
            a |= faArchive;
        if (readFlag(path, kTemporaryXattr) == 1)
            a |= faTemporary;
    }
#endif
    return a;
}

bool setFileAttributes(const QString& path, quint32 attributes)
{
    QFile f(path);
    if (!f.exists())
        return false;
    QFileDevice::Permissions perms = f.permissions();
    if (attributes & faReadOnly)
        perms &= ~(QFileDevice::WriteOwner | QFileDevice::WriteUser | QFileDevice::WriteGroup | QFileDevice::WriteOther);
    else
        perms |= QFileDevice::WriteOwner | QFileDevice::WriteUser;
    if (!f.setPermissions(perms))
        return false;
#ifndef Q_OS_WIN
    if (QFileInfo(path).isDir())
        return true;
    return writeFlag(path, kArchiveXattr, attributes & faArchive)
        && writeFlag(path, kTemporaryXattr, attributes & faTemporary);
#else
    return true;
#endif
}

bool setArchiveFlag(const QString& path, bool on)
{
    const quint32 a = fileAttributes(path);
    if (a == kInvalidAttributes)
        return false;
    return setFileAttributes(path, on ? (a | faArchive) : (a & ~quint32(faArchive)));
}

bool archiveFlag(const QString& path)
{
    const quint32 a = fileAttributes(path);
    return a != kInvalidAttributes && (a & faArchive);
}

quint32 toDosDateTime(const QDateTime& t)
{
    const QDateTime local = t.toLocalTime();
    const QDate d = local.date();
    const QTime tm = local.time();
    if (!d.isValid() || d.year() < 1980)
        return (1u << 5 | 1u) << 16; // 1 January 1980, the earliest MS-DOS date
    const int year = qMin(d.year(), 2107);
    const quint32 date = quint32((year - 1980) << 9 | d.month() << 5 | d.day());
    const quint32 time = quint32(tm.hour() << 11 | tm.minute() << 5 | tm.second() / 2);
    return date << 16 | time;
}

QDateTime fromDosDateTime(quint32 packed)
{
    const quint32 date = packed >> 16;
    const quint32 time = packed & 0xFFFF;
    const QDate d(int(1980 + (date >> 9)), int((date >> 5) & 0x0F), int(date & 0x1F));
    const QTime tm(int(time >> 11), int((time >> 5) & 0x3F), int((time & 0x1F) * 2));
    if (!d.isValid() || !tm.isValid())
        return {};
    return QDateTime(d, tm, Qt::LocalTime);
}

quint32 fileDosDateTime(const QString& path)
{
    const QFileInfo fi(path);
    if (!fi.exists())
        return 0;
    return toDosDateTime(fi.lastModified());
}

bool setFileDosDateTime(const QString& path, quint32 packed)
{
    const QDateTime t = fromDosDateTime(packed);
    if (!t.isValid())
        return false;
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
        return false;
    return f.setFileTime(t, QFileDevice::FileModificationTime);
}

} // namespace orv
