#pragma once
// On-disk encodings of the engine (docs/storage-format.md). Internal.
#include "storage/EngineError.h"
#include "storage/TableDef.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <string>
#include <vector>

namespace orv::storage::detail {

constexpr qint64 kHeaderBlock = 4096;
constexpr qint64 kDataStart = 2 * kHeaderBlock;
constexpr qint64 kBlobStart = kHeaderBlock;
constexpr quint32 kRecordMagic = 0x52445230;
constexpr quint32 kChunkMagic = 0x4B4C4230;
constexpr int kRecordHeader = 16;
constexpr int kChunkHeader = 32;
constexpr quint32 kMaxRecord = 1u << 20;
constexpr quint32 kMaxChunk = 65536;
constexpr int kMaxTextWidth = 4000;
constexpr const char* kDatMagic = "ORVDAT01";
constexpr const char* kBlbMagic = "ORVBLB01";

enum RecordKind : quint8 { RowRecord = 1, DeleteRecord = 2 };

quint32 crc32(const char* data, size_t size, quint32 crc = 0);

struct Schema {
    struct Index {
        QString name;
        QList<int> fields;
    };
    QList<FieldDef> fields;
    QList<int> primary;
    QList<Index> indexes; // secondary; index number i+1

    int field(const QString& name) const;   // -1 if unknown
    int index(const QString& name) const;   // "" -> 0 (primary), -1 if unknown
    int indexCount() const { return 1 + int(indexes.size()); }
    const QList<int>& indexFields(int index) const { return index == 0 ? primary : indexes[index - 1].fields; }
    // Same fields (names as stored, types, widths) and the same indexes.
    bool operator==(const Schema& o) const;
    bool hasBlobs() const;
};
Schema schemaFromDef(const TableDef& def); // EngineError InvalidDefinition
TableDef defFromSchema(const Schema& s);

// Little-endian writer/reader with bounds checks.
class Writer {
public:
    QByteArray bytes;
    void u8(quint8 v) { bytes.append(char(v)); }
    void u16(quint16 v);
    void u32(quint32 v);
    void u64(quint64 v);
    void raw(const char* p, qsizetype n) { bytes.append(p, n); }
    void text16(const QString& s); // u16 length + UTF-8
};
class Reader {
public:
    Reader(const char* p, size_t n) : m_p(p), m_n(n) {}
    bool ok() const { return m_ok; }
    size_t pos() const { return m_pos; }
    size_t left() const { return m_ok ? m_n - m_pos : 0; }
    quint8 u8();
    quint16 u16();
    quint32 u32();
    quint64 u64();
    const char* raw(size_t n); // nullptr (and !ok) if short
    QString text16();

private:
    const char* m_p;
    size_t m_n;
    size_t m_pos = 0;
    bool m_ok = true;
};

void writeSchema(Writer& w, const Schema& s);
bool readSchema(Reader& r, Schema* s, int* errorCode); // errorCode: HeaderCorrupt or InvalidIndexField

struct HeaderInfo {
    QByteArray generation; // 16 bytes
    quint64 rowIdFloor = 1;
    qint64 autoIncFloor = 1;
    Schema schema;
};
QByteArray encodeHeaderBlock(const char* magic, const HeaderInfo& h);
// Throws EngineError HeaderCorrupt (or InvalidIndexField) naming `what`.
HeaderInfo decodeHeaderBlock(const char* magic, const QByteArray& block, const QString& what);
QByteArray newGeneration();

struct Value {
    bool null = true;
    qint64 i = 0;          // integer, auto-increment, date (Julian day)
    QString s;             // text
    quint64 blobOff = 0;   // blob: first chunk
    quint64 blobLen = 0;   // blob: bytes
};
using Values = std::vector<Value>;

QByteArray encodeRecord(RecordKind kind, const QByteArray& payload);
struct RecordHeader {
    quint8 kind = 0;
    quint32 len = 0;
    quint32 crc = 0;
};
// Checks the magic and the length limit only.
bool parseRecordHeader(const char* p, RecordHeader* h);
bool recordCrcOk(const char* header, const char* payload, quint32 len);
QByteArray encodeRowPayload(const Schema& s, quint64 rowId, const Values& v);
// False when the payload does not decode against the schema.
bool decodeRowPayload(const Schema& s, const char* p, size_t n, quint64* rowId, Values* out);

// Index keys: byte strings whose memcmp order is the index order.
void appendFieldKey(std::string& key, FieldType type, const Value& v);
std::string encodeKey(const Schema& s, const QList<int>& fields, const Values& v, quint64 rowId);
quint64 keyRowId(const std::string& key);
// Compares the first prefix.size() bytes of key with prefix.
int comparePrefix(const std::string& key, const std::string& prefix);

// Conversions between the public value kinds and stored values.
// Throw EngineError TypeMismatch / NotANumber.
Value valueFromVariant(const FieldDef& f, const QVariant& v);
QVariant variantFromValue(const FieldDef& f, const Value& v);
QString textOf(const FieldDef& f, const Value& v);
qint64 integerOf(const FieldDef& f, const Value& v);
bool parseDecimal(const QString& text, qint64* out);

} // namespace orv::storage::detail
