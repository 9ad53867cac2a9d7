#include "storage/Repair.h"

#include "storage/Store.h"

#include <QFile>
#include <algorithm>
#include <cstring>
#include <map>
#include <set>

namespace orv::storage {

using namespace detail;

namespace {

quint32 u32At(const char* p)
{
    quint32 v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | quint8(p[i]);
    return v;
}

// The schema from the index file, when the headers are lost, and the row ids
// it knew (as many as its pages still give).
bool schemaFromSnapshot(const QString& path, HeaderInfo* h, quint64* nextRowId, qint64* nextAutoInc,
                        std::vector<quint64>* rowIds)
{
    IndexFile f;
    try {
        f.open(path, path);
    } catch (const EngineError&) {
        return false;
    }
    *nextRowId = f.state().nextRowId;
    *nextAutoInc = f.state().nextAutoInc;
    h->generation = f.state().generation;
    h->schema = f.schema();
    if (!f.roots().empty()) {
        const IndexTree map(&f, f.roots().front(), path);
        try {
            for (size_t p = 0; p < map.size(); ++p) {
                RowLoc l;
                if (parseRowMapKey(map.at(p), &l))
                    rowIds->push_back(l.rowId);
            }
        } catch (const EngineError&) {
        }
    }
    return true;
}

} // namespace

RepairReport repairTable(const QString& folder, const QString& fileName, const RepairProgress& progress)
{
    auto report = [&](quint16 p) {
        if (progress)
            progress(p);
    };
    TablePaths paths = tablePaths(folder, fileName);
    if (Store::isOpenInProcess(paths))
        throw EngineError(code::TableLocked, QStringLiteral("La tabella %1 è in uso.").arg(fileName));
    File dat;
    openLocked(dat, paths);
    report(0);
    RepairReport rep;

    // 1. The schema, from the first copy that survives.
    HeaderInfo h;
    quint64 snapRowId = 1;
    qint64 snapAutoInc = 1;
    bool found = false;
    QByteArray block(kHeaderBlock, Qt::Uninitialized);
    for (int copy = 0; copy < 2 && !found; ++copy) {
        if (dat.readAt(copy * kHeaderBlock, block.data(), kHeaderBlock) != kHeaderBlock)
            continue;
        try {
            h = decodeHeaderBlock(kDatMagic, block, fileName);
            found = true;
        } catch (const EngineError&) {
            rep.notes << QStringLiteral("Copia %1 dell'intestazione danneggiata.").arg(copy + 1);
        }
    }
    HeaderInfo fromIdx;
    std::vector<quint64> snapRows;
    const bool idxOk = schemaFromSnapshot(paths.idx, &fromIdx, &snapRowId, &snapAutoInc, &snapRows);
    if (!found && idxOk) {
        h = fromIdx;
        found = true;
    }
    File oldBlb;
    const bool haveBlb = oldBlb.open(paths.blb, false, fileName);
    qint64 oldBlbSize = 0;
    if (haveBlb) {
        try {
            oldBlbSize = oldBlb.size();
        } catch (const EngineError&) {
            // Unreadable: every blob is lost, the rows are kept.
        }
    }
    if (!found && haveBlb && oldBlb.readAt(0, block.data(), kHeaderBlock) == kHeaderBlock) {
        try {
            h = decodeHeaderBlock(kBlbMagic, block, fileName);
            found = true;
        } catch (const EngineError&) {
        }
    }
    if (!found)
        throw EngineError(code::HeaderCorrupt, QStringLiteral("Tabella %1 irreparabile: nessuna copia della struttura è leggibile.").arg(fileName));
    if (idxOk && fromIdx.generation == h.generation) {
        h.rowIdFloor = std::max(h.rowIdFloor, snapRowId);
        h.autoIncFloor = std::max(h.autoIncFloor, snapAutoInc);
    }
    const Schema& s = h.schema;

    // 2. The row log: the last intact version of each row wins.
    const qint64 datSize = dat.size();
    QByteArray log;
    if (datSize > kDataStart) {
        log.resize(datSize - kDataStart);
        if (dat.readAt(kDataStart, log.data(), log.size()) != log.size())
            throw EngineError(code::ReadFailed, QStringLiteral("Errore di lettura da %1.").arg(fileName));
    }
    const char* p = log.constData();
    const qint64 n = log.size();
    auto intactAt = [&](qint64 at, RecordHeader* rh) {
        return n - at >= kRecordHeader && parseRecordHeader(p + at, rh) && n - at - kRecordHeader >= qint64(rh->len)
            && recordCrcOk(p + at, p + at + kRecordHeader, rh->len);
    };
    std::map<quint64, Values> live;
    std::set<quint64> deleted;
    qint64 at = 0;
    int lastPercent = 0;
    while (at < n) {
        RecordHeader rh;
        if (!intactAt(at, &rh)) {
            qint64 k = at + 1;
            RecordHeader h2;
            while (k + kRecordHeader <= n && !(u32At(p + k) == kRecordMagic && intactAt(k, &h2)))
                ++k;
            if (k + kRecordHeader > n) {
                rep.notes << QStringLiteral("Coda del file dei dati incompleta alla posizione %1, scartata.").arg(kDataStart + at);
                break;
            }
            ++rep.rowsDropped;
            rep.notes << QStringLiteral("Record danneggiato alla posizione %1, scartato.").arg(kDataStart + at);
            at = k;
            continue;
        }
        const char* payload = p + at + kRecordHeader;
        if (rh.kind == RowRecord) {
            quint64 id = 0;
            Values v;
            if (decodeRowPayload(s, payload, rh.len, &id, &v)) {
                h.rowIdFloor = std::max(h.rowIdFloor, id + 1);
                for (int f = 0; f < s.fields.size(); ++f)
                    if (s.fields[f].type == FieldType::AutoInc && !v[size_t(f)].null)
                        h.autoIncFloor = std::max(h.autoIncFloor, v[size_t(f)].i + 1);
                live[id] = std::move(v);
            } else {
                ++rep.rowsDropped;
                rep.notes << QStringLiteral("Record non decodificabile alla posizione %1, scartato.").arg(kDataStart + at);
            }
        } else if (rh.len == 8) {
            quint64 id = 0;
            for (int i = 7; i >= 0; --i)
                id = (id << 8) | quint8(payload[i]);
            live.erase(id);
            deleted.insert(id);
            h.rowIdFloor = std::max(h.rowIdFloor, id + 1);
        }
        at += kRecordHeader + rh.len;
        const int percent = int(at * 40 / std::max<qint64>(n, 1));
        if (percent > lastPercent) {
            lastPercent = percent;
            report(quint16(percent));
        }
    }

    // Rows the index file knew that the log no longer holds (a cut log).
    if (idxOk && fromIdx.generation == h.generation) {
        qint64 missing = 0;
        for (quint64 id : snapRows)
            if (!live.count(id) && !deleted.count(id))
                ++missing;
        rep.rowsDropped = std::max(rep.rowsDropped, missing);
    }

    // 3. Fresh files beside the old ones: blobs first, then rows, then indexes.
    h.generation = newGeneration();
    const QString rdat = paths.base + QStringLiteral(".rdat");
    const QString rblb = paths.base + QStringLiteral(".rblb");
    const QString ridx = paths.base + QStringLiteral(".ridx");
    const QString marker = paths.base + QStringLiteral(".rswap");
    File newBlb;
    QFile::remove(rblb);
    newBlb.open(rblb, true, fileName);
    const QByteArray blbHeader = encodeHeaderBlock(kBlbMagic, h);
    newBlb.writeAt(0, blbHeader.constData(), blbHeader.size());
    qint64 blbEnd = kBlobStart;
    QByteArray chunk(kChunkHeader + kMaxChunk, Qt::Uninitialized);

    QByteArray datBytes = encodeHeaderBlock(kDatMagic, h);
    datBytes += datBytes;
    std::vector<RowLoc> rows;
    std::vector<std::vector<std::string>> indexes(size_t(s.indexCount()));
    qint64 lastRecord = 0;
    quint32 lastCrc = 0;
    size_t done = 0;
    for (auto& [id, v] : live) {
        for (int f = 0; f < s.fields.size(); ++f) {
            Value& b = v[size_t(f)];
            if (s.fields[f].type != FieldType::Blob || b.null || b.blobLen == 0)
                continue;
            const qint64 start = blbEnd;
            qint64 written = 0;
            quint32 seq = 0;
            const quint64 total = b.blobLen;
            try {
                if (!haveBlb)
                    throw EngineError(code::BlobBlockCorrupt, QStringLiteral("file dei dati blob mancante"));
                readBlobChain(oldBlb, oldBlbSize, b, fileName, [&](const char* data, qint64 len) {
                    std::memcpy(chunk.data() + kChunkHeader, data, size_t(len));
                    const bool last = quint64(written + len) == total;
                    writeBlobChunk(newBlb, start + written + qint64(seq) * kChunkHeader, quint64(start), seq, last,
                                   chunk.data(), quint32(len));
                    written += len;
                    ++seq;
                });
                blbEnd = start + written + qint64(seq) * kChunkHeader;
                b.blobOff = quint64(start);
                ++rep.blobsKept;
            } catch (const EngineError& e) {
                if (e.code() == code::WriteFailed)
                    throw;
                b = Value();
                ++rep.blobsDropped;
                rep.notes << QStringLiteral("Blob del campo %1 della riga %2 perso: %3").arg(s.fields[f].name).arg(id).arg(e.message());
            }
        }
        const QByteArray rec = encodeRecord(RowRecord, encodeRowPayload(s, id, v));
        const qint64 off = datBytes.size();
        datBytes += rec;
        lastRecord = off;
        lastCrc = u32At(rec.constData() + 12);
        rows.push_back(RowLoc{id, quint64(off), quint32(rec.size() - kRecordHeader)});
        for (int x = 0; x < s.indexCount(); ++x)
            indexes[size_t(x)].push_back(encodeKey(s, s.indexFields(x), v, id));
        ++done;
        const int percent = int(40 + done * 55 / live.size());
        if (percent > lastPercent) {
            lastPercent = percent;
            report(quint16(percent));
        }
    }
    rep.rowsKept = qint64(live.size());
    newBlb.sync();
    newBlb.close();
    writeFileDurably(rdat, datBytes, fileName);
    for (auto& keys : indexes)
        std::sort(keys.begin(), keys.end());
    IndexState st;
    st.generation = h.generation;
    st.coveredEnd = datBytes.size();
    st.lastRecord = lastRecord;
    st.lastRecordCrc = lastCrc;
    st.nextRowId = h.rowIdFloor;
    st.nextAutoInc = h.autoIncFloor;
    writeFileDurably(ridx, encodeIndexFile(st, s, rows, indexes), fileName);
    syncFolder(paths.folderOfFiles);

    // 4. The swap: once the marker exists, an interrupted swap is finished at the next open.
    writeFileDurably(marker, QByteArray(), fileName);
    syncFolder(paths.folderOfFiles);
    settleRepairFiles(paths);
    report(100);
    return rep;
}

void checkTable(const QString& folder, const QString& fileName)
{
    const TablePaths paths = tablePaths(folder, fileName);
    if (Store::isOpenInProcess(paths))
        throw EngineError(code::TableLocked, QStringLiteral("La tabella %1 è in uso.").arg(fileName));
    Store::acquire(paths, true)->verifyAll();
}

} // namespace orv::storage
