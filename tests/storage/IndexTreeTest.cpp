// Paged indexes: every answer matches a sorted set through inserts, erases,
// saves and lazy reloads; lookups read only the pages on their path; opening a
// table reads the same whatever its size.
#include "StorageFixture.h"

#include "storage/File.h"
#include "storage/IndexTree.h"
#include "storage/Repair.h"

#include <QFileInfo>
#include <map>
#include <random>
#include <set>

namespace orv::storage::test {
namespace {

using namespace detail;

// Pages kept in memory, as the index file keeps them on disk.
class MemoryPages : public PageSource {
public:
    QByteArray readPage(const PageRef& ref) const override
    {
        ++reads;
        const qint64 at = qint64(ref.off) - kIdxPagesStart;
        if (at < 0 || at + ref.len > bytes.size())
            throw EngineError(code::IndexCorrupt, "fuori");
        const QByteArray page = bytes.mid(at, ref.len);
        if (crc32(page.constData(), size_t(page.size())) != ref.crc)
            throw EngineError(code::IndexCorrupt, "crc");
        return page;
    }
    TreeRoot save(IndexTree& t)
    {
        PageSink sink;
        sink.base = kIdxPagesStart + bytes.size();
        const TreeRoot r = t.save(sink);
        bytes.append(sink.bytes);
        return r;
    }
    QByteArray bytes;
    mutable int reads = 0;
};

std::string keyFor(std::mt19937& rng)
{
    // Mostly short keys sharing prefixes, now and then one big enough to
    // split a page on its own.
    std::uniform_int_distribution<int> kind(0, 99), len(1, 24), byte(0, 5);
    std::string k(size_t(kind(rng) == 0 ? 20000 : len(rng)), '\0');
    for (char& c : k)
        c = char('a' + byte(rng));
    return k;
}

void expectSame(const IndexTree& t, const std::set<std::string>& model, std::mt19937& rng)
{
    ASSERT_EQ(t.size(), model.size());
    size_t i = 0;
    for (const std::string& k : model)
        ASSERT_EQ(t.at(i++), k) << "position " << i - 1;
    for (int probe = 0; probe < 200; ++probe) {
        const std::string k = keyFor(rng);
        EXPECT_EQ(t.lowerBound(k), size_t(std::distance(model.begin(), model.lower_bound(k))));
        EXPECT_EQ(t.contains(k), model.count(k) == 1);
        // A prefix range, as a cursor range uses it.
        const std::string prefix = k.substr(0, 2);
        const auto end = std::partition_point(model.begin(), model.end(),
                                              [&](const std::string& key) { return key.substr(0, 2) <= prefix; });
        EXPECT_EQ(t.partitionPoint([&](std::string_view key) { return key.substr(0, 2) <= prefix; }),
                  size_t(std::distance(model.begin(), end)));
    }
}

TEST(IndexTreeTest, ChangesSavesAndLazyReloadsAgreeWithASortedSet)
{
    std::mt19937 rng(7);
    std::set<std::string> model;
    while (model.size() < 3000)
        model.insert(keyFor(rng));
    MemoryPages pages;
    IndexTree t = IndexTree::build(std::vector<std::string>(model.begin(), model.end()));
    expectSame(t, model, rng);
    for (int round = 0; round < 6; ++round) {
        SCOPED_TRACE(round);
        // Heavy inserts, then heavy erases (emptying whole pages), then a mix.
        const int inserts = round % 3 == 1 ? 200 : 10000, erases = round % 3 == 1 ? 9000 : 600;
        for (int i = 0; i < inserts; ++i) {
            std::string k = keyFor(rng);
            model.insert(k);
            t.insert(std::move(k));
        }
        for (int i = 0; i < erases && !model.empty(); ++i) {
            auto it = model.begin();
            std::advance(it, std::uniform_int_distribution<size_t>(0, model.size() - 1)(rng));
            EXPECT_TRUE(t.erase(*it));
            EXPECT_FALSE(t.erase(*it + "\x01missing"));
            model.erase(it);
        }
        expectSame(t, model, rng);
        // Saved and opened again, nothing loaded until asked for.
        const TreeRoot root = pages.save(t);
        EXPECT_EQ(root.count, model.size());
        t = IndexTree(&pages, root, "T");
        expectSame(t, model, rng);
        t.loadAll();
    }
    // Erasing everything leaves an empty tree that saves and reloads.
    for (const std::string& k : model)
        ASSERT_TRUE(t.erase(k));
    const TreeRoot empty = pages.save(t);
    EXPECT_EQ(IndexTree(&pages, empty, "T").size(), 0u);
}

TEST(IndexTreeTest, LookupsReadOnlyThePagesOnTheirPathAndDamageIsReported)
{
    std::vector<std::string> keys;
    for (int i = 0; i < 100000; ++i)
        keys.push_back(QByteArray::number(1000000 + i).toStdString());
    MemoryPages pages;
    IndexTree built = IndexTree::build(keys);
    const TreeRoot root = pages.save(built);

    IndexTree t(&pages, root, "T");
    EXPECT_EQ(t.lowerBound("1050000"), 50000u);
    const int pathPages = pages.reads;
    EXPECT_LE(pathPages, 4);
    // A scan of 1,000 keys reads about its own pages, not the table's.
    for (size_t p = 70000; p < 71000; ++p)
        ASSERT_EQ(t.at(p), keys[p]);
    EXPECT_LE(pages.reads - pathPages, 1000 / 96 + 2 * 4);

    // A flipped byte in a leaf page is index damage when that page is read.
    pages.bytes[pages.bytes.size() / 3] ^= 0x20;
    IndexTree damaged(&pages, root, "T");
    EXPECT_EQ(codeOf([&] { damaged.loadAll(); }), code::IndexCorrupt);
}

// Bytes read by opening a table with `rows` rows and stepping to its first row.
qint64 bytesReadToOpen(const QString& folder, int rows)
{
    createTable(folder, "USER_DOCUMENTI.DAT", userDocumentsDef());
    {
        Table t;
        t.setFolder(folder);
        t.setTableName("USER_DOCUMENTI.DAT");
        t.open();
        t.setBulkLoad(true);
        for (int i = 0; i < rows; ++i) {
            t.append();
            t.fieldByName("ID_USER_PROCEDURA").setAsInteger(i % 3000);
            t.fieldByName("NOTE").setAsString(QStringLiteral("Documento %1").arg(i));
            t.post();
        }
        t.setBulkLoad(false);
    }
    const qint64 before = File::bytesReadInProcess();
    Table t;
    t.setFolder(folder);
    t.setTableName("USER_DOCUMENTI.DAT");
    t.setIndexName("id_procedura_idx");
    t.open();
    t.first();
    EXPECT_EQ(t.recordCount(), rows);
    return File::bytesReadInProcess() - before;
}

TEST_F(StorageTest, OpeningReadsTheSameAtAHundredRowsAndAtAHundredThousand)
{
    const qint64 small = bytesReadToOpen(path("small"), 100);
    const qint64 large = bytesReadToOpen(path("large"), 100000);
    // Headers, superblocks and one path of pages; a taller tree adds a page a level.
    EXPECT_LE(large, small + 64 * 1024);
    EXPECT_LT(large, QFileInfo(path("large/USER_DOCUMENTI.IDX")).size() / 10);
}

TEST_F(StorageTest, IndexFileStaysBoundedAndRightThroughManyCheckpoints)
{
    createTable(folder(), "USER_DOCUMENTI.DAT", userDocumentsDef());
    const QString idx = path("USER_DOCUMENTI.IDX");
    std::map<qint64, qint64> model; // id -> case file
    std::mt19937 rng(11);
    auto openTable = [&](Table& t) {
        t.setFolder(folder());
        t.setTableName("USER_DOCUMENTI.DAT");
        t.setIndexName("id_procedura_idx");
        t.open();
    };
    auto add = [&](Table& t) {
        const qint64 proc = qint64(rng() % 500);
        t.append();
        t.fieldByName("ID_USER_PROCEDURA").setAsInteger(proc);
        t.post();
        model[t.fieldByName("ID_USER_DOCUMENTO").asInteger()] = proc;
    };
    {
        Table t;
        openTable(t);
        t.setBulkLoad(true);
        for (int i = 0; i < 3000; ++i)
            add(t);
    }
    const qint64 first = QFileInfo(idx).size();
    for (int round = 0; round < 40; ++round) {
        SCOPED_TRACE(round);
        Table t;
        openTable(t);
        // Rows change case file (moving their index entries), go and come.
        for (int i = 0; i < 300; ++i) {
            t.moveTo(int(rng() % quint32(t.recordCount())));
            const qint64 proc = qint64(rng() % 500);
            t.edit();
            t.fieldByName("ID_USER_PROCEDURA").setAsInteger(proc);
            t.post();
            model[t.fieldByName("ID_USER_DOCUMENTO").asInteger()] = proc;
        }
        for (int i = 0; i < 20; ++i) {
            t.moveTo(int(rng() % quint32(t.recordCount())));
            model.erase(t.fieldByName("ID_USER_DOCUMENTO").asInteger());
            t.remove();
            add(t);
        }
        t.close();
        // Checkpoints append pages; the file is rewritten before dead ones pile up.
        ASSERT_LE(QFileInfo(idx).size(), 3 * first + 600 * 1024);
    }
    EXPECT_EQ(codeOf([&] { checkTable(folder(), "USER_DOCUMENTI.DAT"); }), 0);
    std::set<std::pair<qint64, qint64>> expected;
    for (const auto& [id, proc] : model)
        expected.insert({proc, id});
    Table t;
    openTable(t);
    ASSERT_EQ(t.recordCount(), qint64(expected.size()));
    auto it = expected.begin();
    for (t.first(); !t.eof(); t.next(), ++it) {
        ASSERT_EQ(t.fieldByName("ID_USER_PROCEDURA").asInteger(), it->first);
        ASSERT_EQ(t.fieldByName("ID_USER_DOCUMENTO").asInteger(), it->second);
    }
}

} // namespace
} // namespace orv::storage::test
