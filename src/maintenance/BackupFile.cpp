#include "maintenance/BackupFile.h"

#include "maintenance/BackupPaths.h"
#include "platform/Dialogs.h"
#include "platform/Error.h"
#include "platform/FileAttributes.h"
#include "platform/Paths.h"
#include "platform/PendingMessages.h"
#include "platform/TextCodec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryFile>
#include <cmath>
#include <cstdio>
#include <memory>
#include <unistd.h>
#include <zlib.h>

namespace orv {

using namespace backup;

// A restored file on its way: written under a temporary name beside its
// target and renamed over it only when complete, so that a failed or stopped
// restore leaves the old file (or none), never a part of the new one.
class TBackupFile::PendingFile {
public:
    PendingFile(const QString& target, qint32 date) : target(target), date(date) {}
    ~PendingFile() { discard(); }

    bool open()
    {
        const QFileInfo fi(target);
        for (int attempt = 0; attempt < 16; ++attempt) {
            tempPath = fi.absolutePath() + QLatin1Char('/') + fi.fileName() + QLatin1Char('.')
                + QString::number(QRandomGenerator::global()->generate(), 36) + QStringLiteral(".partial");
            file.setFileName(tempPath);
            if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
                return true;
            if (file.error() != QFileDevice::OpenError || !QFileInfo::exists(tempPath))
                break; // not a name clash: trying other names will not help
        }
        tempPath.clear();
        return false;
    }

    bool write(const char* data, qint64 length) { return file.write(data, length) == length; }

    bool commit()
    {
        bool ok = file.flush();
        if (ok) {
            const QDateTime t = fromDosDateTime(quint32(date));
            if (t.isValid())
                file.setFileTime(t, QFileDevice::FileModificationTime);
            ok = ::fsync(file.handle()) == 0;
        }
        file.close();
        ok = ok && file.error() == QFileDevice::NoError
            && std::rename(QFile::encodeName(tempPath).constData(), QFile::encodeName(target).constData()) == 0;
        if (!ok) {
            discard();
            return false;
        }
        tempPath.clear();
        return true;
    }

    void discard()
    {
        if (file.isOpen())
            file.close();
        if (!tempPath.isEmpty())
            QFile::remove(tempPath);
        tempPath.clear();
    }

    QString target;
    qint32 date;
    QFile file;
    QString tempPath;
};

// What one Backup or Restore run holds: the current volume, the two block
// areas and the file being restored.
struct TBackupFile::Run {
    bool stream = false;
    QString firstVolume;
    std::unique_ptr<QFile> volumeFile;
    QIODevice* device = nullptr; // where Backup writes
    qint64 volumeLength = 0;
    bool writeFailed = false;
    bool fileDone = false; // Backup: the current file has no bytes left
    int level = 1;
    ArchiveSource source;
    std::unique_ptr<PendingFile> pending;
    ZlibArena zlib;
    char in[kBlockSize];
    char out[kBlockSize];

    bool write(const char* data, qint64 length)
    {
        if (writeFailed || !device || device->write(data, length) != length) {
            writeFailed = true;
            return false;
        }
        volumeLength += length;
        return true;
    }
    bool write(const QByteArray& bytes) { return write(bytes.constData(), bytes.size()); }
    bool writeInt32(qint32 value)
    {
        QByteArray b;
        putInt32(b, value);
        return write(b);
    }
};

TBackupFile::TBackupFile() = default;
TBackupFile::~TBackupFile() = default;

void TBackupFile::setBackupMode(TBackupMode mode)
{
    m_backupMode = mode;
    if (mode == bmIncremental)
        m_setArchiveFlag = true;
}

int TBackupFile::zlibLevel(TCompressionLevel level)
{
    switch (level) {
    case clFastest: return 1;
    case clNone: return 0;
    case clDefault: return Z_DEFAULT_COMPRESSION;
    case clMax: return 9;
    }
    return 1;
}

// ---------------------------------------------------------------- shared

bool TBackupFile::running() const { return m_continue && m_error == 0; }

void TBackupFile::recordError(int code)
{
    if (m_error == 0) // the first failure is the one reported
        m_error = code;
}

TPercentage TBackupFile::percent() const
{
    if (m_total <= 0)
        return 0; // nothing to measure against (only empty files)
    const double p = std::nearbyint(double(m_processed) / double(m_total) * 100.0); // ties to even
    return TPercentage(qBound(0.0, p, 100.0));
}

void TBackupFile::progress(const QString& file, int forcedPercent)
{
    if (OnProgress)
        OnProgress(*this, file, forcedPercent >= 0 ? TPercentage(forcedPercent) : percent(), m_continue);
}

void TBackupFile::askDisk(int volume)
{
    if (OnNeedDisk) {
        OnNeedDisk(*this, quint16(volume), m_continue);
        return;
    }
    const int answer = messageBox(applicationTitle(),
                                  QStringLiteral("Please insert disk %1 and click OK to continue.").arg(volume),
                                  MessageIcon::Information, mbOK | mbCancel, mbOK);
    if (answer != mbOK)
        m_continue = false;
}

void TBackupFile::reportError()
{
    if (m_error == 0)
        return;
    const QString text = errorMessage(m_error);
    if (OnError)
        OnError(*this, m_error, text);
    else
        messageBox(applicationTitle(), text, MessageIcon::Critical, mbOK, mbOK);
}

// ---------------------------------------------------------------- Backup

namespace {
// The position of the recursion switch, or -1. In a Windows-style entry any
// "/s" counts, as it always has; in a native path '/' is the separator, so
// only a separate word "/s" does.
int recursionSwitch(const QString& entry, bool windowsStyle)
{
    if (windowsStyle)
        return entry.indexOf(QLatin1String("/s"), 0, Qt::CaseInsensitive);
    static const QRegularExpression word(QStringLiteral("(?:^|\\s)(/s)(?=\\s|$)"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = word.match(entry);
    return m.hasMatch() ? int(m.capturedStart(1)) : -1;
}

bool isWindowsStyle(const QString& entry)
{
    return entry.contains(QLatin1Char('\\'))
        || (entry.size() >= 2 && entry[1] == QLatin1Char(':') && entry[0].isLetter());
}

// The archive itself and its further volumes are never stored.
bool isArchiveVolume(const QString& key, const QString& archiveKey)
{
    if (archiveKey.isEmpty())
        return false;
    if (key == archiveKey)
        return true;
    const QString stem = volumeName(archiveKey, 2).chopped(3);
    if (key.size() != stem.size() + 3 || !key.startsWith(stem))
        return false;
    for (int i = stem.size(); i < key.size(); ++i)
        if (!key[i].isDigit())
            return false;
    return true;
}
} // namespace

std::vector<TBackupFile::ListedFile> TBackupFile::expandList(const QStringList& fileList,
                                                             const QString& archivePath) const
{
    std::vector<ListedFile> list;
    QSet<QString> seen;
    for (QString entry : fileList) {
        const bool windowsStyle = isWindowsStyle(entry);
        const int sw = recursionSwitch(entry, windowsStyle);
        const bool recursive = sw >= 0;
        if (recursive)
            entry = entry.left(sw).trimmed();
        if (entry.isEmpty())
            continue;
        const QString native = QFileInfo(windowsStyle ? fromWindowsPath(entry) : entry).absoluteFilePath();
        const int slash = native.lastIndexOf(QLatin1Char('/'));
        const QString mask = native.mid(slash + 1);
        const QString folder = resolveExistingCase(QDir::cleanPath(slash <= 0 ? QStringLiteral("/") : native.left(slash)));
        expandFolder(folder, mask, recursive, archivePath, list, seen);
    }
    return list;
}

void TBackupFile::expandFolder(const QString& folder, const QString& mask, bool recursive,
                               const QString& archivePath, std::vector<ListedFile>& list,
                               QSet<QString>& seen) const
{
    const QDir dir(folder);
    if (!dir.exists())
        return;
    const QDir::SortFlags order = QDir::Name | QDir::IgnoreCase;
    if (recursive) {
        // Linked folders are not followed: a link to a parent would never end.
        const QStringList subs = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::NoSymLinks, order);
        for (const QString& sub : subs)
            expandFolder(dir.filePath(sub), mask, true, archivePath, list, seen);
    }
    if (mask.isEmpty())
        return;
    const QString archiveKey = archivePath.isEmpty() ? QString() : storedName(archivePath);
    // "*.*" matches every file, with or without a dot, as it always has.
    const QString filter = mask == QLatin1String("*.*") ? QStringLiteral("*") : mask;
    const QFileInfoList files = dir.entryInfoList({filter}, QDir::Files | QDir::Hidden, order);
    for (const QFileInfo& fi : files) {
        const QString path = fi.absoluteFilePath();
        const QString key = storedName(path);
        if (seen.contains(key) || isArchiveVolume(key, archiveKey))
            continue;
        if (m_backupMode == bmIncremental && !archiveFlag(path))
            continue;
        seen.insert(key);
        list.push_back({path, key});
    }
}

bool TBackupFile::Backup(const QStringList& FileList, const QString& ArchiveName)
{
    Run run;
    m_error = 0;
    m_processed = 0;
    m_total = 0;
    m_volume = 1;
    m_currentFile.clear();
    run.level = zlibLevel(m_level);
    run.stream = ArchiveName == QLatin1String(":STREAM");
    if (!run.stream)
        run.firstVolume = QFileInfo(fromWindowsPath(ArchiveName)).absoluteFilePath();

    std::vector<ListedFile> list = expandList(FileList, run.firstVolume);
    const qint32 fileCount = qint32(list.size());
    m_continue = true;
    progress(QString(), 0);

    QByteArray ids;
    for (const ListedFile& f : list) {
        if (!QFileInfo(f.path).isFile())
            continue;
        QFile probe(f.path);
        if (!probe.open(QIODevice::ReadOnly))
            throw Error(QStringLiteral("Cannot open file \"%1\"").arg(f.path), errCannotReadFile);
        m_total += probe.size();
        if (m_saveFileId)
            ids += fileIdLine(f.stored, qint32(fileDosDateTime(f.path)), probe.size());
    }

    std::unique_ptr<QTemporaryFile> idFile;
    bool withIds = false;
    if (m_saveFileId) {
        idFile = std::make_unique<QTemporaryFile>(QDir::tempPath() + QStringLiteral("/FIDXXXXXX"));
        if (!idFile->open() || idFile->write(ids) != ids.size() || !idFile->flush()) {
            recordError(errFileIdTempFile);
        } else {
            idFile->close();
            list.insert(list.begin(), ListedFile{idFile->fileName(), QString::fromLatin1(kFileListName)});
            m_total += ids.size();
            withIds = true;
        }
    }

    // A volume limit without room for one block would ask for volumes forever.
    if (running() && !run.stream && m_maxSize != 0 && m_maxSize < kMinMaxSize)
        recordError(errCannotWriteArchive);

    if (running()) {
        if (run.stream) {
            if (m_outputStream && m_outputStream->isWritable())
                run.device = m_outputStream;
        } else {
            run.volumeFile = std::make_unique<QFile>(run.firstVolume);
            if (run.volumeFile->open(QIODevice::WriteOnly | QIODevice::Truncate))
                run.device = run.volumeFile.get();
        }
        QByteArray header;
        const QByteArray title = encodeWindows1252(m_title);
        putInt32(header, qint32(title.size()));
        header += title;
        putInt32(header, qint32(m_total));
        putInt32(header, fileCount);
        if (!run.write(header))
            recordError(errCannotWriteArchive);
    }

    bool ended = false;
    if (running()) {
        m_processed = 0;
        for (size_t i = 0; i < list.size() && running(); ++i)
            writeFile(run, list[i], withIds && i == 0);
        if (running()) {
            if (run.writeInt32(0))
                ended = true;
            else
                recordError(errCannotWriteArchive);
        }
    }
    if (run.volumeFile && run.volumeFile->isOpen()) {
        // Buffered bytes that cannot reach the disk make the archive unusable.
        const bool flushed = run.volumeFile->flush();
        run.volumeFile->close();
        if (!flushed || run.volumeFile->error() != QFileDevice::NoError)
            recordError(errCannotWriteArchive);
    }
    idFile.reset();
    m_currentFile.clear();
    progress(QString(), 100);
    reportError();
    return ended && m_error == 0;
}

void TBackupFile::writeFile(Run& run, const ListedFile& entry, bool fileIdList)
{
    if (!QFileInfo(entry.path).isFile())
        return; // gone since the list was made: skipped, still counted in the header
    m_currentFile = entry.path;
    const QByteArray name = encodeWindows1252(fileIdList ? QString::fromLatin1(kFileListName) : entry.stored.trimmed());
    QByteArray record;
    putInt32(record, qint32(name.size()));
    record += name;
    if (!run.write(record)) {
        recordError(errCannotWriteArchive);
        return;
    }
    QFile in(entry.path);
    if (!in.open(QIODevice::ReadOnly) || !run.writeInt32(qint32(fileDosDateTime(entry.path)))) {
        recordError(errCannotReadFile);
        return;
    }
    run.fileDone = false;
    do
        writeBlocks(run, in);
    while (running() && !run.fileDone);
    const bool stored = run.fileDone && m_error == 0;
    in.close();
    // Only a file stored whole loses its archive flag; one cut short by a stop
    // must go into the next incremental backup again.
    if (stored && m_setArchiveFlag && !fileIdList)
        orv::setArchiveFlag(entry.path, false);
}

void TBackupFile::writeBlocks(Run& run, QIODevice& in)
{
    if (!run.write(kSignature, 4)) {
        recordError(errCannotWriteArchive);
        return;
    }
    const bool limited = !run.stream && m_maxSize != 0;
    const qint64 threshold = qint64(m_maxSize) - kVolumeReserve;
    run.fileDone = in.atEnd();
    while (!run.fileDone && running()) {
        if (limited && run.volumeLength >= threshold)
            break;
        const qint64 n = in.read(run.in, kBlockSize);
        if (n <= 0) {
            if (n < 0)
                recordError(errCannotWriteArchive);
            run.fileDone = true;
            break;
        }
        m_processed += n;
        const int length = compressBlock(run.in, int(n), run.level, run.out, &run.zlib);
        if (length == 0)
            recordError(errCompression);
        if (running()) {
            const bool written = run.writeInt32(length)
                && (length > 0 ? run.write(run.out, length) : run.write(run.in, n));
            if (!written)
                recordError(errCannotWriteArchive);
        }
        run.fileDone = in.atEnd();
        processMessages();
        progress(m_currentFile);
    }
    if (!run.writeInt32(0))
        recordError(errCannotWriteArchive);
    if (!run.fileDone && running())
        changeVolumeForWriting(run);
}

void TBackupFile::changeVolumeForWriting(Run& run)
{
    if (m_volume >= kMaxVolume) { // no three-digit name for the next one
        recordError(errCannotWriteArchive);
        return;
    }
    ++m_volume;
    const QByteArray marker = volumeMarker(m_volume);
    if (!run.writeInt32(qint32(marker.size())) || !run.write(marker)) {
        recordError(errCannotWriteArchive);
        return;
    }
    const bool flushed = run.volumeFile->flush();
    run.volumeFile->close();
    run.device = nullptr;
    if (!flushed || run.volumeFile->error() != QFileDevice::NoError) {
        recordError(errCannotWriteArchive);
        return;
    }
    askDisk(m_volume);
    if (!running())
        return;
    run.volumeFile = std::make_unique<QFile>(volumeName(run.firstVolume, m_volume));
    if (!run.volumeFile->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        recordError(errCannotWriteArchive);
        return;
    }
    run.device = run.volumeFile.get();
    run.volumeLength = 0;
    run.writeFailed = false;
}

// ---------------------------------------------------------------- Restore

bool TBackupFile::Restore(const QString& ArchiveName, const QString& TargetFolder)
{
    Run run;
    m_error = 0;
    m_continue = true;
    m_processed = 0;
    m_total = 0;
    m_volume = 1;
    m_currentFile.clear();
    run.stream = ArchiveName == QLatin1String(":STREAM");
    if (run.stream) {
        if (!m_inputStream || !m_inputStream->isReadable())
            throwDamaged();
        run.source.setDevice(m_inputStream);
    } else {
        run.firstVolume = fromWindowsPath(ArchiveName);
        if (!QFileInfo::exists(run.firstVolume))
            return false;
        run.volumeFile = std::make_unique<QFile>(run.firstVolume);
        if (!run.volumeFile->open(QIODevice::ReadOnly))
            throwDamaged();
        run.source.setDevice(run.volumeFile.get());
    }

    run.source.readBytes(run.source.readInt32()); // the title, not used
    // A total past 2 GB was written as its low 32 bits.
    m_total = quint32(run.source.readInt32());
    run.source.readInt32(); // the file count, not relied upon

    const QString folder = TargetFolder.isEmpty() ? QString() : withTrailingSeparator(fromWindowsPath(TargetFolder));
    bool endReached = false;
    bool restoring = true; // whether the current entry is being restored
    while (running()) {
        const qint32 length = run.source.readInt32();
        if (length == 0) {
            endReached = true;
            break;
        }
        if (length < 0)
            continue;
        const QByteArray rawName = run.source.readBytes(length);
        if (rawName.startsWith(kNextDisk)) {
            if (!changeVolumeForReading(run, rawName))
                break;
            if (restoring && run.pending) {
                if (readBlocks(run, run.pending.get()))
                    fileRestored(run);
            } else {
                readBlocks(run, nullptr);
            }
            continue;
        }
        // A new file record: the entry before it is complete.
        if (run.pending && !commitPending(run))
            break;
        const QString name = decodeWindows1252(rawName);
        const qint32 date = run.source.readInt32();
        restoring = false;
        if (name == QLatin1String(kFileListName)) {
            readBlocks(run, nullptr);
            continue;
        }
        QString target;
        if (!restorePath(name, folder, m_restoreFullPath, &target)) {
            recordError(errUnsafeName);
            break;
        }
        bool doRestore = presetRestore(target, date);
        if (OnRestoreFile)
            OnRestoreFile(*this, target, date, doRestore);
        if (doRestore) {
            // A folder that cannot be made is a failure, not a silent skip.
            const QString dir = QFileInfo(target).absolutePath();
            QDir().mkpath(dir);
            if (!QFileInfo(dir).isDir()) {
                recordError(errCannotReadFile);
                break;
            }
            m_currentFile = target;
            run.pending = std::make_unique<PendingFile>(target, date);
            if (!run.pending->open()) {
                run.pending.reset();
                recordError(errCannotReadFile);
                break;
            }
            restoring = true;
            if (readBlocks(run, run.pending.get()))
                fileRestored(run);
        } else {
            readBlocks(run, nullptr);
        }
    }
    if (endReached && run.pending)
        commitPending(run);
    run.pending.reset(); // an entry left unfinished keeps the old file
    if (run.volumeFile)
        run.volumeFile->close();
    const bool ok = m_error == 0 && m_continue && endReached;
    m_currentFile.clear();
    progress(QString(), 100);
    reportError();
    return ok;
}

bool TBackupFile::presetRestore(const QString& target, qint32 storedDate) const
{
    const bool exists = QFileInfo::exists(target);
    const bool older = exists && qint32(fileDosDateTime(target)) < storedDate;
    switch (m_restoreMode) {
    case rmAll: return true;
    case rmNoOverwrite: return !exists;
    case rmNewer: return !exists || older;
    case rmExisting: return exists;
    case rmExistingNewer: return older;
    }
    return false;
}

bool TBackupFile::readBlocks(Run& run, PendingFile* sink)
{
    run.source.readSignature();
    for (;;) {
        if (!running())
            return false;
        const qint32 length = run.source.readBlockLength();
        if (length == 0)
            break;
        const int size = length > 0 ? length : -length;
        if (!sink) {
            run.source.skip(size);
            processMessages();
            continue;
        }
        run.source.readInto(run.in, size);
        const char* data = run.in;
        int produced = size;
        if (length > 0) {
            produced = inflateBlock(run.in, size, run.out, &run.zlib);
            if (produced < 0) {
                recordError(errCompression);
                processMessages();
                return false;
            }
            data = run.out;
        }
        if (!sink->write(data, produced)) {
            recordError(errCannotReadFile);
            return false;
        }
        processMessages();
        m_processed += produced;
        progress(m_currentFile);
    }
    if (sink)
        progress(m_currentFile);
    return true;
}

bool TBackupFile::changeVolumeForReading(Run& run, const QByteArray& marker)
{
    // A stream is one volume; and volumes follow each other one by one, so a
    // marker naming any other number (a loop back, say) is damage.
    const QByteArray digits = marker.mid(int(sizeof kNextDisk) - 1);
    bool isNumber = digits.size() == 3;
    for (char c : digits)
        isNumber = isNumber && c >= '0' && c <= '9';
    if (run.stream || !isNumber || digits.toInt() != m_volume + 1)
        throwDamaged();
    run.volumeFile->close();
    m_volume = digits.toInt();
    const QString next = volumeName(run.firstVolume, m_volume);
    askDisk(m_volume);
    while (m_continue && !QFileInfo::exists(next))
        askDisk(m_volume);
    if (!m_continue)
        return false;
    run.volumeFile = std::make_unique<QFile>(next);
    if (!run.volumeFile->open(QIODevice::ReadOnly))
        throwDamaged();
    run.source.setDevice(run.volumeFile.get());
    return true;
}

void TBackupFile::fileRestored(Run& run)
{
    if (!OnFileRestored)
        return;
    QFileDevice* stream = &run.pending->file;
    QString name = run.pending->target;
    OnFileRestored(*this, name, stream);
    run.pending->target = name;
}

bool TBackupFile::commitPending(Run& run)
{
    const bool ok = run.pending->commit();
    run.pending.reset();
    if (!ok)
        recordError(errCannotReadFile);
    return ok;
}

} // namespace orv
