#pragma once
#include <QList>
#include <QString>
#include <QStringList>

namespace orv::storage {

enum class FieldType {
    Text,     // fixed width in characters; longer texts are cut to the width on write
    Integer,  // 64-bit signed
    AutoInc,  // 64-bit, given by the engine on the first post, never reused
    Date,     // a calendar day
    Blob,     // binary large object, streamed in blocks
};

struct FieldDef {
    QString name;            // matched without regard to case
    FieldType type = FieldType::Text;
    int size = 0;            // Text: width in characters (1..4000); ignored otherwise
};

// A named secondary index over one or more fields. Rows with equal keys keep
// the order in which they were first posted. A text field holding a decimal
// number sorts numerically before texts that are not numbers ("2" < "10" < "A").
struct IndexDef {
    QString name;            // matched without regard to case
    QStringList fields;
};

struct TableDef {
    QList<FieldDef> fields;
    QStringList primaryKey;  // fields of the primary index; its keys are unique
    QList<IndexDef> indexes; // named secondary indexes
};

// Creates the three files NAME.DAT, NAME.IDX and NAME.BLB of an empty table in
// `folder`. `fileName` is the .DAT name ("ST_DOCUMENTI.DAT"). For tools and
// tests: the application itself never creates tables. Throws EngineError
// (TableExists, InvalidDefinition, WriteFailed).
void createTable(const QString& folder, const QString& fileName, const TableDef& def);

// True when NAME.DAT exists in the folder.
bool tableExists(const QString& folder, const QString& fileName);

// Deletes the table's files (tests and tools). The table must be closed.
void dropTable(const QString& folder, const QString& fileName);

} // namespace orv::storage
