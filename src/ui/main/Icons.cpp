#include "ui/main/Icons.h"

#include <QHash>

static void initUiMainResources() { Q_INIT_RESOURCE(ui_main); }

namespace orv::ui {
namespace {

QIcon load(const char* name)
{
    static const bool ready = (initUiMainResources(), true);
    (void)ready;
    return QIcon(QStringLiteral(":/main/resources/icons/%1.png").arg(QLatin1String(name)));
}

const char* toolbarName(int index)
{
    switch (index) {
    case 0: return "x-office-address-book";
    case 1: return "preferences-system";
    case 2: return "system-log-out";
    case 3: return "folder-open";
    case 5: return "dialog-information";
    case 6: return "media-floppy";
    case 7: return "drive-removable-media";
    case 9: return "help-browser";
    case 10: return "folder";
    case 12: return "folder-new";
    case 13: return "edit-delete";
    case 14: return "document-properties";
    case 15: return "system-software-update";
    case 16: return "x-office-document";
    case 21: return "go-first";
    case 22: return "go-previous";
    case 23: return "go-next";
    case 24: return "go-last";
    case 25: return "text-x-generic";
    case 26: return "accessories-text-editor";
    case 27: return "document-print-preview";
    case 28: return "view-refresh";
    case 30: return "internet-mail";
    case 31: return "list-add";    // expand, beside the tree
    case 32: return "list-remove"; // collapse
    case 33: return "process-stop";
    default: return nullptr;
    }
}

const char* treeName(int index)
{
    switch (index) {
    case 1: return "applications-office";
    case 2: return "go-up";
    case 3: return "go-down";
    case 5: return "x-office-document";
    case 6: return "system-users";
    case 7: return "package-x-generic";
    case 8: return "x-office-document-template";
    default: return nullptr;
    }
}

QIcon cached(QHash<int, QIcon>& cache, int index, const char* name)
{
    if (!name)
        return {};
    auto it = cache.find(index);
    if (it == cache.end())
        it = cache.insert(index, load(name));
    return *it;
}

} // namespace

QIcon toolbarIcon(int index)
{
    static QHash<int, QIcon> cache;
    return cached(cache, index, toolbarName(index));
}

QIcon treeIcon(int index)
{
    static QHash<int, QIcon> cache;
    return cached(cache, index + 100, treeName(index));
}

QPixmap statusBarPicture(int index)
{
    if (index != 1)
        return {};
    return load("user-home").pixmap(16, 16);
}

} // namespace orv::ui
