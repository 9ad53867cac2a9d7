#include "maintenance/BackupPaths.h"

#include "maintenance/BackupFormat.h"
#include "platform/Paths.h"

#include <QDir>
#include <QFileInfo>

namespace orv::backup {

QString resolveBelow(const QString& folder, const QStringList& components)
{
    QString current = folder;
    if (!current.endsWith(QLatin1Char('/')))
        current += QLatin1Char('/');
    bool existing = QFileInfo(current).isDir();
    for (int i = 0; i < components.size(); ++i) {
        QString name = components[i];
        if (existing && !QFileInfo::exists(current + name)) {
            existing = false;
            const QStringList entries = QDir(current).entryList(
                QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
            for (const QString& e : entries) {
                if (e.compare(name, Qt::CaseInsensitive) == 0) {
                    name = e;
                    existing = true;
                    break;
                }
            }
        }
        current += name;
        if (i + 1 < components.size())
            current += QLatin1Char('/');
    }
    return current;
}

QString resolveExistingCase(const QString& absolutePath)
{
    if (!absolutePath.startsWith(QLatin1Char('/')))
        return absolutePath;
    const QStringList parts = absolutePath.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (parts.isEmpty())
        return absolutePath;
    return resolveBelow(QStringLiteral("/"), parts);
}

bool restorePath(const QString& stored, const QString& folder, bool fullPath, QString* target)
{
    const std::optional<StoredPath> p = parseStoredName(stored);
    if (!p)
        return false;
    if (folder.isEmpty()) {
        if (p->drive.isNull() || !p->rooted)
            return false;
        const QString windows = QString(p->drive) + QStringLiteral(":\\") + p->components.join(QLatin1Char('\\'));
        *target = resolveExistingCase(fromWindowsPath(windows));
        return true;
    }
    *target = resolveBelow(folder, fullPath ? p->components : QStringList{p->components.last()});
    return true;
}

} // namespace orv::backup
