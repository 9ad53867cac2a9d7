#include "editor/TfrmTx.h"

#include "editor/MergeFields.h"
#include "editor/TButtonBar.h"
#include "editor/TRuler.h"
#include "editor/TTextControl.h"
#include "editor/TfrmInsertTab.h"
#include "editor/format/DocumentIO.h"
#include "platform/Commands.h"
#include "platform/Dialogs.h"
#include "platform/EntityData.h"
#include "platform/PendingMessages.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <cstdio>

// The editor's icons live in a static library: register them explicitly.
static void initEditorResources() { Q_INIT_RESOURCE(editor); }

namespace orv {
namespace {

// The hourglass for the length of a command.
struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

QIcon drawnTableIcon(bool gridOnly)
{
    QPixmap pm(22, 22);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setPen(QPen(gridOnly ? QColor(90, 90, 90) : QColor(40, 60, 120), 1, gridOnly ? Qt::DotLine : Qt::SolidLine));
    for (int x : {3, 10, 18})
        p.drawLine(x, 3, x, 18);
    for (int y : {3, 8, 13, 18})
        p.drawLine(3, y, 18, y);
    if (!gridOnly) {
        p.setPen(QPen(QColor(200, 120, 0), 2));
        p.drawLine(12, 20, 20, 12);
    }
    return QIcon(pm);
}

const char* const kZoomTexts[] = {"50 %", "60%", "70%", "80%", "90%", "100%", "110%", "120%"};

} // namespace

TfrmTx::TfrmTx(QWidget* parent) : QMainWindow(parent), m_printer(QPrinter::HighResolution)
{
    initEditorResources();
    setObjectName(QStringLiteral("frmTx"));
    setWindowTitle(QStringLiteral("Documento"));
    setWindowState(Qt::WindowMaximized);
    resize(1000, 760);

    auto* central = new QWidget(this);
    auto* lay = new QVBoxLayout(central);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(0);
    bb1 = new TButtonBar(central);
    ruler1 = new TRuler(central);
    tx1 = new TTextControl(central);
    lay->addWidget(bb1);
    lay->addWidget(ruler1);
    lay->addWidget(tx1, 1);
    setCentralWidget(central);

    frmInsertTab = new TfrmInsertTab(tx1, this);

    buildActions();
    buildMenus();
    buildToolBars();

    connect(tx1, &TTextControl::OnChange, this, command(this, &TfrmTx::tx1Change));
    connect(tx1, &TTextControl::OnFieldCreated, this, command(this, &TfrmTx::tx1FieldCreated));
    connect(tx1, &TTextControl::OnFieldDeleted, this, command(this, &TfrmTx::tx1FieldDeleted));
    connect(tx1, &TTextControl::OnObjectDeleted, this, command(this, &TfrmTx::tx1ObjectDeleted));
    // By-reference answers need a direct call.
    connect(tx1, &TTextControl::OnTableCreated, this,
            [this](int id, int& newId) { runGuarded([&] { tx1TableCreated(id, newId); }); }, Qt::DirectConnection);
    connect(tx1, &TTextControl::OnKeyPress, this, [this](int& key) { runGuarded([&] { tx1KeyPress(key); }); },
            Qt::DirectConnection);
}

TfrmTx::~TfrmTx() = default;

QAction* TfrmTx::action(const QString& name, const QString& text, const QString& hint, const QString& icon)
{
    auto* a = new QAction(text, this);
    a->setObjectName(name);
    a->setToolTip(hint.isEmpty() ? QString(text).remove(QLatin1Char('&')) : hint);
    if (!icon.isEmpty())
        a->setIcon(QIcon(QStringLiteral(":/editor/%1.png").arg(icon)));
    return a;
}

void TfrmTx::buildActions()
{
    Salva1 = action(QStringLiteral("Salva1"), QStringLiteral("Salva"), QStringLiteral("Salva documento"), QStringLiteral("document-save"));
    Salva1->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F12));
    connect(Salva1, &QAction::triggered, this, command(this, &TfrmTx::salvaClick));
    Stampa1 = action(QStringLiteral("Stampa1"), QStringLiteral("Stampa"), {}, QStringLiteral("document-print"));
    connect(Stampa1, &QAction::triggered, this, command(this, &TfrmTx::btnstampaClick));
    Impostastampante1 = action(QStringLiteral("Impostastampante1"), QStringLiteral("Imposta stampante"), {}, QStringLiteral("document-properties"));
    connect(Impostastampante1, &QAction::triggered, this, command(this, &TfrmTx::Impostastampante1Click));
    ImportadaformatoWord1 = action(QStringLiteral("ImportadaformatoWord1"), QStringLiteral("Importa da formato Word"), {}, QStringLiteral("document-open"));
    connect(ImportadaformatoWord1, &QAction::triggered, this, command(this, &TfrmTx::btnWordImpClick));
    EsportainWord1 = action(QStringLiteral("EsportainWord1"), QStringLiteral("Esporta in formato Word"), {}, QStringLiteral("document-save-as"));
    connect(EsportainWord1, &QAction::triggered, this, command(this, &TfrmTx::btnWordExpClick));
    Inserisciimmagine1 = action(QStringLiteral("Inserisciimmagine1"), QStringLiteral("Inserisci immagine"), {}, QStringLiteral("image-x-generic"));
    connect(Inserisciimmagine1, &QAction::triggered, this, command(this, &TfrmTx::btnInsertImageClick));
    Paragrafo1 = action(QStringLiteral("Paragrafo1"), QStringLiteral("Paragrafo"), QStringLiteral("Impostazione rientri"), QStringLiteral("format-indent-more"));
    connect(Paragrafo1, &QAction::triggered, this, command(this, &TfrmTx::btnParClick));
    Impostazionerientri1 = action(QStringLiteral("Impostazionerientri1"), QStringLiteral("Impostazione rientri .."), {});
    connect(Impostazionerientri1, &QAction::triggered, this, command(this, &TfrmTx::btnParClick));
    Copia1 = action(QStringLiteral("Copia1"), QStringLiteral("Copia"), {}, QStringLiteral("edit-copy"));
    Copia1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    connect(Copia1, &QAction::triggered, this, command(this, &TfrmTx::copiaClick));
    Incolla1 = action(QStringLiteral("Incolla1"), QStringLiteral("Incolla"), {}, QStringLiteral("edit-paste"));
    Incolla1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));
    connect(Incolla1, &QAction::triggered, this, command(this, &TfrmTx::pastClick));
    actCut = action(QStringLiteral("actCut"), QStringLiteral("Taglia"), {}, QStringLiteral("edit-cut"));
    connect(actCut, &QAction::triggered, this, command(this, &TfrmTx::cutClick));
    // The menu entry acts like its button, so that its shortcut Ctrl+X cuts.
    Taglia1 = action(QStringLiteral("Taglia1"), QStringLiteral("Taglia"), {});
    Taglia1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_X));
    connect(Taglia1, &QAction::triggered, this, command(this, &TfrmTx::cutClick));
    Trova1 = action(QStringLiteral("Trova1"), QStringLiteral("Trova ..."), QStringLiteral("Cerca Testo"), QStringLiteral("edit-find"));
    Trova1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    connect(Trova1, &QAction::triggered, this, command(this, &TfrmTx::findClick));
    Uscita1 = action(QStringLiteral("Uscita1"), QStringLiteral("&Esci"), QStringLiteral("Chiudi"), QStringLiteral("system-log-out"));
    connect(Uscita1, &QAction::triggered, this, command(this, &TfrmTx::esceClick));
    Inserisci1 = action(QStringLiteral("Inserisci1"), QStringLiteral("Inserisci"), QStringLiteral("IUnserisci tabella"), QStringLiteral("x-office-spreadsheet"));
    connect(Inserisci1, &QAction::triggered, this, command(this, &TfrmTx::btninstableClick));
    actFormatTable = action(QStringLiteral("actFormatTable"), QStringLiteral("Formatta tabella"), {});
    actFormatTable->setIcon(drawnTableIcon(false));
    connect(actFormatTable, &QAction::triggered, this, command(this, &TfrmTx::ToolButton3Click));
    Formatta1 = action(QStringLiteral("Formatta1"), QStringLiteral("Formatta"), {});
    connect(Formatta1, &QAction::triggered, this, command(this, &TfrmTx::ToolButton3Click));
    actGrid = action(QStringLiteral("actGrid"), QStringLiteral("Visualizza griglia tabella"), {});
    actGrid->setIcon(drawnTableIcon(true));
    actGrid->setCheckable(true);
    connect(actGrid, &QAction::triggered, this, command(this, &TfrmTx::btngridClick));
    Visualizzagriglia1 = action(QStringLiteral("Visualizzagriglia1"), QStringLiteral("Visualizza griglia"), {});
    Visualizzagriglia1->setCheckable(true);
    connect(Visualizzagriglia1, &QAction::triggered, this, [this] {
        runGuarded([this] {
            actGrid->setChecked(!actGrid->isChecked());
            btngridClick();
        });
    });

    using Handler = void (TfrmTx::*)();
    const Handler zoomHandlers[] = {&TfrmTx::N501Click, &TfrmTx::N601Click, &TfrmTx::N701Click, &TfrmTx::N801Click,
                                    &TfrmTx::N901Click, &TfrmTx::N1001Click, &TfrmTx::N1101Click, &TfrmTx::N1201Click};
    for (int i = 0; i < 8; ++i) {
        const int percent = 50 + 10 * i;
        zoomActions[i] = action(QStringLiteral("N%1").arg(percent) + QStringLiteral("1"), QStringLiteral("%1%").arg(percent), {});
        connect(zoomActions[i], &QAction::triggered, this, command(this, zoomHandlers[i]));
    }

    const std::tuple<const char*, const char*, Handler> merge[] = {
        {"btncomune", "Comune", &TfrmTx::btncomuneClick}, {"btnprov", "Prov", &TfrmTx::btnprovClick},
        {"btncitta", "Città", &TfrmTx::btncittaClick},     {"btnvia", "Via", &TfrmTx::btnviaClick},
        {"btnnum", "N.", &TfrmTx::btnnumClick},            {"btnTel", "Tel.", &TfrmTx::btnTelClick},
        {"btnfax", "Fax", &TfrmTx::btnfaxClick},           {"btnmail", "e-Mail", &TfrmTx::btnmailClick},
        {"btnservizio", "servizio", &TfrmTx::btnservizioClick}, {"Button1", "Footer", &TfrmTx::Button1Click},
    };
    int i = 0;
    for (const auto& [name, caption, handler] : merge) {
        QAction* a = action(QStringLiteral("act_") + QString::fromLatin1(name), QString::fromUtf8(caption), {});
        a->setVisible(false); // authoring commands: no command of the program shows them
        connect(a, &QAction::triggered, this, command(this, handler));
        mergeActions[i++] = a;
    }
}

void TfrmTx::buildMenus()
{
    QMenu* documento = menuBar()->addMenu(QStringLiteral("&Documento"));
    documento->setObjectName(QStringLiteral("Documento1"));
    documento->addAction(Paragrafo1);
    documento->addSeparator();
    documento->addAction(Salva1);
    sepSalva = documento->addSeparator();
    documento->addAction(Impostastampante1);
    documento->addAction(Stampa1);
    documento->addSeparator();
    documento->addAction(EsportainWord1);
    documento->addAction(ImportadaformatoWord1);
    documento->addAction(Inserisciimmagine1);
    documento->addSeparator();
    documento->addAction(Uscita1);

    QMenu* modifica = menuBar()->addMenu(QStringLiteral("&Modifica"));
    modifica->setObjectName(QStringLiteral("Modifica1"));
    modifica->addAction(Taglia1);
    modifica->addAction(Copia1);
    modifica->addAction(Incolla1);
    sepIncolla = modifica->addSeparator();
    modifica->addAction(Trova1);
    sepTrova = modifica->addSeparator();
    QMenu* zoom = modifica->addMenu(QStringLiteral("Zoom"));
    zoom->setObjectName(QStringLiteral("Zoom1"));
    for (QAction* a : zoomActions)
        zoom->addAction(a);

    Tabelle = menuBar()->addMenu(QStringLiteral("Tabelle"));
    Tabelle->setObjectName(QStringLiteral("Tabelle1"));
    Tabelle->addAction(Inserisci1);
    Tabelle->addSeparator();
    Tabelle->addAction(Formatta1);
    Tabelle->addAction(Visualizzagriglia1);
    Tabelle->addSeparator();
    Tabelle->addAction(Impostazionerientri1);
}

QToolButton* TfrmTx::toolButton(QToolBar* bar, QAction* a, const QString& name)
{
    bar->addAction(a);
    auto* b = qobject_cast<QToolButton*>(bar->widgetForAction(a));
    if (b)
        b->setObjectName(name);
    return b;
}

void TfrmTx::buildToolBars()
{
    auto gap = [](QToolBar* bar, int width) {
        auto* w = new QWidget(bar);
        w->setFixedWidth(width);
        bar->addWidget(w);
    };
    QToolBar* row1 = addToolBar(QStringLiteral("Documento"));
    row1->setObjectName(QStringLiteral("ToolBar1"));
    row1->setMovable(false);
    toolButton(row1, Salva1, QStringLiteral("salva"));
    toolButton(row1, Stampa1, QStringLiteral("btnstampa"));
    toolButton(row1, Impostastampante1, QStringLiteral("btnPrintSetup"));
    toolButton(row1, ImportadaformatoWord1, QStringLiteral("btnWordImp"));
    toolButton(row1, EsportainWord1, QStringLiteral("btnWordExp"));
    toolButton(row1, Inserisciimmagine1, QStringLiteral("btnInsertImage"));
    toolButton(row1, Paragrafo1, QStringLiteral("btnPar"));
    gap(row1, 12);
    toolButton(row1, Copia1, QStringLiteral("copia"));
    toolButton(row1, Incolla1, QStringLiteral("past"));
    toolButton(row1, actCut, QStringLiteral("cut"));
    toolButton(row1, Trova1, QStringLiteral("find"));

    addToolBarBreak();
    QToolBar* row2 = addToolBar(QStringLiteral("Visualizza"));
    row2->setObjectName(QStringLiteral("ToolBar2"));
    row2->setMovable(false);
    gap(row2, 8);
    zoo = new QComboBox(row2);
    zoo->setObjectName(QStringLiteral("zoo"));
    for (const char* t : kZoomTexts)
        zoo->addItem(QString::fromLatin1(t));
    zoo->setCurrentIndex(5);
    zoo->setToolTip(QStringLiteral("Zoom"));
    row2->addWidget(zoo);
    connect(zoo, &QComboBox::activated, this, command(this, &TfrmTx::zooChange));
    gap(row2, 12);
    toolButton(row2, Uscita1, QStringLiteral("ToolButton1"));
    const char* const mergeNames[] = {"btncomune", "btnprov", "btncitta", "btnvia", "btnnum",
                                      "btnTel", "btnfax", "btnmail", "btnservizio", "Button1"};
    for (int i = 0; i < 10; ++i)
        if (QToolButton* b = toolButton(row2, mergeActions[i], QString::fromLatin1(mergeNames[i])))
            b->setToolButtonStyle(Qt::ToolButtonTextOnly);

    addToolBarBreak();
    tbgrid = addToolBar(QStringLiteral("Tabelle"));
    tbgrid->setObjectName(QStringLiteral("tbgrid"));
    tbgrid->setMovable(false);
    toolButton(tbgrid, Inserisci1, QStringLiteral("btninstable"));
    toolButton(tbgrid, actFormatTable, QStringLiteral("ToolButton3"));
    toolButton(tbgrid, actGrid, QStringLiteral("btngrid"));
}

// ---------------------------------------------------------------- window events

void TfrmTx::showEvent(QShowEvent* e)
{
    QMainWindow::showEvent(e);
    runGuarded([this] { FormShow(); });
}

bool TfrmTx::event(QEvent* e)
{
    const bool result = QMainWindow::event(e);
    if (e->type() == QEvent::WindowActivate)
        runGuarded([this] { FormActivate(); });
    return result;
}

void TfrmTx::closeEvent(QCloseEvent* e)
{
    runGuarded([this] { FormClose(); });
    e->accept();
}

void TfrmTx::FormShow()
{
    if (!OpenPending)
        return;
    if (!m_waitCursor) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        m_waitCursor = true;
    }
    OpenPending = false;
    NextTableId = 10;
    tx1->setButtonBarHandle(bb1);
    tx1->setRulerHandle(ruler1);
    zoo->setCurrentIndex(5);
    tx1->setZoomFactor(100);
    tx1->setTableGridLines(false);
    actGrid->setChecked(false);
    Visualizzagriglia1->setChecked(false);
    tx1->setFocus();
    tx1->setEditMode(Editable ? 0 : 1);
    ApplyEditState(Editable);
    LoadFile(DocumentFile, 3);
}

void TfrmTx::FormActivate()
{
    if (m_activating)
        return; // the pending messages below may activate us again
    m_activating = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{m_activating};
    tx1->hide();
    processMessages();
    tx1->show();
    processMessages();
    FillMergeFields();
    tx1->setFocus();
    if (m_waitCursor) {
        QApplication::restoreOverrideCursor();
        m_waitCursor = false;
    }
}

void TfrmTx::FormClose()
{
    if (Modified) {
        const int answer = messageBox(QStringLiteral("Salva modifiche"), QStringLiteral("Salvare le modifiche ?"),
                                      MessageIcon::Question, mbYes | mbNo, mbYes);
        if (answer == mbYes) {
            WaitCursor wait;
            SaveFile(DocumentFile);
        }
    }
    OpenPending = true;
    if (m_waitCursor) {
        QApplication::restoreOverrideCursor();
        m_waitCursor = false;
    }
}

// ---------------------------------------------------------------- load and save

bool TfrmTx::LoadFile(const QString& file, int format)
{
    Modified = false;
    Saved = false;
    try {
        if (format == doc::OwnFormat) {
            QFile f(file);
            if (!f.open(QIODevice::ReadOnly))
                return false;
            const QByteArray leading = f.read(doc::kHeaderSize);
            f.close();
            const doc::FileHeader h = doc::decodeHeader(leading);
            tx1->setPageMarginL(h.page.marginLeft);
            tx1->setPageMarginT(h.page.marginTop);
            tx1->setPageMarginR(h.page.marginRight);
            tx1->setPageMarginB(h.page.marginBottom);
            tx1->setPageHeight(h.page.height);
            tx1->setPageWidth(h.page.width);
            tx1->LoadDocument(file, h.documentOffset, doc::OwnFormat, false);
        } else {
            tx1->LoadDocument(file, 0, format, false);
            using Setter = void (TTextControl::*)(int);
            const Setter setters[] = {&TTextControl::setPageWidth,   &TTextControl::setPageHeight,
                                      &TTextControl::setPageMarginL, &TTextControl::setPageMarginT,
                                      &TTextControl::setPageMarginR, &TTextControl::setPageMarginB};
            for (int i = 0; i < 6; ++i)
                if (const int v = tx1->DocumentAttribute(i); v > 0)
                    (tx1->*setters[i])(v);
            tx1->setSelStart(0);
            tx1->setViewMode(2);
            Modified = false;
        }
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

void TfrmTx::SaveFile(const QString& file)
{
    try {
        const doc::Format format = doc::formatForFileName(file);
        if (format == doc::OwnFormat) {
            // Written beside the file and renamed over it, so that a failure
            // never leaves a file with a header and half a document.
            const QString temp = file + QStringLiteral(".sav~");
            {
                QFile f(temp);
                doc::PageSetup page;
                page.marginLeft = tx1->PageMarginL();
                page.marginTop = tx1->PageMarginT();
                page.marginRight = tx1->PageMarginR();
                page.marginBottom = tx1->PageMarginB();
                page.height = tx1->PageHeight();
                page.width = tx1->PageWidth();
                const QByteArray header = doc::encodeHeader(page);
                if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(header) != header.size() || !f.flush())
                    throw Error(f.errorString());
            }
            try {
                tx1->SaveDocument(temp, doc::kHeaderSize, doc::OwnFormat, false);
                if (std::rename(QFile::encodeName(temp).constData(), QFile::encodeName(file).constData()) != 0)
                    throw Error(QStringLiteral("rename"));
            } catch (...) {
                QFile::remove(temp);
                throw;
            }
        } else {
            tx1->setDocumentAttribute(0, tx1->PageWidth());
            tx1->setDocumentAttribute(1, tx1->PageHeight());
            tx1->setDocumentAttribute(2, tx1->PageMarginL());
            tx1->setDocumentAttribute(3, tx1->PageMarginT());
            tx1->setDocumentAttribute(4, tx1->PageMarginR());
            tx1->setDocumentAttribute(5, tx1->PageMarginB());
            tx1->SaveDocument(file, 0, format, false);
        }
        Modified = false;
        Saved = true;
    } catch (const std::exception&) {
        errorBox(QStringLiteral("Errore salvando il documento ") + file);
    }
}

void TfrmTx::errorBox(const QString& text) { messageBox(applicationTitle(), text, MessageIcon::Critical, mbOK, mbOK); }

void TfrmTx::ApplyEditState(bool editable)
{
    tbgrid->setVisible(editable);
    Tabelle->menuAction()->setVisible(editable);
    for (QAction* a : {Paragrafo1, Salva1, actCut, Copia1, Incolla1, Inserisciimmagine1, Taglia1, sepSalva, sepIncolla, sepTrova})
        a->setVisible(editable);
}

// ---------------------------------------------------------------- commands

void TfrmTx::salvaClick()
{
    WaitCursor wait;
    SaveFile(DocumentFile);
}

void TfrmTx::btnstampaClick()
{
    tx1->setPrintZoom(100);
    const int pages = tx1->CurrentPages();
    PrintRequest request;
    request.printer = &m_printer;
    request.minPage = 0;
    request.maxPage = pages;
    request.fromPage = 1;
    request.toPage = pages;
    if (!dialogs().print(request))
        return;
    // A range reaching outside the document prints the pages it holds.
    const int first = request.allPages ? 1 : std::max(1, request.fromPage);
    const int last = request.allPages ? pages : std::min(pages, request.toPage);

    m_printer.setFullPage(true);
    const QPageSize size(QSizeF(tx1->PageWidth() / 1440.0, tx1->PageHeight() / 1440.0), QPageSize::Inch);
    m_printer.setPageLayout(QPageLayout(size, QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
    QPainter painter;
    if (!painter.begin(&m_printer))
        throw Error(QStringLiteral("La stampa non può essere avviata."));
    try {
        for (int page = first; page <= last; ++page) {
            tx1->setPrintDevice(&painter);
            tx1->PrintOnePage(page);
            if (page < last)
                m_printer.newPage();
        }
    } catch (...) {
        tx1->setPrintDevice(nullptr);
        painter.end();
        throw;
    }
    tx1->setPrintDevice(nullptr);
    painter.end();
}

void TfrmTx::Impostastampante1Click() { dialogs().printerSetup(&m_printer); }

void TfrmTx::btnWordImpClick()
{
    if (messageBox(QStringLiteral("Attenzione"), QStringLiteral("Il documento corrente andrà\rperso. Continuare comunque?"),
                   MessageIcon::Warning, mbYes | mbNo, mbNo) != mbYes)
        return;
    FileRequest request;
    request.kind = FileRequest::Open;
    request.caption = QStringLiteral("Importazione da Formato Word");
    request.filter = QStringLiteral("Formato Word (*.doc)|*.doc");
    request.defaultExt = QStringLiteral("doc");
    const auto name = dialogs().file(request);
    if (!name)
        return;
    LoadFile(*name, doc::Word);
}

void TfrmTx::btnWordExpClick()
{
    FileRequest request;
    request.kind = FileRequest::Save;
    request.caption = QStringLiteral("Esportazione in formato Word");
    request.filter = QStringLiteral("Formato Word (*.doc)|*.doc");
    request.defaultExt = QStringLiteral("doc");
    request.fileName = QStringLiteral("Senza nome");
    const auto name = dialogs().file(request);
    if (!name)
        return;
    try {
        tx1->setDocumentAttribute(0, tx1->PageWidth());
        tx1->setDocumentAttribute(1, tx1->PageHeight());
        tx1->setDocumentAttribute(2, tx1->PageMarginL());
        tx1->setDocumentAttribute(3, tx1->PageMarginT());
        tx1->setDocumentAttribute(4, tx1->PageMarginR());
        tx1->setDocumentAttribute(5, tx1->PageMarginB());
        tx1->SaveDocument(*name, 0, doc::Word, false);
    } catch (const std::exception&) {
        errorBox(QStringLiteral("Errore esportando il documento ") + *name);
    }
}

void TfrmTx::btnInsertImageClick()
{
    FileRequest request;
    request.kind = FileRequest::Open;
    request.caption = QStringLiteral("Insert Image");
    request.filter = tx1->ImageFilters();
    request.filterIndex = 1;
    request.fileMustExist = true;
    const auto name = dialogs().file(request);
    if (!name)
        return;
    try {
        tx1->InsertImageFile(0, *name, -1, 100, 100, 0, 0, 0);
        Modified = Editable;
    } catch (const std::exception&) {
        errorBox(QStringLiteral("L'immagine non può essere inserita: ") + *name + QStringLiteral("."));
    }
}

void TfrmTx::btnParClick() { tx1->ShowParagraphDialog(); }
void TfrmTx::copiaClick() { tx1->ClipboardAction(2); }
void TfrmTx::pastClick() { tx1->ClipboardAction(3); }
void TfrmTx::cutClick() { tx1->ClipboardAction(1); }

void TfrmTx::findClick()
{
    const auto text = dialogs().input({QStringLiteral("Cerca"), QStringLiteral("Testo da cercare"), QString()});
    if (text)
        tx1->FindText(*text, -1, 0);
}

void TfrmTx::zooChange(int index)
{
    if (index < 0 || index > 7)
        return;
    tx1->setZoomFactor(50 + 10 * index);
}

void TfrmTx::zoomMenu(int index)
{
    zoo->setCurrentIndex(index);
    zooChange(index);
}

void TfrmTx::esceClick() { close(); }

void TfrmTx::btninstableClick() { dialogs().exec(frmInsertTab); }

void TfrmTx::ToolButton3Click() { tx1->ShowTableFormatDialog(); }

void TfrmTx::btngridClick()
{
    const bool down = actGrid->isChecked();
    tx1->setTableGridLines(down);
    Visualizzagriglia1->setChecked(down);
}

// ---------------------------------------------------------------- control events

void TfrmTx::tx1Change() { Modified = Editable; }
void TfrmTx::tx1FieldCreated(int) { Modified = Editable; }
void TfrmTx::tx1FieldDeleted(int) { Modified = Editable; }
void TfrmTx::tx1ObjectDeleted() { Modified = Editable; }

void TfrmTx::tx1TableCreated(int, int& NewTableId)
{
    NewTableId = NextTableId;
    NextTableId = qint16(NextTableId + 1);
}

void TfrmTx::tx1KeyPress(int& key)
{
    if (key != 8)
        return;
    const int id = tx1->FieldAtInputPos();
    if (id <= 0)
        return;
    // The flag is read on the field at the caret: the field that happened to
    // be current before says nothing about the one about to be deleted.
    tx1->setFieldCurrent(id);
    if (!tx1->FieldDeleteable())
        return;
    if (messageBox(QStringLiteral("Elimina"), QStringLiteral("Eliminare il campo?"), MessageIcon::Question, mbYes | mbNo, mbNo) != mbYes)
        return;
    key = 0;
    tx1->setFieldCurrent(id);
    tx1->DeleteCurrentField(true);
    Modified = Editable;
}

// ---------------------------------------------------------------- merge fields

void TfrmTx::FillMergeFields()
{
    const EntityData& data = entityData();
    int id = 0;
    while ((id = tx1->NextFieldId(id, 0)) > 0) {
        const MergeKey* key = findMergeKey(tx1->FieldTag(id));
        if (!key)
            continue;
        tx1->setFieldCurrent(id);
        if (key->unlock) {
            tx1->setFieldChangeable(true);
            tx1->setFieldDeleteable(true);
        }
        tx1->setFieldText(mergeFieldText(*key, data.value(QString::fromLatin1(key->key))));
    }
}

void TfrmTx::InsertMergeField(const QString& key)
{
    if (tx1->FieldAtInputPos() != 0) {
        showMessage(QStringLiteral("Un campo non può essere inserito\rall'interno di un campo"));
        return;
    }
    tx1->setSelLength(0);
    tx1->setSelText(QStringLiteral(" "));
    tx1->setSelStart(tx1->SelStart() - 1);
    tx1->InsertFieldWithText(QStringLiteral("[") + key + QStringLiteral("]"));
    const int id = tx1->FieldCurrent();
    tx1->setFieldKindCode(id, 16);
    tx1->setFieldTag(id, key);
    tx1->setFieldChangeable(false);
    tx1->setFieldDeleteable(false);
    tx1->setSelStart(tx1->FieldStart() - 1);
    tx1->setSelLength(tx1->FieldEnd() - tx1->FieldStart() + 1);
    tx1->setFocus();
}

void TfrmTx::WriteCaseNumberFooter()
{
    const auto answer = dialogs().input({QStringLiteral("Numero paratica"), QString(), QString()});
    if (!answer || answer->isEmpty())
        return;
    const QString text = QStringLiteral("vindral  Prat.  ") + *answer;
    const int editMode = tx1->EditMode();
    tx1->setEditMode(0);
    tx1->setHeaderFooter(4);
    tx1->ActivateHeaderFooterPart(4);
    tx1->setSelStart(0);
    tx1->setSelLength(-1);
    tx1->setSelText(text);
    tx1->setSelLength(0);
    tx1->ActivateHeaderFooterPart(0);
    tx1->setEditMode(editMode);
}

} // namespace orv
