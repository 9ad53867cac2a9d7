// Nothing clipped or overlapping in the main window and its dialogs.
#include "LayoutCheck.h"
#include "MainWindowHarness.h"

#include "ui/main/EntityDataDialog.h"
#include "ui/main/UserProcDialog.h"
#include "ui/main/WWWUpdateDialog.h"

#include <QMenu>

namespace orv::test {
namespace {

using LayoutTest = MainWindowHarness;

TEST_F(LayoutTest, MainWindowShowsItsTextsWholeOnBothPages)
{
    window->resize(1280, 960);
    expectTextsWhole(window.get());
    saveScreenshot(window.get(), QStringLiteral("main-modulistica"));
    selectProcedure(QStringLiteral("05 Licitazione privata"));
    click("btnArchivio");
    expectTextsWhole(window.get());
    saveScreenshot(window.get(), QStringLiteral("main-archivio"));
    auto* menu = child<QToolButton>("btnMenuPratiche")->menu();
    menu->popup(QPoint(0, 0));
    saveScreenshot(menu, QStringLiteral("menu-pratiche"));
    menu->hide();
}

TEST_F(LayoutTest, DialogsFitTheirControls)
{
    entityData().COMUNE = QStringLiteral("SAN GIOVANNI IN PERSICETO");
    window->dlgConf()->setValues(entityData());
    window->dlgUserProc()->setWindowTitle(QStringLiteral("Licitazione privata - Nuova pratica"));
    window->dlgUserProc()->setValues(kToday, QStringLiteral("Fornitura di carta per fotocopie 2006"));
    for (QDialog* d : std::initializer_list<QDialog*>{window->dlgConf(), window->dlgUserProc(), window->dlgWWWUpdate()}) {
        SCOPED_TRACE(d->objectName().toStdString());
        d->show();
        expectTextsWhole(d);
        expectNoOverlap(d);
        saveScreenshot(d, d->objectName());
        d->hide();
    }
}

} // namespace
} // namespace orv::test
