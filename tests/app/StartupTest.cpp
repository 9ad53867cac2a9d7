// The program's start and end through the real shell: splash, settings,
// data module, main window, the start-up notices and "KELMA.ini" on exit.
#include "app/GlobalState.h"
#include "app/HistoryDialog.h"
#include "app/Shell.h"
#include "app/SplashForm.h"
#include "data/Tdm.h"
#include "fixtures/ArchiveFixture.h"
#include "platform/Clock.h"
#include "platform/EntityData.h"
#include "platform/PendingMessages.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"
#include "ui/main/MainWindow.h"

#include <QApplication>
#include <QDir>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace orv::app {
namespace {

const QDate kToday(2006, 6, 15);

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Clock::pinToday(kToday);
        Clock::pinTicks(5000);
        folder = test::FixtureFolder::standard();
        folder->install();
        entityData() = EntityData{};
        startupState() = StartupState{};
    }
    void TearDown() override
    {
        shell.reset();
        setProcessMessagesHook({});
        folder.reset();
        Clock::reset();
        dialogs.expectAllUsed();
    }

    QString iniPath() const { return folder->programFolder() + QStringLiteral("KELMA.ini"); }
    void writeIni(const QByteArray& text) { test::writeFile(iniPath(), text); }
    QString ini() const
    {
        return QString::fromUtf8(test::readFile(iniPath())).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    }

    // Start as the program does, without really waiting: each pass of the
    // splash's message loop moves the tick counter on by 50 ms.
    void start()
    {
        shell = std::make_unique<Shell>();
        setProcessMessagesHook([this] {
            ++waitSteps;
            splashSeenDuringWait = splashSeenDuringWait || (shell->splash() && shell->splash()->isVisible());
            Clock::advanceTicks(50);
        });
        shell->start(folder->programFolder());
        setProcessMessagesHook({});
        shell->showMainWindow();
    }
    void activate()
    {
        QEvent e(QEvent::WindowActivate);
        QApplication::sendEvent(shell->mainWindow(), &e);
    }
    std::vector<QString> shownWindows() const
    {
        std::vector<QString> names;
        for (const auto& r : dialogs.records())
            if (r.kind == test::ScriptedDialogs::Record::Exec)
                names.push_back(r.windowName);
        return names;
    }

    test::ScriptedDialogs dialogs;
    std::unique_ptr<test::FixtureFolder> folder;
    std::unique_ptr<Shell> shell;
    int waitSteps = 0;
    bool splashSeenDuringWait = false;
};

TEST_F(StartupTest, FirstRunShowsTheHistoryOnceAndWritesTheSettingsOnExit)
{
    QString historyText;
    dialogs.answerExec([&](QObject* w) {
        if (auto* h = qobject_cast<TdlgHistory*>(w))
            historyText = h->mmHistory->toPlainText();
        return 1;
    });
    start();
    EXPECT_EQ(waitSteps, 40) << "2000 ms of ticks at 50 per pass";
    EXPECT_TRUE(splashSeenDuringWait);
    ui::TfrmMain* main = shell->mainWindow();
    EXPECT_TRUE(main->isMaximized());
    EXPECT_EQ(shell->splash(), nullptr) << "closed by the first show";
    EXPECT_EQ(main->findChild<QTabWidget*>(QStringLiteral("PageControl1"))->currentWidget()->objectName(),
              QStringLiteral("TabModulistica"));
    EXPECT_EQ(main->tree()->currentItem()->text(0), QStringLiteral("01 Pubblico incanto"));
    EXPECT_TRUE(shell->dataModule()->ttProcedure->isOpen());

    activate();
    activate(); // coming back from another program shows nothing
    EXPECT_EQ(shownWindows(), std::vector<QString>{QStringLiteral("dlgHistory")});
    EXPECT_EQ(historyText, QStringLiteral("*** VERSIONE 3.00 ***\n1) Primo rilascio"));

    EXPECT_FALSE(QFile::exists(iniPath())) << "written only at close";
    main->close();
    EXPECT_FALSE(shell->dataModule()->ttProcedure->isOpen());
    EXPECT_EQ(ini(), QStringLiteral("[DATIENTE]\nCOMUNE=\nVIA=\nNUMERO=\nCITTA=\nPROVINCIA=\nTELEFONO=\nFAX=\n"
                                    "MAIL=\nSERVIZIO=\nHISTORY3.00=0\nSPOT_DATE=15/06/2006\n"));
}

TEST_F(StartupTest, ReminderAfterAWeekWithoutAStart)
{
    struct Case {
        const char* settings;
        std::vector<QString> shown; // modal windows, in order
        int reminderAnswer;
        const char* historyOnExit;
    };
    const Case cases[] = {
        {"HISTORY3.00=0\nSPOT_DATE=07/06/2006\n", {"dlgSpotBox", "dlgWWWUpdate"}, QDialog::Accepted, "0"},
        {"HISTORY3.00=0\nSPOT_DATE=07/06/2006\n", {"dlgSpotBox"}, QDialog::Rejected, "0"},
        {"HISTORY3.00=0\nSPOT_DATE=12/06/2006\n", {}, 0, "0"},
        {"HISTORY3.00=0\nSPOT_DATE=9 giugno\n", {"dlgSpotBox"}, QDialog::Rejected, "0"},
        {"HISTORY3.00=0\n", {"dlgSpotBox"}, QDialog::Rejected, "0"},
        {"HISTORY3.00=sì\nSPOT_DATE=01/01/2000\n", {"dlgHistory"}, 0, "0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.settings);
        dialogs.clear();
        startupState() = StartupState{};
        writeIni(QByteArray("[DATIENTE]\nCOMUNE=ROMA\n") + c.settings);
        for (const QString& name : c.shown) {
            const int answer = name == QLatin1String("dlgSpotBox") ? c.reminderAnswer : 0;
            dialogs.answerExec([answer](QObject*) { return answer; });
        }
        start();
        activate();
        EXPECT_EQ(shownWindows(), c.shown);
        shell->mainWindow()->close();
        const QString text = ini();
        EXPECT_TRUE(text.contains(QStringLiteral("SPOT_DATE=15/06/2006\n"))) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("HISTORY3.00=") + QLatin1String(c.historyOnExit)));
        EXPECT_TRUE(text.contains(QStringLiteral("COMUNE=ROMA\n")));
        shell.reset();
    }
}

TEST_F(StartupTest, SettingsThatCannotBeWrittenAreReportedAndTheProgramEnds)
{
    writeIni("[DATIENTE]\nHISTORY3.00=0\nSPOT_DATE=15/06/2006\n");
    start();
    activate();
    QFile::remove(iniPath());
    QDir().mkpath(iniPath()); // a folder in the file's place cannot be replaced
    dialogs.answerMessage(mbOK);
    shell->mainWindow()->close();
    ASSERT_EQ(dialogs.messages().size(), 1u);
    const MessageRequest m = dialogs.messages()[0];
    EXPECT_TRUE(m.text.startsWith(QStringLiteral("Impossibile salvare le impostazioni nel file")));
    EXPECT_TRUE(m.text.contains(QStringLiteral("KELMA.ini")));
    EXPECT_EQ(m.icon, MessageIcon::Warning);
    EXPECT_FALSE(shell->mainWindow()->isVisible());
}

TEST_F(StartupTest, MissingArchiveIsReportedAndStartUpGoesOn)
{
    QDir(folder->dataFolder()).removeRecursively();
    dialogs.answerMessage(mbOK); // the standard error box, with the engine's message
    start();
    EXPECT_EQ(dialogs.messages().size(), 1u);
    EXPECT_TRUE(shell->mainWindow()->isVisible());
    EXPECT_EQ(shell->mainWindow()->tree()->topLevelItemCount(), 2) << "the tree is built all the same";
}

} // namespace
} // namespace orv::app
