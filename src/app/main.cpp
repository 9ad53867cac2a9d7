#include "app/Shell.h"
#include "platform/Dialogs.h"
#include "platform/ui/Application.h"
#include "platform/ui/QtDialogs.h"

int main(int argc, char** argv)
{
    orv::Application app(argc, argv);
    orv::QtDialogs dialogs;
    orv::setDialogs(&dialogs);
    orv::setApplicationTitle(QStringLiteral("Orvanta"));
    orv::app::Shell shell;
    shell.start(QCoreApplication::applicationDirPath());
    shell.showMainWindow();
    return app.exec();
}
