#pragma once
#include "platform/Error.h"

#include <QList>
#include <QString>

namespace orv::storage {

// Numeric codes of the engine's errors. The first byte groups them:
// 0x22 data not found, 0x23 corruption, 0x24 input/output, 0x27 invalid
// request, 0x29 locking, 0x2C misuse of the programming interface.
namespace code {
// Damage: the table's files are not what the engine wrote. A repair may help.
constexpr int BlobDataEnded = 8711;      // 0x2207 large-object data ends before its length
constexpr int HeaderCorrupt = 8961;      // 0x2301 table header unreadable or inconsistent
constexpr int RecordCorrupt = 8962;      // 0x2302 a row record fails its checksum or decoding
constexpr int BlobBlockCorrupt = 8963;   // 0x2303 a large-object block fails its checksum
constexpr int IndexCorrupt = 8965;       // 0x2305 index file missing, unreadable or stale
constexpr int ReadFailed = 9217;         // 0x2401 the operating system failed a read
constexpr int WriteFailed = 9218;        // 0x2402 the operating system failed a write
constexpr int InvalidBlobOffset = 9998;  // 0x270E a row points outside the large-object file
constexpr int InvalidIndexField = 10023; // 0x2727 an index names a field the table lacks
constexpr int InvalidBlobLength = 10029; // 0x272D a large object longer than its file allows

// Not damage.
constexpr int TableNotFound = 8708;      // 0x2204 the .DAT file does not exist
constexpr int TableLocked = 10497;       // 0x2901 open (exclusively) by another object or process
constexpr int FieldNotFound = 11265;     // 0x2C01 no field of that name
constexpr int IndexNotFound = 11266;     // 0x2C02 no index of that name
constexpr int NotANumber = 11267;        // 0x2C03 text read as an integer is not a decimal number
constexpr int TypeMismatch = 11268;      // 0x2C04 a value of the wrong kind for the field
constexpr int NotEditing = 11269;        // 0x2C05 post/cancel/set outside edit or insert state
constexpr int TableClosed = 11270;       // 0x2C06 the table object is not open
constexpr int NoCurrentRow = 11271;      // 0x2C07 edit/delete/read on an empty range
constexpr int KeyViolation = 11272;      // 0x2C08 a second row with the same primary key
constexpr int InvalidBookmark = 11273;   // 0x2C09 the bookmark's row no longer exists or is out of range
constexpr int SqlError = 11274;          // 0x2C0A statement not understood or not supported
constexpr int TableExists = 11275;       // 0x2C0B createTable over an existing table
constexpr int InvalidDefinition = 11276; // 0x2C0C a table definition that cannot be created
constexpr int FileError = 11277;         // 0x2C0D an outside file (blob load/save) failed
constexpr int TableOpen = 11278;         // 0x2C0E the operation needs a closed table or database
constexpr int InvalidName = 11279;       // 0x2C0F a table name that is empty or leaves the folder
} // namespace code

// True for the ten codes above that mean "the files are damaged".
bool isDamageCode(int code);

// An engine failure: a list of (code, message) errors, most specific first.
// code() and message() are those of the first error; messages are Italian,
// for the standard error box.
class EngineError : public orv::Error {
public:
    struct Entry {
        int code;
        QString message;
    };
    EngineError(int code, const QString& message);
    explicit EngineError(QList<Entry> errors);

    const QList<Entry>& errors() const { return m_errors; }
    bool isDamage() const { return isDamageCode(code()); }

private:
    QList<Entry> m_errors;
};

} // namespace orv::storage
