#pragma once
#include "storage/TableDef.h"

#include <QDate>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>

class QIODevice;

namespace orv::storage {

class Database;
class Table;
struct RepairReport;

namespace detail {
struct RowData;
struct TableImpl;
} // namespace detail

// Identifies one row for as long as its table object stays open, across
// inserts and deletes of other rows. Plain value; freeing it is optional.
struct Bookmark {
    quint64 rowId = 0;
    bool isValid() const { return rowId != 0; }
    bool operator==(const Bookmark&) const = default;
};

enum class TableState { Inactive, Browse, Edit, Insert };

// The values of one row: stored fields, lookup fields and calculated fields,
// read by name without regard to case. A copy; reading it never moves a cursor.
//  - asString: text as stored; integers in decimal; dates "dd/MM/yyyy";
//    null gives "". Blob fields: EngineError TypeMismatch.
//  - asInteger: integers; a text field by decimal conversion (surrounding
//    blanks allowed), EngineError NotANumber when it is not a number; null
//    gives 0.
//  - asDate: dates; null gives an invalid QDate.
// Unknown names: EngineError FieldNotFound.
class Row {
public:
    Row();
    bool isValid() const;   // false for the Row of an empty range
    Bookmark bookmark() const;

    bool isNull(const QString& field) const;
    QString asString(const QString& field) const;
    qint64 asInteger(const QString& field) const;
    QDate asDate(const QString& field) const;
    QVariant value(const QString& field) const; // QString, qint64, QDate or null QVariant; blobs: size
    qint64 blobSize(const QString& field) const;

    // For OnCalcFields only: sets a calculated field of this row.
    // Stored and lookup fields: EngineError TypeMismatch.
    void setValue(const QString& field, const QVariant& value);

private:
    friend class Table;
    friend class Field;
    friend struct detail::TableImpl;
    std::shared_ptr<detail::RowData> d;
};

// A lookup field: shows `resultField` of the row of `lookupTable` (searched
// within that table object's current range) whose `lookupKeyField` equals
// this row's `keyField`. Null when there is no such row.
struct LookupFieldDef {
    QString name;
    FieldType type = FieldType::Text;
    int size = 0;
    QString keyField;
    QPointer<Table> lookupTable;
    QString lookupKeyField;
    QString resultField;
};

// A handle on one field of a table object's current row (or of the row being
// edited or inserted). Cheap to copy; valid while the table object lives.
// Setters need edit or insert state (EngineError NotEditing); a text longer
// than the field's width is cut to the width. Readers as in Row.
class Field {
public:
    QString name() const;
    FieldType type() const;
    int size() const;
    bool isStored() const;  // false for lookup and calculated fields

    bool isNull() const;
    QString asString() const;
    qint64 asInteger() const;
    QDate asDate() const;
    QVariant value() const;

    void setAsString(const QString& text); // Integer fields: decimal conversion (NotANumber)
    void setAsInteger(qint64 value);       // Text fields: written in decimal
    void setAsDate(const QDate& date);     // invalid date = null
    void setValue(const QVariant& value);  // null QVariant = null
    void clear();

    // Large objects. The content never sits whole in memory: it moves in
    // blocks between the device and the table's .BLB file. Loading needs edit
    // or insert state and takes effect on post (cancel drops it).
    qint64 blobSize() const;
    void saveToDevice(QIODevice& out) const;        // whole content, from the device's position
    void saveToFile(const QString& path) const;     // creates or replaces; empty blob -> empty file
    qint64 loadFromDevice(QIODevice& in);           // reads to the device's end; returns the size
    qint64 loadFromFile(const QString& path);       // EngineError FileError when unreadable

private:
    friend class Table;
    Field(Table* t, int index) : m_table(t), m_index(index) {}
    Table* m_table;
    int m_index;
};

// A table object: one table of a database folder, seen through one index,
// optionally restricted to a range or linked to a master table object.
//
// Cursor (First/Prior/Next/Last): after first() bof() is true, after last()
// eof() is true; next() on the last row sets eof() and stays, prior() on the
// first row sets bof() and stays; both are true on an empty range. Moving
// while editing posts the row first. open() positions on the first row.
//
// Every post and delete is durable when it returns. Other table objects of
// the same table (in this process) see changes at once; their current row
// stays on the same row when it still exists, or on the row that followed it.
class Table : public QObject {
    Q_OBJECT
public:
    explicit Table(QObject* parent = nullptr);
    ~Table() override;

    // --- Set-up, while closed -------------------------------------------
    void setDatabase(Database* db);
    Database* database() const;
    // Folder used when no database is set (the repair's "database designation").
    void setFolder(const QString& folder);
    QString folder() const;   // of the database if one is set
    // "ST_DOCUMENTI.DAT", or "SUB\\X.DAT" / "SUB/X.DAT" for a subfolder.
    void setTableName(const QString& fileName);
    QString tableName() const;
    void setExclusive(bool exclusive); // next open fails (TableLocked) if the table is in use
    bool exclusive() const;
    // For tools that fill a table with many rows: posts are written but not
    // synced one by one, so a power failure may lose the latest ones (or leave
    // damage for repair); a killed process loses nothing. close() syncs
    // everything. Off by default.
    void setBulkLoad(bool on);
    bool bulkLoad() const;
    // Index by name (case ignored); empty = primary index. May change while
    // open: the range is dropped and the cursor goes to the first row.
    void setIndexName(const QString& name);
    QString indexName() const;
    // Master-detail link: this table shows only rows whose leading fields of
    // its active index equal `masterFields` of the master's current row, follows
    // every move of the master, and fills those fields on append. With an empty
    // or closed master it shows nothing. Pass nullptr to remove the link.
    void setMasterSource(Table* master, const QStringList& masterFields);
    void addLookupField(const LookupFieldDef& def);
    void addCalculatedField(const QString& name, FieldType type, int size = 0);
    // Computes the calculated fields of a row (the current row, and rows read
    // by rowAt()). Must not move any cursor.
    std::function<void(Row& row)> OnCalcFields;
    // Fired by repair() with the sender and the percent done (0..100).
    std::function<void(Table& sender, quint16 percent)> OnRepairProgress;

    // --- Open / close ----------------------------------------------------
    // Opens the table (and the database if closed). Throws EngineError:
    // TableNotFound, TableLocked, IndexNotFound, or a damage code. Checks the
    // header and the index file; rows and blobs are checked when read.
    void open();
    void close();    // cancels a pending edit
    bool isOpen() const;
    TableDef definition() const;   // of the open table
    QStringList fieldNames() const;  // stored, then lookup, then calculated
    bool hasField(const QString& name) const;

    // Repairs the closed table in place (see Repair.h), firing OnRepairProgress.
    RepairReport repair();

    // --- Cursor ------------------------------------------------------------
    void first();
    void last();
    void next();
    void prior();
    bool bof() const;
    bool eof() const;
    bool isEmpty() const;
    int recordCount() const;   // rows in the current range
    int recNo() const;         // 0-based position in the range; -1 when empty
    void moveTo(int index);    // clamped into the range
    // Row `index` (0-based) of the range, without moving the cursor. O(log n).
    Row rowAt(int index) const;
    Row currentRow() const;    // the current row as it is being edited

    // Inclusive range on the leading fields of the active index (fewer values
    // than fields compare only those). Replaces a master link's range until
    // the master moves.
    void setRange(const QVariantList& from, const QVariantList& to);
    void cancelRange();
    // Goes to the first row of the range whose field equals value (text or
    // integer, compared as the field's type). Stays and returns false if none.
    bool locate(const QString& field, const QVariant& value);
    // resultField of the first row in the range with keyField == keyValue,
    // without moving; null QVariant if none.
    QVariant lookup(const QString& keyField, const QVariant& keyValue, const QString& resultField) const;
    void refresh();            // rereads the current row and the range

    Bookmark bookmark() const; // invalid bookmark on an empty range
    void gotoBookmark(const Bookmark& b); // EngineError InvalidBookmark if the row is gone or outside the range
    bool bookmarkValid(const Bookmark& b) const;
    void freeBookmark(Bookmark& b);

    // --- Changes -------------------------------------------------------------
    TableState state() const;
    void append();   // an empty row in insert state; the master link fills its fields
    void edit();     // the current row in edit state (NoCurrentRow if empty)
    void post();     // writes the row durably; assigns auto-increment fields on insert
    void cancel();   // drops the pending change
    void remove();   // deletes the current row durably; the cursor goes to the next row

    Field fieldByName(const QString& name); // FieldNotFound if unknown

signals:
    void visibleRowsChanged();   // open, close, range, post, delete, cancel of an insert, refresh
    void currentRowChanged();    // the cursor moved to another row
    void stateChanged();         // TableState changed
    void fieldChanged(const QString& name); // a field of the edited row was set

private:
    friend class Field;
    friend class Database;
    friend class Query;
    friend struct detail::TableImpl;
    std::unique_ptr<detail::TableImpl> d;
};

} // namespace orv::storage
