#pragma once
// A Qt item model over one table object's cursor: rows are the rows of the
// table object's current range, read on demand (never copied), and the
// model's selection follows the cursor and moves it. The data module's data
// sources (dsDocumenti, dsUserProc, dsUserDoc, dsProcedure) are CursorModels.
//
// Binding a view:
//     view->setModel(dm->dsDocumenti);
//     view->setSelectionModel(dm->dsDocumenti->selectionModel());
// Selecting a row in the view moves the table's cursor there (so master-detail
// links follow); moving the cursor in code selects the row in the view.

#include <QAbstractTableModel>
#include <QIcon>
#include <QItemSelectionModel>
#include <QList>
#include <QPointer>
#include <QString>

namespace orv::storage {
class Table;
class Row;
}

namespace orv {

struct ColumnDef {
    enum class Kind { Text, Date };
    QString header;         // column header text
    QString field;          // field of the table object (stored, lookup or calculated)
    int width = 0;          // design width in pixels
    bool bold = false;      // cells drawn bold
    bool fixedWidth = false;// the user cannot resize the column
    Kind kind = Kind::Text; // Date: shown as "dd/MM/yyyy", empty when null
};

class CursorModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // Extra roles. Qt::FontRole gives a bold font for bold columns (unset
    // otherwise); headerData(Qt::SizeHintRole) gives the design width.
    enum Role {
        KeyRole = Qt::UserRole + 1, // the row's key field value (qint64 or QString)
        FieldRole,                  // the column's raw value (QString, qint64, QDate, null)
    };

    CursorModel(storage::Table* table, const QString& keyField, QList<ColumnDef> columns,
                QObject* parent = nullptr);
    ~CursorModel() override;

    storage::Table* table() const { return m_table; }
    // Stops following the table object (before it goes away); the model is then empty.
    void detach();
    QString keyField() const { return m_keyField; }
    const QList<ColumnDef>& columns() const { return m_columns; }
    // Column index of a field name (case ignored), -1 if not shown.
    int columnOfField(const QString& field) const;
    // The icon shown in a column's header (the "Note" column has one).
    void setHeaderIcon(int column, const QIcon& icon);

    // Kept in step with the cursor, both ways.
    QItemSelectionModel* selectionModel() const { return m_selection; }
    // The cursor's row in the range; -1 when the range is empty or the table closed.
    int currentRow() const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // The text a cell shows, from a row (also used by the data module's messages).
    static QString cellText(const storage::Row& row, const ColumnDef& column);

signals:
    // The cursor moved to `row` (-1: empty range).
    void currentRowChanged(int row);

private:
    void tableRowsChanged();
    void tableCursorMoved();
    void tableFieldChanged();
    void selectionMoved(const QModelIndex& current);
    void syncSelection();
    storage::Row rowFor(int row) const;
    int tableRowCount() const;

    QPointer<storage::Table> m_table;
    QString m_keyField;
    QList<ColumnDef> m_columns;
    QList<QIcon> m_headerIcons;
    QItemSelectionModel* m_selection;
    int m_rowCount = 0;      // as last reported to views
    bool m_syncing = false;  // guards the cursor <-> selection loop
};

} // namespace orv
