// The entity data dialog with the status bar, and the web-update dialog.
#include "MainWindowHarness.h"

#include "mail/MapiLoader.h"
#include "mail/SupportRequest.h"
#include "ui/main/EntityDataDialog.h"
#include "ui/main/StatusPanel.h"
#include "ui/main/WWWUpdateDialog.h"

#include <QApplication>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

namespace orv::test {
namespace {

using EntityDataTest = MainWindowHarness;

// Shows the dialog as the user sees it, runs `act`, and returns its result.
std::function<int(QObject*)> interact(std::function<void(ui::TdlgConf*)> act)
{
    return [act](QObject* w) {
        auto* dlg = qobject_cast<ui::TdlgConf*>(w);
        EXPECT_NE(dlg, nullptr);
        if (!dlg)
            return 0;
        dlg->setResult(0);
        dlg->show();
        dlg->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(dlg));
        act(dlg);
        const int result = dlg->result();
        dlg->hide();
        return result;
    };
}

TEST_F(EntityDataTest, ConfirmedChangeReachesTheDataAndTheStatusBar)
{
    entityData().VIA = QStringLiteral("Via Roma");
    window->StatusBar1DrawPanel();
    auto* panel = child<ui::StatusPanel>("StatusBar1Panel0");
    panel->grab();
    EXPECT_EQ(panel->lastDrawnText(), QStringLiteral("COMUNE DI "));

    dialogs.answerExec(interact([](ui::TdlgConf* dlg) {
        EXPECT_EQ(QApplication::focusWidget(), dlg->CancelBtn);
        EXPECT_EQ(dlg->cvia->text(), QStringLiteral("Via Roma"));
        dlg->ccomune->setFocus();
        dlg->ccomune->selectAll();
        QTest::keyClicks(dlg->ccomune, QStringLiteral("roma"));
        EXPECT_EQ(dlg->ccomune->text(), QStringLiteral("ROMA"));
        QTest::keyClicks(dlg->cservizio, QStringLiteral("ufficio gare"));
        dlg->OKBtn->click();
    }));
    click("btnDatiEnte");
    EXPECT_EQ(entityData().COMUNE, QStringLiteral("ROMA"));
    EXPECT_EQ(entityData().SERVIZIO, QStringLiteral("UFFICIO GARE"));
    EXPECT_EQ(entityData().VIA, QStringLiteral("Via Roma"));
    panel->grab();
    EXPECT_EQ(panel->lastDrawnText(), QStringLiteral("COMUNE DI ROMA"));
}

TEST_F(EntityDataTest, CancelLeavesEverythingAndTheNextOpeningShowsStoredValues)
{
    entityData().COMUNE = QStringLiteral("BOLOGNA");
    dialogs.answerExec(interact([](ui::TdlgConf* dlg) {
        dlg->cmail->setText(QStringLiteral("nuova@comune.it"));
        QTest::keyClick(dlg->CancelBtn, Qt::Key_Return); // Enter on the focused "&Annulla"
    }));
    action("DatidellEnte1")->trigger();
    EXPECT_TRUE(entityData().MAIL.isEmpty());
    EXPECT_EQ(entityData().COMUNE, QStringLiteral("BOLOGNA"));

    dialogs.answerExec(interact([](ui::TdlgConf* dlg) {
        EXPECT_TRUE(dlg->cmail->text().isEmpty());
        dlg->CancelBtn->click();
    }));
    click("btnDatiEnte");
}

TEST_F(EntityDataTest, EnterWalksTheBoxesInTabOrderAndEscapeDoesNothing)
{
    QStringList visited;
    bool visibleAfterEscape = false;
    dialogs.answerExec(interact([&](ui::TdlgConf* dlg) {
        dlg->ccomune->setFocus();
        for (int i = 0; i < 8; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            visited << QApplication::focusWidget()->objectName();
            if (visited.back() == QLatin1String("OKBtn"))
                break;
        }
        QTest::keyClick(dlg, Qt::Key_Escape);
        visibleAfterEscape = dlg->isVisible() && dlg->result() == 0;
        dlg->CancelBtn->click();
    }));
    click("btnDatiEnte");
    EXPECT_EQ(visited, QStringList({"cvia", "cnumero", "ccitta", "cprovincia", "ctelefono", "cfax", "cmail", "OKBtn"}));
    EXPECT_TRUE(visibleAfterEscape);
}

TEST_F(EntityDataTest, WebUpdateDialogShowsTheNoticeAndFollowsTheUpdateEvents)
{
    ui::TdlgWWWUpdate* dlg = window->dlgWWWUpdate();
    dialogs.answerExec([](QObject* w) {
        auto* d = qobject_cast<ui::TdlgWWWUpdate*>(w);
        EXPECT_NE(d, nullptr);
        if (d)
            d->avviaagg->click();
        return 0;
    });
    dialogs.answerMessage(mbOK);
    action("AggiornamentoviaWeb1")->trigger();
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].text, ui::kModemNotice);
    EXPECT_EQ(dialogs.messages()[0].buttons, mbOK);
    EXPECT_EQ(dlg->windowTitle(), QStringLiteral("Aggiornamento via Internet"));

    dlg->aup1Progress(40);
    EXPECT_EQ(dlg->ProgressBar1->value(), 40);
    dlg->aup1Aborted();
    EXPECT_EQ(dlg->windowTitle(), QStringLiteral("Aggiornamento annullato"));
    EXPECT_EQ(dlg->ProgressBar1->value(), 0);
    dlg->aup1NoUpdateAvailable();
    EXPECT_EQ(dlg->windowTitle(), QStringLiteral("Aggiornamento non disponibile"));
}

TEST_F(EntityDataTest, MaintenanceCommandsStayDisabledUntilTheirDialogIsInstalled)
{
    for (const char* name : {"btnRipara", "btnSalvataggio", "btnRipristino"})
        EXPECT_FALSE(child(name)->isEnabled()) << name;

    int runs = 0;
    window->setMaintenanceDialog(ui::TfrmMain::Maintenance::Backup, [&] {
        ++runs;
        EXPECT_FALSE(dm->ttProcedure->isOpen()) << "the dialog works on closed tables";
        throw Error(QStringLiteral("backup failed"));
    });
    ASSERT_TRUE(child("btnSalvataggio")->isEnabled());
    click("btnArchivio");
    selectProcedure(QStringLiteral("05 Licitazione privata"));
    dialogs.answerMessage(mbOK); // the standard error box
    click("btnSalvataggio");
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(dialogs.messages().back().text, QStringLiteral("backup failed"));
    EXPECT_TRUE(dm->ttProcedure->isOpen()) << "reopened after the error";
    EXPECT_EQ(currentCode(), QStringLiteral("01"));
    EXPECT_EQ(child<QTabWidget>("PageControl1")->currentWidget()->objectName(), QStringLiteral("TabModulistica"));
}


TEST_F(EntityDataTest, SupportRequestFromMenuAndToolbarGoesToTheSupportAddressFromTheHeading)
{
    QStringList senders, recipients;
    mapi::setProviderForTests([&](mapi::LHANDLE, std::uintptr_t, const mapi::MapiMessage& m, mapi::ULONG, mapi::ULONG) {
        senders << QString::fromLocal8Bit(m.lpOriginator->lpszName);
        recipients << QString::fromLocal8Bit(m.lpRecips[0].lpszAddress);
        return mapi::MAPI_USER_ABORT; // discarded in the mail client: nothing is shown
    });
    entityData().COMUNE = QStringLiteral("ROMA");
    action("Richiediassistenza")->trigger();
    entityData().COMUNE.clear();
    click("ToolButton6");
    mapi::resetLoaderForTests();
    EXPECT_EQ(senders, QStringList({QStringLiteral("COMUNE DI ROMA"), QStringLiteral("COMUNE DI ")}));
    EXPECT_EQ(recipients, QStringList(2, QStringLiteral("SMTP:") + mail::supportAddress()));
    EXPECT_TRUE(dialogs.messages().empty());
}

} // namespace
} // namespace orv::test
