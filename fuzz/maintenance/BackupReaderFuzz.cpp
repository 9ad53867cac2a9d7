// Feeds arbitrary bytes to the backup reader: a restore from a stream and
// from a file, and the listing. Nothing may crash, read past its data or be
// written outside the target folder.
#include "maintenance/BackupFile.h"
#include "maintenance/BackupListing.h"
#include "platform/Error.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir* dir = new QTemporaryDir;
    const QString target = dir->path() + QStringLiteral("/t/");
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));

    orv::TBackupFile engine;
    engine.OnError = [](orv::TBackupFile&, qint32, const QString&) {};
    engine.OnNeedDisk = [](orv::TBackupFile&, quint16, bool& go) { go = false; };
    engine.setRestoreFullPath(size % 3 == 0);
    try {
        if (size % 2 == 0) {
            QBuffer buffer;
            buffer.setData(bytes);
            buffer.open(QIODevice::ReadOnly);
            engine.setInputStream(&buffer);
            engine.Restore(QStringLiteral(":STREAM"), target);
        } else {
            QFile f(dir->path() + QStringLiteral("/a.001"));
            if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
                f.write(bytes);
                f.close();
                engine.Restore(f.fileName(), target);
            }
        }
    } catch (const orv::Error&) {
    }
    try {
        QFile f(dir->path() + QStringLiteral("/l.001"));
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            f.write(bytes);
            f.close();
            orv::backup::listArchive(f.fileName());
        }
    } catch (const orv::Error&) {
    }

    // Only the target folder and the two archive files may exist.
    const QStringList entries = QDir(dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString& e : entries)
        if (e != QLatin1String("t") && e != QLatin1String("a.001") && e != QLatin1String("l.001"))
            std::abort();
    QDir(target).removeRecursively();
    return 0;
}
