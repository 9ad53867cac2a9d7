#include "platform/FileAttributes.h"
#include "platform/Paths.h"
#include "platform/TextCodec.h"
#include "support/TestSupport.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace orv;

TEST(Paths, WindowsPathsTypedByTheUserMapToThisMachine)
{
    const struct {
        const char* typed;
        const char* expected;
    } cases[] = {
        {"a:\\KELMA.001", "/media/floppy0/KELMA.001"},
        {"A:\\", "/media/floppy0/"},
        {"b:\\dir\\x.002", "/media/floppy1/dir/x.002"},
        {"C:\\Backup\\KELMA.001", "/Backup/KELMA.001"},
        {"DATI\\ST_PROCEDURE.DAT", "DATI/ST_PROCEDURE.DAT"},
        {"/home/u/x.001", "/home/u/x.001"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(fromWindowsPath(QString::fromLatin1(c.typed)), QString::fromLatin1(c.expected)) << c.typed;
    EXPECT_EQ(toDisplayPath(QStringLiteral("/media/floppy0/KELMA.001")), QStringLiteral("A:\\KELMA.001"));
}

TEST(DosTime, PacksInLocalTimeAndRoundTrips)
{
    const QDateTime t(QDate(2004, 3, 15), QTime(14, 30, 58), Qt::LocalTime);
    const quint32 packed = toDosDateTime(t);
    EXPECT_EQ(packed >> 16, quint32((2004 - 1980) << 9 | 3 << 5 | 15));
    EXPECT_EQ(packed & 0xFFFF, quint32(14 << 11 | 30 << 5 | 29));
    EXPECT_EQ(fromDosDateTime(packed), t);
    EXPECT_FALSE(fromDosDateTime(0).isValid()); // month 0 is no date
    EXPECT_EQ(fromDosDateTime(toDosDateTime(QDateTime(QDate(1970, 1, 1), QTime(0, 0)))).date(), QDate(1980, 1, 1));
}

TEST(FileAttributes, ReadOnlyHiddenArchiveAndMissing)
{
    QTemporaryDir dir;
    const QString f = dir.filePath(QStringLiteral("a.dat"));
    const QString hidden = dir.filePath(QStringLiteral(".h"));
    test::writeFile(f, "x");
    test::writeFile(hidden, "y");
    EXPECT_EQ(fileAttributes(dir.filePath(QStringLiteral("none"))), kInvalidAttributes);
    EXPECT_TRUE(fileAttributes(dir.path()) & faDirectory);
    EXPECT_TRUE(fileAttributes(hidden) & faHidden);
    EXPECT_FALSE(fileAttributes(f) & faHidden);

    ASSERT_TRUE(setFileAttributes(f, faReadOnly));
    EXPECT_TRUE(fileAttributes(f) & faReadOnly);
    ASSERT_TRUE(setFileAttributes(f, faArchive));
    EXPECT_FALSE(fileAttributes(f) & faReadOnly);
    EXPECT_TRUE(archiveFlag(f));
    ASSERT_TRUE(setArchiveFlag(f, false));
    // Only a file system with extended attributes keeps a cleared flag.
    if (archiveFlag(f))
        GTEST_SKIP() << "no extended attributes here";
    EXPECT_FALSE(archiveFlag(f));
}

TEST(TextCodec, Utf8OrWindows1252)
{
    EXPECT_EQ(decodeUtf8OrWindows1252("perch\xC3\xA9"), QString::fromUtf8("perché"));
    EXPECT_EQ(decodeUtf8OrWindows1252("perch\xE9 \x80"), QString::fromUtf8("perché €"));
    EXPECT_EQ(encodeWindows1252(QString::fromUtf8("€ è ✓")), QByteArray("\x80 \xE8 ?"));
}
