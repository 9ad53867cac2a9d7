#include "platform/Paths.h"

#include <QDir>

namespace orv {

QChar nativeSeparator() { return QDir::separator(); }

QString withTrailingSeparator(const QString& folder)
{
    if (folder.isEmpty())
        return folder;
    QString f = QDir::toNativeSeparators(folder);
    if (!f.endsWith(nativeSeparator()))
        f += nativeSeparator();
    return f;
}

QString disketteFolder(int index)
{
    return index == 0 ? QStringLiteral("/media/floppy0") : QStringLiteral("/media/floppy1");
}

QString fromWindowsPath(const QString& typed)
{
#ifdef Q_OS_WIN
    return typed;
#else
    QString p = typed;
    if (p.size() >= 2 && p[1] == QLatin1Char(':') && p[0].isLetter()) {
        const QChar drive = p[0].toUpper();
        QString rest = p.mid(2);
        rest.replace(QLatin1Char('\\'), QLatin1Char('/'));
        if (drive == QLatin1Char('A') || drive == QLatin1Char('B')) {
            const QString mount = disketteFolder(drive == QLatin1Char('A') ? 0 : 1);
            if (rest.isEmpty() || rest == QLatin1String("/"))
                return mount + QLatin1Char('/');
            return mount + (rest.startsWith(QLatin1Char('/')) ? rest : QLatin1Char('/') + rest);
        }
        return rest.startsWith(QLatin1Char('/')) ? rest : QLatin1Char('/') + rest;
    }
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return p;
#endif
}

QString toDisplayPath(const QString& path)
{
#ifdef Q_OS_WIN
    return path;
#else
    for (int i = 0; i < 2; ++i) {
        const QString mount = disketteFolder(i);
        if (path == mount || path.startsWith(mount + QLatin1Char('/'))) {
            QString rest = path.mid(mount.size());
            rest.replace(QLatin1Char('/'), QLatin1Char('\\'));
            if (rest.isEmpty())
                rest = QStringLiteral("\\");
            return QString(QChar(u'A' + i)) + QLatin1Char(':') + rest;
        }
    }
    return path;
#endif
}

} // namespace orv
