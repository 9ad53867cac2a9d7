// Life cycle, pages, focus frames and the commands that open small windows.
#include "ui/main/MainWindow.h"

#include "data/Tdm.h"

#include "mail/SupportRequest.h"
#include "platform/Commands.h"
#include "platform/Dialogs.h"
#include "platform/EntityData.h"
#include "ui/main/EntityDataDialog.h"
#include "ui/main/GradientLabel.h"
#include "ui/main/ShellServices.h"
#include "ui/main/StatusPanel.h"
#include "ui/main/WWWUpdateDialog.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>

namespace orv::ui {
namespace {

// Restores the cursor however the command ends.
struct HourGlass {
    HourGlass() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~HourGlass() { QApplication::restoreOverrideCursor(); }
};

} // namespace

void TfrmMain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!event->spontaneous())
        runGuarded([this] { FormShow(); });
}

bool TfrmMain::event(QEvent* event)
{
    const bool handled = QMainWindow::event(event);
    if (event->type() == QEvent::WindowActivate)
        runGuarded([this] { FormActivate(); });
    return handled;
}

void TfrmMain::closeEvent(QCloseEvent* event)
{
    runGuarded([this] { FormClose(); });
    event->accept();
}

// The start view, also after every maintenance command.
void TfrmMain::FormShow()
{
    m_pageControl->tabBar()->hide();
    m_pageControl->setCurrentWidget(m_tabModulistica);
    m_btnDocumenti->setChecked(true);
    m_btnMenuPratiche->setEnabled(false);
    m_btnMenuDocumenti->setEnabled(true);
    BuildTree();
    if (!m_shown) {
        m_shown = true;
        if (m_shell)
            m_shell->mainWindowShown();
    }
}

void TfrmMain::FormActivate()
{
    if (m_shell)
        m_shell->mainWindowActivated();
}

void TfrmMain::btnDocumentiClick()
{
    m_pageControl->setCurrentWidget(m_tabModulistica);
    m_actDocumenti->setChecked(true);
    m_actArchivio->setChecked(false);
    setCaseMenusForPage(false);
}

void TfrmMain::btnArchivioClick()
{
    HourGlass wait;
    m_pageControl->setCurrentWidget(m_tabArchivio);
    m_actDocumenti->setChecked(false);
    m_actArchivio->setChecked(true);
    setCaseMenusForPage(true);
}

void TfrmMain::setCaseMenusForPage(bool archivePage)
{
    m_btnMenuPratiche->setEnabled(archivePage);
    m_btnMenuDocumenti->setEnabled(!archivePage);
}

void TfrmMain::Documenti1Click()
{
    btnDocumentiClick();
    m_btnDocumenti->setChecked(true);
}

void TfrmMain::Archiviopratiche1Click()
{
    btnArchivioClick();
    m_btnArchivio->setChecked(true);
}

void TfrmMain::setFocusFrame(FramePanel* focused)
{
    for (FramePanel* frame : {m_pnlTree, m_pnlProc, m_pnlUserProc, m_pnlUserDoc})
        frame->setFrameColor(frame == focused ? kFocusRed : kNavy);
}

void TfrmMain::TreeEnter() { setFocusFrame(m_pnlTree); }
void TfrmMain::dxGridDocumentiEnter() { setFocusFrame(m_pnlProc); }
void TfrmMain::dxGridPraticheEnter() { setFocusFrame(m_pnlUserProc); }
void TfrmMain::dxDBGrid2Enter() { setFocusFrame(m_pnlUserDoc); }

void TfrmMain::btnDatiEnteClick()
{
    m_dlgConf->setValues(entityData());
    if (dialogs().exec(m_dlgConf) != QDialog::Accepted)
        return;
    entityData() = m_dlgConf->values();
    StatusBar1DrawPanel();
}

void TfrmMain::StatusBar1DrawPanel() { m_statusPanel->repaint(); }

void TfrmMain::btnManualeClick()
{
    if (m_shell)
        m_shell->showManual();
}

void TfrmMain::btnAboutClick()
{
    if (m_shell)
        m_shell->showAbout();
}

void TfrmMain::Storicodelleversionisoftware1Click()
{
    if (m_shell)
        m_shell->showHistory();
}

void TfrmMain::AggiornamentoviaWeb1Click() { dialogs().exec(m_dlgWWWUpdate); }

void TfrmMain::RichiediassistenzaClick()
{
    if (m_dm)
        m_dm->SendSupportRequest(mail::supportAddress());
}

void TfrmMain::btnFineClick() { close(); }

} // namespace orv::ui
