#include "platform/ProgramFolder.h"

#include "platform/Paths.h"

#include <QCoreApplication>
#include <mutex>

namespace orv {
namespace {
std::mutex g_mutex;
QString g_folder;
} // namespace

QString programFolder()
{
    std::lock_guard lock(g_mutex);
    if (g_folder.isEmpty() && QCoreApplication::instance())
        g_folder = withTrailingSeparator(QCoreApplication::applicationDirPath());
    return g_folder;
}

void setProgramFolder(const QString& folder)
{
    std::lock_guard lock(g_mutex);
    g_folder = withTrailingSeparator(folder);
}

QString dataFolder() { return programFolder() + QStringLiteral("DATI") + nativeSeparator(); }

} // namespace orv
