#pragma once
#include <QMainWindow>
#include <QPointer>
#include <functional>

class QAction;
class QMenu;
class QStatusBar;
class QTabWidget;
class QToolBar;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace orv { class Tdm; }

namespace orv::ui {

class DocumentEditor;
class FramePanel;
class ShellServices;
class StatusPanel;
class TBandGrid;
class TdlgConf;
class TdlgUserProc;
class TdlgWWWUpdate;

// The main window: procedure tree on the left, the pages "Piano dell'Opera"
// and "Archivio pratiche" on the right, menus and toolbars above, the
// authority's name in the status bar. Each handler is named after its
// control and event; every one is connected through orv::command.
class TfrmMain : public QMainWindow {
    Q_OBJECT
public:
    TfrmMain(Tdm* dm, DocumentEditor* editor, ShellServices* shell, QWidget* parent = nullptr);
    ~TfrmMain() override;

    // Life cycle.
    void FormShow();
    void FormActivate();
    void FormClose();

    // Procedure tree.
    void BuildTree();
    static void SetNodeBold(QTreeWidgetItem* node, bool bold);
    void TreeChange(QTreeWidgetItem* node);
    void TreeClick();
    void TreeEnter();
    void btnNodePrevClick();
    void btnNodeNextClick();
    void btnNodeExpClick();
    void btnNodeCollapseClick();

    // Pages.
    void btnDocumentiClick();
    void btnArchivioClick();
    void Documenti1Click();
    void Archiviopratiche1Click();

    // List navigation.
    void btnDocFirstClick();
    void btnDocPrevClick();
    void btnDocNextClick();
    void btnDocLastClick();
    void btnUserDocFirstClick();
    void btnUserDocPrevClick();
    void btnUserDocNextClick();
    void btnUserDocLastClick();
    void dxGridDocumentiEnter();
    void dxGridPraticheEnter();
    void dxDBGrid2Enter();

    // Documents.
    void btnDocPreviewClick();
    void btndocEditClick();
    void btnUserDocPreviewClick();
    void btnUserDocShowClick();
    void OpenStandardDocument(bool view);
    void OpenCaseDocument(bool view);
    void OpenDataFile(const QString& fileName, const QString& title, bool view);

    // Case files.
    void btnPraticaNewClick();
    void btnPraticaModClick();
    void btnPraticaDelClick();
    void btnUserDocNoteClick();
    void btnUserDocRestoreClick();

    // Other commands.
    void btnDatiEnteClick();
    void btnRiparaClick();
    void btnSalvataggioClick();
    void btnRipristinoClick();
    void btnManualeClick();
    void btnAboutClick();
    void Storicodelleversionisoftware1Click();
    void AggiornamentoviaWeb1Click();
    void RichiediassistenzaClick();
    void btnFineClick();
    void StatusBar1DrawPanel();

    // The dialog side of a maintenance command, installed by the maintenance
    // module. The handler closes the archive around it and reopens it, also
    // when it fails; a command without one stays disabled.
    enum class Maintenance { Repair, Backup, Restore };
    void setMaintenanceDialog(Maintenance which, std::function<void()> run);

    TdlgConf* dlgConf() const { return m_dlgConf; }
    TdlgUserProc* dlgUserProc() const { return m_dlgUserProc; }
    TdlgWWWUpdate* dlgWWWUpdate() const { return m_dlgWWWUpdate; }
    QTreeWidget* tree() const { return m_tree; }
    QTreeWidgetItem* regolamentoNode() const { return m_regolamentoNode; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Construction, one part of the window each.
    QWidget* buildCoolBar();
    QToolBar* buildMenuBar();
    QToolBar* buildMainToolBar();
    QToolBar* buildTitleBand();
    QToolBar* buildPageBar();
    QWidget* buildTreePanel();
    QWidget* buildPages();
    QWidget* buildStandardPage();
    QWidget* buildCasePage();
    void buildStatusBar();
    void buildMenus();
    void bindLists();
    QToolButton* sideButton(const char* name, int icon, const QString& hint, void (TfrmMain::*handler)(), int height = 23);
    QToolButton* toolButton(const char* name, int icon, const QString& hint, void (TfrmMain::*handler)());
    QAction* menuEntry(QMenu* menu, const char* name, const QString& text, int icon, void (TfrmMain::*handler)());
    void setFocusFrame(FramePanel* focused);
    QList<QTreeWidgetItem*> allNodes() const;
    void selectNode(QTreeWidgetItem* node);
    void setCaseMenusForPage(bool archivePage);
    void runMaintenance(Maintenance which);
    void reopenArchive();

    Tdm* m_dm;
    DocumentEditor* m_editor;
    ShellServices* m_shell;
    bool m_shown = false;

    QTreeWidget* m_tree = nullptr;
    QTreeWidgetItem* m_regolamentoNode = nullptr;
    FramePanel* m_pnlTree = nullptr;
    FramePanel* m_pnlProc = nullptr;
    FramePanel* m_pnlUserProc = nullptr;
    FramePanel* m_pnlUserDoc = nullptr;
    TBandGrid* m_dxGridDocumenti = nullptr;
    TBandGrid* m_dxGridPratiche = nullptr;
    TBandGrid* m_dxDBGrid2 = nullptr;
    QTabWidget* m_pageControl = nullptr;
    QWidget* m_tabModulistica = nullptr;
    QWidget* m_tabArchivio = nullptr;
    QToolButton* m_btnDocumenti = nullptr;
    QToolButton* m_btnArchivio = nullptr;
    QToolButton* m_btnMenuDocumenti = nullptr;
    QToolButton* m_btnMenuPratiche = nullptr;
    QToolButton* m_btnPraticaNew = nullptr;
    QAction* m_actDocumenti = nullptr;
    QAction* m_actArchivio = nullptr;
    QStatusBar* m_statusBar = nullptr;
    StatusPanel* m_statusPanel = nullptr;

    QMenu* m_menuImpostazioni = nullptr;
    QMenu* m_menuDocumenti = nullptr;
    QMenu* m_menuPratiche = nullptr;
    QMenu* m_menuUtilita = nullptr;
    QMenu* m_menuHelp = nullptr;

    std::function<void()> m_maintenance[3];
    TdlgConf* m_dlgConf = nullptr;
    TdlgUserProc* m_dlgUserProc = nullptr;
    TdlgWWWUpdate* m_dlgWWWUpdate = nullptr;
};

} // namespace orv::ui
