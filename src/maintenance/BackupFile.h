#pragma once
// TBackupFile packs files into a backup archive (see BackupFormat.h) and
// unpacks them again. It runs on the calling thread and processes pending
// window messages after every block.
//
// Backup(masks, archive): each mask is a path with wildcards in its file name;
// "/s" makes it recursive (for native paths written with '/', only a separate
// "/s" word counts, so "/srv/x/*.dat" is not recursive). Subfolders' files come
// before the folder's own, names in case-insensitive order; each file is
// stored once, the archive and its volumes never. Returns true when the end
// marker was written.
//
// Restore(archive, folder): writes the stored files into `folder` (by file
// name, or by stored path with RestoreFullPath), or back to their stored paths
// when `folder` is empty. Each file is written under a temporary name in its
// folder and renamed when complete, so an existing file is either replaced
// whole or left as it was. Names that would lead outside the folder stop the
// run with code 8. Returns true when no code was recorded and the run was not
// stopped. A missing archive returns false silently.
//
// Failures: a recorded code stops the run and is reported once at its end,
// through OnError or an error message box. An unreadable or damaged archive
// (bad header, truncated data, lying length) throws orv::Error "Cannot read
// archive"; a block stream without its signature throws "Invalid archive
// type"; Backup throws when a file cannot be opened while sizes are measured.
//
// The archive name ":STREAM" reads InputStream / writes OutputStream (owned by
// the caller, never closed); such an archive is always a single volume.
#include "maintenance/BackupFormat.h"

#include <QFileDevice>
#include <QIODevice>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace orv {

enum TBackupMode { bmAll, bmIncremental };
enum TCompressionLevel { clFastest, clNone, clDefault, clMax };
enum TRestoreMode { rmAll, rmNoOverwrite, rmNewer, rmExisting, rmExistingNewer };
using TPercentage = quint8;

class TBackupFile;

using TProgressEvent = std::function<void(TBackupFile& Sender, const QString& Filename, TPercentage Percent, bool& Continue)>;
using TNeedDiskEvent = std::function<void(TBackupFile& Sender, quint16 DiskID, bool& Continue)>;
// Filename is the target path on this machine; the handler may change it.
using TRestoreFileEvent = std::function<void(TBackupFile& Sender, QString& Filename, qint32 FA, bool& DoRestore)>;
// Stream is the open output file (under its temporary name). A changed
// Filename is where the file goes when it is complete.
using TFileRestoredEvent = std::function<void(TBackupFile& Sender, QString& Filename, QFileDevice*& Stream)>;
using TBackupErrorEvent = std::function<void(TBackupFile& Sender, qint32 Error, const QString& ErrString)>;

class TBackupFile {
public:
    TBackupFile();
    ~TBackupFile();
    TBackupFile(const TBackupFile&) = delete;
    TBackupFile& operator=(const TBackupFile&) = delete;

    bool Backup(const QStringList& FileList, const QString& ArchiveName);
    bool Restore(const QString& ArchiveName, const QString& TargetFolder);

    // Properties.
    QString Version() const { return QStringLiteral("5.10"); }
    void setVersion(const QString&) {}
    QString BackupTitle() const { return m_title; }
    void setBackupTitle(const QString& title) { m_title = title; }
    TBackupMode BackupMode() const { return m_backupMode; }
    void setBackupMode(TBackupMode mode);
    TCompressionLevel CompressionLevel() const { return m_level; }
    void setCompressionLevel(TCompressionLevel level) { m_level = level; }
    TRestoreMode RestoreMode() const { return m_restoreMode; }
    void setRestoreMode(TRestoreMode mode) { m_restoreMode = mode; }
    qint32 MaxSize() const { return m_maxSize; }
    void setMaxSize(qint32 size) { m_maxSize = size; }
    bool SetArchiveFlag() const { return m_setArchiveFlag; }
    void setSetArchiveFlag(bool on) { m_setArchiveFlag = on; }
    bool RestoreFullPath() const { return m_restoreFullPath; }
    void setRestoreFullPath(bool on) { m_restoreFullPath = on; }
    bool SaveFileID() const { return m_saveFileId; }
    void setSaveFileID(bool on) { m_saveFileId = on; }
    QIODevice* OutputStream() const { return m_outputStream; }
    void setOutputStream(QIODevice* stream) { m_outputStream = stream; }
    QIODevice* InputStream() const { return m_inputStream; }
    void setInputStream(QIODevice* stream) { m_inputStream = stream; }

    TProgressEvent OnProgress;
    TNeedDiskEvent OnNeedDisk;
    TRestoreFileEvent OnRestoreFile;
    TFileRestoredEvent OnFileRestored;
    TBackupErrorEvent OnError;

    // The code recorded by the last run (0 for none).
    int lastError() const { return m_error; }
    static QString ErrorMessage(int code) { return backup::errorMessage(code); }
    static int zlibLevel(TCompressionLevel level);

private:
    struct Run;
    struct ListedFile {
        QString path;   // on this machine
        QString stored; // the name written into the archive
    };
    class PendingFile;

    // Backup.
    std::vector<ListedFile> expandList(const QStringList& fileList, const QString& archivePath) const;
    void expandFolder(const QString& folder, const QString& mask, bool recursive, const QString& archivePath,
                      std::vector<ListedFile>& list, QSet<QString>& seen) const;
    void writeFile(Run& run, const ListedFile& entry, bool fileIdList);
    void writeBlocks(Run& run, QIODevice& in);
    void changeVolumeForWriting(Run& run);

    // Restore.
    bool presetRestore(const QString& target, qint32 storedDate) const;
    bool readBlocks(Run& run, PendingFile* sink);
    bool changeVolumeForReading(Run& run, const QByteArray& marker);
    void fileRestored(Run& run);
    bool commitPending(Run& run);

    // Shared.
    bool running() const;
    void recordError(int code);
    void progress(const QString& file, int forcedPercent = -1);
    void askDisk(int volume);
    void reportError();
    TPercentage percent() const;

    QString m_title;
    TBackupMode m_backupMode = bmAll;
    TCompressionLevel m_level = clFastest;
    TRestoreMode m_restoreMode = rmAll;
    qint32 m_maxSize = 0;
    bool m_setArchiveFlag = false;
    bool m_restoreFullPath = false;
    bool m_saveFileId = false;
    QIODevice* m_outputStream = nullptr;
    QIODevice* m_inputStream = nullptr;

    // Run state.
    bool m_continue = false;
    int m_error = 0;
    QString m_currentFile;
    qint64 m_total = 0;
    qint64 m_processed = 0;
    int m_volume = 1;
};

} // namespace orv
