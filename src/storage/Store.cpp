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

// One Store per table whatever the case it is named in: the file name's case
// is resolved only at open (folders are not: only names are looked up).
QString registryKey(const TablePaths& p)
{
    return QFileInfo(p.dat).absolutePath() + u'/' + QFileInfo(p.base).fileName().toLower();
}

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
    if (!m_dat.isOpen())
        return;
    if (m_sinceCheckpoint > 0 || m_rewriteIndex) {
        try {
            syncNow();
            checkpoint();
        } catch (...) {
            // The log stays the truth; the next open replays it.
        }
    }
    removeRepairLeftovers(m_paths);
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

    if (!m_blb.open(m_paths.blb, false, m_paths.display)) {
        const QString other = existingCaseVariant(m_paths.blb);
        if (other == m_paths.blb || !m_blb.open(other, false, m_paths.display))
            damage(code::BlobBlockCorrupt, QStringLiteral("file dei dati blob mancante"));
        m_paths.blb = other;
    }
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
    qint64 from = kDataStart;
    loadIndexFile(&from);
    replay(from);
}

void Store::loadIndexFile(qint64* replayFrom)
{
    auto bad = [&](const QString& why) { damage(code::IndexCorrupt, QStringLiteral("indice: %1").arg(why)); };
    m_idx.open(m_paths.idx, m_paths.display);
    m_paths.idx = m_idx.path();
    const IndexState& st = m_idx.state();
    if (st.generation != m_header.generation)
        bad(QStringLiteral("non corrisponde ai dati"));
    if (!(m_idx.schema() == m_schema))
        bad(QStringLiteral("struttura diversa da quella della tabella"));
    const qint64 covered = st.coveredEnd;
    if (covered < kDataStart || (st.lastRecord == 0 && covered != kDataStart)
        || (st.lastRecord != 0 && (st.lastRecord < kDataStart || st.lastRecord > covered - kRecordHeader)))
        bad(QStringLiteral("posizione"));
    // One read brings the last record the index covers (to check that the
    // index belongs to this log) and, usually, the whole tail after it.
    const qint64 readFrom = st.lastRecord ? st.lastRecord : covered;
    constexpr qint64 kTailProbe = 16 * 1024;
    QByteArray head(covered - readFrom + kTailProbe, Qt::Uninitialized);
    const qint64 got = m_dat.readAt(readFrom, head.data(), head.size());
    if (got < covered - readFrom)
        damage(code::RecordCorrupt, QStringLiteral("il file dei dati è troncato"));
    if (st.lastRecord != 0) {
        RecordHeader rh;
        if (!parseRecordHeader(head.constData(), &rh) || st.lastRecord + kRecordHeader + qint64(rh.len) != covered
            || rh.crc != st.lastRecordCrc)
            bad(QStringLiteral("non corrisponde ai dati"));
    }
    m_tailRead = got < head.size();
    if (m_tailRead) {
        m_datSizeAtOpen = readFrom + got;
        m_tail = head.mid(covered - readFrom, got - (covered - readFrom));
    } else {
        m_datSizeAtOpen = m_dat.size();
    }
    const auto& roots = m_idx.roots();
    if (roots.size() != size_t(m_schema.indexCount()) + 1)
        bad(QStringLiteral("numero degli indici"));
    for (const TreeRoot& r : roots)
        if (r.count != roots.front().count)
            bad(QStringLiteral("voci"));
    m_trees.clear();
    for (const TreeRoot& r : roots)
        m_trees.emplace_back(&m_idx, r, m_paths.display);
    m_lastRecord = st.lastRecord;
    m_lastRecordCrc = st.lastRecordCrc;
    m_nextRowId = std::max(m_nextRowId, st.nextRowId);
    m_nextAutoInc = std::max(m_nextAutoInc, st.nextAutoInc);
    *replayFrom = covered;
}

void Store::replay(qint64 from)
{
    const qint64 size = m_datSizeAtOpen;
    m_datEnd = from;
    if (size <= from)
        return;
    if (size - from > (qint64(1) << 30))
        damage(code::IndexCorrupt, QStringLiteral("indice troppo vecchio"));
    QByteArray tail = std::move(m_tail);
    if (!m_tailRead) {
        tail.resize(size - from);
        if (m_dat.readAt(from, tail.data(), tail.size()) != tail.size())
            damage(code::ReadFailed, QStringLiteral("lettura incompleta"));
    }
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
        if (hasRow(rowId)) {
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
        if (hasRow(rowId)) {
            const auto old = row(rowId);
            indexErase(rowId, *old);
            eraseLoc(rowId);
        }
        m_cache.erase(rowId);
        m_nextRowId = std::max(m_nextRowId, rowId + 1);
    }
}

// --- Rows and indexes --------------------------------------------------------

bool Store::findLoc(quint64 rowId, RowLoc* out) const
{
    const IndexTree& map = m_trees.front();
    const std::string prefix = rowMapPrefix(rowId);
    const size_t p = map.lowerBound(prefix);
    if (p >= map.size())
        return false;
    const std::string& k = map.at(p);
    if (k.compare(0, prefix.size(), prefix) != 0)
        return false;
    if (!parseRowMapKey(k, out))
        damage(code::IndexCorrupt, QStringLiteral("indice: mappa delle righe"));
    return true;
}

void Store::setLoc(const RowLoc& l)
{
    eraseLoc(l.rowId);
    m_trees.front().insert(rowMapKey(l));
}

void Store::eraseLoc(quint64 rowId)
{
    RowLoc old;
    if (findLoc(rowId, &old))
        m_trees.front().erase(rowMapKey(old));
}

void Store::indexInsert(quint64 rowId, const Values& v)
{
    for (int x = 0; x < m_schema.indexCount(); ++x)
        m_trees[size_t(x) + 1].insert(encodeKey(m_schema, m_schema.indexFields(x), v, rowId));
}

void Store::indexErase(quint64 rowId, const Values& v)
{
    for (int x = 0; x < m_schema.indexCount(); ++x)
        if (!m_trees[size_t(x) + 1].erase(encodeKey(m_schema, m_schema.indexFields(x), v, rowId)))
            damage(code::IndexCorrupt, QStringLiteral("voce d'indice mancante"));
}

std::shared_ptr<const Values> Store::row(quint64 rowId)
{
    auto c = m_cache.find(rowId);
    if (c != m_cache.end())
        return c->second;
    RowLoc loc;
    if (!findLoc(rowId, &loc))
        damage(code::IndexCorrupt, QStringLiteral("l'indice nomina una riga inesistente"));
    const RowLoc* l = &loc;
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
    const IndexTree& keys = m_trees[1];
    for (size_t p = keys.lowerBound(prefix); p < keys.size(); ++p) {
        const std::string& k = keys.at(p);
        if (k.size() != prefix.size() + 8 || k.compare(0, prefix.size(), prefix) != 0)
            break;
        if (keyRowId(k) != rowId)
            throw EngineError(code::KeyViolation, QStringLiteral("Chiave primaria duplicata nella tabella %1.").arg(m_paths.display));
    }
}

void Store::appendRecords(const QByteArray& bytes)
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
    const RowLoc loc = appendRow(rowId, v);
    setLoc(loc);
    indexInsert(rowId, v);
    changed(1, origin);
    return rowId;
}

void Store::update(quint64 rowId, Values& v, const void* origin)
{
    if (!hasRow(rowId))
        throw EngineError(code::NoCurrentRow, QStringLiteral("La riga è stata eliminata."));
    v.resize(size_t(m_schema.fields.size()));
    const auto old = row(rowId);
    // Auto-increment values never change once given.
    for (int i = 0; i < m_schema.fields.size(); ++i)
        if (m_schema.fields[i].type == FieldType::AutoInc)
            v[size_t(i)] = (*old)[size_t(i)];
    checkUnique(v, rowId);
    const RowLoc loc = appendRow(rowId, v);
    indexErase(rowId, *old);
    m_cache.erase(rowId);
    setLoc(loc);
    indexInsert(rowId, v);
    changed(1, origin);
}

RowLoc Store::appendRow(quint64 rowId, const Values& v)
{
    const QByteArray rec = encodeRecord(RowRecord, encodeRowPayload(m_schema, rowId, v));
    if (rec.size() - kRecordHeader > qsizetype(kMaxRecord))
        throw EngineError(code::InvalidDefinition, QStringLiteral("Riga troppo lunga."));
    appendRecords(rec);
    const qint64 off = m_datEnd;
    m_datEnd += rec.size();
    m_lastRecord = off;
    m_lastRecordCrc = getU32(rec.constData() + 12);
    return RowLoc{rowId, quint64(off), quint32(rec.size() - kRecordHeader)};
}

void Store::changed(int records, const void* origin)
{
    // A failed checkpoint costs nothing durable: the log holds the change.
    m_sinceCheckpoint += records;
    if (m_sinceCheckpoint >= kCheckpointEvery)
        try { checkpoint(); } catch (...) {}
    notify(origin);
}

void Store::remove(const std::vector<quint64>& rowIds, const void* origin)
{
    std::vector<std::pair<quint64, std::shared_ptr<const Values>>> gone;
    QByteArray bytes;
    for (quint64 id : rowIds) {
        if (!hasRow(id))
            continue;
        gone.emplace_back(id, row(id));
        char p[8];
        putU64(p, id);
        bytes.append(encodeRecord(DeleteRecord, QByteArray(p, 8)));
    }
    if (gone.empty())
        return;
    appendRecords(bytes);
    const qint64 lastOff = m_datEnd + bytes.size() - (kRecordHeader + 8);
    m_datEnd += bytes.size();
    m_lastRecord = lastOff;
    m_lastRecordCrc = getU32(bytes.constData() + (lastOff - (m_datEnd - bytes.size())) + 12);
    for (const auto& [id, old] : gone) {
        indexErase(id, *old);
        eraseLoc(id);
        m_cache.erase(id);
    }
    changed(int(gone.size()), origin);
}

// --- Large objects -------------------------------------------------------------

Value Store::writeBlob(QIODevice& in)
{
    if (m_blbEnd < 0) // found on first use: most opens never write a blob
        m_blbEnd = std::max<qint64>(kBlobStart, m_blb.size());
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
    if (m_blbEnd < 0)
        m_blbEnd = std::max<qint64>(kBlobStart, m_blb.size());
    // Only this Store writes the file, so its end is known without asking.
    readBlobChain(m_blb, m_blbEnd, v, m_paths.display, sink);
}

void readBlobChain(const File& file, qint64 fileSize, const Value& v, const QString& display,
                   const std::function<void(const char*, qint64)>& sink)
{
    if (v.null || v.blobLen == 0)
        return;
    auto damage = [&](int c, const QString& detail) {
        throw EngineError(c, QStringLiteral("Tabella %1 danneggiata: %2.").arg(display, detail));
    };
    if (!file.isOpen())
        fileSize = 0;
    if (v.blobOff < quint64(kBlobStart) || v.blobOff >= quint64(fileSize))
        damage(code::InvalidBlobOffset, QStringLiteral("posizione di un blob fuori dal file"));
    if (v.blobLen > quint64(fileSize) - v.blobOff)
        damage(code::InvalidBlobLength, QStringLiteral("lunghezza di un blob oltre la fine del file"));
    QByteArray buf(kChunkHeader + qsizetype(std::min<quint64>(v.blobLen, kMaxChunk)), Qt::Uninitialized);
    qint64 at = qint64(v.blobOff);
    quint64 left = v.blobLen;
    quint32 seq = 0;
    while (left > 0) {
        // Header and data in one read: a well-formed chunk holds min(left, 64 KiB) bytes.
        char* h = buf.data();
        const qint64 want = kChunkHeader + qint64(std::min<quint64>(left, kMaxChunk));
        const qint64 got = file.readAt(at, h, want);
        if (got < kChunkHeader)
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
        if (got < kChunkHeader + qint64(len))
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

QByteArray encodeIndexFile(IndexState st, const Schema& schema, const std::vector<RowLoc>& rows,
                           const std::vector<std::vector<std::string>>& indexes)
{
    std::vector<std::string> map;
    map.reserve(rows.size());
    for (const RowLoc& l : rows)
        map.push_back(rowMapKey(l));
    std::vector<IndexTree> trees;
    trees.push_back(IndexTree::build(map));
    for (int x = 0; x < schema.indexCount(); ++x)
        trees.push_back(IndexTree::build(size_t(x) < indexes.size() ? indexes[size_t(x)] : std::vector<std::string>()));
    std::vector<IndexTree*> ptrs;
    for (IndexTree& t : trees)
        ptrs.push_back(&t);
    return IndexFile::encode(std::move(st), schema, ptrs);
}

void Store::checkpoint()
{
    syncNow();
    IndexState st = m_idx.state();
    st.generation = m_header.generation;
    st.coveredEnd = m_datEnd;
    st.lastRecord = m_lastRecord;
    st.lastRecordCrc = m_lastRecordCrc;
    st.nextRowId = m_nextRowId;
    st.nextAutoInc = m_nextAutoInc;
    if (m_rewriteIndex || m_idx.wantsCompaction()) {
        rewriteIndexFile(st);
    } else {
        std::vector<IndexTree*> trees;
        for (IndexTree& t : m_trees)
            trees.push_back(&t);
        try {
            m_idx.checkpoint(st, m_schema, trees);
        } catch (...) {
            // Pages may be marked written that never reached the disk.
            m_rewriteIndex = true;
            throw;
        }
    }
    m_sinceCheckpoint = 0;
}

// Writes the index file whole, beside the old one, and swaps it in: this
// drops the pages earlier checkpoints left behind.
void Store::rewriteIndexFile(const IndexState& st)
{
    m_rewriteIndex = true;
    std::vector<IndexTree*> trees;
    for (IndexTree& t : m_trees) {
        t.markAllDirty();
        trees.push_back(&t);
    }
    IndexState fresh = st;
    ++fresh.seq;
    const QByteArray bytes = IndexFile::encode(fresh, m_schema, trees);
    const QString tmp = m_paths.base + QStringLiteral(".tidx");
    writeFileDurably(tmp, bytes, m_paths.display);
    if (::rename(QFile::encodeName(tmp).constData(), QFile::encodeName(m_paths.idx).constData()) != 0)
        throw EngineError(code::WriteFailed, QStringLiteral("Errore di scrittura dell'indice di %1.").arg(m_paths.display));
    syncFolder(m_paths.folderOfFiles);
    m_idx.open(m_paths.idx, m_paths.display);
    m_rewriteIndex = false;
}

void Store::verifyAll()
{
    QByteArray a(kHeaderBlock, Qt::Uninitialized), b(kHeaderBlock, Qt::Uninitialized);
    if (m_dat.readAt(kHeaderBlock, b.data(), kHeaderBlock) != kHeaderBlock)
        damage(code::HeaderCorrupt, QStringLiteral("copia dell'intestazione incompleta"));
    m_dat.readAt(0, a.data(), kHeaderBlock);
    if (a != b)
        damage(code::HeaderCorrupt, QStringLiteral("le due copie dell'intestazione differiscono"));
    // Rebuild the row map from the whole log and compare it with the index file.
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
    for (const IndexTree& t : m_trees)
        t.loadAll();
    const IndexTree& map = m_trees.front();
    if (live.size() != map.size())
        damage(code::IndexCorrupt, QStringLiteral("l'indice non corrisponde alle righe"));
    std::vector<RowLoc> rows;
    rows.reserve(live.size());
    for (const auto& [id, loc] : live) {
        RowLoc l;
        if (!parseRowMapKey(map.at(rows.size()), &l) || l.rowId != id || l.offset != quint64(loc.first) || l.len != loc.second)
            damage(code::IndexCorrupt, QStringLiteral("l'indice non corrisponde alle righe"));
        rows.push_back(l);
    }
    for (int x = 0; x < m_schema.indexCount(); ++x) {
        std::vector<std::string> keys;
        keys.reserve(rows.size());
        for (const RowLoc& l : rows)
            keys.push_back(encodeKey(m_schema, m_schema.indexFields(x), *row(l.rowId), l.rowId));
        std::sort(keys.begin(), keys.end());
        const IndexTree& t = m_trees[size_t(x) + 1];
        if (t.size() != keys.size())
            damage(code::IndexCorrupt, QStringLiteral("voci d'indice errate"));
        for (size_t i = 0; i < keys.size(); ++i)
            if (t.at(i) != keys[i])
                damage(code::IndexCorrupt, QStringLiteral("voci d'indice errate"));
    }
    for (const RowLoc& l : rows) {
        const auto v = row(l.rowId);
        for (int f = 0; f < m_schema.fields.size(); ++f)
            if (m_schema.fields[f].type == FieldType::Blob)
                readBlob((*v)[size_t(f)], [](const char*, qint64) {});
        m_cache.erase(l.rowId);
    }
}

} // namespace orv::storage::detail
