// The archive's byte layout, volumes and the file list a backup stores.
#include "BackupFixture.h"

#include "maintenance/BackupListing.h"
#include "platform/FileAttributes.h"

#include <QBuffer>

using namespace orv;
using namespace orv::test;

namespace {
QStringList storedNames(const QByteArray& archive)
{
    QStringList names;
    for (const ParsedEntry& e : parseArchive(archive).entries)
        names << QString::fromLatin1(e.name);
    return names;
}
} // namespace

TEST_F(BackupTest, ArchiveWithoutFilesIsHeaderAndEndMarker)
{
    const QString archive = path("KELMA.001");
    ASSERT_TRUE(engine.Backup({path("missing/*.dat"), path("*.xyz")}, archive));
    EXPECT_EQ(readFile(archive), QByteArray(16, '\0'));
    EXPECT_TRUE(errors.empty());
}

TEST_F(BackupTest, AbcArchiveOffsetByOffset)
{
    const quint32 date = dos(2004, 3, 15, 14, 30, 58);
    const QString file = make("Data/abc.txt", "abc", date);
    const QString archive = path("out.001");
    ASSERT_TRUE(engine.Backup({path("Data/*.txt")}, archive));

    const QByteArray b = readFile(archive);
    const QByteArray name = backup::storedName(file).toLatin1();
    EXPECT_TRUE(name.startsWith("c:\\")) << name.constData();
    EXPECT_EQ(name, name.toLower());
    EXPECT_TRUE(name.endsWith("\\data\\abc.txt")) << name.constData();
    const int n = int(name.size());
    const QByteArray z = zlibStream("abc", 1);
    const int l = int(z.size());
    EXPECT_EQ(int32At(b, 0), 0);  // title length
    EXPECT_EQ(int32At(b, 4), 3);  // total size
    EXPECT_EQ(int32At(b, 8), 1);  // file count
    EXPECT_EQ(int32At(b, 12), n);
    EXPECT_EQ(b.mid(16, n), name);
    EXPECT_EQ(quint32(int32At(b, 16 + n)), date);
    EXPECT_EQ(b.mid(20 + n, 4), QByteArray("EC2\0", 4));
    EXPECT_EQ(int32At(b, 24 + n), l);
    EXPECT_EQ(b.mid(28 + n, l), z);
    EXPECT_EQ(int32At(b, 28 + n + l), 0); // terminator
    EXPECT_EQ(int32At(b, 32 + n + l), 0); // end marker
    EXPECT_EQ(b.size(), 36 + n + l);
}

TEST_F(BackupTest, HeaderCarriesTitleTotalAndCount)
{
    make("d/a.dat", QByteArray(1000, 'a'));
    make("d/b.dat", QByteArray(), dos(2001, 1, 1));
    engine.setBackupTitle(QStringLiteral("Archivio è"));
    ASSERT_TRUE(engine.Backup({path("d/*.dat")}, path("t.001")));
    const ParsedArchive a = parseArchive(readFile(path("t.001")));
    EXPECT_EQ(a.title, QByteArray("Archivio \xE8")); // Windows-1252
    EXPECT_EQ(a.total, 1000);
    EXPECT_EQ(a.count, 2);
    ASSERT_EQ(a.entries.size(), 2);
    // An empty file is its record and the 8-byte block stream.
    const QByteArray b = readFile(path("t.001"));
    const QByteArray tail = QByteArray("EC2\0", 4) + int32le(0) + int32le(0);
    EXPECT_TRUE(b.endsWith(tail));
    EXPECT_TRUE(a.entries[1].blockLengths.isEmpty());
    EXPECT_TRUE(a.ended);
}

// Each piece is compressed by itself, and stored as it is when its stream
// does not fit in 16384 bytes. The expected blocks come from zlib's own
// one-shot compression of each piece.
TEST_F(BackupTest, BlocksAreCompressedAloneOrStoredWhenTheStreamDoesNotFit)
{
    QByteArray text;
    while (text.size() < 40000)
        text += "Determina a contrarre n. 123 del 15/03/2004 - Comune di Roccabruna\r\n";
    const struct {
        const char* name;
        TCompressionLevel level;
        QByteArray data;
    } cases[] = {
        {"random full piece", clFastest, randomBytes(16384, 3)},
        {"random short piece", clFastest, randomBytes(100, 4)},
        {"text, three pieces", clFastest, text},
        {"text, max", clMax, text},
        {"text, default", clDefault, text.left(20000)},
        {"level none, full piece", clNone, text.left(16384)},
        {"level none, short piece", clNone, text.left(500)},
        {"random, three pieces", clMax, randomBytes(40000, 5)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = make("blk/f.bin", c.data);
        engine.setCompressionLevel(c.level);
        ASSERT_TRUE(engine.Backup({file}, path("blk.001")));
        const ParsedArchive a = parseArchive(readFile(path("blk.001")));
        ASSERT_EQ(a.entries.size(), 1);
        QList<qint32> expected;
        for (qsizetype off = 0; off < c.data.size(); off += 16384) {
            const QByteArray piece = c.data.mid(off, 16384);
            const QByteArray z = zlibStream(piece, TBackupFile::zlibLevel(c.level));
            expected << (z.size() <= 16384 ? qint32(z.size()) : -qint32(piece.size()));
        }
        EXPECT_EQ(a.entries[0].blockLengths, expected);
        EXPECT_EQ(a.entries[0].data, c.data);
    }
    // A short piece that does not compress still goes as a (longer) zlib stream.
    EXPECT_GT(zlibStream(randomBytes(100, 4)).size(), 100);
}

TEST_F(BackupTest, VolumeNamesReplaceTheExtension)
{
    EXPECT_EQ(backup::volumeName("/m/KELMA.001", 1), "/m/KELMA.001");
    EXPECT_EQ(backup::volumeName("/m/KELMA.001", 2), "/m/KELMA.002");
    EXPECT_EQ(backup::volumeName("/m/KELMA.001", 999), "/m/KELMA.999");
    EXPECT_EQ(backup::volumeName("/m/KELMA", 12), "/m/KELMA.012");
    EXPECT_EQ(backup::volumeName("/m.d/KELMA", 3), "/m.d/KELMA.003");
    EXPECT_EQ(backup::volumeMarker(2), QByteArray("NEXT:DISK002"));
}

TEST_F(BackupTest, FileSpanningThreeVolumesStaysBelowMaxSize)
{
    const QByteArray data = randomBytes(3'000'000, 11);
    const QString file = make("big/tabella.blb", data);
    const QString archive = path("vol/KELMA.001");
    folder("vol");
    std::vector<int> asked;
    engine.OnNeedDisk = [&](TBackupFile&, quint16 disk, bool&) { asked.push_back(disk); };
    engine.setMaxSize(1200000);
    ASSERT_TRUE(engine.Backup({file}, archive));
    EXPECT_EQ(asked, (std::vector<int>{2, 3}));
    EXPECT_FALSE(QFile::exists(path("vol/KELMA.004")));

    const QByteArray v[3] = {readFile(archive), readFile(path("vol/KELMA.002")), readFile(path("vol/KELMA.003"))};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i + 1);
        EXPECT_LT(v[i].size(), 1200000);
        if (i < 2) {
            EXPECT_GE(v[i].size(), 1183516); // ends shortly past the threshold
            EXPECT_TRUE(v[i].endsWith(int32le(0) + int32le(12) + backup::volumeMarker(i + 2)));
        }
        if (i > 0) { // the same file goes on
            EXPECT_TRUE(v[i].startsWith(QByteArray("EC2\0", 4)));
        }
    }
    EXPECT_TRUE(v[2].endsWith(int32le(0) + int32le(0)));

    const backup::ArchiveListing listing = backup::listArchive(archive);
    ASSERT_EQ(listing.entries.size(), 1u);
    EXPECT_EQ(listing.entries[0].size, data.size());
    EXPECT_EQ(listing.entries[0].volumes, 3);

    asked.clear();
    ASSERT_TRUE(engine.Restore(archive, folder("back")));
    EXPECT_EQ(asked, (std::vector<int>{2, 3}));
    EXPECT_EQ(readFile(path("back/tabella.blb")), data);
    EXPECT_TRUE(errors.empty());
}

// When the volume reaches its threshold just as a file's data would start,
// the volume holds the file's record, an empty block stream and the volume
// change; one byte more of room and the first block goes in.
TEST_F(BackupTest, ThresholdReachedExactlyAtTheStartOfAFile)
{
    const QByteArray dataA = randomBytes(100, 21), dataB = randomBytes(50000, 22);
    const QString a = make("t/a.bin", dataA), b = make("t/b.bin", dataB);
    const int nA = int(backup::storedName(a).size()), nB = int(backup::storedName(b).size());
    const int lA = int(zlibStream(dataA).size());
    const int atB = 12 + (4 + nA + 4) + (4 + 4 + lA + 4) + (4 + nB + 4);
    for (int extra : {0, 1}) {
        SCOPED_TRACE(extra);
        int disks = 0;
        engine.OnNeedDisk = [&](TBackupFile&, quint16, bool&) { ++disks; };
        engine.setMaxSize(atB + 4 + 16484 + extra); // the length is read after the signature
        const QString archive = path(QStringLiteral("x%1/t.001").arg(extra));
        folder(QStringLiteral("x%1").arg(extra));
        ASSERT_TRUE(engine.Backup({path("t/*.bin")}, archive));
        const QByteArray v1 = readFile(archive);
        const QByteArray emptyStream = QByteArray("EC2\0", 4) + int32le(0);
        if (extra == 0) {
            EXPECT_EQ(v1.size(), atB + 8 + 16);
            EXPECT_EQ(v1.mid(atB, 8), emptyStream);
            EXPECT_TRUE(v1.endsWith(int32le(12) + "NEXT:DISK002"));
        } else {
            EXPECT_NE(v1.mid(atB, 8), emptyStream);
        }
        EXPECT_GE(disks, 1);
        ASSERT_TRUE(engine.Restore(archive, folder(QStringLiteral("r%1").arg(extra))));
        EXPECT_EQ(readFile(path(QStringLiteral("r%1/a.bin").arg(extra))), dataA);
        EXPECT_EQ(readFile(path(QStringLiteral("r%1/b.bin").arg(extra))), dataB);
    }
    EXPECT_TRUE(errors.empty());
}

TEST_F(BackupTest, MasksExpandSubfoldersFirstOnceEachAndNeverTheArchive)
{
    for (const char* f : {"data/a.dat", "data/B.DAT", "data/readme.txt", "data/noext", "data/.hidden.dat",
                          "data/sub1/c.dat", "data/sub1/deep/d.dat", "data/sub2/e.dat", "data/backup.002",
                          "data/src/x.dat", "data/src/inner/y.dat"})
        make(f, f);
    const QString archive = path("data/backup.dat");
    const QString prefix = backup::storedName(path("data")) + QLatin1Char('\\');
    auto names = [&](const QStringList& masks) {
        EXPECT_TRUE(engine.Backup(masks, archive));
        QStringList rel;
        for (const QString& n : storedNames(readFile(archive)))
            rel << (n.startsWith(prefix) ? n.mid(prefix.size()) : n);
        return rel;
    };
    // " /s": each subfolder (its own subfolders first) before the folder's files;
    // the archive and its other volumes are left out; a file is stored once.
    EXPECT_EQ(names({path("data/*.dat /s"), path("data/a.dat")}),
              QStringList({"src\\inner\\y.dat", "src\\x.dat", "sub1\\deep\\d.dat", "sub1\\c.dat", "sub2\\e.dat",
                           ".hidden.dat", "a.dat", "b.dat"}));
    // A '/'-separated path that merely contains "/s" is not recursive here;
    // "*.*" also takes names without a dot.
    EXPECT_EQ(names({path("data/src/*.dat"), path("data/*.*")}),
              QStringList({"src\\x.dat", ".hidden.dat", "a.dat", "b.dat", "noext", "readme.txt"}));
    // A Windows-style entry, in lower case, finds the folders of any case; its
    // "/S" switch counts anywhere.
    const QString windowsEntry = backup::storedName(path("data")) + QStringLiteral("\\sub1\\*.DAT/S");
    EXPECT_EQ(names({windowsEntry}), QStringList({"sub1\\deep\\d.dat", "sub1\\c.dat"}));
    EXPECT_EQ(parseArchive(readFile(archive)).count, 2);
}

TEST_F(BackupTest, FileThatVanishesIsSkippedButCounted)
{
    make("v/a.dat", "aaa");
    const QString gone = make("v/b.dat", "bbb");
    engine.OnProgress = [&](TBackupFile&, const QString& file, TPercentage, bool&) {
        if (file.isEmpty())
            QFile::remove(gone);
    };
    ASSERT_TRUE(engine.Backup({path("v/*.dat")}, path("v.001")));
    const ParsedArchive a = parseArchive(readFile(path("v.001")));
    EXPECT_EQ(a.count, 2);
    EXPECT_EQ(a.total, 3);
    ASSERT_EQ(a.entries.size(), 1);
    EXPECT_EQ(a.entries[0].data, "aaa");
}

TEST_F(BackupTest, IncrementalStoresFilesWithTheArchiveFlagAndClearsIt)
{
    const QString changed = make("inc/changed.dat", "1"), same = make("inc/same.dat", "2");
    ASSERT_TRUE(setArchiveFlag(changed, true));
    ASSERT_TRUE(setArchiveFlag(same, false));
    if (archiveFlag(same))
        GTEST_SKIP() << "no extended attributes on this file system";
    engine.setBackupMode(bmIncremental);
    EXPECT_TRUE(engine.SetArchiveFlag());
    engine.setBackupMode(bmAll);
    EXPECT_TRUE(engine.SetArchiveFlag()); // bmAll leaves it as it is
    engine.setBackupMode(bmIncremental);
    ASSERT_TRUE(engine.Backup({path("inc/*.dat")}, path("inc.001")));
    const QStringList names = storedNames(readFile(path("inc.001")));
    ASSERT_EQ(names.size(), 1);
    EXPECT_TRUE(names[0].endsWith("changed.dat"));
    EXPECT_FALSE(archiveFlag(changed));
    EXPECT_EQ(fileAttributes(changed) & faReadOnly, 0u);
}

TEST_F(BackupTest, StopInTheMiddleKeepsTheArchiveFlag)
{
    const QString f = make("stop/f.dat", randomBytes(40000, 9));
    if (!setArchiveFlag(f, true) || !setArchiveFlag(f, false) || archiveFlag(f))
        GTEST_SKIP() << "no extended attributes on this file system";
    setArchiveFlag(f, true);
    engine.setSetArchiveFlag(true);
    engine.OnProgress = [](TBackupFile&, const QString& file, TPercentage, bool& go) {
        if (!file.isEmpty())
            go = false;
    };
    EXPECT_FALSE(engine.Backup({f}, path("stop.001")));
    EXPECT_TRUE(archiveFlag(f)); // not stored whole: the next backup must take it
    EXPECT_TRUE(errors.empty());
    EXPECT_TRUE(dialogs.records().empty());
    // The archive ends with the terminator of the stream it was writing.
    const QByteArray b = readFile(path("stop.001"));
    const int n = int(backup::storedName(f).size());
    const int l = qAbs(int32At(b, 24 + n));
    EXPECT_EQ(b.size(), 28 + n + l + 4);
    EXPECT_EQ(int32At(b, b.size() - 4), 0);
}

TEST_F(BackupTest, ProgressRoundsHalvesToEven)
{
    make("p/f.dat", randomBytes(8 * 16384, 2));
    std::vector<std::pair<QString, int>> seen;
    engine.OnProgress = [&](TBackupFile&, const QString& file, TPercentage pct, bool&) {
        seen.push_back({QFileInfo(file).fileName(), pct});
    };
    ASSERT_TRUE(engine.Backup({path("p/*.dat")}, path("p.001")));
    const std::vector<std::pair<QString, int>> expected = {
        {"", 0}, {"f.dat", 12}, {"f.dat", 25}, {"f.dat", 38}, {"f.dat", 50}, {"f.dat", 62},
        {"f.dat", 75}, {"f.dat", 88}, {"f.dat", 100}, {"", 100}};
    EXPECT_EQ(seen, expected);

    seen.clear();
    ASSERT_TRUE(engine.Restore(path("p.001"), folder("pr")));
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back(), std::make_pair(QString(), 100));
    EXPECT_EQ(seen[seen.size() - 2], std::make_pair(QStringLiteral("f.dat"), 100)); // after the terminator
    EXPECT_EQ(seen.front(), std::make_pair(QStringLiteral("f.dat"), 12));
}

TEST_F(BackupTest, FileIdListComesFirstAndIsNeverRestored)
{
    const quint32 da = dos(2003, 5, 6, 7, 8, 10), db = dos(2020, 12, 31, 23, 59, 58);
    const QString a = make("id/a.dat", "abc", da), b = make("id/b.dat", "hello", db);
    engine.setSaveFileID(true);
    ASSERT_TRUE(engine.Backup({path("id/*.dat")}, path("id.001")));
    const ParsedArchive arc = parseArchive(readFile(path("id.001")));
    const QByteArray lines = backup::storedName(a).toLatin1() + '\t' + QByteArray::number(qint32(da)) + "=3\r\n"
        + backup::storedName(b).toLatin1() + '\t' + QByteArray::number(qint32(db)) + "=5\r\n";
    ASSERT_EQ(arc.entries.size(), 3);
    EXPECT_EQ(arc.entries[0].name, "FILE:LIST");
    EXPECT_EQ(arc.entries[0].data, lines);
    EXPECT_EQ(arc.count, 2);
    EXPECT_EQ(arc.total, 8 + lines.size());

    QStringList offered;
    engine.OnRestoreFile = [&](TBackupFile&, QString& name, qint32, bool&) { offered << QFileInfo(name).fileName(); };
    ASSERT_TRUE(engine.Restore(path("id.001"), folder("idr")));
    EXPECT_EQ(offered, QStringList({"a.dat", "b.dat"}));
    EXPECT_EQ(filesBelow(path("idr")), QStringList({"a.dat", "b.dat"}));
    EXPECT_EQ(fileDosDateTime(path("idr/b.dat")), db);
}

TEST_F(BackupTest, StreamArchiveRoundTripLeavesTheStreamOpen)
{
    make("s/one.dat", QByteArray(50000, 'x'));
    make("s/two.dat", "two");
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    engine.setOutputStream(&out);
    ASSERT_TRUE(engine.Backup({path("s/*.dat")}, ":STREAM"));
    EXPECT_TRUE(out.isOpen());
    QBuffer in(&out.buffer());
    in.open(QIODevice::ReadOnly);
    engine.setInputStream(&in);
    ASSERT_TRUE(engine.Restore(":STREAM", folder("sr")));
    EXPECT_TRUE(in.isOpen());
    EXPECT_EQ(readFile(path("sr/one.dat")), QByteArray(50000, 'x'));
    EXPECT_EQ(readFile(path("sr/two.dat")), "two");
}

TEST_F(BackupTest, UnwritableArchiveRecordsCode4AndShowsIt)
{
    make("w/a.dat", "a");
    EXPECT_FALSE(engine.Backup({path("w/*.dat")}, path("no/such/folder/x.001")));
    EXPECT_EQ(errors, (std::vector<std::pair<int, QString>>{{4, "Cannot write to archive"}}));

    // Without an OnError handler the engine shows its own error box.
    TBackupFile plain;
    dialogs.answerMessage(mbOK);
    EXPECT_FALSE(plain.Backup({path("w/*.dat")}, path("no/such/folder/x.001")));
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].text, "Cannot write to archive");
    EXPECT_EQ(dialogs.messages()[0].icon, MessageIcon::Critical);
    EXPECT_EQ(dialogs.messages()[0].buttons, int(mbOK));
}

TEST_F(BackupTest, CancelInTheDiskRequestStopsWithoutAnError)
{
    make("c/big.bin", randomBytes(1'500'000, 5));
    dialogs.answerMessage(mbCancel);
    engine.setMaxSize(1200000);
    const QString archive = path("c.001");
    EXPECT_FALSE(engine.Backup({path("c/*.bin")}, archive));
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].text, "Please insert disk 2 and click OK to continue.");
    EXPECT_EQ(dialogs.messages()[0].icon, MessageIcon::Information);
    EXPECT_EQ(dialogs.messages()[0].buttons, int(mbOK | mbCancel));
    EXPECT_TRUE(errors.empty());
    EXPECT_TRUE(readFile(archive).endsWith(int32le(12) + "NEXT:DISK002")); // no end marker
    EXPECT_FALSE(QFile::exists(path("c.002")));
}

TEST_F(BackupTest, MaxSizeWithoutRoomForABlockIsRefused)
{
    make("m/a.dat", "a");
    engine.setMaxSize(16488);
    EXPECT_FALSE(engine.Backup({path("m/*.dat")}, path("m.001")));
    EXPECT_EQ(errors.size(), 1u);
    EXPECT_FALSE(QFile::exists(path("m.002")));
    engine.setMaxSize(16489);
    errors.clear();
    int disks = 0;
    engine.OnNeedDisk = [&](TBackupFile&, quint16, bool&) { ++disks; };
    EXPECT_TRUE(engine.Backup({path("m/*.dat")}, path("m.001")));
    EXPECT_TRUE(errors.empty());
}

TEST_F(BackupTest, PropertiesOfANewInstance)
{
    TBackupFile b;
    EXPECT_EQ(b.Version(), "5.10");
    b.setVersion("9");
    EXPECT_EQ(b.Version(), "5.10");
    EXPECT_EQ(b.BackupMode(), bmAll);
    EXPECT_EQ(b.CompressionLevel(), clFastest);
    EXPECT_EQ(b.RestoreMode(), rmAll);
    EXPECT_EQ(b.MaxSize(), 0);
    EXPECT_FALSE(b.SetArchiveFlag() || b.RestoreFullPath() || b.SaveFileID());
    EXPECT_TRUE(b.BackupTitle().isEmpty());
    EXPECT_EQ(int(clFastest), 0);
    EXPECT_EQ(int(clMax), 3);
    EXPECT_EQ(int(rmExistingNewer), 4);
    for (int code = 1; code <= 7; ++code)
        EXPECT_FALSE(TBackupFile::ErrorMessage(code).isEmpty());
    EXPECT_EQ(TBackupFile::ErrorMessage(7), "Cannot create temporary file to save the file IDs");
}
