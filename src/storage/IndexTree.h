#pragma once
// The engine's indexes: sorted sets of byte-string keys, each a B+tree whose
// pages live in NAME.IDX and are read only when a lookup reaches them, so
// opening a table reads the same few kilobytes at 100 rows and at 100,000.
// Changed pages are appended at the next checkpoint and a new superblock
// points at them; the old pages stay intact until the file is compacted, so
// a checkpoint cut short leaves the previous one usable. Internal.
#include "storage/File.h"
#include "storage/Format.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace orv::storage::detail {

constexpr qint64 kIdxSlot = 4096;            // each of the two superblock slots
constexpr qint64 kIdxPagesStart = 2 * kIdxSlot;

struct PageRef {
    quint64 off = 0;
    quint32 len = 0; // 0: no page (the root of an empty tree)
    quint32 crc = 0;
};

// Dead page bytes tolerated beyond the live ones before the file is rewritten
// (512 KiB); crash tests lower it so that kills land inside rewrites too.
void setIndexCompactionSlack(qint64 bytes);

// Where pages are read from; reading checks the page against its reference.
class PageSource {
public:
    virtual QByteArray readPage(const PageRef& ref) const = 0; // EngineError IndexCorrupt
protected:
    ~PageSource() = default;
};

// Collects pages written by a checkpoint, from file offset `base` on.
struct PageSink {
    qint64 base = kIdxPagesStart;
    QByteArray bytes;
    PageRef append(const QByteArray& page);
    qint64 end() const { return base + bytes.size(); }
};

struct TreeRoot {
    PageRef ref;
    quint64 count = 0;
};

class IndexTree {
public:
    IndexTree();
    IndexTree(const PageSource* source, const TreeRoot& root, QString display);
    // A tree of new pages holding `sorted` (strictly increasing keys).
    static IndexTree build(const std::vector<std::string>& sorted);
    IndexTree(IndexTree&&) noexcept;
    IndexTree& operator=(IndexTree&&) noexcept;
    ~IndexTree();

    size_t size() const;
    // Every lookup may read pages and so throw EngineError IndexCorrupt/ReadFailed.
    const std::string& at(size_t pos) const; // valid until the next change
    size_t lowerBound(std::string_view key) const;
    // The first position whose key fails `before` (true for a leading run of keys).
    size_t partitionPoint(const std::function<bool(std::string_view)>& before) const;
    bool contains(std::string_view key) const;

    void insert(std::string key);
    bool erase(std::string_view key);

    // Reads every page, checking each and the order of all keys.
    void loadAll() const;
    // Every page is written afresh by the next save (for a compacted file).
    void markAllDirty();
    // Writes the changed pages to the sink; returns the new root.
    TreeRoot save(PageSink& sink);
    // Bytes of pages this tree stopped using (or started using) since the last call.
    qint64 takeLiveDelta();

    // The pages' in-memory form; defined in IndexTree.cpp.
    struct Node;
    struct Child;

private:
    Node& load(const Child& c, int depth) const;
    void touch(Child& c);
    void insertInto(Child& c, std::string&& key, int depth, std::unique_ptr<Child>* split);
    bool eraseFrom(Child& c, std::string_view key, int depth);
    PageRef saveChild(Child& c, PageSink& sink);
    void loadAllFrom(const Child& c, int depth) const;
    void dirtyAll(Child& c);

    const PageSource* m_source = nullptr;
    QString m_display;
    std::unique_ptr<Child> m_root;
    qint64 m_liveDelta = 0;
    quint64 m_stamp = 0;
    struct Hint {
        const Node* leaf = nullptr;
        size_t start = 0;
        quint64 stamp = ~quint64(0);
    };
    mutable Hint m_hint;
};

// What the superblock of NAME.IDX records besides the trees.
struct IndexState {
    quint64 seq = 0;
    QByteArray generation;
    qint64 coveredEnd = kDataStart; // the row log up to here is in the trees
    qint64 lastRecord = 0;          // the last record before coveredEnd, for a consistency check
    quint32 lastRecordCrc = 0;
    quint64 nextRowId = 1;
    qint64 nextAutoInc = 1;
    qint64 pagesEnd = kIdxPagesStart;
    qint64 liveBytes = 0; // page bytes the trees use; the rest is dead space
    PageRef meta;         // the page naming the schema and the trees' roots (none: inside the superblock)
};

// NAME.IDX: two superblock slots, then pages. Tree 0 maps row ids to their
// records (see rowMapKey); tree 1 + i is index i of the schema.
class IndexFile final : public PageSource {
public:
    // Reads the newest intact superblock and the meta page it names.
    // Throws IndexCorrupt (the file missing included).
    void open(const QString& path, const QString& display);
    void close() { m_file.close(); }
    bool isOpen() const { return m_file.isOpen(); }
    const QString& path() const { return m_path; } // as found (its case may differ from the one asked for)
    const IndexState& state() const { return m_state; }
    const Schema& schema() const { return m_schema; }
    const std::vector<TreeRoot>& roots() const { return m_roots; }
    QByteArray readPage(const PageRef& ref) const override;

    // Appends the trees' changed pages and makes a new superblock durable.
    void checkpoint(IndexState st, const Schema& schema, const std::vector<IndexTree*>& trees);
    // True when dead pages outweigh the live ones enough to rewrite the file.
    bool wantsCompaction() const;

    // A whole index file holding the trees (every page written afresh).
    static QByteArray encode(IndexState st, const Schema& schema, const std::vector<IndexTree*>& trees);

private:
    File m_file;
    QString m_path;
    QString m_display;
    IndexState m_state;
    Schema m_schema;
    std::vector<TreeRoot> m_roots;
};

// Keys of the row map: the row id (big-endian, so keys sort by it), then
// where its current record lies.
struct RowLoc {
    quint64 rowId;
    quint64 offset;
    quint32 len;
};
std::string rowMapKey(const RowLoc& l);
std::string rowMapPrefix(quint64 rowId);
bool parseRowMapKey(std::string_view key, RowLoc* out);

} // namespace orv::storage::detail
