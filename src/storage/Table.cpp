#include "storage/Table.h"

#include "storage/Database.h"
#include "storage/Repair.h"
#include "storage/Store.h"

#include <QFile>
#include <QSaveFile>
#include <algorithm>
#include <optional>

namespace orv::storage {

using namespace detail;

namespace detail {

struct FieldInfo {
    FieldDef def;
    enum Kind { Stored, Lookup, Calculated } kind = Stored;
    int lookup = -1;
};

struct FieldSet {
    std::vector<FieldInfo> fields;
    int stored = 0;
    int find(const QString& name) const
    {
        for (size_t i = 0; i < fields.size(); ++i)
            if (fields[i].def.name.compare(name, Qt::CaseInsensitive) == 0)
                return int(i);
        return -1;
    }
    int require(const QString& name) const
    {
        const int i = find(name);
        if (i < 0)
            throw EngineError(code::FieldNotFound, QStringLiteral("Campo %1 non trovato.").arg(name));
        return i;
    }
};

struct RowData {
    std::shared_ptr<const FieldSet> fs;
    Values values;
    quint64 rowId = 0;
    bool valid = false;
    bool calculating = false;
};

struct TableImpl final : StoreListener {
    explicit TableImpl(Table* table) : q(table) {}

    Table* q;
    QPointer<Database> db;
    QString folder, tableName, indexName;
    bool exclusive = false;
    bool bulk = false;
    QPointer<Table> master;
    QStringList masterFields;
    QList<QMetaObject::Connection> masterConnections;
    QList<LookupFieldDef> lookups;
    QList<QMetaObject::Connection> lookupConnections;
    QList<FieldDef> calculated;

    // Open state.
    std::shared_ptr<Store> store;
    std::shared_ptr<FieldSet> fs;
    int active = 0;
    enum class RangeKind { All, Prefix, None } rangeKind = RangeKind::All;
    std::string rangeLo, rangeHi;
    bool masterRange = false;

    std::string curKey;
    quint64 curRowId = 0;
    bool bofFlag = true, eofFlag = true;
    mutable size_t lo = 0, hi = 0, pos = 0;
    mutable quint64 syncedVersion = 0;
    mutable bool dirty = true;

    TableState state = TableState::Inactive;
    Values editBuf;
    quint64 editRowId = 0;
    mutable std::optional<Row> curCache;

    void storeChanged(const void* origin) override
    {
        if (origin == this)
            return;
        const quint64 before = curRowId;
        dirty = true;
        curCache.reset();
        emit q->visibleRowsChanged();
        sync();
        if (curRowId != before)
            emit q->currentRowChanged();
    }

    void requireOpen() const
    {
        if (!store)
            throw EngineError(code::TableClosed, QStringLiteral("La tabella %1 non è aperta.").arg(tableName));
    }

    const IndexTree& keys() const { return store->index(active); }

    // Recomputes the range bounds and the cursor position after any change.
    void sync()
    {
        if (!store || (!dirty && syncedVersion == store->version()))
            return;
        const auto& k = keys();
        if (rangeKind == RangeKind::None) {
            lo = hi = 0;
        } else if (rangeKind == RangeKind::All) {
            lo = 0;
            hi = k.size();
        } else {
            lo = k.lowerBound(rangeLo);
            const std::string_view upTo(rangeHi);
            hi = std::max(lo, k.partitionPoint([&](std::string_view key) { return key.substr(0, upTo.size()) <= upTo; }));
        }
        if (lo == hi) {
            pos = lo;
            curKey.clear();
            curRowId = 0;
        } else {
            if (curRowId && store->hasRow(curRowId)) {
                try {
                    curKey = store->keyOf(active, curRowId);
                } catch (const EngineError&) {
                }
            }
            if (curKey.empty()) {
                pos = lo;
            } else {
                pos = std::clamp(k.lowerBound(curKey), lo, hi);
                if (pos >= hi)
                    pos = hi - 1;
            }
            curKey = k.at(pos);
            curRowId = keyRowId(curKey);
        }
        syncedVersion = store->version();
        dirty = false;
    }
    void sync() const { const_cast<TableImpl*>(this)->sync(); }

    bool empty() const
    {
        sync();
        return lo == hi;
    }

    void placeAt(size_t p)
    {
        pos = p;
        curKey = keys().at(p);
        curRowId = keyRowId(curKey);
        curCache.reset();
    }

    void checkBrowse()
    {
        requireOpen();
        if (state == TableState::Edit || state == TableState::Insert)
            q->post();
    }

    std::string prefixFor(const QVariantList& values) const
    {
        const QList<int>& fields = store->schema().indexFields(active);
        if (values.size() > fields.size())
            throw EngineError(code::InvalidDefinition, QStringLiteral("Troppi valori per l'indice della tabella %1.").arg(tableName));
        std::string k;
        for (int i = 0; i < values.size(); ++i) {
            const FieldDef& f = store->schema().fields[fields[i]];
            appendFieldKey(k, f.type, valueFromVariant(f, values[i]));
        }
        return k;
    }

    void moveFirstQuietly()
    {
        curKey.clear();
        curRowId = 0;
        dirty = true;
        curCache.reset();
        sync();
        bofFlag = true;
        eofFlag = lo == hi;
    }

    QVariantList masterValues(bool* ok) const
    {
        *ok = false;
        QVariantList out;
        if (!master || !master->isOpen())
            return out;
        const Row r = master->currentRow();
        if (!r.isValid() && master->state() != TableState::Insert)
            return out;
        for (const QString& f : masterFields)
            out << r.value(f);
        *ok = true;
        return out;
    }

    void applyMasterRange()
    {
        if (!store || !master)
            return;
        bool ok = false;
        const QVariantList values = masterValues(&ok);
        rangeKind = RangeKind::None;
        if (ok) {
            try {
                rangeLo = rangeHi = prefixFor(values);
                rangeKind = RangeKind::Prefix;
            } catch (const EngineError&) {
                rangeKind = RangeKind::None; // a master value this index cannot hold matches nothing
            }
        }
        masterRange = true;
    }

    void masterMoved()
    {
        if (!store)
            return;
        if (state == TableState::Edit || state == TableState::Insert)
            q->cancel();
        const quint64 before = curRowId;
        applyMasterRange();
        moveFirstQuietly();
        emit q->visibleRowsChanged();
        if (curRowId != before || true)
            emit q->currentRowChanged();
    }

    Row makeRow(quint64 rowId, const Values& stored, bool valid) const
    {
        Row row;
        row.d = std::make_shared<RowData>();
        row.d->fs = fs;
        row.d->rowId = rowId;
        row.d->valid = valid;
        row.d->values = stored;
        row.d->values.resize(fs->fields.size());
        if (!valid)
            return row;
        for (size_t i = size_t(fs->stored); i < fs->fields.size(); ++i) {
            const FieldInfo& fi = fs->fields[i];
            if (fi.kind != FieldInfo::Lookup)
                continue;
            const LookupFieldDef& l = lookups[fi.lookup];
            const int key = fs->find(l.keyField);
            if (!l.lookupTable || !l.lookupTable->isOpen() || key < 0 || key >= fs->stored)
                continue;
            const QVariant kv = variantFromValue(fs->fields[size_t(key)].def, stored[size_t(key)]);
            if (!kv.isValid())
                continue;
            try {
                row.d->values[i] = valueFromVariant(fi.def, l.lookupTable->lookup(l.lookupKeyField, kv, l.resultField));
            } catch (const EngineError& e) {
                if (isDamageCode(e.code()))
                    throw;
            }
        }
        if (q->OnCalcFields && !calculated.isEmpty()) {
            row.d->calculating = true;
            q->OnCalcFields(row);
            row.d->calculating = false;
        }
        return row;
    }

    Row rowById(quint64 rowId) const { return makeRow(rowId, *store->row(rowId), true); }

    Row current() const
    {
        if (!store)
            return Row();
        if (curCache)
            return *curCache;
        Row r;
        if (state == TableState::Edit || state == TableState::Insert) {
            r = makeRow(editRowId, editBuf, true);
        } else if (empty()) {
            r = makeRow(0, Values(), false);
        } else {
            r = rowById(curRowId);
        }
        curCache = r;
        return r;
    }

    bool valueEquals(const FieldInfo& fi, const Value& have, const QVariant& want) const
    {
        Value w;
        try {
            w = valueFromVariant(fi.def, want);
        } catch (const EngineError& e) {
            if (e.code() == code::NotANumber || e.code() == code::TypeMismatch)
                return false;
            throw;
        }
        if (have.null || w.null)
            return have.null == w.null && (fi.def.type != FieldType::Text || have.s == w.s);
        return fi.def.type == FieldType::Text ? have.s == w.s : have.i == w.i;
    }

    // The position (absolute, in the index) of the first row of the range with
    // field == value, or hi when none.
    size_t find(int field, const QVariant& value) const
    {
        sync();
        const FieldInfo& fi = fs->fields[size_t(field)];
        const Schema& s = store->schema();
        // A key of the primary index: one O(log n) probe.
        if (fi.kind == FieldInfo::Stored && s.primary.size() == 1 && s.primary[0] == field) {
            Value v;
            try {
                v = valueFromVariant(fi.def, value);
            } catch (const EngineError&) {
                return hi;
            }
            std::string prefix;
            appendFieldKey(prefix, fi.def.type, v);
            const IndexTree& pk = store->index(0);
            for (size_t at = pk.lowerBound(prefix); at < pk.size(); ++at) {
                const std::string& key = pk.at(at);
                if (key.size() != prefix.size() + 8 || key.compare(0, prefix.size(), prefix) != 0)
                    break;
                const quint64 id = keyRowId(key);
                const std::string k = store->keyOf(active, id);
                const IndexTree& ks = keys();
                const size_t p = std::clamp(ks.lowerBound(k), lo, hi);
                if (p < hi && ks.at(p) == k)
                    return p;
            }
            return hi;
        }
        for (size_t p = lo; p < hi; ++p) {
            const quint64 id = keyRowId(keys().at(p));
            if (fi.kind == FieldInfo::Stored) {
                if (valueEquals(fi, (*store->row(id))[size_t(field)], value))
                    return p;
            } else {
                const Row r = rowById(id);
                if (valueEquals(fi, r.d->values[size_t(field)], value))
                    return p;
            }
        }
        return hi;
    }

    Value& editValue(int field)
    {
        if (state != TableState::Edit && state != TableState::Insert)
            throw EngineError(code::NotEditing, QStringLiteral("La tabella %1 non è in modifica.").arg(tableName));
        if (field >= fs->stored)
            throw EngineError(code::TypeMismatch, QStringLiteral("Il campo %1 non è modificabile.").arg(fs->fields[size_t(field)].def.name));
        curCache.reset();
        return editBuf[size_t(field)];
    }

    void setField(int field, const Value& v)
    {
        Value& slot = editValue(field);
        if (fs->fields[size_t(field)].def.type == FieldType::Blob)
            throw EngineError(code::TypeMismatch, QStringLiteral("Il campo %1 è un blob.").arg(fs->fields[size_t(field)].def.name));
        slot = v;
        emit q->fieldChanged(fs->fields[size_t(field)].def.name);
    }

    void setState(TableState s)
    {
        if (state == s)
            return;
        state = s;
        curCache.reset();
        emit q->stateChanged();
    }
};

} // namespace detail

// --- Row ---------------------------------------------------------------------

namespace {
const FieldInfo& infoOf(const std::shared_ptr<RowData>& d, const QString& name, int* index)
{
    if (!d)
        throw EngineError(code::FieldNotFound, QStringLiteral("Campo %1 non trovato.").arg(name));
    *index = d->fs->require(name);
    return d->fs->fields[size_t(*index)];
}
} // namespace

Row::Row() = default;
bool Row::isValid() const { return d && d->valid; }
Bookmark Row::bookmark() const { return Bookmark{d && d->valid ? d->rowId : 0}; }

bool Row::isNull(const QString& field) const
{
    int i;
    infoOf(d, field, &i);
    return d->values[size_t(i)].null;
}
QString Row::asString(const QString& field) const
{
    int i;
    const FieldInfo& f = infoOf(d, field, &i);
    return textOf(f.def, d->values[size_t(i)]);
}
qint64 Row::asInteger(const QString& field) const
{
    int i;
    const FieldInfo& f = infoOf(d, field, &i);
    return integerOf(f.def, d->values[size_t(i)]);
}
QDate Row::asDate(const QString& field) const
{
    int i;
    const FieldInfo& f = infoOf(d, field, &i);
    const Value& v = d->values[size_t(i)];
    if (f.def.type == FieldType::Text)
        return v.null ? QDate() : QDate::fromString(v.s.trimmed(), QStringLiteral("dd/MM/yyyy"));
    if (f.def.type != FieldType::Date)
        throw EngineError(code::TypeMismatch, QStringLiteral("Il campo %1 non è una data.").arg(f.def.name));
    return v.null ? QDate() : QDate::fromJulianDay(v.i);
}
QVariant Row::value(const QString& field) const
{
    int i;
    const FieldInfo& f = infoOf(d, field, &i);
    return variantFromValue(f.def, d->values[size_t(i)]);
}
qint64 Row::blobSize(const QString& field) const
{
    int i;
    const FieldInfo& f = infoOf(d, field, &i);
    if (f.def.type != FieldType::Blob)
        throw EngineError(code::TypeMismatch, QStringLiteral("Il campo %1 non è un blob.").arg(f.def.name));
    return qint64(d->values[size_t(i)].blobLen);
}
void Row::setValue(const QString& field, const QVariant& value)
{
    int i;
    const FieldInfo& f = infoOf(d, field, &i);
    if (f.kind != FieldInfo::Calculated)
        throw EngineError(code::TypeMismatch, QStringLiteral("Il campo %1 non è un campo calcolato.").arg(f.def.name));
    if (d.use_count() > 1)
        d = std::make_shared<RowData>(*d);
    d->values[size_t(i)] = valueFromVariant(f.def, value);
}

// --- Field -------------------------------------------------------------------

namespace {
const FieldInfo& fieldInfo(const detail::TableImpl& d, int index) { return d.fs->fields[size_t(index)]; }
} // namespace

QString Field::name() const { return fieldInfo(*m_table->d, m_index).def.name; }
FieldType Field::type() const { return fieldInfo(*m_table->d, m_index).def.type; }
int Field::size() const { return fieldInfo(*m_table->d, m_index).def.size; }
bool Field::isStored() const { return fieldInfo(*m_table->d, m_index).kind == FieldInfo::Stored; }
bool Field::isNull() const { return m_table->d->current().isNull(name()); }
QString Field::asString() const { return m_table->d->current().asString(name()); }
qint64 Field::asInteger() const { return m_table->d->current().asInteger(name()); }
QDate Field::asDate() const { return m_table->d->current().asDate(name()); }
QVariant Field::value() const { return m_table->d->current().value(name()); }

void Field::setAsString(const QString& text) { setValue(text.isEmpty() ? QVariant() : QVariant(text)); }
void Field::setAsInteger(qint64 value)
{
    if (type() == FieldType::Text)
        setValue(QString::number(value));
    else
        setValue(QVariant(value));
}
void Field::setAsDate(const QDate& date) { setValue(date.isValid() ? QVariant(date) : QVariant()); }
void Field::setValue(const QVariant& value)
{
    m_table->d->requireOpen();
    m_table->d->setField(m_index, valueFromVariant(fieldInfo(*m_table->d, m_index).def, value));
}
void Field::clear()
{
    m_table->d->requireOpen();
    Value& slot = m_table->d->editValue(m_index);
    slot = Value();
    emit m_table->fieldChanged(name());
}

qint64 Field::blobSize() const { return m_table->d->current().blobSize(name()); }

void Field::saveToDevice(QIODevice& out) const
{
    auto& d = *m_table->d;
    d.requireOpen();
    const Row r = d.current();
    r.blobSize(name()); // type check
    const Value v = r.d->values[size_t(m_index)];
    d.store->readBlob(v, [&](const char* p, qint64 n) {
        if (out.write(p, n) != n)
            throw EngineError(code::FileError, QStringLiteral("Errore di scrittura del contenuto: %1").arg(out.errorString()));
    });
}

void Field::saveToFile(const QString& path) const
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        throw EngineError(code::FileError, QStringLiteral("Impossibile creare il file %1: %2").arg(path, f.errorString()));
    saveToDevice(f);
    if (!f.commit())
        throw EngineError(code::FileError, QStringLiteral("Impossibile scrivere il file %1: %2").arg(path, f.errorString()));
}

qint64 Field::loadFromDevice(QIODevice& in)
{
    auto& d = *m_table->d;
    d.requireOpen();
    if (type() != FieldType::Blob)
        throw EngineError(code::TypeMismatch, QStringLiteral("Il campo %1 non è un blob.").arg(name()));
    d.editValue(m_index); // state check before writing anything
    const Value v = d.store->writeBlob(in);
    d.editValue(m_index) = v;
    emit m_table->fieldChanged(name());
    return qint64(v.blobLen);
}

qint64 Field::loadFromFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw EngineError(code::FileError, QStringLiteral("Impossibile aprire il file %1: %2").arg(path, f.errorString()));
    return loadFromDevice(f);
}

// --- Table -------------------------------------------------------------------

Table::Table(QObject* parent) : QObject(parent), d(std::make_unique<TableImpl>(this)) {}

Table::~Table()
{
    try {
        close();
    } catch (...) {
    }
    if (d->db)
        d->db->detach(this);
}

void Table::setDatabase(Database* db)
{
    if (d->store)
        throw EngineError(code::TableOpen, QStringLiteral("La tabella %1 è aperta.").arg(d->tableName));
    if (d->db)
        d->db->detach(this);
    d->db = db;
    if (db)
        db->attach(this);
}
Database* Table::database() const { return d->db; }

void Table::setFolder(const QString& folder)
{
    if (d->store)
        throw EngineError(code::TableOpen, QStringLiteral("La tabella %1 è aperta.").arg(d->tableName));
    d->folder = folder;
}
QString Table::folder() const { return d->db ? d->db->folder() : d->folder; }

void Table::setTableName(const QString& fileName)
{
    if (d->store)
        throw EngineError(code::TableOpen, QStringLiteral("La tabella %1 è aperta.").arg(d->tableName));
    d->tableName = fileName;
}
QString Table::tableName() const { return d->tableName; }
void Table::setExclusive(bool exclusive) { d->exclusive = exclusive; }
bool Table::exclusive() const { return d->exclusive; }
void Table::setBulkLoad(bool on)
{
    d->bulk = on;
    if (d->store)
        d->store->setSyncEachWrite(!on);
}
bool Table::bulkLoad() const { return d->bulk; }

void Table::setIndexName(const QString& name)
{
    if (d->store) {
        const int idx = d->store->schema().index(name);
        if (idx < 0)
            throw EngineError(code::IndexNotFound, QStringLiteral("Indice %1 non trovato nella tabella %2.").arg(name, d->tableName));
        d->checkBrowse();
        d->indexName = name;
        d->active = idx;
        d->rangeKind = TableImpl::RangeKind::All;
        d->masterRange = false;
        d->applyMasterRange();
        d->moveFirstQuietly();
        emit visibleRowsChanged();
        emit currentRowChanged();
        return;
    }
    d->indexName = name;
}
QString Table::indexName() const { return d->indexName; }

void Table::setMasterSource(Table* master, const QStringList& masterFields)
{
    for (const auto& c : std::as_const(d->masterConnections))
        disconnect(c);
    d->masterConnections.clear();
    d->master = master;
    d->masterFields = masterFields;
    if (master) {
        auto follow = [this] { d->masterMoved(); };
        d->masterConnections << connect(master, &Table::currentRowChanged, this, follow)
                             << connect(master, &Table::visibleRowsChanged, this, follow)
                             << connect(master, &Table::stateChanged, this, follow);
    }
    if (d->store) {
        if (master) {
            d->masterMoved();
        } else {
            d->rangeKind = TableImpl::RangeKind::All;
            d->masterRange = false;
            d->moveFirstQuietly();
            emit visibleRowsChanged();
            emit currentRowChanged();
        }
    }
}

void Table::addLookupField(const LookupFieldDef& def)
{
    if (d->store)
        throw EngineError(code::TableOpen, QStringLiteral("La tabella %1 è aperta.").arg(d->tableName));
    d->lookups << def;
}

void Table::addCalculatedField(const QString& name, FieldType type, int size)
{
    if (d->store)
        throw EngineError(code::TableOpen, QStringLiteral("La tabella %1 è aperta.").arg(d->tableName));
    if (type == FieldType::Text && size <= 0)
        size = 255;
    d->calculated << FieldDef{name, type, type == FieldType::Text ? size : 0};
}

void Table::open()
{
    if (d->store)
        return;
    if (d->db && !d->db->isOpen())
        d->db->open();
    const TablePaths paths = tablePaths(folder(), d->tableName, CaseLookup::DataFileOnly);
    auto store = Store::acquire(paths, d->exclusive);
    const Schema& s = store->schema();
    const int idx = s.index(d->indexName);
    if (idx < 0)
        throw EngineError(code::IndexNotFound, QStringLiteral("Indice %1 non trovato nella tabella %2.").arg(d->indexName, d->tableName));
    auto fs = std::make_shared<FieldSet>();
    for (const FieldDef& f : s.fields)
        fs->fields.push_back(FieldInfo{f, FieldInfo::Stored, -1});
    fs->stored = int(fs->fields.size());
    for (int i = 0; i < d->lookups.size(); ++i) {
        const LookupFieldDef& l = d->lookups[i];
        if (fs->find(l.name) >= 0 || s.field(l.keyField) < 0)
            throw EngineError(code::InvalidDefinition, QStringLiteral("Campo di ricerca %1 non valido.").arg(l.name));
        FieldDef f{l.name, l.type, l.type == FieldType::Text ? (l.size > 0 ? l.size : kMaxTextWidth) : 0};
        fs->fields.push_back(FieldInfo{f, FieldInfo::Lookup, i});
    }
    for (const FieldDef& c : std::as_const(d->calculated)) {
        if (fs->find(c.name) >= 0)
            throw EngineError(code::InvalidDefinition, QStringLiteral("Campo calcolato %1 ripetuto.").arg(c.name));
        fs->fields.push_back(FieldInfo{c, FieldInfo::Calculated, -1});
    }
    d->store = store;
    if (d->bulk)
        store->setSyncEachWrite(false);
    d->fs = fs;
    d->active = idx;
    d->rangeKind = TableImpl::RangeKind::All;
    d->masterRange = false;
    store->addListener(d.get());
    for (const LookupFieldDef& l : std::as_const(d->lookups))
        if (l.lookupTable)
            d->lookupConnections << connect(l.lookupTable, &Table::visibleRowsChanged, this, [this] { d->curCache.reset(); });
    d->applyMasterRange();
    d->moveFirstQuietly();
    d->setState(TableState::Browse);
    emit visibleRowsChanged();
    emit currentRowChanged();
}

void Table::close()
{
    if (!d->store)
        return;
    d->store->removeListener(d.get());
    if (d->bulk) {
        d->store->setSyncEachWrite(true);
        d->store->syncNow();
    }
    d->store.reset();
    for (const auto& c : std::as_const(d->lookupConnections))
        disconnect(c);
    d->lookupConnections.clear();
    d->editBuf.clear();
    d->curKey.clear();
    d->curRowId = 0;
    d->curCache.reset();
    d->dirty = true;
    d->setState(TableState::Inactive);
    emit visibleRowsChanged();
    emit currentRowChanged();
}

bool Table::isOpen() const { return d->store != nullptr; }

TableDef Table::definition() const
{
    d->requireOpen();
    return defFromSchema(d->store->schema());
}

QStringList Table::fieldNames() const
{
    d->requireOpen();
    QStringList out;
    for (const FieldInfo& f : d->fs->fields)
        out << f.def.name;
    return out;
}

bool Table::hasField(const QString& name) const { return d->fs && d->fs->find(name) >= 0; }

RepairReport Table::repair()
{
    if (d->store)
        throw EngineError(code::TableOpen, QStringLiteral("La tabella %1 deve essere chiusa per la riparazione.").arg(d->tableName));
    return repairTable(folder(), d->tableName, [this](quint16 percent) {
        if (OnRepairProgress)
            OnRepairProgress(*this, percent);
    });
}

// --- Cursor ------------------------------------------------------------------

void Table::first()
{
    d->checkBrowse();
    const quint64 before = d->curRowId;
    d->sync();
    if (d->lo == d->hi) {
        d->bofFlag = d->eofFlag = true;
    } else {
        d->placeAt(d->lo);
        d->bofFlag = true;
        d->eofFlag = false;
    }
    if (d->curRowId != before)
        emit currentRowChanged();
}

void Table::last()
{
    d->checkBrowse();
    const quint64 before = d->curRowId;
    d->sync();
    if (d->lo == d->hi) {
        d->bofFlag = d->eofFlag = true;
    } else {
        d->placeAt(d->hi - 1);
        d->bofFlag = false;
        d->eofFlag = true;
    }
    if (d->curRowId != before)
        emit currentRowChanged();
}

void Table::next()
{
    d->checkBrowse();
    d->sync();
    if (d->lo == d->hi) {
        d->bofFlag = d->eofFlag = true;
        return;
    }
    d->bofFlag = false;
    if (d->pos + 1 < d->hi) {
        d->placeAt(d->pos + 1);
        d->eofFlag = false;
        emit currentRowChanged();
    } else {
        d->eofFlag = true;
    }
}

void Table::prior()
{
    d->checkBrowse();
    d->sync();
    if (d->lo == d->hi) {
        d->bofFlag = d->eofFlag = true;
        return;
    }
    d->eofFlag = false;
    if (d->pos > d->lo) {
        d->placeAt(d->pos - 1);
        d->bofFlag = false;
        emit currentRowChanged();
    } else {
        d->bofFlag = true;
    }
}

bool Table::bof() const { return !d->store || d->empty() || d->bofFlag; }
bool Table::eof() const { return !d->store || d->empty() || d->eofFlag; }
bool Table::isEmpty() const { return !d->store || d->empty(); }

int Table::recordCount() const
{
    if (!d->store)
        return 0;
    d->sync();
    return int(d->hi - d->lo);
}

int Table::recNo() const
{
    if (!d->store || d->empty())
        return -1;
    return int(d->pos - d->lo);
}

void Table::moveTo(int index)
{
    d->checkBrowse();
    d->sync();
    if (d->lo == d->hi)
        return;
    const size_t p = d->lo + size_t(std::clamp<qint64>(index, 0, qint64(d->hi - d->lo) - 1));
    const quint64 before = d->curRowId;
    d->placeAt(p);
    d->bofFlag = d->eofFlag = false;
    if (d->curRowId != before)
        emit currentRowChanged();
}

Row Table::rowAt(int index) const
{
    d->requireOpen();
    d->sync();
    if (index < 0 || size_t(index) >= d->hi - d->lo)
        return Row();
    return d->rowById(keyRowId(d->keys().at(d->lo + size_t(index))));
}

Row Table::currentRow() const { return d->current(); }

void Table::setRange(const QVariantList& from, const QVariantList& to)
{
    d->checkBrowse();
    d->rangeLo = d->prefixFor(from);
    d->rangeHi = d->prefixFor(to);
    d->rangeKind = TableImpl::RangeKind::Prefix;
    d->masterRange = false;
    d->moveFirstQuietly();
    emit visibleRowsChanged();
    emit currentRowChanged();
}

void Table::cancelRange()
{
    d->checkBrowse();
    d->rangeKind = TableImpl::RangeKind::All;
    d->masterRange = false;
    d->applyMasterRange();
    d->moveFirstQuietly();
    emit visibleRowsChanged();
    emit currentRowChanged();
}

bool Table::locate(const QString& field, const QVariant& value)
{
    d->checkBrowse();
    const int f = d->fs->require(field);
    const size_t p = d->find(f, value);
    if (p >= d->hi)
        return false;
    const quint64 before = d->curRowId;
    d->placeAt(p);
    d->bofFlag = d->eofFlag = false;
    if (d->curRowId != before)
        emit currentRowChanged();
    return true;
}

QVariant Table::lookup(const QString& keyField, const QVariant& keyValue, const QString& resultField) const
{
    d->requireOpen();
    const int f = d->fs->require(keyField);
    const int r = d->fs->require(resultField);
    const size_t p = d->find(f, keyValue);
    if (p >= d->hi)
        return QVariant();
    const Row row = d->rowById(keyRowId(d->keys().at(p)));
    return variantFromValue(d->fs->fields[size_t(r)].def, row.d->values[size_t(r)]);
}

void Table::refresh()
{
    d->checkBrowse();
    const quint64 before = d->curRowId;
    d->dirty = true;
    d->curCache.reset();
    d->sync();
    if (d->lo == d->hi)
        d->bofFlag = d->eofFlag = true;
    emit visibleRowsChanged();
    if (d->curRowId != before)
        emit currentRowChanged();
}

Bookmark Table::bookmark() const
{
    if (!d->store || d->empty())
        return Bookmark{};
    return Bookmark{d->curRowId};
}

bool Table::bookmarkValid(const Bookmark& b) const
{
    if (!d->store || !b.isValid() || !d->store->hasRow(b.rowId))
        return false;
    d->sync();
    const std::string k = d->store->keyOf(d->active, b.rowId);
    const IndexTree& ks = d->keys();
    const size_t p = std::clamp(ks.lowerBound(k), d->lo, d->hi);
    return p < d->hi && ks.at(p) == k;
}

void Table::gotoBookmark(const Bookmark& b)
{
    d->checkBrowse();
    if (!bookmarkValid(b))
        throw EngineError(code::InvalidBookmark, QStringLiteral("Segnalibro non valido per la tabella %1.").arg(d->tableName));
    const std::string k = d->store->keyOf(d->active, b.rowId);
    const IndexTree& ks = d->keys();
    const size_t p = std::clamp(ks.lowerBound(k), d->lo, d->hi);
    const quint64 before = d->curRowId;
    d->placeAt(p);
    d->bofFlag = d->eofFlag = false;
    if (d->curRowId != before)
        emit currentRowChanged();
}

void Table::freeBookmark(Bookmark& b) { b = Bookmark{}; }

// --- Changes -------------------------------------------------------------------

TableState Table::state() const { return d->state; }

void Table::append()
{
    d->checkBrowse();
    d->editBuf.assign(size_t(d->fs->stored), Value());
    d->editRowId = 0;
    bool ok = false;
    const QVariantList mv = d->masterValues(&ok);
    if (ok && d->masterRange) {
        const QList<int>& fields = d->store->schema().indexFields(d->active);
        for (int i = 0; i < mv.size() && i < fields.size(); ++i) {
            try {
                d->editBuf[size_t(fields[i])] = valueFromVariant(d->store->schema().fields[fields[i]], mv[i]);
            } catch (const EngineError&) {
            }
        }
    }
    d->setState(TableState::Insert);
    emit currentRowChanged();
}

void Table::edit()
{
    d->requireOpen();
    if (d->state == TableState::Edit || d->state == TableState::Insert)
        return;
    if (d->empty())
        throw EngineError(code::NoCurrentRow, QStringLiteral("Nessuna riga corrente nella tabella %1.").arg(d->tableName));
    d->editBuf = *d->store->row(d->curRowId);
    d->editRowId = d->curRowId;
    d->setState(TableState::Edit);
}

void Table::post()
{
    d->requireOpen();
    if (d->state == TableState::Insert) {
        Values v = d->editBuf;
        const quint64 id = d->store->insert(v, d.get());
        d->curRowId = id;
        d->curKey.clear();
    } else if (d->state == TableState::Edit) {
        Values v = d->editBuf;
        d->store->update(d->editRowId, v, d.get());
        d->curRowId = d->editRowId;
        d->curKey.clear();
    } else {
        return;
    }
    d->editBuf.clear();
    d->dirty = true;
    d->sync();
    d->bofFlag = d->eofFlag = d->lo == d->hi;
    d->setState(TableState::Browse);
    emit visibleRowsChanged();
    emit currentRowChanged();
}

void Table::cancel()
{
    d->requireOpen();
    if (d->state != TableState::Edit && d->state != TableState::Insert)
        return;
    const bool inserting = d->state == TableState::Insert;
    d->editBuf.clear();
    d->setState(TableState::Browse);
    if (inserting)
        emit visibleRowsChanged();
    emit currentRowChanged();
}

void Table::remove()
{
    d->requireOpen();
    if (d->state == TableState::Insert) {
        cancel();
        return;
    }
    if (d->state == TableState::Edit)
        cancel();
    if (d->empty())
        throw EngineError(code::NoCurrentRow, QStringLiteral("Nessuna riga corrente nella tabella %1.").arg(d->tableName));
    d->store->remove({d->curRowId}, d.get());
    d->curRowId = 0; // keep curKey: the cursor lands on the row that followed
    d->dirty = true;
    d->curCache.reset();
    d->sync();
    d->bofFlag = d->eofFlag = d->lo == d->hi;
    emit visibleRowsChanged();
    emit currentRowChanged();
}

Field Table::fieldByName(const QString& name)
{
    d->requireOpen();
    return Field(this, d->fs->require(name));
}

} // namespace orv::storage
