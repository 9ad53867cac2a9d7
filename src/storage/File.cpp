#include "storage/Store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orv::storage::detail {

namespace {
std::atomic<qint64> g_bytesRead{0};

[[noreturn]] void ioFail(int c, const QString& what, const char* /*op*/)
{
    throw EngineError(c, QStringLiteral("%1 %2: %3.")
                             .arg(c == code::WriteFailed ? QStringLiteral("Errore di scrittura su")
                                                         : QStringLiteral("Errore di lettura da"),
                                  what, QString::fromLocal8Bit(std::strerror(errno))));
}
} // namespace

// The archive's files came from a file system that ignores case (and a
// restored backup names them in lower case): an exact name that is missing
// falls back to the one file of the folder that differs from it only in case.
QString existingCaseVariant(const QString& path)
{
    const QFileInfo want(path);
    if (want.exists())
        return path;
    const QDir dir = want.absoluteDir();
    if (!dir.exists())
        return path;
    const QStringList names = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& n : names)
        if (n.compare(want.fileName(), Qt::CaseInsensitive) == 0)
            return dir.filePath(n);
    return path;
}

TablePaths tablePaths(const QString& folder, const QString& tableName, CaseLookup lookup)
{
    QString name = tableName;
    name.replace(u'\\', u'/');
    const QStringList parts = name.split(u'/', Qt::SkipEmptyParts);
    if (name.isEmpty() || name.startsWith(u'/') || parts.isEmpty() || parts.contains(QStringLiteral(".."))
        || parts.contains(QStringLiteral(".")))
        throw EngineError(code::InvalidName, QStringLiteral("Nome di tabella non valido: \"%1\".").arg(tableName));
    QString dir = folder;
    dir.replace(u'\\', u'/');
    if (dir.isEmpty())
        dir = QStringLiteral(".");
    QString rel = parts.join(u'/');
    QString base = rel;
    QString datExt = QStringLiteral(".DAT");
    bool upper = true;
    if (rel.endsWith(QStringLiteral(".dat"), Qt::CaseInsensitive)) {
        datExt = rel.right(4);
        upper = datExt.at(1).isUpper();
        base = rel.left(rel.size() - 4);
    }
    if (base.isEmpty() || base.endsWith(u'/'))
        throw EngineError(code::InvalidName, QStringLiteral("Nome di tabella non valido: \"%1\".").arg(tableName));
    TablePaths p;
    p.display = tableName;
    p.base = QDir::cleanPath(dir + u'/' + base);
    p.dat = p.base + datExt;
    p.idx = p.base + (upper ? QStringLiteral(".IDX") : QStringLiteral(".idx"));
    p.blb = p.base + (upper ? QStringLiteral(".BLB") : QStringLiteral(".blb"));
    // Opening looks names up only when missing (see openLocked).
    if (lookup == CaseLookup::AllFiles)
        resolveCase(p);
    p.folderOfFiles = QFileInfo(p.dat).absolutePath();
    return p;
}

void resolveCase(TablePaths& p)
{
    p.dat = existingCaseVariant(p.dat);
    p.idx = existingCaseVariant(p.idx);
    p.blb = existingCaseVariant(p.blb);
}

File::~File() { close(); }

bool File::open(const QString& path, bool create, const QString& what)
{
    close();
    m_what = what;
    const QByteArray n = QFile::encodeName(path);
    m_fd = ::open(n.constData(), O_RDWR | O_CLOEXEC | (create ? O_CREAT : 0), 0644);
    if (m_fd < 0) {
        if (errno == ENOENT)
            return false;
        ioFail(code::ReadFailed, what, "open");
    }
    return true;
}

void File::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

qint64 File::size() const
{
    struct stat st;
    if (::fstat(m_fd, &st) != 0)
        ioFail(code::ReadFailed, m_what, "stat");
    return st.st_size;
}

qint64 File::readAt(qint64 off, char* buf, qint64 n) const
{
    qint64 done = 0;
    while (done < n) {
        const ssize_t r = ::pread(m_fd, buf + done, size_t(n - done), off_t(off + done));
        if (r < 0) {
            if (errno == EINTR)
                continue;
            ioFail(code::ReadFailed, m_what, "read");
        }
        if (r == 0)
            break;
        done += r;
    }
    g_bytesRead.fetch_add(done, std::memory_order_relaxed);
    return done;
}

qint64 File::bytesReadInProcess() { return g_bytesRead.load(std::memory_order_relaxed); }

void File::writeAt(qint64 off, const char* buf, qint64 n)
{
    qint64 done = 0;
    while (done < n) {
        const ssize_t r = ::pwrite(m_fd, buf + done, size_t(n - done), off_t(off + done));
        if (r < 0) {
            if (errno == EINTR)
                continue;
            ioFail(code::WriteFailed, m_what, "write");
        }
        done += r;
    }
}

void File::sync()
{
    if (::fdatasync(m_fd) != 0)
        ioFail(code::WriteFailed, m_what, "sync");
}

void File::truncate(qint64 size)
{
    if (::ftruncate(m_fd, off_t(size)) != 0)
        ioFail(code::WriteFailed, m_what, "truncate");
}

bool File::tryLock()
{
    while (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        return false;
    }
    return true;
}

void syncFolder(const QString& folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

QByteArray readWholeFile(const QString& path, bool* exists, const QString& what)
{
    File f;
    *exists = f.open(path, false, what);
    if (!*exists)
        return {};
    const qint64 n = f.size();
    if (n > (qint64(1) << 31))
        throw EngineError(code::IndexCorrupt, QStringLiteral("File %1 troppo grande.").arg(what));
    QByteArray b(n, Qt::Uninitialized);
    if (f.readAt(0, b.data(), n) != n)
        ioFail(code::ReadFailed, what, "read");
    return b;
}

void writeFileDurably(const QString& path, const QByteArray& bytes, const QString& what)
{
    const QByteArray n = QFile::encodeName(path);
    const int fd = ::open(n.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        ioFail(code::WriteFailed, what, "create");
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t r = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (r < 0) {
            if (errno == EINTR)
                continue;
            ::close(fd);
            ioFail(code::WriteFailed, what, "write");
        }
        done += r;
    }
    if (::fsync(fd) != 0) {
        ::close(fd);
        ioFail(code::WriteFailed, what, "sync");
    }
    ::close(fd);
}

bool settleRepairFiles(const TablePaths& p)
{
    const QString marker = p.base + QStringLiteral(".rswap");
    const QString side[3] = {p.base + QStringLiteral(".rblb"), p.base + QStringLiteral(".ridx"), p.base + QStringLiteral(".rdat")};
    const QString target[3] = {p.blb, p.idx, p.dat};
    if (QFileInfo::exists(marker)) {
        // The repaired files were complete and synced before the marker: finish the swap.
        for (int i = 0; i < 3; ++i)
            if (QFileInfo::exists(side[i]))
                ::rename(QFile::encodeName(side[i]).constData(), QFile::encodeName(target[i]).constData());
        syncFolder(p.folderOfFiles);
        QFile::remove(marker);
        syncFolder(p.folderOfFiles);
        return true;
    }
    return false;
}

void removeRepairLeftovers(const TablePaths& p)
{
    // Repair creates .rblb first; leftovers go with .rblb last, so without it
    // there is nothing to clean up.
    const QString rblb = p.base + QStringLiteral(".rblb");
    if (QFileInfo::exists(rblb)) {
        QFile::remove(p.base + QStringLiteral(".rdat"));
        QFile::remove(p.base + QStringLiteral(".ridx"));
        QFile::remove(rblb);
    }
}

void openLocked(File& dat, TablePaths& p)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!dat.open(p.dat, false, p.display)) {
            // Files named in another case (as restored backups name them).
            const QString asked = p.dat;
            resolveCase(p);
            if (p.dat == asked || !dat.open(p.dat, false, p.display))
                throw EngineError(code::TableNotFound, QStringLiteral("La tabella %1 non esiste.").arg(p.display));
        }
        if (!dat.tryLock())
            throw EngineError(code::TableLocked, QStringLiteral("La tabella %1 è in uso da un altro utente.").arg(p.display));
        // A finished swap replaced the file under the lock just taken: lock the new one.
        if (!settleRepairFiles(p))
            return;
    }
}

} // namespace orv::storage::detail
