#include "storage/Store.h"

#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <QIODevice>
#include <algorithm>
#include <cstring>
#include <map>

namespace orv::storage::detail {

namespace {
int kCheckpointEvery = 1024;
constexpr size_t kCacheLimit = 8192;

std::map<QString, std::weak_ptr<Store>>& registry()
{
    static std::map<QString, std::weak_ptr<Store>> r;
    return r;
}

QString registryKey(const TablePaths& p) { return QFileInfo(p.dat).absoluteFilePath(); }

void putU32(char* p, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = char(v >> (8 * i));
}
void putU64(char* p, quint64 v)
{
    for (int i = 0; i < 8; ++i)
        p[i] = char(v >> (8 * i));
}
quint32 getU32(const char* p)
{
    quint32 v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | quint8(p[i]);
    return v;
}
quint64 getU64(const char* p)
{
    quint64 v = 0;
    for (int i = 7; i >= 0; --i)
        v = (v << 8) | quint8(p[i]);
    return v;
}

quint32 chunkCrc(const char* header, const char* data, quint32 len)
{
    quint32 c = crc32(header, 24);
    c = crc32(header + 28, 4, c);
    return crc32(data, len, c);
}
} // namespace

void setCheckpointInterval(int records) { kCheckpointEvery = std::max(1, records); }

// --- Opening ---------------------------------------------------------------

std::shared_ptr<Store> Store::acquire(const TablePaths& paths, bool exclusive)
{
    auto& reg = registry();
    const QString key = registryKey(paths);
    auto it = reg.find(key);
    if (it != reg.end()) {
        if (auto s = it->second.lock()) {
            if (exclusive || s->m_exclusive)
                throw EngineError(code::TableLocked,
                                  QStringLiteral("La tabella %1 è in uso (aperta in modo esclusivo o da un altro oggetto).").arg(paths.display));
            return s;
        }
        reg.erase(it);
    }
    std::shared_ptr<Store> s(new Store);
    s->m_paths = paths;
    s->m_exclusive = exclusive;
    s->load();
    reg[key] = s;
    return s;
}

bool Store::isOpenInProcess(const TablePaths& paths)
{
    auto& reg = registry();
    auto it = reg.find(registryKey(paths));
    return it != reg.end() && !it->second.expired();
}

Store::~Store()
{
    if (m_sinceCheckpoint > 0 && m_dat.isOpen()) {
        try {
            syncNow();
            checkpoint();
        } catch (...) {
            // The log stays the truth; the next open replays it.
        }
    }
}

void Store::damage(int c, const QString& detail) const
{
    throw EngineError(c, QStringLiteral("Tabella %1 danneggiata: %2.").arg(m_paths.display, detail));
}

void Store::load()
{
    openLocked(m_dat, m_paths);
    QByteArray block(kHeaderBlock, Qt::Uninitialized);
    if (m_dat.readAt(0, block.data(), kHeaderBlock) != kHeaderBlock)
        damage(code::HeaderCorrupt, QStringLiteral("intestazione incompleta"));
    m_header = decodeHeaderBlock(kDatMagic, block, m_paths.display);
    m_schema = m_header.schema;
    m_nextRowId = m_header.rowIdFloor;
    m_nextAutoInc = m_header.autoIncFloor;

    if (!m_blb.open(m_paths.blb, false, m_paths.display))
        damage(code::BlobBlockCorrupt, QStringLiteral("file dei dati blob mancante"));
    if (m_blb.readAt(0, block.data(), kHeaderBlock) != kHeaderBlock)
        damage(code::BlobBlockCorrupt, QStringLiteral("intestazione del file blob incompleta"));
    try {
        const HeaderInfo bh = decodeHeaderBlock(kBlbMagic, block, m_paths.display);
        if (bh.generation != m_header.generation)
            damage(code::BlobBlockCorrupt, QStringLiteral("il file blob non appartiene alla tabella"));
    } catch (const EngineError& e) {
        if (e.code() == code::BlobBlockCorrupt)
            throw;
        damage(code::BlobBlockCorrupt, QStringLiteral("intestazione del file blob"));
    }
    m_blbEnd = std::max<qint64>(kBlobStart, m_blb.size());
    m_indexes.assign(size_t(m_schema.indexCount()), {});

    bool full = false;
    qint64 from = kDataStart;
    loadIndexSnapshot(&full, &from);
    replay(from);
}

void Store::loadIndexSnapshot(bool*, qint64* replayFrom)
{
    bool exists = false;
    const QByteArray f = readWholeFile(m_paths.idx, &exists, m_paths.display);
    auto bad = [&](const QString& why) { damage(code::IndexCorrupt, QStringLiteral("indice: %1").arg(why)); };
    if (!exists)
        bad(QStringLiteral("file mancante"));
    if (f.size() < 32 || std::memcmp(f.constData(), kIdxMagic, 8) != 0)
        bad(QStringLiteral("intestazione"));
    Reader h(f.constData() + 8, 24);
    const quint32 version = h.u32();
    h.u32();
    const quint64 bodyLen = h.u64();
    const quint32 crc = h.u32();
    if (version != 1 || bodyLen != quint64(f.size() - 32) || crc32(f.constData() + 32, bodyLen) != crc)
        bad(QStringLiteral("somma di controllo"));
    Reader r(f.constData() + 32, bodyLen);
    const char* gen = r.raw(16);
    if (!gen || QByteArray(gen, 16) != m_header.generation)
        bad(QStringLiteral("non corrisponde ai dati"));
    const qint64 covered = qint64(r.u64());
    const qint64 lastRecord = qint64(r.u64());
    const quint32 lastCrc = r.u32();
    const quint64 nextRowId = r.u64();
    const qint64 nextAutoInc = qint64(r.u64());
    Schema s;
    int err = 0;
    if (!r.ok() || !readSchema(r, &s, &err)) {
        if (err == code::InvalidIndexField)
            damage(code::InvalidIndexField, QStringLiteral("numero di campo non valido in un indice"));
        bad(QStringLiteral("struttura"));
    }
    Writer a, b;
    writeSchema(a, s);
    writeSchema(b, m_schema);
    if (a.bytes != b.bytes)
        bad(QStringLiteral("struttura diversa da quella della tabella"));
    const qint64 datSize = m_dat.size();
    if (covered < kDataStart)
        bad(QStringLiteral("posizione"));
    if (covered > datSize)
        damage(code::RecordCorrupt, QStringLiteral("il file dei dati è troncato"));
    if (lastRecord == 0) {
        if (covered != kDataStart)
            bad(QStringLiteral("posizione"));
    } else {
        char hdr[kRecordHeader];
        RecordHeader rh;
        if (lastRecord < kDataStart || lastRecord > covered - kRecordHeader
            || m_dat.readAt(lastRecord, hdr, kRecordHeader) != kRecordHeader || !parseRecordHeader(hdr, &rh)
            || lastRecord + kRecordHeader + qint64(rh.len) != covered || rh.crc != lastCrc)
            bad(QStringLiteral("non corrisponde ai dati"));
    }
    const quint64 count = r.u64();
    if (!r.ok() || count > r.left() / 20)
        bad(QStringLiteral("mappa delle righe"));
    m_rows.resize(size_t(count));
    for (quint64 i = 0; i < count; ++i) {
        RowLoc& l = m_rows[size_t(i)];
        l.rowId = r.u64();
        l.offset = r.u64();
        l.len = r.u32();
        if (l.rowId == 0 || (i > 0 && l.rowId <= m_rows[size_t(i - 1)].rowId) || l.offset < quint64(kDataStart)
            || l.len < 8 || l.len > kMaxRecord || l.offset + kRecordHeader + l.len > quint64(covered))
            bad(QStringLiteral("mappa delle righe"));
    }
    for (int x = 0; x < m_schema.indexCount(); ++x) {
        const quint32 n = r.u32();
        const quint64 arenaLen = r.u64();
        if (!r.ok() || n != count || quint64(n) > r.left() / 8)
            bad(QStringLiteral("voci"));
        const char* table = r.raw(size_t(n) * 8);
        if (!table || arenaLen > r.left())
            bad(QStringLiteral("voci"));
        const char* arena = r.raw(size_t(arenaLen));
        auto& keys = m_indexes[size_t(x)];
        keys.resize(n);
        for (quint32 i = 0; i < n; ++i) {
            const quint32 off = getU32(table + 8 * i);
            const quint32 len = getU32(table + 8 * i + 4);
            if (len < 8 || quint64(off) + len > arenaLen)
                bad(QStringLiteral("voci"));
            keys[i].assign(arena + off, len);
            if (i > 0 && !(keys[i - 1] < keys[i]))
                bad(QStringLiteral("ordine delle voci"));
        }
    }
    if (r.left() != 0)
        bad(QStringLiteral("lunghezza"));
    m_lastRecord = lastRecord;
    m_lastRecordCrc = lastCrc;
    m_nextRowId = std::max(m_nextRowId, nextRowId);
    m_nextAutoInc = std::max(m_nextAutoInc, nextAutoInc);
    *replayFrom = covered;
}

void Store::replay(qint64 from)
{
    const qint64 size = m_dat.size();
    m_datEnd = from;
    if (size <= from)
        return;
    if (size - from > (qint64(1) << 30))
        damage(code::IndexCorrupt, QStringLiteral("indice troppo vecchio"));
    QByteArray tail(size - from, Qt::Uninitialized);
    if (m_dat.readAt(from, tail.data(), tail.size()) != tail.size())
        damage(code::ReadFailed, QStringLiteral("lettura incompleta"));
    const char* p = tail.constData();
    const qint64 n = tail.size();
    auto intactAt = [&](qint64 at, RecordHeader* h) {
        return n - at >= kRecordHeader && parseRecordHeader(p + at, h) && n - at - kRecordHeader >= qint64(h->len)
            && recordCrcOk(p + at, p + at + kRecordHeader, h->len);
    };
    qint64 at = 0;
    while (at < n) {
        RecordHeader h;
        if (!intactAt(at, &h)) {
            // Only the last write can be torn: an intact record after this one means damage.
            for (qint64 k = at + 1; k + kRecordHeader <= n; ++k) {
                RecordHeader h2;
                if (getU32(p + k) == kRecordMagic && intactAt(k, &h2))
                    damage(code::RecordCorrupt, QStringLiteral("record non leggibile alla posizione %1").arg(from + at));
            }
            m_dat.truncate(from + at);
            m_dat.sync();
            break;
        }
        applyRecord(h, from + at, QByteArray::fromRawData(p + at + kRecordHeader, qsizetype(h.len)));
        m_lastRecord = from + at;
        m_lastRecordCrc = h.crc;
        at += kRecordHeader + h.len;
        ++m_sinceCheckpoint;
    }
    m_datEnd = from + at;
}

void Store::applyRecord(const RecordHeader& h, qint64 off, const QByteArray& payload)
{
    if (h.kind == RowRecord) {
        quint64 rowId = 0;
        Values v;
        if (!decodeRowPayload(m_schema, payload.constData(), size_t(payload.size()), &rowId, &v))
            damage(code::RecordCorrupt, QStringLiteral("record non decodificabile alla posizione %1").arg(off));
        if (findLoc(rowId)) {
            const auto old = row(rowId);
            indexErase(rowId, *old);
        }
        m_cache.erase(rowId);
        setLoc(RowLoc{rowId, quint64(off), h.len});
        indexInsert(rowId, v);
        noteCounters(v);
        m_nextRowId = std::max(m_nextRowId, rowId + 1);
    } else {
        if (payload.size() != 8)
            damage(code::RecordCorrupt, QStringLiteral("record di cancellazione alla posizione %1").arg(off));
        const quint64 rowId = getU64(payload.constData());
        if (findLoc(rowId)) {
            const auto old = row(rowId);
            indexErase(rowId, *old);
            eraseLoc(rowId);
        }
        m_cache.erase(rowId);
        m_nextRowId = std::max(m_nextRowId, rowId + 1);
    }
}

// --- Rows and indexes --------------------------------------------------------

const RowLoc* Store::findLoc(quint64 rowId) const
{
    auto it = std::lower_bound(m_rows.begin(), m_rows.end(), rowId, [](const RowLoc& l, quint64 id) { return l.rowId < id; });
    return it != m_rows.end() && it->rowId == rowId ? &*it : nullptr;
}

void Store::setLoc(const RowLoc& l)
{
    auto it = std::lower_bound(m_rows.begin(), m_rows.end(), l.rowId, [](const RowLoc& a, quint64 id) { return a.rowId < id; });
    if (it != m_rows.end() && it->rowId == l.rowId)
        *it = l;
    else
        m_rows.insert(it, l);
}

void Store::eraseLoc(quint64 rowId)
{
    auto it = std::lower_bound(m_rows.begin(), m_rows.end(), rowId, [](const RowLoc& a, quint64 id) { return a.rowId < id; });
    if (it != m_rows.end() && it->rowId == rowId)
        m_rows.erase(it);
}

void Store::indexInsert(quint64 rowId, const Values& v)
{
    for (int x = 0; x < m_schema.indexCount(); ++x) {
        auto& keys = m_indexes[size_t(x)];
        std::string k = encodeKey(m_schema, m_schema.indexFields(x), v, rowId);
        keys.insert(std::lower_bound(keys.begin(), keys.end(), k), std::move(k));
    }
}

void Store::indexErase(quint64 rowId, const Values& v)
{
    for (int x = 0; x < m_schema.indexCount(); ++x) {
        auto& keys = m_indexes[size_t(x)];
        const std::string k = encodeKey(m_schema, m_schema.indexFields(x), v, rowId);
        auto it = std::lower_bound(keys.begin(), keys.end(), k);
        if (it == keys.end() || *it != k)
            damage(code::IndexCorrupt, QStringLiteral("voce d'indice mancante"));
        keys.erase(it);
    }
}

std::shared_ptr<const Values> Store::row(quint64 rowId)
{
    auto c = m_cache.find(rowId);
    if (c != m_cache.end())
        return c->second;
    const RowLoc* l = findLoc(rowId);
    if (!l)
        damage(code::IndexCorrupt, QStringLiteral("l'indice nomina una riga inesistente"));
    QByteArray rec(kRecordHeader + qsizetype(l->len), Qt::Uninitialized);
    if (m_dat.readAt(qint64(l->offset), rec.data(), rec.size()) != rec.size()
        || !recordCrcOk(rec.constData(), rec.constData() + kRecordHeader, l->len))
        damage(code::RecordCorrupt, QStringLiteral("record non leggibile alla posizione %1").arg(l->offset));
    RecordHeader h;
    parseRecordHeader(rec.constData(), &h);
    auto v = std::make_shared<Values>();
    quint64 id = 0;
    if (h.kind != RowRecord || !decodeRowPayload(m_schema, rec.constData() + kRecordHeader, l->len, &id, v.get()) || id != rowId)
        damage(code::RecordCorrupt, QStringLiteral("record non decodificabile alla posizione %1").arg(l->offset));
    if (m_cache.size() >= kCacheLimit)
        m_cache.clear();
    m_cache.emplace(rowId, v);
    return v;
}

std::string Store::keyOf(int index, quint64 rowId)
{
    return encodeKey(m_schema, m_schema.indexFields(index), *row(rowId), rowId);
}

void Store::noteCounters(const Values& v)
{
    for (int i = 0; i < m_schema.fields.size(); ++i)
        if (m_schema.fields[i].type == FieldType::AutoInc && !v[size_t(i)].null)
            m_nextAutoInc = std::max(m_nextAutoInc, v[size_t(i)].i + 1);
}

void Store::checkUnique(const Values& v, quint64 rowId)
{
    if (m_schema.primary.isEmpty())
        return;
    std::string prefix;
    for (int f : m_schema.primary)
        appendFieldKey(prefix, m_schema.fields[f].type, v[size_t(f)]);
    const auto& keys = m_indexes[0];
    for (auto it = std::lower_bound(keys.begin(), keys.end(), prefix);
         it != keys.end() && it->size() == prefix.size() + 8 && it->compare(0, prefix.size(), prefix) == 0; ++it)
        if (keyRowId(*it) != rowId)
            throw EngineError(code::KeyViolation, QStringLiteral("Chiave primaria duplicata nella tabella %1.").arg(m_paths.display));
}

void Store::appendRecords(const QByteArray& bytes, const std::vector<std::pair<qint64, QByteArray>>&)
{
    // The blobs a record points to reach the disk before the record does, so
    // that a synced record never points to missing blob data.
    if (m_blobUnsynced && m_syncEachWrite) {
        m_blb.sync();
        m_blobUnsynced = false;
    }
    m_dat.writeAt(m_datEnd, bytes.constData(), bytes.size());
    if (m_syncEachWrite)
        m_dat.sync();
    else
        m_datUnsynced = true;
}

void Store::syncNow()
{
    if (m_blobUnsynced)
        m_blb.sync();
    m_blobUnsynced = false;
    if (m_datUnsynced)
        m_dat.sync();
    m_datUnsynced = false;
}

void Store::notify(const void* origin)
{
    ++m_version;
    const auto listeners = m_listeners;
    for (StoreListener* l : listeners)
        if (std::find(m_listeners.begin(), m_listeners.end(), l) != m_listeners.end())
            l->storeChanged(origin);
}

void Store::removeListener(StoreListener* l)
{
    m_listeners.erase(std::remove(m_listeners.begin(), m_listeners.end(), l), m_listeners.end());
}

quint64 Store::insert(Values& v, const void* origin)
{
    v.resize(size_t(m_schema.fields.size()));
    bool hasAuto = false;
    for (int i = 0; i < m_schema.fields.size(); ++i)
        if (m_schema.fields[i].type == FieldType::AutoInc) {
            v[size_t(i)].null = false;
            v[size_t(i)].i = m_nextAutoInc;
            hasAuto = true;
        }
    if (hasAuto)
        ++m_nextAutoInc;
    const quint64 rowId = m_nextRowId++;
    checkUnique(v, rowId);
    const QByteArray rec = encodeRecord(RowRecord, encodeRowPayload(m_schema, rowId, v));
    if (rec.size() - kRecordHeader > qsizetype(kMaxRecord))
        throw EngineError(code::InvalidDefinition, QStringLiteral("Riga troppo lunga."));
    appendRecords(rec, {});
    const qint64 off = m_datEnd;
    m_datEnd += rec.size();
    m_lastRecord = off;
    m_lastRecordCrc = getU32(rec.constData() + 12);
    setLoc(RowLoc{rowId, quint64(off), quint32(rec.size() - kRecordHeader)});
    indexInsert(rowId, v);
    if (++m_sinceCheckpoint >= kCheckpointEvery)
        try { checkpoint(); } catch (...) {}
    notify(origin);
    return rowId;
}

void Store::update(quint64 rowId, Values& v, const void* origin)
{
    if (!findLoc(rowId))
        throw EngineError(code::NoCurrentRow, QStringLiteral("La riga è stata eliminata."));
    v.resize(size_t(m_schema.fields.size()));
    const auto old = row(rowId);
    // Auto-increment values never change once given.
    for (int i = 0; i < m_schema.fields.size(); ++i)
        if (m_schema.fields[i].type == FieldType::AutoInc)
            v[size_t(i)] = (*old)[size_t(i)];
    checkUnique(v, rowId);
    const QByteArray rec = encodeRecord(RowRecord, encodeRowPayload(m_schema, rowId, v));
    if (rec.size() - kRecordHeader > qsizetype(kMaxRecord))
        throw EngineError(code::InvalidDefinition, QStringLiteral("Riga troppo lunga."));
    appendRecords(rec, {});
    const qint64 off = m_datEnd;
    m_datEnd += rec.size();
    m_lastRecord = off;
    m_lastRecordCrc = getU32(rec.constData() + 12);
    indexErase(rowId, *old);
    m_cache.erase(rowId);
    setLoc(RowLoc{rowId, quint64(off), quint32(rec.size() - kRecordHeader)});
    indexInsert(rowId, v);
    if (++m_sinceCheckpoint >= kCheckpointEvery)
        try { checkpoint(); } catch (...) {}
    notify(origin);
}

void Store::remove(const std::vector<quint64>& rowIds, const void* origin)
{
    std::vector<std::pair<quint64, std::shared_ptr<const Values>>> gone;
    QByteArray bytes;
    for (quint64 id : rowIds) {
        if (!findLoc(id))
            continue;
        gone.emplace_back(id, row(id));
        char p[8];
        putU64(p, id);
        bytes.append(encodeRecord(DeleteRecord, QByteArray(p, 8)));
    }
    if (gone.empty())
        return;
    appendRecords(bytes, {});
    const qint64 lastOff = m_datEnd + bytes.size() - (kRecordHeader + 8);
    m_datEnd += bytes.size();
    m_lastRecord = lastOff;
    m_lastRecordCrc = getU32(bytes.constData() + (lastOff - (m_datEnd - bytes.size())) + 12);
    for (const auto& [id, old] : gone) {
        indexErase(id, *old);
        eraseLoc(id);
        m_cache.erase(id);
    }
    m_sinceCheckpoint += int(gone.size());
    if (m_sinceCheckpoint >= kCheckpointEvery)
        try { checkpoint(); } catch (...) {}
    notify(origin);
}

// --- Large objects -------------------------------------------------------------

Value Store::writeBlob(QIODevice& in)
{
    const qint64 start = m_blbEnd;
    QByteArray cur(kChunkHeader + kMaxChunk, Qt::Uninitialized), next(kChunkHeader + kMaxChunk, Qt::Uninitialized);
    auto fill = [&](QByteArray& b) {
        qint64 got = 0;
        while (got < kMaxChunk) {
            const qint64 r = in.read(b.data() + kChunkHeader + got, kMaxChunk - got);
            if (r < 0)
                throw EngineError(code::FileError, QStringLiteral("Errore di lettura del contenuto da caricare: %1").arg(in.errorString()));
            if (r == 0)
                break;
            got += r;
        }
        return got;
    };
    qint64 curLen = fill(cur);
    quint32 seq = 0;
    qint64 total = 0;
    qint64 at = start;
    while (curLen > 0) {
        const qint64 nextLen = curLen == kMaxChunk ? fill(next) : 0;
        writeBlobChunk(m_blb, at, quint64(start), seq++, nextLen == 0, cur.data(), quint32(curLen));
        at += kChunkHeader + curLen;
        total += curLen;
        m_blbEnd = at;
        m_blobUnsynced = true;
        std::swap(cur, next);
        curLen = nextLen;
    }
    Value v;
    if (total > 0) {
        v.null = false;
        v.blobOff = quint64(start);
        v.blobLen = quint64(total);
    }
    return v;
}

void Store::readBlob(const Value& v, const std::function<void(const char*, qint64)>& sink)
{
    readBlobChain(m_blb, v, m_paths.display, sink);
}

void readBlobChain(const File& file, const Value& v, const QString& display,
                   const std::function<void(const char*, qint64)>& sink)
{
    if (v.null || v.blobLen == 0)
        return;
    auto damage = [&](int c, const QString& detail) {
        throw EngineError(c, QStringLiteral("Tabella %1 danneggiata: %2.").arg(display, detail));
    };
    const qint64 fileSize = file.isOpen() ? file.size() : 0;
    if (v.blobOff < quint64(kBlobStart) || v.blobOff >= quint64(fileSize))
        damage(code::InvalidBlobOffset, QStringLiteral("posizione di un blob fuori dal file"));
    if (v.blobLen > quint64(fileSize) - v.blobOff)
        damage(code::InvalidBlobLength, QStringLiteral("lunghezza di un blob oltre la fine del file"));
    QByteArray buf(kChunkHeader + kMaxChunk, Qt::Uninitialized);
    qint64 at = qint64(v.blobOff);
    quint64 left = v.blobLen;
    quint32 seq = 0;
    while (left > 0) {
        char* h = buf.data();
        if (file.readAt(at, h, kChunkHeader) != kChunkHeader)
            damage(code::BlobDataEnded, QStringLiteral("fine prematura dei dati di un blob"));
        const quint32 magic = getU32(h);
        const quint32 len = getU32(h + 4);
        const quint64 blobStart = getU64(h + 8);
        if (magic != kChunkMagic || blobStart != v.blobOff) {
            if (seq == 0)
                damage(code::InvalidBlobOffset, QStringLiteral("la posizione non è l'inizio di un blob"));
            damage(code::BlobBlockCorrupt, QStringLiteral("blocco di blob danneggiato"));
        }
        if (getU32(h + 16) != seq)
            damage(code::BlobBlockCorrupt, QStringLiteral("blocco di blob fuori sequenza"));
        if (len == 0 || len > kMaxChunk || len > left)
            damage(code::InvalidBlobLength, QStringLiteral("lunghezza di un blocco di blob non valida"));
        if (file.readAt(at + kChunkHeader, h + kChunkHeader, len) != len)
            damage(code::BlobDataEnded, QStringLiteral("fine prematura dei dati di un blob"));
        if (chunkCrc(h, h + kChunkHeader, len) != getU32(h + 24))
            damage(code::BlobBlockCorrupt, QStringLiteral("blocco di blob danneggiato"));
        const bool last = getU32(h + 20) & 1u;
        left -= len;
        if (last != (left == 0))
            damage(code::BlobDataEnded, QStringLiteral("fine prematura dei dati di un blob"));
        sink(h + kChunkHeader, len);
        at += kChunkHeader + len;
        ++seq;
    }
}

void writeBlobChunk(File& file, qint64 at, quint64 blobStart, quint32 seq, bool last, char* buf, quint32 len)
{
    char* h = buf;
    putU32(h, kChunkMagic);
    putU32(h + 4, len);
    putU64(h + 8, blobStart);
    putU32(h + 16, seq);
    putU32(h + 20, last ? 1u : 0u);
    putU32(h + 24, 0);
    putU32(h + 28, 0);
    putU32(h + 24, chunkCrc(h, h + kChunkHeader, len));
    file.writeAt(at, h, kChunkHeader + qint64(len));
}

// --- Snapshot and check ----------------------------------------------------------

QByteArray encodeIndexSnapshot(const SnapshotInfo& si, const Schema& schema, const std::vector<RowLoc>& rows,
                               const std::vector<std::vector<std::string>>& indexes)
{
    Writer w;
    w.raw(si.generation.constData(), 16);
    w.u64(quint64(si.datEnd));
    w.u64(quint64(si.lastRecord));
    w.u32(si.lastRecordCrc);
    w.u64(si.nextRowId);
    w.u64(quint64(si.nextAutoInc));
    writeSchema(w, schema);
    w.u64(rows.size());
    for (const RowLoc& l : rows) {
        w.u64(l.rowId);
        w.u64(l.offset);
        w.u32(l.len);
    }
    for (int x = 0; x < schema.indexCount(); ++x) {
        static const std::vector<std::string> none;
        const auto& keys = size_t(x) < indexes.size() ? indexes[size_t(x)] : none;
        w.u32(quint32(keys.size()));
        quint64 arena = 0;
        for (const auto& k : keys)
            arena += k.size();
        w.u64(arena);
        quint32 off = 0;
        for (const auto& k : keys) {
            w.u32(off);
            w.u32(quint32(k.size()));
            off += quint32(k.size());
        }
        for (const auto& k : keys)
            w.raw(k.data(), qsizetype(k.size()));
    }
    Writer f;
    f.raw(kIdxMagic, 8);
    f.u32(1);
    f.u32(0);
    f.u64(quint64(w.bytes.size()));
    f.u32(crc32(w.bytes.constData(), size_t(w.bytes.size())));
    f.u32(0);
    f.bytes.append(w.bytes);
    return f.bytes;
}

void Store::checkpoint()
{
    syncNow();
    SnapshotInfo si{m_header.generation, m_datEnd, m_lastRecord, m_lastRecordCrc, m_nextRowId, m_nextAutoInc};
    const QByteArray bytes = encodeIndexSnapshot(si, m_schema, m_rows, m_indexes);
    const QString tmp = m_paths.base + QStringLiteral(".tidx");
    writeFileDurably(tmp, bytes, m_paths.display);
    if (::rename(QFile::encodeName(tmp).constData(), QFile::encodeName(m_paths.idx).constData()) != 0)
        throw EngineError(code::WriteFailed, QStringLiteral("Errore di scrittura dell'indice di %1.").arg(m_paths.display));
    syncFolder(m_paths.folderOfFiles);
    m_sinceCheckpoint = 0;
}

void Store::verifyAll()
{
    QByteArray a(kHeaderBlock, Qt::Uninitialized), b(kHeaderBlock, Qt::Uninitialized);
    if (m_dat.readAt(kHeaderBlock, b.data(), kHeaderBlock) != kHeaderBlock)
        damage(code::HeaderCorrupt, QStringLiteral("copia dell'intestazione incompleta"));
    m_dat.readAt(0, a.data(), kHeaderBlock);
    if (a != b)
        damage(code::HeaderCorrupt, QStringLiteral("le due copie dell'intestazione differiscono"));
    // Rebuild the row map from the whole log and compare it with the snapshot.
    std::map<quint64, std::pair<qint64, quint32>> live;
    const qint64 end = m_datEnd;
    qint64 at = kDataStart;
    QByteArray rec;
    while (at < end) {
        char hdr[kRecordHeader];
        RecordHeader h;
        if (m_dat.readAt(at, hdr, kRecordHeader) != kRecordHeader || !parseRecordHeader(hdr, &h) || at + kRecordHeader + h.len > end)
            damage(code::RecordCorrupt, QStringLiteral("record non leggibile alla posizione %1").arg(at));
        rec.resize(qsizetype(h.len));
        if (m_dat.readAt(at + kRecordHeader, rec.data(), h.len) != h.len || !recordCrcOk(hdr, rec.constData(), h.len))
            damage(code::RecordCorrupt, QStringLiteral("record non leggibile alla posizione %1").arg(at));
        if (h.kind == RowRecord) {
            quint64 id = 0;
            Values v;
            if (!decodeRowPayload(m_schema, rec.constData(), h.len, &id, &v))
                damage(code::RecordCorrupt, QStringLiteral("record non decodificabile alla posizione %1").arg(at));
            live[id] = {at, h.len};
        } else {
            live.erase(getU64(rec.constData()));
        }
        at += kRecordHeader + h.len;
    }
    if (live.size() != m_rows.size())
        damage(code::IndexCorrupt, QStringLiteral("l'indice non corrisponde alle righe"));
    size_t i = 0;
    for (const auto& [id, loc] : live) {
        const RowLoc& l = m_rows[i++];
        if (l.rowId != id || l.offset != quint64(loc.first) || l.len != loc.second)
            damage(code::IndexCorrupt, QStringLiteral("l'indice non corrisponde alle righe"));
    }
    for (int x = 0; x < m_schema.indexCount(); ++x) {
        std::vector<std::string> keys;
        keys.reserve(m_rows.size());
        for (const RowLoc& l : m_rows)
            keys.push_back(encodeKey(m_schema, m_schema.indexFields(x), *row(l.rowId), l.rowId));
        std::sort(keys.begin(), keys.end());
        if (keys != m_indexes[size_t(x)])
            damage(code::IndexCorrupt, QStringLiteral("voci d'indice errate"));
    }
    for (const RowLoc& l : m_rows) {
        const auto v = row(l.rowId);
        for (int f = 0; f < m_schema.fields.size(); ++f)
            if (m_schema.fields[f].type == FieldType::Blob)
                readBlob((*v)[size_t(f)], [](const char*, qint64) {});
        m_cache.erase(l.rowId);
    }
}

} // namespace orv::storage::detail
