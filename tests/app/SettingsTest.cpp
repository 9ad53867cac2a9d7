// "KELMA.ini": reading with defaults, writing one key at a time.
#include "app/GlobalState.h"
#include "platform/EntityData.h"
#include "platform/ProgramFolder.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace orv::app {
namespace {

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous = programFolder();
        setProgramFolder(dir.path());
        entityData() = EntityData{};
        startupState() = StartupState{};
    }
    void TearDown() override { setProgramFolder(previous); }
    void writeIni(const QByteArray& text) { test::writeFile(settingsPath(), text); }
    QByteArray ini() const { return test::readFile(settingsPath()); }

    QTemporaryDir dir;
    QString previous;
};

TEST_F(SettingsTest, MissingFileGivesTheDefaults)
{
    entityData().COMUNE = QStringLiteral("stale");
    ReadSettings();
    EXPECT_EQ(entityData(), EntityData{});
    EXPECT_TRUE(startupState().HistoryPending);
    EXPECT_EQ(startupState().ReminderDate, zeroDate());
    EXPECT_EQ(entityHeading(), QStringLiteral("COMUNE DI "));
}

TEST_F(SettingsTest, ReadsEveryKeyOfDatiente)
{
    writeIni("[DATIENTE]\r\nCOMUNE=ROMA\r\nVIA=Via del Corso\r\nNUMERO=12/b\r\nCITTA=Roma\r\nPROVINCIA=RM\r\n"
             "TELEFONO=06 123\r\nFAX=06 456\r\nMAIL=gare@comune.roma.it\r\nSERVIZIO=UFFICIO CONTRATTI\r\n"
             "HISTORY3.00=0\r\nSPOT_DATE=05/03/2004\r\n");
    ReadSettings();
    const EntityData& d = entityData();
    EXPECT_EQ(d.COMUNE, QStringLiteral("ROMA"));
    EXPECT_EQ(d.VIA, QStringLiteral("Via del Corso"));
    EXPECT_EQ(d.NUMERO, QStringLiteral("12/b"));
    EXPECT_EQ(d.CITTA, QStringLiteral("Roma"));
    EXPECT_EQ(d.PROVINCIA, QStringLiteral("RM"));
    EXPECT_EQ(d.TELEFONO, QStringLiteral("06 123"));
    EXPECT_EQ(d.FAX, QStringLiteral("06 456"));
    EXPECT_EQ(d.MAIL, QStringLiteral("gare@comune.roma.it"));
    EXPECT_EQ(d.SERVIZIO, QStringLiteral("UFFICIO CONTRATTI"));
    EXPECT_FALSE(startupState().HistoryPending);
    EXPECT_EQ(startupState().ReminderDate, QDate(2004, 3, 5));
    EXPECT_EQ(entityHeading(), QStringLiteral("COMUNE DI ROMA"));
}

TEST_F(SettingsTest, OddValuesFallBackSilently)
{
    struct Case { const char* history; const char* spot; bool pending; QDate reminder; };
    const Case cases[] = {
        {"abc", "ieri", true, zeroDate()},
        {"2", "", true, zeroDate()},
        {"-1", "31/02/2004", true, zeroDate()},
        {"0", "30/12/1899", false, zeroDate()},
        {" 0 ", "01/01/2006", false, QDate(2006, 1, 1)},
    };
    for (const Case& c : cases) {
        writeIni(QByteArray("[DATIENTE]\nHISTORY3.00=") + c.history + "\nSPOT_DATE=" + c.spot + "\n");
        ReadSettings();
        EXPECT_EQ(startupState().HistoryPending, c.pending) << c.history;
        EXPECT_EQ(startupState().ReminderDate, c.reminder) << c.spot;
    }
}

TEST_F(SettingsTest, WriteKeepsEveryOtherLineWhereItWas)
{
    writeIni("; impostazioni di Orvanta\r\n[STAMPA]\r\nMARGINE=10\r\n\r\n[DATIENTE]\r\nCOMUNE=ROMA\r\n"
             "ALTRO=non toccare\r\nHISTORY3.00=1\r\n[FINE]\r\nX=1\r\n");
    ReadSettings();
    entityData().COMUNE = QStringLiteral("MILANO");
    startupState().HistoryPending = false;
    startupState().ReminderDate = QDate(2006, 6, 15);
    ASSERT_TRUE(WriteSettings());
    const QString text = QString::fromUtf8(ini()).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    EXPECT_EQ(text, QStringLiteral(
        "; impostazioni di Orvanta\n[STAMPA]\nMARGINE=10\n\n[DATIENTE]\nCOMUNE=MILANO\nALTRO=non toccare\n"
        "HISTORY3.00=0\nVIA=\nNUMERO=\nCITTA=\nPROVINCIA=\nTELEFONO=\nFAX=\nMAIL=\nSERVIZIO=\n"
        "SPOT_DATE=15/06/2006\n[FINE]\nX=1\n"));

    // Read back gives what was written.
    entityData() = EntityData{};
    ReadSettings();
    EXPECT_EQ(entityData().COMUNE, QStringLiteral("MILANO"));
    EXPECT_EQ(startupState().ReminderDate, QDate(2006, 6, 15));
}

TEST_F(SettingsTest, UnwritableFileIsReported)
{
    // A folder in the file's place cannot be replaced, whatever the rights.
    QDir().mkpath(settingsPath());
    ReadSettings();
    EXPECT_TRUE(startupState().HistoryPending);
    QString error;
    EXPECT_FALSE(WriteSettings(&error));
    EXPECT_FALSE(error.isEmpty());
}

} // namespace
} // namespace orv::app
