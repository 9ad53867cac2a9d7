#include "platform/ProgramFolder.h"
#include "platform/ui/Application.h"
#include "platform/ui/QtDialogs.h"

#include <QMainWindow>

int main(int argc, char** argv)
{
    orv::Application app(argc, argv);
    orv::QtDialogs dialogs;
    orv::setDialogs(&dialogs);
    orv::setProgramFolder(QCoreApplication::applicationDirPath());

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Orvanta"));
    window.showMaximized();
    return app.exec();
}
