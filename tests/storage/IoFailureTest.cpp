// Failures of the operating system: a write that the file system refuses and
// a file that cannot be read come back as the engine's write and read errors,
// and cost no row that was already there.
#include "StorageFixture.h"

#include "storage/Repair.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

namespace orv::storage::test {
namespace {

constexpr int kRows = 5;

// Files may not grow past `limit` bytes while this lives: writes beyond it
// fail with EFBIG, as on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(qint64 limit)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit l = m_old;
        l.rlim_cur = rlim_t(limit);
        setrlimit(RLIMIT_FSIZE, &l);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &m_old); }

private:
    rlimit m_old{};
};

class IoFailureTest : public StorageTest {
protected:
    // A fresh table of kRows rows, each with a small body, in its own folder.
    QString makeTable(const QString& sub)
    {
        const QString f = path(sub);
        createTable(f, "T.DAT", userDocumentsDef());
        Table t;
        open(t, f);
        for (int i = 0; i < kRows; ++i)
            appendRow(t, i, patternBytes(2000, quint32(i)));
        return f;
    }
    static void open(Table& t, const QString& folder)
    {
        t.setFolder(folder);
        t.setTableName("T.DAT");
        t.open();
    }
    static void appendRow(Table& t, int i, QByteArray body)
    {
        QBuffer in(&body);
        in.open(QIODevice::ReadOnly);
        t.append();
        t.fieldByName("ID_USER_PROCEDURA").setAsInteger(i);
        t.fieldByName("USER_DOC").loadFromDevice(in);
        t.post();
    }
    // The table holds exactly the rows 0..rows-1 with their bodies and checks clean.
    static void expectRows(const QString& folder, int rows, bool withBodies)
    {
        EXPECT_EQ(codeOf([&] { checkTable(folder, "T.DAT"); }), 0);
        Table t;
        open(t, folder);
        ASSERT_EQ(t.recordCount(), rows);
        for (t.first(); !t.eof(); t.next()) {
            const int i = int(t.fieldByName("ID_USER_PROCEDURA").asInteger());
            QBuffer out;
            out.open(QIODevice::WriteOnly);
            t.fieldByName("USER_DOC").saveToDevice(out);
            EXPECT_EQ(out.data(), withBodies ? patternBytes(2000, quint32(i)) : QByteArray()) << "row " << i;
        }
    }
};

TEST_F(IoFailureTest, RefusedWritesAreWriteErrorsAndLoseNothing)
{
    struct Case {
        const char* name;
        qint64 bodySize;  // of the row whose write fails (none: only its record is written)
        const char* file; // the file that cannot grow
    };
    const QList<Case> cases = {
        {"row record", 0, "T.DAT"},
        {"large object", 1 << 20, "T.BLB"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString folder = makeTable(c.name);
        Table t;
        open(t, folder);
        {
            const qint64 size = QFileInfo(folder + "/" + c.file).size();
            FileSizeLimit limit(size + 10);
            EXPECT_EQ(codeOf([&] { appendRow(t, kRows, patternBytes(c.bodySize, kRows)); }), code::WriteFailed);
            if (t.state() != TableState::Browse)
                t.cancel();
            EXPECT_EQ(t.recordCount(), kRows);
        }
        // With room again the same table object goes on writing.
        appendRow(t, kRows, patternBytes(2000, kRows));
        t.close();
        expectRows(folder, kRows + 1, true);
    }
}

TEST_F(IoFailureTest, UnreadableFileIsAReadErrorAndRepairRebuildsAroundIt)
{
    struct Case {
        const char* name;
        const char* file;
        bool bodiesSurvive;
    };
    // A pipe opens like a file but cannot be read at an offset.
    const QList<Case> cases = {
        {"index file", "T.IDX", true},
        {"large objects file", "T.BLB", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString folder = makeTable(c.name);
        const QString file = folder + "/" + c.file;
        ASSERT_TRUE(QFile::remove(file));
        ASSERT_EQ(::mkfifo(QFile::encodeName(file).constData(), 0644), 0);

        const int openCode = codeOf([&] {
            Table t;
            open(t, folder);
        });
        EXPECT_EQ(openCode, code::ReadFailed);
        EXPECT_TRUE(isDamageCode(openCode));
        EXPECT_EQ(codeOf([&] { checkTable(folder, "T.DAT"); }), code::ReadFailed);

        const RepairReport r = repairTable(folder, "T.DAT");
        EXPECT_EQ(r.rowsKept, kRows);
        EXPECT_EQ(r.blobsDropped, c.bodiesSurvive ? 0 : kRows);
        EXPECT_TRUE(QFileInfo(file).isFile());
        expectRows(folder, kRows, c.bodiesSurvive);
    }
}

} // namespace
} // namespace orv::storage::test
