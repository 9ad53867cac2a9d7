#include "app/Shell.h"

#include "app/AboutBox.h"
#include "app/CalendarDifference.h"
#include "app/GlobalState.h"
#include "app/HistoryDialog.h"
#include "app/ManualViewer.h"
#include "app/SpotBox.h"
#include "app/SplashForm.h"
#include "data/Tdm.h"
#include "platform/Clock.h"
#include "platform/Commands.h"
#include "platform/Dialogs.h"
#include "platform/ProgramFolder.h"
#include "ui/main/EditorBridge.h"
#include "ui/main/MainWindow.h"
#include "ui/main/RepairProgress.h"

#include <QApplication>
#include <QDialog>
#include <QFont>

namespace orv::app {

void installFontSubstitutes()
{
    // The windows name the fonts they were drawn with; these stand in for
    // them where they are not installed.
    QFont::insertSubstitutions(QStringLiteral("Tahoma"), {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    QFont::insertSubstitutions(QStringLiteral("Verdana"), {QStringLiteral("DejaVu Sans")});
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"), {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    QFont::insertSubstitutions(QStringLiteral("Arial"), {QStringLiteral("Liberation Sans")});
    QFont::insertSubstitutions(QStringLiteral("Courier New"), {QStringLiteral("Liberation Mono")});
    QFont::insertSubstitutions(QStringLiteral("Times New Roman"), {QStringLiteral("Liberation Serif")});
}

Shell::Shell() = default;

Shell::~Shell()
{
    // Windows first: they hold pointers into the data module. The dialogs
    // are children of the main window and go before it.
    m_spotBox.reset();
    m_history.reset();
    m_about.reset();
    m_manual.reset();
    m_main.reset();
    m_editor.reset();
    delete m_splash;
}

void Shell::start(const QString& folder, quint32 splashMilliseconds)
{
    installFontSubstitutes();
    m_splash = new TSplashform;
    m_splash->show();
    m_splash->repaint();

    setProgramFolder(folder);
    ReadSettings();
    createDataModule();

    m_editor = ui::createDocumentEditor();
    m_main = std::make_unique<ui::TfrmMain>(m_dm.get(), m_editor.get(), this);
    m_about = std::make_unique<TAboutBox>(m_main.get());
    m_history = std::make_unique<TdlgHistory>(m_main.get());
    m_spotBox = std::make_unique<TdlgSpotBox>(m_main.get());
    m_manual = std::make_unique<TfrmManual>();

    if (splashMilliseconds > 0)
        waitWithSplash(splashMilliseconds);
}

// An archive that does not open is reported; start-up goes on with the
// tables that did open.
void Shell::createDataModule()
{
    m_dm = std::make_unique<Tdm>();
    m_dm->setRepairProgressFactory(ui::repairProgressFactory());
    m_dm->setBusyHook([](bool busy) {
        if (busy)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    });
    runGuarded([this] { m_dm->DataModuleCreate(); });
}

TSplashform* Shell::splash() const { return m_splash; }

void Shell::showMainWindow()
{
    m_main->showMaximized();
    m_main->activateWindow();
}

void Shell::mainWindowShown() { delete m_splash; }

void Shell::mainWindowActivated()
{
    StartupState& state = startupState();
    if (!state.FirstActivation)
        return;
    state.FirstActivation = false;
    if (state.HistoryPending) {
        state.HistoryPending = false;
        state.ReminderDate = Clock::today();
        m_history->showHistory();
    }
    runReminderCheck();
}

void Shell::runReminderCheck()
{
    StartupState& state = startupState();
    const QDate today = Clock::today();
    const bool due = reminderDue(state.ReminderDate, today);
    state.ReminderDate = today;
    if (due && dialogs().exec(m_spotBox.get()) == QDialog::Accepted)
        m_main->AggiornamentoviaWeb1Click();
}

void Shell::mainWindowClosed()
{
    QString error;
    if (WriteSettings(&error))
        return;
    showMessage(QStringLiteral("Impossibile salvare le impostazioni nel file \"%1\".\r%2\r\r"
                               "I Dati dell'Ente modificati durante questa sessione non sono stati salvati.")
                    .arg(settingsPath(), error),
                MessageIcon::Warning);
}

void Shell::showAbout() { showAboutBox(m_about.get()); }

void Shell::showManual() { m_manual->showContents(manualFolder()); }

void Shell::showHistory() { m_history->showHistory(); }

} // namespace orv::app
