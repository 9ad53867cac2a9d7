// The parts of the main window that work on the archive: lists, tree,
// documents and case files.
#include "ui/main/MainWindow.h"

#include "data/Tdm.h"
#include "platform/Commands.h"
#include "platform/Dialogs.h"
#include "platform/ProgramFolder.h"
#include "ui/main/BandGrid.h"
#include "ui/main/DocumentEditor.h"
#include "ui/main/Icons.h"
#include "ui/main/ProcedureCatalogue.h"
#include "ui/main/ShellServices.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QMouseEvent>
#include <QToolButton>
#include <QTreeWidget>

namespace orv::ui {
namespace {

constexpr int kBookmarkRole = Qt::UserRole;
constexpr int kHasProcedureRole = Qt::UserRole + 1;

struct HourGlass {
    HourGlass() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~HourGlass() { QApplication::restoreOverrideCursor(); }
};

// The design widths, widened where this machine's fonts need more room for
// a whole date or chapter number than the fonts the widths were drawn for.
void bindGrid(TBandGrid* grid, CursorModel* model)
{
    QFont bold = grid->view()->font();
    bold.setBold(true);
    const QFontMetrics fm(bold);
    QList<int> widths;
    QList<bool> fixed;
    for (const ColumnDef& c : model->columns()) {
        int width = qMax(c.width, fm.horizontalAdvance(c.header) + 14);
        if (c.kind == ColumnDef::Kind::Date)
            width = qMax(width, fm.horizontalAdvance(QStringLiteral("00/00/0000")) + 12);
        else if (c.field.compare(QLatin1String("CALC_CAPITOLO"), Qt::CaseInsensitive) == 0)
            width = qMax(width, fm.horizontalAdvance(QStringLiteral("00.00")) + 12);
        else if (c.field.compare(QLatin1String("lkCODICE_DOC"), Qt::CaseInsensitive) == 0)
            width = qMax(width, fm.horizontalAdvance(QStringLiteral("00")) + 12);
        widths << width;
        fixed << c.fixedWidth;
    }
    grid->bind(model, model->selectionModel(), widths, fixed);
}

// Rows that grow to fit their text, re-measured whenever the range changes.
void fitRowsToText(TBandGrid* grid, CursorModel* model, int minimum)
{
    QTableView* view = grid->view();
    view->verticalHeader()->setMinimumSectionSize(minimum);
    auto fit = [view] { view->resizeRowsToContents(); };
    QObject::connect(model, &QAbstractItemModel::modelReset, view, fit);
    QObject::connect(model, &QAbstractItemModel::rowsInserted, view, fit);
    QObject::connect(model, &QAbstractItemModel::dataChanged, view, fit);
}

bool isEmptyList(storage::Table* t) { return !t->isOpen() || t->isEmpty(); }

QString workingFile() { return programFolder() + QStringLiteral("actdoc.txm"); }

} // namespace

void TfrmMain::bindLists()
{
    if (!m_dm)
        return;
    bindGrid(m_dxGridDocumenti, m_dm->dsDocumenti);
    bindGrid(m_dxGridPratiche, m_dm->dsUserProc);
    bindGrid(m_dxDBGrid2, m_dm->dsUserDoc);
    fitRowsToText(m_dxGridDocumenti, m_dm->dsDocumenti, 18);
    fitRowsToText(m_dxDBGrid2, m_dm->dsUserDoc, 20);
    m_dxGridPratiche->view()->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_dxGridPratiche->view()->verticalHeader()->setDefaultSectionSize(20);
    const int noteColumn = m_dm->dsUserDoc->columnOfField(QStringLiteral("NOTE"));
    if (noteColumn >= 0)
        m_dm->dsUserDoc->setHeaderIcon(noteColumn, toolbarIcon(25));
}

// ---- Procedure tree ---------------------------------------------------------

void TfrmMain::SetNodeBold(QTreeWidgetItem* node, bool bold)
{
    if (!node || !node->treeWidget())
        return;
    QFont f = node->font(0);
    f.setBold(bold);
    node->setFont(0, f);
}

void TfrmMain::BuildTree()
{
    HourGlass wait;
    m_tree->setUpdatesEnabled(false);
    m_tree->clear();
    m_regolamentoNode = nullptr;
    storage::Table* procedures = m_dm ? m_dm->ttProcedure : nullptr;
    const bool bound = procedures && procedures->isOpen();

    QList<QTreeWidgetItem*> parents; // the last node of each level
    QTreeWidgetItem* first = nullptr;
    for (const CatalogueNode& n : procedureCatalogue()) {
        QTreeWidgetItem* parent = n.level > 0 ? parents.value(n.level - 1) : nullptr;
        auto* node = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(m_tree);
        node->setText(0, QString::fromUtf8(n.text));
        node->setIcon(0, treeIcon(n.image));
        SetNodeBold(node, n.code == nullptr);
        if (n.code && bound) {
            // A missing code leaves the leaf on whatever row is current.
            procedures->locate(QStringLiteral("CODICE"), QString::fromLatin1(n.code));
            node->setData(0, kBookmarkRole, QVariant::fromValue<quint64>(procedures->bookmark().rowId));
            node->setData(0, kHasProcedureRole, true);
        }
        if (n.code && !first)
            first = node;
        if (QLatin1String(n.text) == QLatin1String(kRegolamentoText))
            m_regolamentoNode = node;
        parents = parents.mid(0, n.level);
        parents << node;
    }
    m_tree->setUpdatesEnabled(true);
    m_tree->expandAll();
    m_tree->setCurrentItem(first);
}

void TfrmMain::TreeChange(QTreeWidgetItem* node)
{
    if (!node || !node->data(0, kHasProcedureRole).toBool() || !m_dm)
        return;
    storage::Table* procedures = m_dm->ttProcedure;
    procedures->gotoBookmark(storage::Bookmark{node->data(0, kBookmarkRole).value<quint64>()});
    const storage::Row row = procedures->currentRow();
    const QString path = procedurePathText(row.asString(QStringLiteral("TIPO_APPALTO")),
                                           row.asString(QStringLiteral("SOGLIA")), node->text(0));
    m_dxGridDocumenti->setBandCaption(kStandardListCaptionPrefix + path);
    m_dxGridPratiche->setBandCaption(kCaseListCaptionPrefix + path);
    m_btnPraticaNew->setToolTip(QStringLiteral("Inserisci una nuova Pratica"));
    if (m_dm->ttUserDoc->isOpen())
        m_dm->ttUserDoc->first();
}

void TfrmMain::TreeClick()
{
    QTreeWidgetItem* node = m_tree->currentItem();
    if (node && node == m_regolamentoNode)
        OpenDataFile(QStringLiteral("Regolamento.txm"), QStringLiteral("Regolamento"), false);
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_tree && event->type() == QEvent::FocusIn)
        runGuarded([this] { TreeEnter(); });
    if (watched == m_tree->viewport() && event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
        runGuarded([this] { TreeClick(); });
    return QMainWindow::eventFilter(watched, event);
}

QList<QTreeWidgetItem*> TfrmMain::allNodes() const
{
    QList<QTreeWidgetItem*> nodes;
    for (QTreeWidgetItemIterator it(m_tree); *it; ++it)
        nodes << *it;
    return nodes;
}

void TfrmMain::selectNode(QTreeWidgetItem* node)
{
    for (QTreeWidgetItem* p = node->parent(); p; p = p->parent())
        p->setExpanded(true);
    m_tree->setCurrentItem(node);
    m_tree->scrollToItem(node);
}

void TfrmMain::btnNodePrevClick()
{
    const QList<QTreeWidgetItem*> nodes = allNodes();
    const int i = nodes.indexOf(m_tree->currentItem());
    if (i > 0)
        selectNode(nodes[i - 1]);
}

void TfrmMain::btnNodeNextClick()
{
    const QList<QTreeWidgetItem*> nodes = allNodes();
    const int i = nodes.indexOf(m_tree->currentItem());
    if (i >= 0 && i + 1 < nodes.size())
        selectNode(nodes[i + 1]);
}

namespace {
void setExpandedRecursively(QTreeWidgetItem* node, bool expanded)
{
    for (int i = 0; i < node->childCount(); ++i)
        setExpandedRecursively(node->child(i), expanded);
    node->setExpanded(expanded);
}
} // namespace

void TfrmMain::btnNodeExpClick()
{
    if (QTreeWidgetItem* node = m_tree->currentItem())
        setExpandedRecursively(node, true);
}

void TfrmMain::btnNodeCollapseClick()
{
    if (QTreeWidgetItem* node = m_tree->currentItem())
        setExpandedRecursively(node, false);
}

// ---- List navigation -----------------------------------------------------------

namespace {
enum class Move { First, Prior, Next, Last };

// First and previous stop at the beginning, next and last at the end.
void navigate(storage::Table* t, Move move)
{
    if (!t->isOpen())
        return;
    switch (move) {
    case Move::First: if (!t->bof()) t->first(); break;
    case Move::Prior: if (!t->bof()) t->prior(); break;
    case Move::Next: if (!t->eof()) t->next(); break;
    case Move::Last: if (!t->eof()) t->last(); break;
    }
}
} // namespace

void TfrmMain::btnDocFirstClick() { if (m_dm) navigate(m_dm->ttDocumenti, Move::First); }
void TfrmMain::btnDocPrevClick() { if (m_dm) navigate(m_dm->ttDocumenti, Move::Prior); }
void TfrmMain::btnDocNextClick() { if (m_dm) navigate(m_dm->ttDocumenti, Move::Next); }
void TfrmMain::btnDocLastClick() { if (m_dm) navigate(m_dm->ttDocumenti, Move::Last); }
void TfrmMain::btnUserDocFirstClick() { if (m_dm) navigate(m_dm->ttUserDoc, Move::First); }
void TfrmMain::btnUserDocPrevClick() { if (m_dm) navigate(m_dm->ttUserDoc, Move::Prior); }
void TfrmMain::btnUserDocNextClick() { if (m_dm) navigate(m_dm->ttUserDoc, Move::Next); }
void TfrmMain::btnUserDocLastClick() { if (m_dm) navigate(m_dm->ttUserDoc, Move::Last); }

// ---- Documents -------------------------------------------------------------------

void TfrmMain::btnDocPreviewClick() { OpenStandardDocument(true); }
void TfrmMain::btndocEditClick() { OpenStandardDocument(false); }
void TfrmMain::btnUserDocPreviewClick() { OpenCaseDocument(true); }
void TfrmMain::btnUserDocShowClick() { OpenCaseDocument(false); }

void TfrmMain::OpenStandardDocument(bool view)
{
    if (!m_dm || !m_editor)
        return;
    m_editor->setEditable(!view);
    m_editor->setDocumentFile(workingFile());
    storage::Table* documents = m_dm->ttDocumenti;
    if (isEmptyList(documents))
        return;
    storage::Field body = documents->fieldByName(QStringLiteral("BODY"));
    if (body.blobSize() == 0) {
        showMessage(QStringLiteral("Nessun documento associato."));
        return;
    }
    m_dm->SaveBlobToFile(body, workingFile());
    const storage::Row procedure = m_dm->ttProcedure->currentRow();
    m_editor->setCaption(standardDocumentTitle(procedure.asString(QStringLiteral("TIPO_APPALTO")),
                                               procedure.asString(QStringLiteral("SOGLIA")),
                                               procedure.asString(QStringLiteral("DESCR")),
                                               documents->currentRow().asString(QStringLiteral("TITOLO"))));
    m_editor->showModal();
    if (!m_editor->saved())
        return;
    const int answer = messageBox(QStringLiteral("Attenzione"),
                                  QStringLiteral("Attenzione il documento modificato sarà\rimpostato come "
                                                 "predefinito.\rImpostare il documento modificato come predefinito?"),
                                  MessageIcon::Warning, mbYes | mbNo);
    if (answer == mbYes)
        m_dm->WriteBackStandardDocument(workingFile());
}

void TfrmMain::OpenCaseDocument(bool view)
{
    if (!m_dm || !m_editor)
        return;
    m_editor->setEditable(!view);
    m_editor->setDocumentFile(workingFile());
    storage::Table* documents = m_dm->ttUserDoc;
    if (isEmptyList(documents))
        return;
    storage::Field body = documents->fieldByName(QStringLiteral("USER_DOC"));
    if (body.blobSize() == 0) {
        showMessage(QStringLiteral("Nessun documento associato."));
        return;
    }
    m_dm->SaveBlobToFile(body, workingFile());
    m_editor->setCaption(caseDocumentTitle(m_dxGridPratiche->bandCaption(),
                                           m_dm->ttUserProc->currentRow().asString(QStringLiteral("NOTE"))));
    m_editor->showModal();
    if (m_editor->saved())
        m_dm->WriteBackCaseDocument(workingFile());
}

void TfrmMain::OpenDataFile(const QString& fileName, const QString& title, bool view)
{
    if (!m_editor)
        return;
    m_editor->setEditable(!view);
    m_editor->setDocumentFile(dataFolder() + fileName);
    m_editor->setCaption(title);
    m_editor->showModal();
}

// ---- Case files ----------------------------------------------------------------

namespace {
QString nodeText(QTreeWidget* tree) { return tree->currentItem() ? tree->currentItem()->text(0) : QString(); }
} // namespace

void TfrmMain::btnPraticaNewClick() { if (m_dm) m_dm->NewCaseFile(); }
void TfrmMain::btnPraticaModClick() { if (m_dm) m_dm->ModifyCaseFile(); }
void TfrmMain::btnPraticaDelClick() { if (m_dm) m_dm->ConfirmDeleteCaseFile(nodeText(m_tree)); }
void TfrmMain::btnUserDocNoteClick() { if (m_dm) m_dm->EditDocumentNote(); }
void TfrmMain::btnUserDocRestoreClick() { if (m_dm) m_dm->RestoreDocument(nodeText(m_tree)); }

// ---- Maintenance -------------------------------------------------------------------

void TfrmMain::setMaintenanceDialog(Maintenance which, std::function<void()> run)
{
    static const char* const buttons[] = {"btnRipara", "btnSalvataggio", "btnRipristino"};
    static const char* const entries[] = {"Riparazionearchivi1", "Salvataggioarchivi1", "Ripristinoarchivi1"};
    const int i = static_cast<int>(which);
    m_maintenance[i] = std::move(run);
    const bool enabled = static_cast<bool>(m_maintenance[i]);
    if (auto* b = findChild<QToolButton*>(QLatin1String(buttons[i])))
        b->setEnabled(enabled);
    if (auto* a = findChild<QAction*>(QLatin1String(entries[i])))
        a->setEnabled(enabled);
}

void TfrmMain::btnRiparaClick() { runMaintenance(Maintenance::Repair); }
void TfrmMain::btnSalvataggioClick() { runMaintenance(Maintenance::Backup); }
void TfrmMain::btnRipristinoClick() { runMaintenance(Maintenance::Restore); }

void TfrmMain::runMaintenance(Maintenance which)
{
    const std::function<void()>& run = m_maintenance[static_cast<int>(which)];
    if (!run || !m_dm)
        return;
    m_dm->DataBase->close();
    m_dm->CloseTables();
    try {
        run();
    } catch (...) {
        // The archive comes back before the dialog's error is shown.
        runGuarded([this] { reopenArchive(); });
        throw;
    }
    reopenArchive();
}

void TfrmMain::reopenArchive()
{
    runGuarded([this] {
        m_dm->DataBase->open();
        m_dm->OpenTables();
    });
    FormShow();
}

// ---- Shutdown --------------------------------------------------------------------

void TfrmMain::FormClose()
{
    // The settings are written even when the archive does not close cleanly.
    if (m_dm) {
        runGuarded([this] {
            m_dm->CloseTables();
            m_dm->DataBase->close();
        });
    }
    if (m_shell)
        m_shell->mainWindowClosed();
}

} // namespace orv::ui
