#include "storage/Format.h"

#include <QDate>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <cstring>
#include <zlib.h>

namespace orv::storage::detail {

quint32 crc32(const char* data, size_t size, quint32 crc)
{
    return quint32(::crc32_z(crc, reinterpret_cast<const Bytef*>(data), size));
}

int Schema::field(const QString& name) const
{
    for (int i = 0; i < fields.size(); ++i)
        if (fields[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

int Schema::index(const QString& name) const
{
    if (name.isEmpty())
        return 0;
    for (int i = 0; i < indexes.size(); ++i)
        if (indexes[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i + 1;
    return -1;
}

bool Schema::hasBlobs() const
{
    for (const FieldDef& f : fields)
        if (f.type == FieldType::Blob)
            return true;
    return false;
}

static bool validName(const QString& n)
{
    return !n.isEmpty() && n.size() <= 128;
}

bool Schema::operator==(const Schema& o) const
{
    if (fields.size() != o.fields.size() || primary != o.primary || indexes.size() != o.indexes.size())
        return false;
    for (qsizetype i = 0; i < fields.size(); ++i)
        if (fields[i].name != o.fields[i].name || fields[i].type != o.fields[i].type || fields[i].size != o.fields[i].size)
            return false;
    for (qsizetype i = 0; i < indexes.size(); ++i)
        if (indexes[i].name != o.indexes[i].name || indexes[i].fields != o.indexes[i].fields)
            return false;
    return true;
}

Schema schemaFromDef(const TableDef& def)
{
    auto bad = [](const QString& why) { throw EngineError(code::InvalidDefinition, QStringLiteral("Definizione di tabella non valida: %1").arg(why)); };
    Schema s;
    if (def.fields.isEmpty() || def.fields.size() > 500)
        bad(QStringLiteral("numero di campi"));
    for (const FieldDef& f : def.fields) {
        if (!validName(f.name))
            bad(QStringLiteral("nome di campo"));
        if (s.field(f.name) >= 0)
            bad(QStringLiteral("campo ripetuto %1").arg(f.name));
        FieldDef g = f;
        if (g.type == FieldType::Text) {
            if (g.size < 1 || g.size > kMaxTextWidth)
                bad(QStringLiteral("larghezza del campo %1").arg(f.name));
        } else {
            g.size = 0;
        }
        s.fields << g;
    }
    auto fieldsOf = [&](const QStringList& names, const QString& what) {
        QList<int> out;
        for (const QString& n : names) {
            const int i = s.field(n);
            if (i < 0)
                bad(QStringLiteral("l'indice %1 nomina il campo sconosciuto %2").arg(what, n));
            if (s.fields[i].type == FieldType::Blob)
                bad(QStringLiteral("l'indice %1 contiene un campo blob").arg(what));
            out << i;
        }
        return out;
    };
    s.primary = fieldsOf(def.primaryKey, QStringLiteral("primario"));
    if (def.indexes.size() > 60)
        bad(QStringLiteral("troppi indici"));
    for (const IndexDef& x : def.indexes) {
        if (!validName(x.name) || s.index(x.name) > 0 || x.fields.isEmpty())
            bad(QStringLiteral("indice %1").arg(x.name));
        s.indexes << Schema::Index{x.name, fieldsOf(x.fields, x.name)};
    }
    // The header block must hold it.
    Writer w;
    writeSchema(w, s);
    if (w.bytes.size() > kHeaderBlock - 128)
        bad(QStringLiteral("troppo grande"));
    return s;
}

TableDef defFromSchema(const Schema& s)
{
    TableDef d;
    d.fields = s.fields;
    for (int i : s.primary)
        d.primaryKey << s.fields[i].name;
    for (const Schema::Index& x : s.indexes) {
        IndexDef id{x.name, {}};
        for (int i : x.fields)
            id.fields << s.fields[i].name;
        d.indexes << id;
    }
    return d;
}

// --- Writer / Reader -------------------------------------------------------

void Writer::u16(quint16 v)
{
    const char b[2] = {char(v), char(v >> 8)};
    bytes.append(b, 2);
}
void Writer::u32(quint32 v)
{
    char b[4];
    for (int i = 0; i < 4; ++i)
        b[i] = char(v >> (8 * i));
    bytes.append(b, 4);
}
void Writer::u64(quint64 v)
{
    char b[8];
    for (int i = 0; i < 8; ++i)
        b[i] = char(v >> (8 * i));
    bytes.append(b, 8);
}
void Writer::text16(const QString& s)
{
    const QByteArray u = s.toUtf8();
    u16(quint16(u.size()));
    bytes.append(u.constData(), u.size());
}

const char* Reader::raw(size_t n)
{
    if (!m_ok || n > m_n - m_pos) {
        m_ok = false;
        return nullptr;
    }
    const char* p = m_p + m_pos;
    m_pos += n;
    return p;
}
quint8 Reader::u8()
{
    const char* p = raw(1);
    return p ? quint8(p[0]) : 0;
}
quint16 Reader::u16()
{
    const char* p = raw(2);
    return p ? quint16(quint8(p[0]) | (quint8(p[1]) << 8)) : 0;
}
quint32 Reader::u32()
{
    const char* p = raw(4);
    if (!p)
        return 0;
    quint32 v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | quint8(p[i]);
    return v;
}
quint64 Reader::u64()
{
    const char* p = raw(8);
    if (!p)
        return 0;
    quint64 v = 0;
    for (int i = 7; i >= 0; --i)
        v = (v << 8) | quint8(p[i]);
    return v;
}
QString Reader::text16()
{
    const quint16 n = u16();
    const char* p = raw(n);
    return p ? QString::fromUtf8(p, n) : QString();
}

// --- Schema ----------------------------------------------------------------

void writeSchema(Writer& w, const Schema& s)
{
    w.u16(quint16(s.fields.size()));
    for (const FieldDef& f : s.fields) {
        w.u8(quint8(int(f.type) + 1));
        w.u16(quint16(f.size));
        w.text16(f.name);
    }
    w.u16(quint16(s.primary.size()));
    for (int i : s.primary)
        w.u16(quint16(i));
    w.u16(quint16(s.indexes.size()));
    for (const Schema::Index& x : s.indexes) {
        w.text16(x.name);
        w.u16(quint16(x.fields.size()));
        for (int i : x.fields)
            w.u16(quint16(i));
    }
}

bool readSchema(Reader& r, Schema* s, int* errorCode)
{
    *errorCode = code::HeaderCorrupt;
    const int nf = r.u16();
    if (!r.ok() || nf == 0 || nf > 500)
        return false;
    for (int i = 0; i < nf; ++i) {
        FieldDef f;
        const int t = r.u8();
        f.size = r.u16();
        f.name = r.text16();
        if (!r.ok() || t < 1 || t > 5 || !validName(f.name) || s->field(f.name) >= 0)
            return false;
        f.type = FieldType(t - 1);
        if (f.type == FieldType::Text && (f.size < 1 || f.size > kMaxTextWidth))
            return false;
        s->fields << f;
    }
    auto readFields = [&](int n, QList<int>* out) {
        for (int i = 0; i < n; ++i) {
            const int fno = r.u16();
            if (!r.ok())
                return false;
            if (fno >= nf || s->fields[fno].type == FieldType::Blob) {
                *errorCode = code::InvalidIndexField;
                return false;
            }
            *out << fno;
        }
        return true;
    };
    const int np = r.u16();
    if (!r.ok() || np > nf || !readFields(np, &s->primary))
        return false;
    const int nx = r.u16();
    if (!r.ok() || nx > 60)
        return false;
    for (int i = 0; i < nx; ++i) {
        Schema::Index x;
        x.name = r.text16();
        const int n = r.u16();
        if (!r.ok() || !validName(x.name) || n == 0 || n > nf)
            return false;
        if (!readFields(n, &x.fields))
            return false;
        s->indexes << x;
    }
    return true;
}

// --- Header blocks -----------------------------------------------------------

QByteArray newGeneration()
{
    QByteArray g(16, '\0');
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(g.data()), 4);
    return g;
}

QByteArray encodeHeaderBlock(const char* magic, const HeaderInfo& h)
{
    Writer p;
    p.u32(1);
    p.raw(h.generation.constData(), 16);
    p.u64(h.rowIdFloor);
    p.u64(quint64(h.autoIncFloor));
    writeSchema(p, h.schema);
    Writer w;
    w.raw(magic, 8);
    w.u32(quint32(p.bytes.size()));
    w.u32(crc32(p.bytes.constData(), size_t(p.bytes.size())));
    w.bytes.append(p.bytes);
    w.bytes.resize(kHeaderBlock, '\0');
    return w.bytes;
}

HeaderInfo decodeHeaderBlock(const char* magic, const QByteArray& block, const QString& what)
{
    auto bad = [&](int c) {
        throw EngineError(c, c == code::InvalidIndexField
                                 ? QStringLiteral("Numero di campo non valido in un indice della tabella %1.").arg(what)
                                 : QStringLiteral("Intestazione della tabella %1 danneggiata.").arg(what));
    };
    if (block.size() < kHeaderBlock || std::memcmp(block.constData(), magic, 8) != 0)
        bad(code::HeaderCorrupt);
    Reader r(block.constData() + 8, 8);
    const quint32 len = r.u32();
    const quint32 crc = r.u32();
    if (len > kHeaderBlock - 16 || crc32(block.constData() + 16, len) != crc)
        bad(code::HeaderCorrupt);
    Reader p(block.constData() + 16, len);
    HeaderInfo h;
    if (p.u32() != 1)
        bad(code::HeaderCorrupt);
    const char* g = p.raw(16);
    h.rowIdFloor = p.u64();
    h.autoIncFloor = qint64(p.u64());
    if (!p.ok())
        bad(code::HeaderCorrupt);
    h.generation = QByteArray(g, 16);
    int err = 0;
    if (!readSchema(p, &h.schema, &err))
        bad(err);
    return h;
}

// --- Records ---------------------------------------------------------------

QByteArray encodeRecord(RecordKind kind, const QByteArray& payload)
{
    Writer w;
    w.u32(kRecordMagic);
    w.u8(kind);
    w.u8(0);
    w.u8(0);
    w.u8(0);
    w.u32(quint32(payload.size()));
    quint32 crc = crc32(w.bytes.constData() + 4, 8);
    crc = crc32(payload.constData(), size_t(payload.size()), crc);
    w.u32(crc);
    w.bytes.append(payload);
    return w.bytes;
}

bool parseRecordHeader(const char* p, RecordHeader* h)
{
    Reader r(p, kRecordHeader);
    if (r.u32() != kRecordMagic)
        return false;
    h->kind = r.u8();
    if (r.u8() || r.u8() || r.u8())
        return false;
    h->len = r.u32();
    h->crc = r.u32();
    return (h->kind == RowRecord || h->kind == DeleteRecord) && h->len >= 8 && h->len <= kMaxRecord;
}

bool recordCrcOk(const char* header, const char* payload, quint32 len)
{
    RecordHeader h;
    if (!parseRecordHeader(header, &h) || h.len != len)
        return false;
    quint32 crc = crc32(header + 4, 8);
    crc = crc32(payload, len, crc);
    return crc == h.crc;
}

QByteArray encodeRowPayload(const Schema& s, quint64 rowId, const Values& v)
{
    Writer w;
    w.u64(rowId);
    for (int i = 0; i < s.fields.size(); ++i) {
        const Value& x = v[size_t(i)];
        if (x.null) {
            w.u8(0);
            continue;
        }
        w.u8(1);
        switch (s.fields[i].type) {
        case FieldType::Text:
            w.text16(x.s);
            break;
        case FieldType::Integer:
        case FieldType::AutoInc:
        case FieldType::Date:
            w.u64(quint64(x.i));
            break;
        case FieldType::Blob:
            w.u64(x.blobOff);
            w.u64(x.blobLen);
            break;
        }
    }
    return w.bytes;
}

bool decodeRowPayload(const Schema& s, const char* p, size_t n, quint64* rowId, Values* out)
{
    Reader r(p, n);
    *rowId = r.u64();
    out->assign(size_t(s.fields.size()), Value());
    for (int i = 0; i < s.fields.size(); ++i) {
        Value& x = (*out)[size_t(i)];
        const quint8 present = r.u8();
        if (!r.ok() || present > 1)
            return false;
        if (!present)
            continue;
        x.null = false;
        switch (s.fields[i].type) {
        case FieldType::Text: {
            const quint16 len = r.u16();
            const char* t = r.raw(len);
            if (!t)
                return false;
            x.s = QString::fromUtf8(t, len);
            if (x.s.size() > s.fields[i].size)
                return false;
            break;
        }
        case FieldType::Integer:
        case FieldType::AutoInc:
        case FieldType::Date:
            x.i = qint64(r.u64());
            break;
        case FieldType::Blob:
            x.blobOff = r.u64();
            x.blobLen = r.u64();
            break;
        }
    }
    return r.ok() && r.left() == 0 && *rowId != 0;
}

// --- Keys ------------------------------------------------------------------

static void appendBigEndian(std::string& k, quint64 v)
{
    for (int i = 7; i >= 0; --i)
        k.push_back(char(v >> (8 * i)));
}

static void appendEscaped(std::string& k, const QString& s)
{
    const QByteArray u = s.toUtf8();
    for (char c : u) {
        k.push_back(c);
        if (c == 0)
            k.push_back(char(0xFF));
    }
    k.push_back(0);
    k.push_back(1);
}

bool parseDecimal(const QString& text, qint64* out)
{
    const QString t = text.trimmed();
    if (t.isEmpty() || t.size() > 19)
        return false;
    bool ok = false;
    const qint64 v = t.toLongLong(&ok, 10);
    if (!ok)
        return false;
    for (int i = (t[0] == u'-' || t[0] == u'+') ? 1 : 0; i < t.size(); ++i)
        if (!t[i].isDigit() || t[i].unicode() > 127)
            return false;
    *out = v;
    return true;
}

void appendFieldKey(std::string& k, FieldType type, const Value& v)
{
    if (v.null || (type == FieldType::Text && v.s.isEmpty())) {
        k.push_back(1);
        return;
    }
    if (type == FieldType::Text) {
        qint64 n = 0;
        if (parseDecimal(v.s, &n)) {
            k.push_back(2);
            appendBigEndian(k, quint64(n) ^ (quint64(1) << 63));
        } else {
            k.push_back(3);
        }
        appendEscaped(k, v.s);
        return;
    }
    k.push_back(2);
    appendBigEndian(k, quint64(v.i) ^ (quint64(1) << 63));
}

std::string encodeKey(const Schema& s, const QList<int>& fields, const Values& v, quint64 rowId)
{
    std::string k;
    k.reserve(32);
    for (int f : fields)
        appendFieldKey(k, s.fields[f].type, v[size_t(f)]);
    appendBigEndian(k, rowId);
    return k;
}

quint64 keyRowId(const std::string& key)
{
    if (key.size() < 8)
        return 0;
    quint64 v = 0;
    for (size_t i = key.size() - 8; i < key.size(); ++i)
        v = (v << 8) | quint8(key[i]);
    return v;
}

int comparePrefix(const std::string& key, const std::string& prefix)
{
    const size_t n = std::min(key.size(), prefix.size());
    const int c = std::memcmp(key.data(), prefix.data(), n);
    if (c != 0)
        return c;
    return key.size() < prefix.size() ? -1 : 0;
}

// --- Conversions -------------------------------------------------------------

static QString kDateFormat() { return QStringLiteral("dd/MM/yyyy"); }

Value valueFromVariant(const FieldDef& f, const QVariant& v)
{
    Value x;
    if (!v.isValid() || v.isNull())
        return x;
    auto mismatch = [&] {
        throw EngineError(code::TypeMismatch, QStringLiteral("Valore non adatto al campo %1.").arg(f.name));
    };
    switch (f.type) {
    case FieldType::Text: {
        QString s;
        if (v.typeId() == QMetaType::QDate)
            s = v.toDate().toString(kDateFormat());
        else
            s = v.toString();
        if (s.size() > f.size)
            s.truncate(f.size);
        if (!s.isEmpty()) {
            x.null = false;
            x.s = s;
        }
        return x;
    }
    case FieldType::Integer:
    case FieldType::AutoInc: {
        if (v.typeId() == QMetaType::QString) {
            if (v.toString().trimmed().isEmpty())
                return x;
            if (!parseDecimal(v.toString(), &x.i))
                throw EngineError(code::NotANumber, QStringLiteral("'%1' non è un numero intero valido (campo %2).").arg(v.toString(), f.name));
        } else {
            bool ok = false;
            x.i = v.toLongLong(&ok);
            if (!ok)
                mismatch();
        }
        x.null = false;
        return x;
    }
    case FieldType::Date: {
        QDate d;
        if (v.typeId() == QMetaType::QString) {
            if (v.toString().trimmed().isEmpty())
                return x;
            d = QDate::fromString(v.toString().trimmed(), kDateFormat());
            if (!d.isValid())
                mismatch();
        } else if (v.canConvert<QDate>()) {
            d = v.toDate();
        } else {
            mismatch();
        }
        if (d.isValid()) {
            x.null = false;
            x.i = d.toJulianDay();
        }
        return x;
    }
    case FieldType::Blob:
        mismatch();
    }
    return x;
}

QVariant variantFromValue(const FieldDef& f, const Value& v)
{
    if (v.null)
        return QVariant();
    switch (f.type) {
    case FieldType::Text:
        return v.s;
    case FieldType::Integer:
    case FieldType::AutoInc:
        return QVariant(qint64(v.i));
    case FieldType::Date:
        return QDate::fromJulianDay(v.i);
    case FieldType::Blob:
        return QVariant(qint64(v.blobLen));
    }
    return QVariant();
}

QString textOf(const FieldDef& f, const Value& v)
{
    if (v.null)
        return QString();
    switch (f.type) {
    case FieldType::Text:
        return v.s;
    case FieldType::Integer:
    case FieldType::AutoInc:
        return QString::number(v.i);
    case FieldType::Date:
        return QDate::fromJulianDay(v.i).toString(kDateFormat());
    case FieldType::Blob:
        break;
    }
    throw EngineError(code::TypeMismatch, QStringLiteral("Il campo %1 non si legge come testo.").arg(f.name));
}

qint64 integerOf(const FieldDef& f, const Value& v)
{
    switch (f.type) {
    case FieldType::Text: {
        qint64 n = 0;
        if (!parseDecimal(v.null ? QString() : v.s, &n))
            throw EngineError(code::NotANumber, QStringLiteral("'%1' non è un numero intero valido (campo %2).").arg(v.s, f.name));
        return n;
    }
    case FieldType::Integer:
    case FieldType::AutoInc:
    case FieldType::Date:
        return v.null ? 0 : v.i;
    case FieldType::Blob:
        break;
    }
    throw EngineError(code::TypeMismatch, QStringLiteral("Il campo %1 non si legge come numero.").arg(f.name));
}

} // namespace orv::storage::detail
