#pragma once
// The shared state of one open table: its files, lock, row map and indexes.
// Every table object and query of the process that uses the same table
// shares one Store, so a change made through one is seen by all. Internal.
#include "storage/File.h"
#include "storage/Format.h"
#include "storage/IndexTree.h"

#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class QIODevice;

namespace orv::storage::detail {

// The paths of a table's files, from a folder and a table name.
struct TablePaths {
    QString display;   // the name as given, for messages
    QString dat, idx, blb;
    QString base;      // path without extension (for repair's side files)
    QString folderOfFiles;
};
// AllFiles resolves the case of the three names now; DataFileOnly leaves them
// to the opener, which looks a name up only when it is missing.
enum class CaseLookup { AllFiles, DataFileOnly };
TablePaths tablePaths(const QString& folder, const QString& tableName,
                      CaseLookup lookup = CaseLookup::AllFiles); // EngineError InvalidName

// Completes an interrupted repair swap (true: the files were replaced).
// Call with the table's lock held.
bool settleRepairFiles(const TablePaths& p);
// Removes the side files of a repair cut short before its swap began (done
// when a table closes, lock still held, to keep opening quick).
void removeRepairLeftovers(const TablePaths& p);
// Opens the .DAT and takes its exclusive lock, after settling an interrupted
// repair, looking the names up in any case when the .DAT is missing.
// Throws TableNotFound or TableLocked.
void openLocked(File& dat, TablePaths& p);
// Each of the three names, or the file of its folder that differs from it only in case.
void resolveCase(TablePaths& p);

struct Value;
// Streams one large object from a .BLB file, checking every chunk.
// fileSize: the file's size (or the end of what its writer appended).
void readBlobChain(const File& file, qint64 fileSize, const Value& v, const QString& display,
                   const std::function<void(const char*, qint64)>& sink);
// Writes one chunk; buf holds kChunkHeader spare bytes followed by len data bytes.
void writeBlobChunk(File& file, qint64 at, quint64 blobStart, quint32 seq, bool last, char* buf, quint32 len);

// How many appended records trigger a checkpoint (1024); crash tests lower it.
void setCheckpointInterval(int records);

// A whole index file for rows sorted by id and indexes of sorted keys
// (index i of the schema at i; missing ones are empty).
QByteArray encodeIndexFile(IndexState st, const Schema& schema, const std::vector<RowLoc>& rows,
                           const std::vector<std::vector<std::string>>& indexes);

class StoreListener {
public:
    virtual void storeChanged(const void* origin) = 0;

protected:
    ~StoreListener() = default;
};

class Store {
public:
    // The process-wide Store of the table, opening it if needed. Exclusive:
    // fails with TableLocked if any object already has it open.
    static std::shared_ptr<Store> acquire(const TablePaths& paths, bool exclusive);
    static bool isOpenInProcess(const TablePaths& paths);
    ~Store();

    const Schema& schema() const { return m_schema; }
    const TablePaths& paths() const { return m_paths; }
    quint64 version() const { return m_version; }
    bool exclusive() const { return m_exclusive; }

    const IndexTree& index(int i) const { return m_trees[size_t(i) + 1]; }
    bool hasRow(quint64 rowId) const
    {
        RowLoc l;
        return findLoc(rowId, &l);
    }
    // The row's values, checked against its record's checksum.
    std::shared_ptr<const Values> row(quint64 rowId);
    std::string keyOf(int index, quint64 rowId);

    // Durable changes. `origin` is passed to the listeners.
    quint64 insert(Values& v, const void* origin);
    void update(quint64 rowId, Values& v, const void* origin);
    void remove(const std::vector<quint64>& rowIds, const void* origin);

    // Large objects.
    Value writeBlob(QIODevice& in);
    void readBlob(const Value& v, const std::function<void(const char*, qint64)>& sink);

    void addListener(StoreListener* l) { m_listeners.push_back(l); }
    void removeListener(StoreListener* l);

    // Bulk loading: appended records are not synced until syncNow().
    void setSyncEachWrite(bool on) { m_syncEachWrite = on; }
    void syncNow();

    // Makes the indexes durable up to the end of the log (also done on close
    // and every 1024 records), so that the next open replays little.
    void checkpoint();

    // Full check used by checkTable: every record, blob and index entry.
    void verifyAll();

private:
    Store() = default;
    void load();
    void loadIndexFile(qint64* replayFrom);
    void rewriteIndexFile(const IndexState& st);
    void replay(qint64 from);
    void applyRecord(const RecordHeader& h, qint64 off, const QByteArray& payload);
    void indexInsert(quint64 rowId, const Values& v);
    void indexErase(quint64 rowId, const Values& v);
    bool findLoc(quint64 rowId, RowLoc* out) const;
    void setLoc(const RowLoc& l);
    void eraseLoc(quint64 rowId);
    void appendRecords(const QByteArray& bytes);
    // Appends a row record and returns where it lies.
    RowLoc appendRow(quint64 rowId, const Values& v);
    // After a durable change of `records` records: checkpoint when due, tell the listeners.
    void changed(int records, const void* origin);
    void notify(const void* origin);
    void checkUnique(const Values& v, quint64 rowId);
    void noteCounters(const Values& v);
    [[noreturn]] void damage(int code, const QString& detail) const;

    TablePaths m_paths;
    bool m_exclusive = false;
    File m_dat, m_blb;
    HeaderInfo m_header;
    Schema m_schema;
    IndexFile m_idx;
    std::vector<IndexTree> m_trees; // 0: row map; 1 + i: index i (1: primary)
    bool m_rewriteIndex = false;    // a checkpoint failed half-way: write the next one whole
    qint64 m_datEnd = kDataStart;
    qint64 m_blbEnd = -1; // not known yet
    qint64 m_datSizeAtOpen = 0;
    QByteArray m_tail;      // the log after the index, when opening read it whole
    bool m_tailRead = false;
    qint64 m_lastRecord = 0;
    quint32 m_lastRecordCrc = 0;
    quint64 m_nextRowId = 1;
    qint64 m_nextAutoInc = 1;
    int m_sinceCheckpoint = 0;
    bool m_blobUnsynced = false;
    bool m_syncEachWrite = true;
    bool m_datUnsynced = false;
    quint64 m_version = 1;
    std::vector<StoreListener*> m_listeners;
    std::unordered_map<quint64, std::shared_ptr<const Values>> m_cache;
};

} // namespace orv::storage::detail
