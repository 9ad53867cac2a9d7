#include "data/CursorModel.h"

#include "storage/Table.h"

#include <QFont>
#include <QSize>

namespace orv {

CursorModel::CursorModel(storage::Table* table, const QString& keyField, QList<ColumnDef> columns,
                         QObject* parent)
    : QAbstractTableModel(parent),
      m_table(table),
      m_keyField(keyField),
      m_columns(std::move(columns)),
      m_headerIcons(m_columns.size()),
      m_selection(new QItemSelectionModel(this, this))
{
    connect(table, &storage::Table::visibleRowsChanged, this, &CursorModel::tableRowsChanged);
    connect(table, &storage::Table::currentRowChanged, this, &CursorModel::tableCursorMoved);
    connect(table, &storage::Table::fieldChanged, this, &CursorModel::tableFieldChanged);
    connect(table, &storage::Table::stateChanged, this, &CursorModel::tableFieldChanged);
    connect(m_selection, &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current, const QModelIndex&) { selectionMoved(current); });
    m_rowCount = tableRowCount();
}

CursorModel::~CursorModel() = default;

int CursorModel::columnOfField(const QString& field) const
{
    for (int i = 0; i < m_columns.size(); ++i)
        if (m_columns[i].field.compare(field, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

void CursorModel::setHeaderIcon(int column, const QIcon& icon)
{
    if (column < 0 || column >= m_headerIcons.size())
        return;
    m_headerIcons[column] = icon;
    emit headerDataChanged(Qt::Horizontal, column, column);
}

// Views call these from signal handlers and paint events: they never throw.
int CursorModel::currentRow() const
{
    try {
        if (!m_table || !m_table->isOpen() || m_table->isEmpty())
            return -1;
        return m_table->recNo();
    } catch (const std::exception&) {
        return -1;
    }
}

// Views see the count last announced by a reset, so that it never changes
// behind their back between two signals.
int CursorModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rowCount;
}

int CursorModel::tableRowCount() const
{
    if (!m_table)
        return 0;
    try {
        return m_table->isOpen() ? m_table->recordCount() : 0;
    } catch (const std::exception&) {
        return 0;
    }
}

void CursorModel::detach()
{
    if (m_table)
        disconnect(m_table, nullptr, this, nullptr);
    beginResetModel();
    m_table = nullptr;
    m_rowCount = 0;
    endResetModel();
}

int CursorModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

storage::Row CursorModel::rowFor(int row) const
{
    // The row being edited shows its pending values.
    if (m_table->state() == storage::TableState::Edit && row == m_table->recNo())
        return m_table->currentRow();
    return m_table->rowAt(row);
}

QString CursorModel::cellText(const storage::Row& row, const ColumnDef& column)
{
    if (!row.isValid())
        return QString();
    if (column.kind == ColumnDef::Kind::Date) {
        const QDate date = row.asDate(column.field);
        return date.isValid() ? date.toString(QStringLiteral("dd/MM/yyyy")) : QString();
    }
    return row.asString(column.field);
}

QVariant CursorModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid) || !m_table)
        return {};
    if (index.row() >= tableRowCount())
        return {};
    const ColumnDef& column = m_columns[index.column()];
    // A model must not throw into the view: a row that cannot be read shows empty.
    try {
        switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
            return cellText(rowFor(index.row()), column);
        case Qt::FontRole:
            if (column.bold) {
                QFont font;
                font.setBold(true);
                return font;
            }
            return {};
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
        case KeyRole:
            return rowFor(index.row()).value(m_keyField);
        case FieldRole:
            return rowFor(index.row()).value(column.field);
        default:
            return {};
        }
    } catch (const std::exception&) {
        return {};
    }
}

QVariant CursorModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= m_columns.size())
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (role) {
    case Qt::DisplayRole:
        return m_columns[section].header;
    case Qt::SizeHintRole:
        return QSize(m_columns[section].width, 0);
    case Qt::DecorationRole:
        if (!m_headerIcons[section].isNull())
            return m_headerIcons[section];
        return {};
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    default:
        return {};
    }
}

Qt::ItemFlags CursorModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    // Read-only lists: rows are selected whole, never edited in place.
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

void CursorModel::tableRowsChanged()
{
    beginResetModel();
    m_rowCount = tableRowCount();
    endResetModel();
    syncSelection();
}

void CursorModel::tableCursorMoved()
{
    syncSelection();
    emit currentRowChanged(currentRow());
}

void CursorModel::tableFieldChanged()
{
    const int row = currentRow();
    if (row >= 0 && row < m_rowCount && !m_columns.isEmpty())
        emit dataChanged(index(row, 0), index(row, int(m_columns.size()) - 1));
}

void CursorModel::syncSelection()
{
    if (m_syncing)
        return;
    m_syncing = true;
    const int row = currentRow();
    if (row >= 0 && row < m_rowCount) {
        const QModelIndex idx = index(row, 0);
        if (m_selection->currentIndex().row() != row || !m_selection->isRowSelected(row))
            m_selection->setCurrentIndex(idx, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    } else if (m_selection->hasSelection() || m_selection->currentIndex().isValid()) {
        m_selection->clear();
    }
    m_syncing = false;
}

void CursorModel::selectionMoved(const QModelIndex& current)
{
    if (m_syncing || !m_table || !current.isValid() || !m_table->isOpen())
        return;
    if (current.row() == currentRow())
        return;
    m_syncing = true;
    try {
        m_table->moveTo(current.row());
    } catch (...) {
        // The selection will be put back where the cursor is.
    }
    m_syncing = false;
    syncSelection();
    emit currentRowChanged(currentRow());
}

} // namespace orv
