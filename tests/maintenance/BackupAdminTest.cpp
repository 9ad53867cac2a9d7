// orvanta-admin backup / restore / list, run as a user would run them.
#include "BackupFixture.h"

#include <QProcess>

using namespace orv;
using namespace orv::test;

namespace {
struct Result {
    int exitCode = -1;
    QString out;
    QString err;
};

QString adminTool() { return binaryDir() + "/bin/orvanta-admin"; }

Result admin(const QStringList& args, const QByteArray& input = {})
{
    QProcess p;
    p.start(adminTool(), args);
    p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(120000);
    return {p.exitCode(), QString::fromLocal8Bit(p.readAllStandardOutput()), QString::fromLocal8Bit(p.readAllStandardError())};
}
} // namespace

class AdminBackupTest : public BackupTest {
protected:
    void SetUp() override
    {
        BackupTest::SetUp();
        if (!QFileInfo::exists(adminTool()))
            GTEST_SKIP() << "orvanta-admin not built";
    }
};

TEST_F(AdminBackupTest, BackupListAndRestoreAcrossVolumes)
{
    const QByteArray big = randomBytes(1'500'000, 3);
    make("data/ST_DOCUMENTI.BLB", big, dos(2005, 6, 7, 8, 9, 10));
    make("data/sub/x.dat", "x");
    folder("vol");
    const QString archive = path("vol/KELMA.001");
    Result r = admin({"backup", archive, path("data/*.* /s"), "--max-size", "1200000", "--level", "max",
                      "--title", "notte", "--yes"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("Please insert disk 2 and click OK to continue."));
    ASSERT_TRUE(QFile::exists(path("vol/KELMA.002")));

    r = admin({"list", archive});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].endsWith("\\data\\sub\\x.dat\t" + fromDosDateTime(fileDosDateTime(path("data/sub/x.dat")))
                                      .toString("dd/MM/yyyy HH:mm:ss") + "\t1")) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].endsWith("\\data\\st_documenti.blb\t07/06/2005 08:09:10\t1500000")) << lines[1].toStdString();

    // The disk question answered on stdin.
    r = admin({"restore", archive, path("back"), "--full-path"}, "ok\n");
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QString rel = backup::storedName(path("data")).mid(3).replace('\\', '/');
    EXPECT_EQ(readFile(path("back/" + rel + "/st_documenti.blb")), big);

    // A missing volume with --yes gives up instead of asking forever.
    QFile::remove(path("vol/KELMA.002"));
    r = admin({"restore", archive, path("back2"), "--yes"});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_TRUE(filesBelow(path("back2")).filter("blb").isEmpty());
}

TEST_F(AdminBackupTest, FailuresExitNonZeroWithTheEngineMessage)
{
    make("d/a.dat", "a");
    Result r = admin({"backup", path("nofolder/x.001"), path("d/*.dat")});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_TRUE(r.err.contains("Cannot write to archive")) << r.err.toStdString();

    const QString damaged = make("bad.001", QByteArray(10, '\x01'));
    r = admin({"restore", damaged, path("r")});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_TRUE(r.err.contains("Cannot read archive")) << r.err.toStdString();
    r = admin({"list", damaged});
    EXPECT_NE(r.exitCode, 0);

    r = admin({"backup", path("x.001"), path("d/*.dat"), "--level", "extreme"});
    EXPECT_NE(r.exitCode, 0);
    r = admin({"restore", path("x.001"), path("r"), "--mode", "sometimes"});
    EXPECT_NE(r.exitCode, 0);
}
