// Restore: modes, target paths, unsafe names, damaged and truncated archives,
// disk requests and stops.
#include "BackupFixture.h"

#include "platform/FileAttributes.h"

using namespace orv;
using namespace orv::test;

namespace {
const quint32 kStored = dos(2004, 3, 15, 10, 0, 0);
} // namespace

TEST_F(BackupTest, RestoreModesAsATable)
{
    const QString archive = archiveFile("m.001", ArchiveBuilder().file("c:\\x\\f.dat", "new", qint32(kStored)).end().bytes());
    enum Existing { None, Older, Same, Newer };
    const quint32 older = dos(2004, 3, 14, 10, 0, 0), newer = dos(2004, 3, 16, 10, 0, 0);
    const struct {
        TRestoreMode mode;
        Existing existing;
        bool restored;
    } cases[] = {
        {rmAll, None, true}, {rmAll, Older, true}, {rmAll, Same, true}, {rmAll, Newer, true},
        {rmNoOverwrite, None, true}, {rmNoOverwrite, Older, false}, {rmNoOverwrite, Newer, false},
        {rmNewer, None, true}, {rmNewer, Older, true}, {rmNewer, Same, false}, {rmNewer, Newer, false},
        {rmExisting, None, false}, {rmExisting, Older, true}, {rmExisting, Newer, true},
        {rmExistingNewer, None, false}, {rmExistingNewer, Older, true}, {rmExistingNewer, Same, false},
        {rmExistingNewer, Newer, false},
    };
    int i = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << " existing " << c.existing);
        const QString dir = folder(QStringLiteral("modes%1").arg(i++));
        const QString target = dir + "/f.dat";
        if (c.existing != None)
            make(QDir(tmp.path()).relativeFilePath(target), "old",
                 c.existing == Older ? older : c.existing == Same ? kStored : newer);
        bool preset = !c.restored;
        qint32 fa = 0;
        engine.OnRestoreFile = [&](TBackupFile&, QString&, qint32 date, bool& doRestore) {
            preset = doRestore;
            fa = date;
        };
        engine.setRestoreMode(c.mode);
        ASSERT_TRUE(engine.Restore(archive, dir));
        EXPECT_EQ(preset, c.restored);
        EXPECT_EQ(quint32(fa), kStored);
        if (c.restored) {
            EXPECT_EQ(readFile(target), "new");
            EXPECT_EQ(fileDosDateTime(target), kStored);
        } else {
            EXPECT_EQ(QFile::exists(target) ? readFile(target) : QByteArray("absent"),
                      c.existing == None ? QByteArray("absent") : QByteArray("old"));
        }
    }
    EXPECT_TRUE(errors.empty());
}

TEST_F(BackupTest, RestoreFileHandlerDecidesAndRedirects)
{
    const QString archive = archiveFile("h.001", ArchiveBuilder()
        .file("c:\\d\\keep.dat", "k").file("c:\\d\\skip.dat", "s").file("c:\\d\\move.dat", "m").end().bytes());
    const QString dir = folder("h");
    QStringList restored;
    engine.OnRestoreFile = [&](TBackupFile&, QString& name, qint32, bool& doRestore) {
        if (name.endsWith("skip.dat"))
            doRestore = false;
        if (name.endsWith("move.dat"))
            name = dir + "/elsewhere/moved.dat";
    };
    engine.OnFileRestored = [&](TBackupFile&, QString& name, QFileDevice*& stream) {
        EXPECT_TRUE(stream && stream->isOpen());
        restored << QDir(dir).relativeFilePath(name);
    };
    ASSERT_TRUE(engine.Restore(archive, dir));
    EXPECT_EQ(restored, QStringList({"keep.dat", "elsewhere/moved.dat"}));
    EXPECT_EQ(filesBelow(dir), QStringList({"elsewhere/moved.dat", "keep.dat"}));
}

TEST_F(BackupTest, TargetPathsWithAndWithoutRestoreFullPath)
{
    const QString archive = archiveFile("p.001", ArchiveBuilder().file("c:\\app\\dati\\a.dat", "A").end().bytes());
    for (bool full : {false, true}) {
        const QString dir = folder(full ? "full" : "flat");
        engine.setRestoreFullPath(full);
        ASSERT_TRUE(engine.Restore(archive, dir + "/")); // a trailing separator is fine too
        EXPECT_EQ(filesBelow(dir), QStringList({full ? "app/dati/a.dat" : "a.dat"}));
    }
    // An empty target folder writes each file back to its stored path.
    const QString original = make("orig/Sub/A.DAT", "old");
    const QString stored = backup::storedName(original); // lower case
    const QString back = archiveFile("o.001", ArchiveBuilder().file(stored.toLatin1(), "new").end().bytes());
    engine.setRestoreFullPath(false);
    ASSERT_TRUE(engine.Restore(back, QString()));
    // The lower-case stored name finds the existing file of another case.
    EXPECT_EQ(readFile(original), "new");
    EXPECT_EQ(filesBelow(path("orig")), QStringList({"Sub/A.DAT"}));
}

TEST_F(BackupTest, LowerCaseNamesReplaceTheDataFolderFilesOfAnyCase)
{
    make("src/DATI/ST_PROCEDURE.DAT", "fresh");
    ASSERT_TRUE(engine.Backup({path("src/DATI/*.DAT")}, path("k.001")));
    make("dst/DATI/ST_PROCEDURE.DAT", "stale");
    ASSERT_TRUE(engine.Restore(path("k.001"), path("dst/DATI")));
    EXPECT_EQ(filesBelow(path("dst")), QStringList({"DATI/ST_PROCEDURE.DAT"}));
    EXPECT_EQ(readFile(path("dst/DATI/ST_PROCEDURE.DAT")), "fresh");
}

// Whatever names an archive holds, nothing is written outside the target.
TEST_F(BackupTest, NamesThatLeadOutsideTheTargetAreRefused)
{
    const struct {
        const char* name;
        const char* flat;  // where it lands without RestoreFullPath; null = refused
        const char* full;  // with RestoreFullPath
    } cases[] = {
        {"..\\evil.txt", nullptr, nullptr},
        {"c:\\app\\..\\..\\evil.txt", nullptr, nullptr},
        {"c:\\app\\.\\evil.txt", nullptr, nullptr},
        {"c:\\app\\", nullptr, nullptr},
        {"c:\\app\\\\evil.txt", nullptr, nullptr},
        {"\\\\server\\share\\evil.txt", nullptr, nullptr},
        {"c:\\app/../../evil.txt", nullptr, nullptr},
        {"c:\\app\\evil.txt:stream", nullptr, nullptr},
        {"/etc/evil.txt", "evil.txt", "etc/evil.txt"},
        {"d:evil.txt", "evil.txt", "evil.txt"},
        {"c:\\app\\evil.txt", "evil.txt", "app/evil.txt"},
    };
    int i = 0;
    for (const auto& c : cases) {
        for (bool full : {false, true}) {
            SCOPED_TRACE(testing::Message() << c.name << (full ? " full path" : " flat"));
            const QString outer = folder(QStringLiteral("u%1").arg(i++));
            const QString dir = folder(QDir(tmp.path()).relativeFilePath(outer) + "/target");
            const QString archive = archiveFile(QStringLiteral("u%1.001").arg(i),
                ArchiveBuilder().file(c.name, "x").file("c:\\ok.txt", "ok").end().bytes());
            errors.clear();
            engine.setRestoreFullPath(full);
            const char* expected = full ? c.full : c.flat;
            const bool ok = engine.Restore(archive, dir);
            if (expected) {
                EXPECT_TRUE(ok);
                EXPECT_EQ(filesBelow(outer), QStringList({QStringLiteral("target/") + expected, "target/ok.txt"}));
            } else {
                EXPECT_FALSE(ok);
                EXPECT_EQ(errors, (std::vector<std::pair<int, QString>>{{8, "Unsafe file name in archive"}}));
                EXPECT_TRUE(filesBelow(outer).isEmpty()) << filesBelow(outer).join(' ').toStdString();
            }
        }
    }
    // Without a target folder a stored name must be a full path of its own.
    errors.clear();
    const QString relative = archiveFile("rel.001", ArchiveBuilder().file("evil.txt", "x").end().bytes());
    EXPECT_FALSE(engine.Restore(relative, QString()));
    EXPECT_EQ(errors.size(), 1u);
}

TEST_F(BackupTest, DamagedCompressedBlockGivesCode6AndKeepsTheOldFile)
{
    QByteArray bad = ArchiveBuilder::compressed(QByteArray(5000, 'q'));
    bad[bad.size() - 1] = char(bad[bad.size() - 1] ^ 0x55); // breaks the Adler-32 checksum
    const QByteArray bytes = ArchiveBuilder()
        .record("c:\\d\\one.dat").stream({ArchiveBuilder::compressed("good"), bad, ArchiveBuilder::compressed("more")})
        .file("c:\\d\\two.dat", "two").end().bytes();
    const QString archive = archiveFile("bad.001", bytes);
    const QString dir = folder("bad");
    make("bad/one.dat", "old");
    bool fileRestoredRaised = false;
    engine.OnFileRestored = [&](TBackupFile&, QString&, QFileDevice*&) { fileRestoredRaised = true; };
    EXPECT_FALSE(engine.Restore(archive, dir));
    EXPECT_EQ(errors, (std::vector<std::pair<int, QString>>{{6, "Compression error"}}));
    EXPECT_FALSE(fileRestoredRaised);
    EXPECT_EQ(filesBelow(dir), QStringList({"one.dat"})); // stops after that block
    EXPECT_EQ(readFile(dir + "/one.dat"), "old");

    // Without a handler: the error box.
    TBackupFile plain;
    dialogs.answerMessage(mbOK);
    EXPECT_FALSE(plain.Restore(archive, folder("bad2")));
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].text, "Compression error");
    EXPECT_EQ(dialogs.messages()[0].icon, MessageIcon::Critical);
    EXPECT_TRUE(filesBelow(path("bad2")).isEmpty());
}

TEST_F(BackupTest, LyingLengthsAreReportedAsADamagedArchive)
{
    const QByteArray sig("EC2\0", 4);
    const struct {
        const char* what;
        QByteArray bytes;
        const char* message;
    } cases[] = {
        {"empty file", QByteArray(), "Cannot read archive"},
        {"negative title", int32le(-1) + QByteArray(12, '\0'), "Cannot read archive"},
        {"huge title", int32le(1'000'000'000) + QByteArray(12, '\0'), "Cannot read archive"},
        {"huge name", ArchiveBuilder().raw(int32le(0x7FFFFFFF)).raw("c:\\x").bytes(), "Cannot read archive"},
        {"name past the end", ArchiveBuilder().raw(int32le(100)).raw("c:\\x").bytes(), "Cannot read archive"},
        {"block over 16384", ArchiveBuilder().record("c:\\x").raw(sig + int32le(16385) + QByteArray(16385, 'a')).bytes(),
         "Cannot read archive"},
        {"stored block over 16384", ArchiveBuilder().record("c:\\x").raw(sig + int32le(-16385) + QByteArray(16385, 'a')).bytes(),
         "Cannot read archive"},
        {"minimum int block", ArchiveBuilder().record("c:\\x").raw(sig + int32le(INT_MIN)).bytes(), "Cannot read archive"},
        {"block past the end", ArchiveBuilder().record("c:\\x").raw(sig + int32le(-5000) + "abc").bytes(), "Cannot read archive"},
        {"no end marker", ArchiveBuilder().file("c:\\x", "abc").bytes(), "Cannot read archive"},
        {"bad signature", ArchiveBuilder().record("c:\\x").raw("EC3\0" + int32le(0)).end().bytes(), "Invalid archive type"},
        {"volume out of order", ArchiveBuilder().file("c:\\x", "a").raw(int32le(12) + "NEXT:DISK005").bytes(),
         "Cannot read archive"},
        {"volume number not digits", ArchiveBuilder().file("c:\\x", "a").raw(int32le(12) + "NEXT:DISK0a2").bytes(),
         "Cannot read archive"},
        {"volume back to the first", ArchiveBuilder(0, 0, "NEXT:DISK001").raw(int32le(12) + "NEXT:DISK001").bytes(),
         "Cannot read archive"},
    };
    int i = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QString archive = archiveFile(QStringLiteral("lie%1.001").arg(i), c.bytes);
        const QString dir = folder(QStringLiteral("lie%1").arg(i++));
        make(QStringLiteral("lie%1/x").arg(i - 1), "old");
        try {
            engine.Restore(archive, dir);
            ADD_FAILURE() << "no error";
        } catch (const Error& e) {
            EXPECT_EQ(e.message(), QString::fromLatin1(c.message));
        }
        EXPECT_EQ(filesBelow(dir), QStringList({"x"}));
        EXPECT_EQ(readFile(dir + "/x"), "old");
    }
}

// Cut anywhere, an archive never restores as a success, never leaves a
// partial file, and every file it does write is whole.
TEST_F(BackupTest, TruncatedArchivesNeverRestoreHalfFiles)
{
    QByteArray text;
    while (text.size() < 40000)
        text += "Verbale di gara - seduta pubblica del 12/05/2004 ore 10.00\r\n";
    const QByteArray small = randomBytes(300, 8);
    make("tr/a.dat", text);
    make("tr/b.dat", small);
    ASSERT_TRUE(engine.Backup({path("tr/*.dat")}, path("tr.001")));
    const QByteArray full = readFile(path("tr.001"));
    ASSERT_LT(full.size(), 6000);
    for (qsizetype cut = 0; cut < full.size(); ++cut) {
        SCOPED_TRACE(cut);
        const QString archive = archiveFile("cut.001", full.left(cut));
        const QString dir = path(QStringLiteral("cut%1").arg(cut));
        QDir().mkpath(dir);
        bool ok = false;
        try {
            ok = engine.Restore(archive, dir);
        } catch (const Error& e) {
            EXPECT_TRUE(e.code() == 3 || e.code() == 5) << e.message().toStdString();
        }
        EXPECT_FALSE(ok);
        for (const QString& f : filesBelow(dir))
            EXPECT_EQ(readFile(dir + "/" + f), f == "a.dat" ? text : small) << f.toStdString();
        QDir(dir).removeRecursively();
    }
}

TEST_F(BackupTest, StopFromProgressKeepsTheOldFiles)
{
    make("sp/a.dat", randomBytes(70000, 1));
    make("sp/b.dat", "bbb");
    ASSERT_TRUE(engine.Backup({path("sp/*.dat")}, path("sp.001")));
    const QString dir = folder("spr");
    make("spr/a.dat", "old a");
    int reports = 0;
    engine.OnProgress = [&](TBackupFile&, const QString& file, TPercentage, bool& go) {
        if (!file.isEmpty() && ++reports == 2)
            go = false;
    };
    EXPECT_FALSE(engine.Restore(path("sp.001"), dir));
    EXPECT_TRUE(errors.empty());
    EXPECT_TRUE(dialogs.records().empty());
    EXPECT_EQ(filesBelow(dir), QStringList({"a.dat"}));
    EXPECT_EQ(readFile(dir + "/a.dat"), "old a");
}

TEST_F(BackupTest, MissingArchiveReturnsFalseSilently)
{
    bool anyEvent = false;
    engine.OnProgress = [&](TBackupFile&, const QString&, TPercentage, bool&) { anyEvent = true; };
    EXPECT_FALSE(engine.Restore(path("nothing.001"), folder("n")));
    EXPECT_FALSE(anyEvent);
    EXPECT_TRUE(errors.empty());
    EXPECT_TRUE(dialogs.records().empty());
}

TEST_F(BackupTest, RestoreAsksAgainUntilTheVolumeIsThere)
{
    const QByteArray data = randomBytes(2'600'000, 13);
    make("ask/big.dat", data);
    folder("vol");
    engine.setMaxSize(1200000);
    engine.OnNeedDisk = [](TBackupFile&, quint16, bool&) {};
    ASSERT_TRUE(engine.Backup({path("ask/*.dat")}, path("vol/KELMA.001")));
    ASSERT_TRUE(QFile::exists(path("vol/KELMA.003")));
    ASSERT_TRUE(QFile::rename(path("vol/KELMA.002"), path("aside.002")));

    std::vector<int> asked;
    engine.OnNeedDisk = [&](TBackupFile&, quint16 disk, bool&) {
        asked.push_back(disk);
        if (asked.size() == 2) // the user inserts the diskette only now
            QFile::rename(path("aside.002"), path("vol/KELMA.002"));
    };
    ASSERT_TRUE(engine.Restore(path("vol/KELMA.001"), folder("askr")));
    EXPECT_EQ(asked, (std::vector<int>{2, 2, 3}));
    EXPECT_EQ(readFile(path("askr/big.dat")), data);

    // The engine's own question, answered OK while the volume is missing, then Cancel.
    ASSERT_TRUE(QFile::rename(path("vol/KELMA.002"), path("aside.002")));
    TBackupFile plain;
    dialogs.answerMessage(mbOK);
    dialogs.answerMessage(mbCancel);
    make("askr2/big.dat", "old");
    EXPECT_FALSE(plain.Restore(path("vol/KELMA.001"), path("askr2")));
    ASSERT_EQ(dialogs.messages().size(), 2u);
    for (const MessageRequest& m : dialogs.messages())
        EXPECT_EQ(m.text, "Please insert disk 2 and click OK to continue.");
    EXPECT_EQ(filesBelow(path("askr2")), QStringList({"big.dat"}));
    EXPECT_EQ(readFile(path("askr2/big.dat")), "old");
}

TEST_F(BackupTest, EmptyFileRestoresEmptyWithItsDate)
{
    const quint32 d = dos(1999, 12, 31, 23, 59, 58);
    make("e/empty.dat", QByteArray(), d);
    ASSERT_TRUE(engine.Backup({path("e/*.dat")}, path("e.001")));
    ASSERT_TRUE(engine.Restore(path("e.001"), folder("er")));
    EXPECT_TRUE(QFileInfo::exists(path("er/empty.dat")));
    EXPECT_EQ(QFileInfo(path("er/empty.dat")).size(), 0);
    EXPECT_EQ(fileDosDateTime(path("er/empty.dat")), d);
}

TEST_F(BackupTest, UnwritableTargetRecordsCode1)
{
    const QString archive = archiveFile("uw.001", ArchiveBuilder().file("c:\\a.dat", "a").end().bytes());
    make("uw/a.dat", "x"); // a file where the restore wants a folder
    EXPECT_FALSE(engine.Restore(archive, path("uw/a.dat/inside")));
    EXPECT_EQ(errors, (std::vector<std::pair<int, QString>>{{1, "Cannot read file"}}));
}
