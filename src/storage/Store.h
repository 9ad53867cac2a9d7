#pragma once
// The shared state of one open table: its files, lock, row map and indexes.
// Every table object and query of the process that uses the same table
// shares one Store, so a change made through one is seen by all. Internal.
#include "storage/Format.h"

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
TablePaths tablePaths(const QString& folder, const QString& tableName); // EngineError InvalidName

// An open file descriptor with checked positional I/O.
class File {
public:
    File() = default;
    ~File();
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    // Returns false when the file does not exist; throws ReadFailed otherwise.
    bool open(const QString& path, bool create, const QString& what);
    void close();
    bool isOpen() const { return m_fd >= 0; }
    int fd() const { return m_fd; }
    qint64 size() const;
    // Reads up to n bytes; returns the count (less at end of file).
    qint64 readAt(qint64 off, char* buf, qint64 n) const;
    void writeAt(qint64 off, const char* buf, qint64 n);
    void sync();
    void truncate(qint64 size);
    bool tryLock(); // exclusive, non-blocking

private:
    int m_fd = -1;
    QString m_what;
};
void syncFolder(const QString& folder);
QByteArray readWholeFile(const QString& path, bool* exists, const QString& what);
void writeFileDurably(const QString& path, const QByteArray& bytes, const QString& what);
// Completes an interrupted repair swap (true: the files were replaced), or
// removes a repair's leftovers. Call with the table's lock held.
bool settleRepairFiles(const TablePaths& p);
// Opens the .DAT and takes its exclusive lock, after settling an interrupted
// repair. Throws TableNotFound or TableLocked.
void openLocked(File& dat, const TablePaths& p);

struct Value;
// Streams one large object from a .BLB file, checking every chunk.
void readBlobChain(const File& file, const Value& v, const QString& display,
                   const std::function<void(const char*, qint64)>& sink);
// Writes one chunk; buf holds kChunkHeader spare bytes followed by len data bytes.
void writeBlobChunk(File& file, qint64 at, quint64 blobStart, quint32 seq, bool last, char* buf, quint32 len);

struct RowLoc {
    quint64 rowId;
    quint64 offset;
    quint32 len;
};

// How many appended records trigger a snapshot (1024); crash tests lower it.
void setCheckpointInterval(int records);

struct SnapshotInfo {
    QByteArray generation;
    qint64 datEnd = kDataStart;
    qint64 lastRecord = 0;
    quint32 lastRecordCrc = 0;
    quint64 nextRowId = 1;
    qint64 nextAutoInc = 1;
};
QByteArray encodeIndexSnapshot(const SnapshotInfo& si, const Schema& schema, const std::vector<RowLoc>& rows,
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

    const std::vector<std::string>& index(int i) const { return m_indexes[size_t(i)]; }
    bool hasRow(quint64 rowId) const { return findLoc(rowId) != nullptr; }
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

    // Writes the index snapshot now (also done on close and every 1024 records).
    void checkpoint();

    // Full check used by checkTable: every record, blob and index entry.
    void verifyAll();

private:
    Store() = default;
    void load();
    void loadIndexSnapshot(bool* needFullReplay, qint64* replayFrom);
    void replay(qint64 from);
    void applyRecord(const RecordHeader& h, qint64 off, const QByteArray& payload);
    void indexInsert(quint64 rowId, const Values& v);
    void indexErase(quint64 rowId, const Values& v);
    const RowLoc* findLoc(quint64 rowId) const;
    void setLoc(const RowLoc& l);
    void eraseLoc(quint64 rowId);
    void appendRecords(const QByteArray& bytes, const std::vector<std::pair<qint64, QByteArray>>& parts);
    void notify(const void* origin);
    void checkUnique(const Values& v, quint64 rowId);
    void noteCounters(const Values& v);
    [[noreturn]] void damage(int code, const QString& detail) const;

    TablePaths m_paths;
    bool m_exclusive = false;
    File m_dat, m_blb;
    HeaderInfo m_header;
    Schema m_schema;
    std::vector<RowLoc> m_rows;                     // sorted by rowId
    std::vector<std::vector<std::string>> m_indexes; // 0 = primary
    qint64 m_datEnd = kDataStart;
    qint64 m_blbEnd = kBlobStart;
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
