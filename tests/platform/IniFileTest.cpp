#include "platform/IniFile.h"
#include "support/TestSupport.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using orv::IniFile;
using orv::test::readFile;
using orv::test::writeFile;

namespace {
struct IniFixture : ::testing::Test {
    QTemporaryDir dir;
    QString path() const { return dir.filePath(QStringLiteral("KELMA.ini")); }
};
} // namespace

TEST_F(IniFixture, WritingOneKeyLeavesEveryOtherLineAsItWas)
{
    writeFile(path(), "; settings\r\n[ALTRO]\r\nx = 1\r\n\r\n[DATIENTE]\r\nCOMUNE=Roma\r\n; note\r\nVIA=Corso\r\n\r\n[FINE]\r\ny=2\r\n");
    IniFile ini(path());
    ASSERT_TRUE(ini.writeString(QStringLiteral("datiente"), QStringLiteral("via"), QStringLiteral("Via Nuova")));
    ASSERT_TRUE(ini.writeString(QStringLiteral("DATIENTE"), QStringLiteral("FAX"), QStringLiteral("06 1234")));
    EXPECT_EQ(readFile(path()),
              QByteArray("; settings\r\n[ALTRO]\r\nx = 1\r\n\r\n[DATIENTE]\r\nCOMUNE=Roma\r\n; note\r\nvia=Via Nuova\r\n"
                         "FAX=06 1234\r\n\r\n[FINE]\r\ny=2\r\n"));
}

TEST_F(IniFixture, ReadsCaseInsensitivelyWithDefaultsAndQuotes)
{
    writeFile(path(), "[DatiEnte]\nComune = \"San Donà\"\nNUMERO=12\nVUOTO=\n;COMMENTO=x\n");
    IniFile ini(path());
    EXPECT_EQ(ini.readString(QStringLiteral("DATIENTE"), QStringLiteral("COMUNE")), QString::fromUtf8("San Donà"));
    EXPECT_EQ(ini.readInteger(QStringLiteral("DATIENTE"), QStringLiteral("numero"), 0), 12);
    EXPECT_EQ(ini.readString(QStringLiteral("DATIENTE"), QStringLiteral("VUOTO"), QStringLiteral("d")), QString());
    EXPECT_EQ(ini.readString(QStringLiteral("DATIENTE"), QStringLiteral("COMMENTO"), QStringLiteral("d")), QStringLiteral("d"));
    EXPECT_EQ(ini.readString(QStringLiteral("ALTRA"), QStringLiteral("COMUNE"), QStringLiteral("d")), QStringLiteral("d"));
}

TEST_F(IniFixture, Windows1252FileIsReadAndMissingFileIsCreated)
{
    writeFile(path(), "[S]\nK=Citt\xE0\n");
    EXPECT_EQ(IniFile(path()).readString(QStringLiteral("S"), QStringLiteral("K")), QString::fromUtf8("Città"));

    const QString fresh = dir.filePath(QStringLiteral("nuovo.ini"));
    IniFile ini(fresh);
    EXPECT_EQ(ini.readString(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("x")), QStringLiteral("x"));
    ASSERT_TRUE(ini.writeString(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("v")));
    EXPECT_EQ(readFile(fresh), QByteArray("[S]\r\nK=v\r\n"));
}

TEST_F(IniFixture, UnwritableFileReportsFailureAndKeepsContent)
{
    writeFile(path(), "[S]\nK=v\n");
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    QFile::setPermissions(path(), QFileDevice::ReadOwner);
    IniFile ini(path());
    const bool wrote = ini.writeString(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("w"));
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes anywhere";
    EXPECT_FALSE(wrote);
    EXPECT_FALSE(ini.lastError().isEmpty());
    EXPECT_EQ(readFile(path()), QByteArray("[S]\nK=v\n"));
}
