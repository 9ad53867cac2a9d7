// Construction of the main window, one helper per part of the window.
#include "ui/main/MainWindow.h"

#include "data/Tdm.h"
#include "platform/Commands.h"
#include "ui/main/BandGrid.h"
#include "ui/main/EntityDataDialog.h"
#include "ui/main/GradientLabel.h"
#include "ui/main/Icons.h"
#include "ui/main/StatusPanel.h"
#include "ui/main/UserProcDialog.h"
#include "ui/main/WWWUpdateDialog.h"

#include <QAction>
#include <QButtonGroup>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenu>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace orv::ui {
namespace {

const char* kMenuStyle =
    "QMenu { background: #fbfbfb; border: 1px solid #8a96a8; padding: 2px 0; }"
    "QMenu::item { padding: 4px 28px 4px 30px; border: 1px solid transparent; }"
    "QMenu::item:selected { background: #dce6f4; border: 1px solid #316ac5; color: black; }"
    "QMenu::item:disabled { color: #9a9a9a; }"
    "QMenu::icon { left: 4px; }"
    "QMenu::indicator { left: 6px; width: 14px; height: 14px; }"
    "QMenu::separator { height: 1px; background: #c8ccd4; margin: 3px 6px 3px 28px; }";

const char* kCoolBarStyle =
    "QToolBar { border: none; spacing: 2px; padding: 1px 4px; }"
    "QToolButton { border: 1px solid transparent; border-radius: 2px; padding: 2px; }"
    "QToolButton:hover { border: 1px solid #7f9db9; background: #e8eff8; }"
    "QToolButton:checked { border: 1px solid #5d7fa8; background: #d4e0ef; }"
    "QToolButton:disabled { color: #8c8c8c; }";

QWidget* gap(int width)
{
    auto* w = new QWidget;
    w->setFixedWidth(width);
    return w;
}

GradientLabel* verticalTitle(const QString& text)
{
    auto* label = new GradientLabel(text);
    QFont f(QStringLiteral("Verdana"), 9);
    f.setBold(true);
    f.setItalic(true);
    label->setFont(f);
    label->setVerticalText(true);
    label->setColors(Qt::white, kNavy, GradientLabel::Direction::Horizontal);
    label->setTextColor(Qt::blue);
    return label;
}

// A column of side buttons with a vertical title filling the rest.
QWidget* buttonColumn(int width, const QList<QWidget*>& buttons, const QString& title)
{
    auto* column = new QWidget;
    column->setFixedWidth(width);
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(1, 2, 1, 2);
    layout->setSpacing(1);
    for (QWidget* b : buttons)
        layout->addWidget(b, 0, Qt::AlignHCenter);
    layout->addWidget(verticalTitle(title), 1);
    return column;
}

// A frame around a button column and a list.
FramePanel* framed(const char* name, QWidget* column, QWidget* content)
{
    auto* frame = new FramePanel;
    frame->setObjectName(QLatin1String(name));
    auto* layout = new QHBoxLayout(frame);
    layout->setContentsMargins(3, 3, 3, 3);
    layout->setSpacing(2);
    layout->addWidget(column);
    layout->addWidget(content, 1);
    return frame;
}

} // namespace

TfrmMain::TfrmMain(Tdm* dm, DocumentEditor* editor, ShellServices* shell, QWidget* parent)
    : QMainWindow(parent), m_dm(dm), m_editor(editor), m_shell(shell)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Orvanta"));
    setFont(QFont(QStringLiteral("Tahoma"), 8));
    resize(1024, 740);

    setMenuWidget(buildCoolBar());
    auto* splitter = new QSplitter(Qt::Horizontal);
    splitter->setObjectName(QStringLiteral("Splitter1"));
    splitter->setHandleWidth(3);
    splitter->addWidget(buildTreePanel());
    splitter->addWidget(buildPages());
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({321, 700});
    setCentralWidget(splitter);
    buildStatusBar();

    m_dlgUserProc = new TdlgUserProc(this);
    m_dlgConf = new TdlgConf(this);
    m_dlgWWWUpdate = new TdlgWWWUpdate(this);
    if (m_dm) {
        m_dlgUserProc->bindTable(m_dm->ttUserProc);
        m_dm->setCaseFileDialog(m_dlgUserProc);
    }
    bindLists();
    for (auto which : {Maintenance::Repair, Maintenance::Backup, Maintenance::Restore})
        setMaintenanceDialog(which, {});
}

TfrmMain::~TfrmMain() = default;

QWidget* TfrmMain::buildCoolBar()
{
    auto* coolBar = new QWidget;
    coolBar->setObjectName(QStringLiteral("CoolBar1"));
    coolBar->setStyleSheet(QString::fromLatin1(kCoolBarStyle));
    coolBar->setAutoFillBackground(true);
    QPalette pal = coolBar->palette();
    QLinearGradient g(0, 0, 0, 170);
    g.setColorAt(0, QColor(0xf4, 0xf6, 0xfa));
    g.setColorAt(1, QColor(0xd9, 0xe1, 0xec));
    pal.setBrush(QPalette::Window, g);
    coolBar->setPalette(pal);
    auto* layout = new QVBoxLayout(coolBar);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    buildMenus();
    layout->addWidget(buildMenuBar());
    layout->addWidget(buildMainToolBar());
    layout->addWidget(buildTitleBand());
    layout->addWidget(buildPageBar());
    return coolBar;
}

QAction* TfrmMain::menuEntry(QMenu* menu, const char* name, const QString& text, int icon, void (TfrmMain::*handler)())
{
    QAction* a = menu->addAction(text);
    a->setObjectName(QLatin1String(name));
    if (icon >= 0)
        a->setIcon(toolbarIcon(icon));
    connect(a, &QAction::triggered, this, command(this, handler));
    return a;
}

void TfrmMain::buildMenus()
{
    auto newMenu = [this](const char* name) {
        auto* m = new QMenu(this);
        m->setObjectName(QLatin1String(name));
        m->setStyleSheet(QString::fromLatin1(kMenuStyle));
        return m;
    };
    m_menuImpostazioni = newMenu("Impostazioni1");
    menuEntry(m_menuImpostazioni, "DatidellEnte1", QStringLiteral("Dati dell'Ente"), 0, &TfrmMain::btnDatiEnteClick);
    m_menuImpostazioni->addSeparator();
    m_actDocumenti = menuEntry(m_menuImpostazioni, "Documenti1", QStringLiteral("Modulistica"), 16, &TfrmMain::Documenti1Click);
    m_actArchivio = menuEntry(m_menuImpostazioni, "Archiviopratiche1", QStringLiteral("Gestione Modulistica"), 3, &TfrmMain::Archiviopratiche1Click);
    m_actDocumenti->setCheckable(true);
    m_actArchivio->setCheckable(true);
    m_menuImpostazioni->addSeparator();
    menuEntry(m_menuImpostazioni, "Fineprogramma1", QStringLiteral("Fine programma"), 2, &TfrmMain::btnFineClick);

    m_menuDocumenti = newMenu("Modulistica1");
    menuEntry(m_menuDocumenti, "Primodocumento1", QStringLiteral("Primo documento"), 21, &TfrmMain::btnDocFirstClick);
    menuEntry(m_menuDocumenti, "Documentoprecedente1", QStringLiteral("Documento precedente"), 22, &TfrmMain::btnDocPrevClick);
    menuEntry(m_menuDocumenti, "Documentosuccessivo1", QStringLiteral("Documento successivo"), 23, &TfrmMain::btnDocNextClick);
    menuEntry(m_menuDocumenti, "Ultimodocumento1", QStringLiteral("Ultimo documento"), 24, &TfrmMain::btnDocLastClick);
    m_menuDocumenti->addSeparator();
    menuEntry(m_menuDocumenti, "Visualizzadocumento1", QStringLiteral("Visualizza documento"), 27, &TfrmMain::btnDocPreviewClick);
    menuEntry(m_menuDocumenti, "Modificadocumento1", QStringLiteral("Modifica documento"), 26, &TfrmMain::btndocEditClick);

    m_menuPratiche = newMenu("GestioneModulistica1");
    menuEntry(m_menuPratiche, "Nuovapratica1", QStringLiteral("&Nuova pratica"), 12, &TfrmMain::btnPraticaNewClick);
    menuEntry(m_menuPratiche, "Modificapratica1", QStringLiteral("&Modifica pratica"), 14, &TfrmMain::btnPraticaModClick);
    menuEntry(m_menuPratiche, "Eliminapratica1", QStringLiteral("Elimina pratica"), 13, &TfrmMain::btnPraticaDelClick);
    m_menuPratiche->addSeparator();
    menuEntry(m_menuPratiche, "Primodocumento2", QStringLiteral("Primo documento"), 21, &TfrmMain::btnUserDocFirstClick);
    menuEntry(m_menuPratiche, "Documentoprecedente2", QStringLiteral("Documento precedente"), 22, &TfrmMain::btnUserDocPrevClick);
    menuEntry(m_menuPratiche, "Documentosuccessivo2", QStringLiteral("Documento successivo"), 23, &TfrmMain::btnUserDocNextClick);
    menuEntry(m_menuPratiche, "Ultimodocumento2", QStringLiteral("Ultimo documento"), 24, &TfrmMain::btnUserDocLastClick);
    m_menuPratiche->addSeparator();
    menuEntry(m_menuPratiche, "Visualizzadocumento2", QStringLiteral("Visualizza documento"), 27, &TfrmMain::btnUserDocPreviewClick);
    menuEntry(m_menuPratiche, "Modificadocumento2", QStringLiteral("Modifica documento"), 26, &TfrmMain::btnUserDocShowClick);
    m_menuPratiche->addSeparator();
    menuEntry(m_menuPratiche, "Notedocumento1", QStringLiteral("Note documento"), 25, &TfrmMain::btnUserDocNoteClick);
    m_menuPratiche->addSeparator();
    menuEntry(m_menuPratiche, "Ripristinadocumento1", QStringLiteral("Ripristina documento"), 28, &TfrmMain::btnUserDocRestoreClick);

    m_menuUtilita = newMenu("Utilita1");
    menuEntry(m_menuUtilita, "Riparazionearchivi1", QStringLiteral("Riparazione archivi"), 1, &TfrmMain::btnRiparaClick);
    m_menuUtilita->addSeparator();
    menuEntry(m_menuUtilita, "Salvataggioarchivi1", QStringLiteral("Salvataggio archivi"), 6, &TfrmMain::btnSalvataggioClick);
    menuEntry(m_menuUtilita, "Ripristinoarchivi1", QStringLiteral("Ripristino archivi"), 7, &TfrmMain::btnRipristinoClick);

    m_menuHelp = newMenu("Help1");
    menuEntry(m_menuHelp, "Informazionisu1", QStringLiteral("Informazioni su..."), 5, &TfrmMain::btnAboutClick);
    menuEntry(m_menuHelp, "ManualedUso1", QStringLiteral("Manuale d'Uso"), 9, &TfrmMain::btnManualeClick);
    m_menuHelp->addSeparator();
    menuEntry(m_menuHelp, "AggiornamentoviaWeb1", QStringLiteral("Aggiornamento tramite Web"), 15, &TfrmMain::AggiornamentoviaWeb1Click);
    m_menuHelp->addSeparator();
    menuEntry(m_menuHelp, "Richiediassistenza", QStringLiteral("Richiedi assistenza..."), 30, &TfrmMain::RichiediassistenzaClick);
    m_menuHelp->addSeparator();
    menuEntry(m_menuHelp, "Storicodelleversionisoftware1", QStringLiteral("Storico delle versioni software"), -1,
              &TfrmMain::Storicodelleversionisoftware1Click);
}

QToolBar* TfrmMain::buildMenuBar()
{
    auto* bar = new QToolBar;
    bar->setObjectName(QStringLiteral("ToolBar1"));
    auto add = [bar](const char* name, const QString& text, QMenu* menu) {
        auto* b = new QToolButton;
        b->setObjectName(QLatin1String(name));
        b->setText(text);
        b->setMenu(menu);
        b->setPopupMode(QToolButton::InstantPopup);
        b->setToolButtonStyle(Qt::ToolButtonTextOnly);
        b->setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; width: 0; }"));
        bar->addWidget(b);
        return b;
    };
    add("btnMenuImpostazioni", QStringLiteral("&Impostazioni"), m_menuImpostazioni);
    m_btnMenuDocumenti = add("btnMenuDocumenti", QStringLiteral("&Modulistica"), m_menuDocumenti);
    m_btnMenuPratiche = add("btnMenuPratiche", QStringLiteral("&Gestione Modulistica"), m_menuPratiche);
    add("btnMenuUtilita", QStringLiteral("&Utilità"), m_menuUtilita);
    add("btnMenuHelp", QStringLiteral("&?"), m_menuHelp);
    return bar;
}

QToolButton* TfrmMain::toolButton(const char* name, int icon, const QString& hint, void (TfrmMain::*handler)())
{
    auto* b = new QToolButton;
    b->setObjectName(QLatin1String(name));
    b->setIcon(toolbarIcon(icon));
    b->setIconSize(QSize(18, 18));
    b->setToolTip(hint);
    b->setAutoRaise(true);
    connect(b, &QToolButton::clicked, this, command(this, handler));
    return b;
}

QToolBar* TfrmMain::buildMainToolBar()
{
    auto* bar = new QToolBar;
    bar->setObjectName(QStringLiteral("ToolBar4"));
    bar->setMinimumHeight(40);
    bar->setIconSize(QSize(18, 18));
    bar->addWidget(toolButton("btnDatiEnte", 0, QStringLiteral("Impostazioni Dati Ente"), &TfrmMain::btnDatiEnteClick));
    bar->addWidget(gap(30));
    bar->addWidget(toolButton("btnRipara", 1, QStringLiteral("Riparazione archivi"), &TfrmMain::btnRiparaClick));
    bar->addWidget(toolButton("btnSalvataggio", 6, QStringLiteral("Salvataggio archivi"), &TfrmMain::btnSalvataggioClick));
    bar->addWidget(toolButton("btnRipristino", 7, QStringLiteral("Ripristino archivi"), &TfrmMain::btnRipristinoClick));
    bar->addWidget(gap(30));
    bar->addWidget(toolButton("btnManuale", 9, QStringLiteral("Manuale"), &TfrmMain::btnManualeClick));
    bar->addWidget(toolButton("btnAbout", 5, QStringLiteral("Informazioni su..."), &TfrmMain::btnAboutClick));
    bar->addWidget(gap(8));
    QToolButton* support = toolButton("ToolButton6", 30, QStringLiteral("Richiedi assistenza"), &TfrmMain::RichiediassistenzaClick);
    support->setText(QStringLiteral(" Assistenza"));
    support->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    bar->addWidget(support);
    bar->addWidget(gap(30));
    bar->addWidget(toolButton("btnFine", 2, QStringLiteral("Fine programma"), &TfrmMain::btnFineClick));
    return bar;
}

QToolBar* TfrmMain::buildTitleBand()
{
    auto* bar = new QToolBar;
    bar->setObjectName(QStringLiteral("ToolBar2"));
    auto* title = new GradientLabel(QStringLiteral("Orvanta") + QStringLiteral(" - Formulario - 2004"));
    title->setObjectName(QStringLiteral("lbTitle"));
    QFont f(QStringLiteral("Tahoma"), 12);
    f.setBold(true);
    f.setItalic(true);
    title->setFont(f);
    title->setColors(Qt::white, kNavy);
    title->setTextColor(Qt::blue);
    title->setFixedSize(560, 24);
    bar->addWidget(title);
    return bar;
}

QToolBar* TfrmMain::buildPageBar()
{
    auto* bar = new QToolBar;
    bar->setObjectName(QStringLiteral("ToolBar3"));
    auto page = [this](const char* name, int icon, const QString& text, void (TfrmMain::*handler)()) {
        QToolButton* b = toolButton(name, icon, QString(), handler);
        b->setText(text);
        b->setCheckable(true);
        b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        return b;
    };
    m_btnDocumenti = page("btnDocumenti", 16, QStringLiteral(" Modulistica"), &TfrmMain::btnDocumentiClick);
    m_btnArchivio = page("btnArchivio", 10, QStringLiteral(" Gestione Modulistica"), &TfrmMain::btnArchivioClick);
    auto* group = new QButtonGroup(bar);
    group->setExclusive(true);
    group->addButton(m_btnDocumenti);
    group->addButton(m_btnArchivio);
    m_btnDocumenti->setChecked(true);
    bar->addWidget(m_btnDocumenti);
    bar->addWidget(gap(23));
    bar->addWidget(m_btnArchivio);
    return bar;
}

QToolButton* TfrmMain::sideButton(const char* name, int icon, const QString& hint, void (TfrmMain::*handler)(), int height)
{
    QToolButton* b = toolButton(name, icon, hint, handler);
    b->setIconSize(QSize(16, 16));
    b->setFixedSize(24, height);
    return b;
}

QWidget* TfrmMain::buildTreePanel()
{
    m_tree = new QTreeWidget;
    m_tree->setObjectName(QStringLiteral("Tree"));
    m_tree->setHeaderHidden(true);
    m_tree->setIndentation(21);
    m_tree->setIconSize(QSize(18, 18));
    m_tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tree->setMouseTracking(true); // hot tracking
    m_tree->setUniformRowHeights(true);
    // Long group names scroll sideways rather than being cut short.
    m_tree->setTextElideMode(Qt::ElideNone);
    m_tree->header()->setStretchLastSection(false);
    m_tree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    QPalette pal = m_tree->palette(); // keep the selection visible without focus
    pal.setColor(QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Active, QPalette::Highlight));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText, pal.color(QPalette::Active, QPalette::HighlightedText));
    m_tree->setPalette(pal);
    m_tree->installEventFilter(this);
    m_tree->viewport()->installEventFilter(this);
    connect(m_tree, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current, QTreeWidgetItem*) { runGuarded([&] { TreeChange(current); }); });

    QWidget* column = buttonColumn(26, {
        sideButton("btnNodePrev", 22, QStringLiteral("Argomento precedente"), &TfrmMain::btnNodePrevClick),
        sideButton("btnNodeNext", 23, QStringLiteral("Argomento successivo"), &TfrmMain::btnNodeNextClick),
        sideButton("btnNodeExp", 31, QStringLiteral("Espandi argomento"), &TfrmMain::btnNodeExpClick),
        sideButton("btnNodeCollapse", 32, QStringLiteral("Comprimi argomento"), &TfrmMain::btnNodeCollapseClick),
    }, QStringLiteral("Procedure"));
    m_pnlTree = framed("pnlTree", column, m_tree);
    auto* panel = new QWidget;
    panel->setObjectName(QStringLiteral("pnlLeft"));
    panel->setMinimumWidth(200);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(2, 2, 0, 2);
    layout->addWidget(m_pnlTree);
    return panel;
}

QWidget* TfrmMain::buildPages()
{
    m_pageControl = new QTabWidget;
    m_pageControl->setObjectName(QStringLiteral("PageControl1"));
    m_pageControl->setDocumentMode(true);
    m_tabModulistica = buildStandardPage();
    m_tabArchivio = buildCasePage();
    m_pageControl->addTab(m_tabModulistica, QStringLiteral("Piano dell'Opera"));
    m_pageControl->addTab(m_tabArchivio, QStringLiteral("Archivio pratiche"));
    return m_pageControl;
}

QWidget* TfrmMain::buildStandardPage()
{
    m_dxGridDocumenti = new TBandGrid(QStringLiteral("dxGridDocumenti"));
    QWidget* column = buttonColumn(29, {
        sideButton("btnDocFirst", 21, QStringLiteral("Primo"), &TfrmMain::btnDocFirstClick),
        sideButton("btnDocPrev", 22, QStringLiteral("Precedente"), &TfrmMain::btnDocPrevClick),
        sideButton("btnDocNext", 23, QStringLiteral("Successivo"), &TfrmMain::btnDocNextClick),
        sideButton("btnDocLast", 24, QStringLiteral("Ultimo"), &TfrmMain::btnDocLastClick),
        sideButton("btnDocPreview", 27, QStringLiteral("Visualizza documento selezionato"), &TfrmMain::btnDocPreviewClick, 20),
        sideButton("btndocEdit", 26, QStringLiteral("Modifica documento selezionato"), &TfrmMain::btndocEditClick),
    }, QStringLiteral("Elenco prodotti"));
    m_pnlProc = framed("pnlProc", column, m_dxGridDocumenti);
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("TabModulistica"));
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(m_pnlProc);
    return page;
}

QWidget* TfrmMain::buildCasePage()
{
    m_dxGridPratiche = new TBandGrid(QStringLiteral("dxGridPratiche"));
    m_btnPraticaNew = sideButton("btnPraticaNew", 12, QStringLiteral("Inserisci una nuova Pratica"), &TfrmMain::btnPraticaNewClick);
    QWidget* caseColumn = buttonColumn(26, {
        m_btnPraticaNew,
        sideButton("btnPraticaMod", 14, QStringLiteral("Modifica la descrizione della pratica selezionata"), &TfrmMain::btnPraticaModClick),
        sideButton("btnPraticaDel", 13, QStringLiteral("Elimina la pratica selezionata"), &TfrmMain::btnPraticaDelClick),
    }, QStringLiteral("Pratiche"));
    m_pnlUserProc = framed("pnlUserProc", caseColumn, m_dxGridPratiche);
    m_pnlUserProc->setMinimumHeight(120);

    m_dxDBGrid2 = new TBandGrid(QStringLiteral("dxDBGrid2"));
    m_dxDBGrid2->setBandCaption(QStringLiteral("Elenco documenti della pratica selezionata"));
    QWidget* docColumn = buttonColumn(26, {
        sideButton("btnUserDocFirst", 21, QStringLiteral("Primo"), &TfrmMain::btnUserDocFirstClick),
        sideButton("btnUserDocPrev", 22, QStringLiteral("Precedente"), &TfrmMain::btnUserDocPrevClick),
        sideButton("btnUserDocNext", 23, QStringLiteral("Successivo"), &TfrmMain::btnUserDocNextClick),
        sideButton("btnUserDocLast", 24, QStringLiteral("Ultimo"), &TfrmMain::btnUserDocLastClick),
        sideButton("btnUserDocPreview", 27, QStringLiteral("Visualizza documento selezionato"), &TfrmMain::btnUserDocPreviewClick, 20),
        sideButton("btnUserDocShow", 26, QStringLiteral("Modifica documento selezionato"), &TfrmMain::btnUserDocShowClick),
        sideButton("btnUserDocNote", 25, QStringLiteral("Scrivi nota del documento selezionato"), &TfrmMain::btnUserDocNoteClick),
        sideButton("btnUserDocRestore", 28, QStringLiteral("Ripristina documento dall'archivio modulistica generale"),
                   &TfrmMain::btnUserDocRestoreClick, 20),
    }, QStringLiteral("Documenti"));
    m_pnlUserDoc = framed("pnlUserDoc", docColumn, m_dxDBGrid2);

    auto* splitter = new QSplitter(Qt::Vertical);
    splitter->setHandleWidth(3);
    splitter->addWidget(m_pnlUserProc);
    splitter->addWidget(m_pnlUserDoc);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({173, 600});
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("TabArchivio"));
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(splitter);

    connect(m_dxGridDocumenti, &TBandGrid::entered, this, command(this, &TfrmMain::dxGridDocumentiEnter));
    connect(m_dxGridPratiche, &TBandGrid::entered, this, command(this, &TfrmMain::dxGridPraticheEnter));
    connect(m_dxDBGrid2, &TBandGrid::entered, this, command(this, &TfrmMain::dxDBGrid2Enter));
    connect(m_dxGridDocumenti, &TBandGrid::doubleClicked, this, command(this, &TfrmMain::btnDocPreviewClick));
    connect(m_dxGridPratiche, &TBandGrid::doubleClicked, this, command(this, &TfrmMain::btnPraticaModClick));
    connect(m_dxDBGrid2, &TBandGrid::doubleClicked, this, command(this, &TfrmMain::btnUserDocPreviewClick));
    return page;
}

void TfrmMain::buildStatusBar()
{
    m_statusBar = new QStatusBar;
    m_statusBar->setObjectName(QStringLiteral("StatusBar1"));
    m_statusBar->setSizeGripEnabled(true);
    m_statusPanel = new StatusPanel;
    auto* second = new QWidget;
    second->setObjectName(QStringLiteral("StatusBar1Panel1"));
    second->setFixedSize(50, 18);
    m_statusBar->addWidget(m_statusPanel);
    m_statusBar->addWidget(second);
    setStatusBar(m_statusBar);
}

} // namespace orv::ui
