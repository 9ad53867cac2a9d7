// Damaged tables: what opening, checking and repairing make of each kind of
// damage, as a table of (damage, expected codes, what survives repair).
#include "StorageFixture.h"

#include "storage/Format.h"
#include "storage/IndexTree.h"
#include "storage/Repair.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <functional>

namespace orv::storage::test {
namespace {

using namespace detail;

constexpr int kRows = 20;

QByteArray readAll(const QString& p)
{
    QFile f(p);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}
void writeAll(const QString& p, const QByteArray& b)
{
    QFile f(p);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(b);
}
void patch(const QString& p, qint64 at, const QByteArray& bytes)
{
    QFile f(p);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    f.seek(at);
    f.write(bytes);
}
void flip(const QString& p, qint64 at)
{
    QByteArray b = readAll(p);
    ASSERT_LT(at, b.size());
    patch(p, at, QByteArray(1, char(b[at] ^ 0x5A)));
}
void appendBytes(const QString& p, const QByteArray& b)
{
    QFile f(p);
    ASSERT_TRUE(f.open(QIODevice::Append));
    f.write(b);
}

// Offsets of the records in the row log, in order.
QList<qint64> recordOffsets(const QString& dat)
{
    const QByteArray b = readAll(dat);
    QList<qint64> out;
    qint64 at = kDataStart;
    RecordHeader h;
    while (at + kRecordHeader <= b.size() && parseRecordHeader(b.constData() + at, &h)) {
        out << at;
        at += kRecordHeader + h.len;
    }
    return out;
}

// Offsets of the first chunk of each blob in the .BLB file.
QList<qint64> blobOffsets(const QString& blb)
{
    const QByteArray b = readAll(blb);
    QList<qint64> out;
    qint64 at = kBlobStart;
    while (at + kChunkHeader <= b.size()) {
        Reader r(b.constData() + at, kChunkHeader);
        r.u32();
        const quint32 len = r.u32();
        const quint64 start = r.u64();
        if (start == quint64(at))
            out << at;
        at += kChunkHeader + len;
    }
    return out;
}

TableDef tableDef()
{
    TableDef d = userDocumentsDef();
    return d;
}

QByteArray rowRecord(quint64 rowId, quint64 blobOff, quint64 blobLen)
{
    const Schema s = schemaFromDef(tableDef());
    Values v(size_t(s.fields.size()));
    v[0].null = false;
    v[0].i = 1000;
    v[2].null = false;
    v[2].blobOff = blobOff;
    v[2].blobLen = blobLen;
    return encodeRecord(RowRecord, encodeRowPayload(s, rowId, v));
}

// Where the first page of tree `tree` of the index file lies (0: row map, 1: primary index).
qint64 treeRootOffset(const QString& idx, int tree)
{
    IndexFile f;
    f.open(idx, "T");
    return qint64(f.roots().at(size_t(tree)).ref.off);
}

qint64 blobSizeOf(int row) { return row == kRows - 1 ? 70000 : 1000 + row * 300; }

class CorruptionTest : public StorageTest {
protected:
    void SetUp() override
    {
        StorageTest::SetUp();
        build("base");
    }
    // Each case gets a fresh copy of the fixture in its own subfolder.
    void build(const QString& sub)
    {
        m_folder = dir.filePath(sub);
        QDir().mkpath(m_folder);
        createTable(folder(), "T.DAT", tableDef());
        Table t;
        t.setFolder(folder());
        t.setTableName("T.DAT");
        t.open();
        for (int i = 0; i < kRows; ++i) {
            QByteArray body = patternBytes(blobSizeOf(i), quint32(i));
            QBuffer in(&body);
            in.open(QIODevice::ReadOnly);
            t.append();
            t.fieldByName("ID_USER_PROCEDURA").setAsInteger(i);
            t.fieldByName("USER_DOC").loadFromDevice(in);
            t.post();
        }
    }
public:
    QString folder() const { return m_folder; }
    QString path(const QString& name) const { return m_folder + "/" + name; }
    QString m_folder;
    QString dat() const { return path("T.DAT"); }
    QString idx() const { return path("T.IDX"); }
    QString blb() const { return path("T.BLB"); }

    // Opens the table and reads every row and blob; the first error's code.
    int readEverything()
    {
        return codeOf([&] {
            Table t;
            t.setFolder(folder());
            t.setTableName("T.DAT");
            t.open();
            for (t.first(); !t.eof(); t.next()) {
                QBuffer sink;
                sink.open(QIODevice::WriteOnly);
                t.fieldByName("USER_DOC").saveToDevice(sink);
            }
        });
    }
    // Every row left holds the content it was written with (or none).
    void expectIntactRows(qint64 expectedRows, qint64 expectedEmptyBlobs)
    {
        Table t;
        t.setFolder(folder());
        t.setTableName("T.DAT");
        t.open();
        EXPECT_EQ(t.recordCount(), expectedRows);
        qint64 empty = 0;
        for (t.first(); !t.eof(); t.next()) {
            const qint64 i = t.fieldByName("ID_USER_PROCEDURA").asInteger();
            QBuffer sink;
            sink.open(QIODevice::WriteOnly);
            t.fieldByName("USER_DOC").saveToDevice(sink);
            if (sink.data().isEmpty())
                ++empty;
            else if (i < kRows) {
                EXPECT_EQ(sink.data(), patternBytes(blobSizeOf(int(i)), quint32(i))) << "row " << i;
            }
        }
        EXPECT_EQ(empty, expectedEmptyBlobs);
        // Auto-increment values go on after the highest ever given.
        t.append();
        t.post();
        EXPECT_GT(t.fieldByName("ID_USER_DOCUMENTO").asInteger(), kRows);
        t.remove();
    }
};

struct DamageCase {
    const char* name;
    std::function<void(CorruptionTest&)> damage;
    int openCode;      // code of open(); 0 = opens
    int readCode;      // code of checkTable, and of reading every row and blob unless walkCode says otherwise
    qint64 rowsKept, rowsDropped, blobsDropped;
    int walkCode = -1; // code of reading every row and blob in primary key order, when not readCode
};

TEST_F(CorruptionTest, EachDamageIsReportedWithItsCodeAndRepairKeepsTheRest)
{
    const QList<DamageCase> cases = {
        {"header", [](CorruptionTest& t) { flip(t.dat(), 30); }, code::HeaderCorrupt, code::HeaderCorrupt, kRows, 0, 0},
        {"both headers and the index",
         [](CorruptionTest& t) {
             flip(t.dat(), 30);
             flip(t.dat(), kHeaderBlock + 30);
             QFile::remove(t.idx());
         },
         code::HeaderCorrupt, code::HeaderCorrupt, kRows, 0, 0},
        {"mirror header only", [](CorruptionTest& t) { flip(t.dat(), kHeaderBlock + 30); }, 0, code::HeaderCorrupt, kRows, 0, 0, 0},
        {"row record", [](CorruptionTest& t) { flip(t.dat(), recordOffsets(t.dat())[5] + 20); }, 0, code::RecordCorrupt,
         kRows - 1, 1, 0},
        {"page of the primary index", [](CorruptionTest& t) { flip(t.idx(), treeRootOffset(t.idx(), 1) + 12); },
         code::IndexCorrupt, code::IndexCorrupt, kRows, 0, 0},
        {"page of a secondary index (read only when used)",
         [](CorruptionTest& t) { flip(t.idx(), treeRootOffset(t.idx(), 2) + 12); }, 0, code::IndexCorrupt, kRows, 0, 0, 0},
        {"both index superblocks",
         [](CorruptionTest& t) {
             flip(t.idx(), 20);
             flip(t.idx(), kIdxSlot + 20);
         },
         code::IndexCorrupt, code::IndexCorrupt, kRows, 0, 0},
        // The older superblock still names intact pages: the log after it is replayed.
        {"newest index superblock (not damage)",
         [](CorruptionTest& t) {
             IndexFile f;
             f.open(t.idx(), "T");
             const quint64 seq = f.state().seq;
             f.close();
             flip(t.idx(), qint64(seq % 2) * kIdxSlot + 20);
         },
         0, 0, kRows, 0, 0},
        {"index missing", [](CorruptionTest& t) { QFile::remove(t.idx()); }, code::IndexCorrupt, code::IndexCorrupt, kRows, 0, 0},
        {"blob block", [](CorruptionTest& t) { flip(t.blb(), blobOffsets(t.blb())[3] + kChunkHeader + 10); }, 0,
         code::BlobBlockCorrupt, kRows, 0, 1},
        {"blob file cut short", [](CorruptionTest& t) { QFile::resize(t.blb(), QFileInfo(t.blb()).size() - 1000); }, 0,
         code::InvalidBlobLength, kRows, 0, 1},
        {"row log cut below the index",
         [](CorruptionTest& t) { QFile::resize(t.dat(), recordOffsets(t.dat())[10] + 5); }, code::RecordCorrupt,
         code::RecordCorrupt, 10, 10, 0},
        {"torn last write (not damage)",
         [](CorruptionTest& t) { appendBytes(t.dat(), rowRecord(500, 0, 0).left(30)); }, 0, 0, kRows, 0, 0},
        {"invalid field number in an index",
         [](CorruptionTest& t) {
             HeaderInfo h = decodeHeaderBlock(kDatMagic, readAll(t.dat()).left(kHeaderBlock), "T");
             h.schema.indexes[0].fields[0] = 40;
             const QByteArray block = encodeHeaderBlock(kDatMagic, h);
             patch(t.dat(), 0, block + block);
         },
         code::InvalidIndexField, code::InvalidIndexField, kRows, 0, 0},
        {"invalid blob offset", [](CorruptionTest& t) { appendBytes(t.dat(), rowRecord(500, kBlobStart + 7, 10)); }, 0,
         code::InvalidBlobOffset, kRows + 1, 0, 1},
        {"blob data ends before its length",
         [](CorruptionTest& t) {
             appendBytes(t.dat(), rowRecord(500, quint64(blobOffsets(t.blb())[0]), quint64(blobSizeOf(0) + 10)));
         },
         0, code::BlobDataEnded, kRows + 1, 0, 1},
    };
    int n = 0;
    for (const DamageCase& c : cases) {
        SCOPED_TRACE(c.name);
        build(QString("case%1").arg(n++));
        c.damage(*this);

        EXPECT_EQ(codeOf([&] {
                      Table t;
                      t.setFolder(folder());
                      t.setTableName("T.DAT");
                      t.open();
                  }),
                  c.openCode);
        if (c.openCode == 0) {
            EXPECT_EQ(readEverything(), c.walkCode >= 0 ? c.walkCode : c.readCode);
        }
        EXPECT_EQ(codeOf([&] { checkTable(folder(), "T.DAT"); }), c.readCode);
        if (c.readCode != 0) {
            EXPECT_TRUE(isDamageCode(c.readCode));
        }

        QList<int> progress;
        const RepairReport r = repairTable(folder(), "T.DAT", [&](quint16 p) { progress << p; });
        EXPECT_EQ(r.rowsKept, c.rowsKept);
        EXPECT_EQ(r.rowsDropped, c.rowsDropped);
        EXPECT_EQ(r.blobsDropped, c.blobsDropped);
        ASSERT_FALSE(progress.isEmpty());
        EXPECT_EQ(progress.first(), 0);
        EXPECT_EQ(progress.last(), 100);
        EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
        EXPECT_EQ(codeOf([&] { checkTable(folder(), "T.DAT"); }), 0);
        expectIntactRows(c.rowsKept, c.blobsDropped);
    }
}

TEST_F(CorruptionTest, InterruptedRepairSwapIsFinishedOrUndoneAtOpen)
{
    // A second table with other content stands in for a repaired set of files.
    createTable(folder(), "NEW.DAT", tableDef());
    {
        Table n;
        n.setFolder(folder());
        n.setTableName("NEW.DAT");
        n.open();
        n.append();
        n.post();
    }
    auto stage = [&] {
        QFile::copy(path("NEW.DAT"), path("T.rdat"));
        QFile::copy(path("NEW.IDX"), path("T.ridx"));
        QFile::copy(path("NEW.BLB"), path("T.rblb"));
    };
    auto rows = [&] {
        Table t;
        t.setFolder(folder());
        t.setTableName("T.DAT");
        t.open();
        return t.recordCount();
    };
    // Without the marker the side files are leftovers: the old table stays.
    stage();
    EXPECT_EQ(rows(), kRows);
    EXPECT_FALSE(QFileInfo::exists(path("T.rdat")));
    // With the marker, and the .BLB already swapped, the swap is completed.
    stage();
    QFile::remove(path("T.BLB"));
    QFile::rename(path("T.rblb"), path("T.BLB"));
    writeAll(path("T.rswap"), {});
    EXPECT_EQ(rows(), 1);
    EXPECT_FALSE(QFileInfo::exists(path("T.rswap")));
    EXPECT_EQ(codeOf([&] { checkTable(folder(), "T.DAT"); }), 0);
}

TEST_F(CorruptionTest, RepairOfAnOpenOrMissingTableFailsWithoutDamage)
{
    Table t;
    t.setFolder(folder());
    t.setTableName("T.DAT");
    t.open();
    EXPECT_EQ(codeOf([&] { t.repair(); }), code::TableOpen);
    EXPECT_EQ(codeOf([&] { repairTable(folder(), "T.DAT"); }), code::TableLocked);
    t.close();
    EXPECT_EQ(codeOf([&] { repairTable(folder(), "NONE.DAT"); }), code::TableNotFound);
    // Through the table object, with the sender in the progress event.
    QList<quint16> seen;
    t.OnRepairProgress = [&](Table& sender, quint16 p) {
        EXPECT_EQ(&sender, &t);
        seen << p;
    };
    const RepairReport r = t.repair();
    EXPECT_EQ(r.rowsKept, kRows);
    EXPECT_EQ(r.blobsKept, kRows);
    EXPECT_EQ(seen.last(), 100);
}

} // namespace
} // namespace orv::storage::test
