// The open check: damaged tables are repaired behind the progress window,
// other open failures leave the table closed without a word, and a table that
// cannot be repaired is reported and stops the opening.

#include "DataTestSupport.h"

#include "storage/EngineError.h"

#include <QFile>
#include <sys/file.h>

namespace orv::test {
namespace {

struct ProgressLog {
    QStringList events;
    QList<int> percents;
    QStringList texts;
};

class RecordingProgressView final : public RepairProgressView {
public:
    explicit RecordingProgressView(ProgressLog* log) : m_log(log) {}
    void show() override { m_log->events << QStringLiteral("show"); }
    void setText(const QString& text) override { m_log->texts << text; }
    void setPercent(int percent) override { m_log->percents << percent; }
    void close() override { m_log->events << QStringLiteral("close"); }
    ~RecordingProgressView() override { m_log->events << QStringLiteral("destroyed"); }

private:
    ProgressLog* m_log;
};

// Overwrites `count` bytes at `offset` of a file with garbage.
void damage(const QString& path, qint64 offset, int count)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite)) << qPrintable(path);
    ASSERT_TRUE(f.seek(offset));
    ASSERT_EQ(f.write(QByteArray(count, '\x5a')), count);
}

class OpenCheckTest : public DataModuleTest {
protected:
    void SetUp() override
    {
        DataModuleTest::SetUp();
        dm->CloseTables();
        dm->DataBase->close();
        dm->setRepairProgressFactory([this] { return std::make_unique<RecordingProgressView>(&log); });
    }
    void reopen()
    {
        dm->DataBase->open();
        dm->OpenTables();
    }
    ProgressLog log;
};

TEST_F(OpenCheckTest, CorruptHeaderIsRepairedBehindTheProgressWindow)
{
    damage(folder->dataFolder() + QStringLiteral("ST_DOCUMENTI.DAT"), 40, 64);
    reopen();

    EXPECT_TRUE(dm->ttDocumenti->isOpen());
    EXPECT_TRUE(dm->ttUserProc->isOpen());
    EXPECT_EQ(log.events, (QStringList{"show", "close", "destroyed"}));
    ASSERT_FALSE(log.percents.isEmpty());
    EXPECT_EQ(log.percents.first(), 0);
    EXPECT_EQ(log.percents.last(), 100);
    ASSERT_FALSE(log.texts.isEmpty());
    EXPECT_EQ(log.texts.last(), QStringLiteral(" Riparazione Tabella ST_DOCUMENTI.DAT..."));
    EXPECT_TRUE(dialogs.records().empty()) << "a successful repair shows no message";
    EXPECT_FALSE(dm->ttDocumenti->OnRepairProgress) << "the progress handler stays attached";

    // The repaired table still holds the library.
    selectProcedure(QStringLiteral("05"));
    EXPECT_EQ(dm->dsDocumenti->rowCount(), 7);
}

TEST_F(OpenCheckTest, OtherOpenFailuresLeaveTheTableClosedSilently)
{
    // Another program holds ST_DOCUMENTI: the engine locks the .DAT file.
    QFile locked(folder->dataFolder() + QStringLiteral("ST_DOCUMENTI.DAT"));
    ASSERT_TRUE(locked.open(QIODevice::ReadOnly));
    ASSERT_EQ(::flock(locked.handle(), LOCK_EX | LOCK_NB), 0);
    // USER_PROCEDURE is missing altogether.
    for (const char* ext : {".DAT", ".IDX", ".BLB"})
        QFile::remove(folder->dataFolder() + QStringLiteral("USER_PROCEDURE") + QLatin1String(ext));

    reopen();

    EXPECT_TRUE(dm->ttProcedure->isOpen());
    EXPECT_FALSE(dm->ttDocumenti->isOpen());
    EXPECT_TRUE(dm->ttUserDoc->isOpen()) << "the tables after a silent failure are still opened";
    EXPECT_FALSE(dm->ttUserProc->isOpen());
    EXPECT_TRUE(log.events.isEmpty());
    EXPECT_TRUE(dialogs.records().empty());
    EXPECT_EQ(dm->dsDocumenti->rowCount(), 0);
    EXPECT_EQ(dm->dsUserProc->rowCount(), 0);
}

TEST_F(OpenCheckTest, IrreparableTableIsReportedAndStopsTheOpening)
{
    const QString base = folder->dataFolder() + QStringLiteral("ST_PROCEDURE");
    damage(base + QStringLiteral(".DAT"), 0, 8192); // both header copies
    damage(base + QStringLiteral(".IDX"), 0, 8192); // both superblocks
    damage(base + QStringLiteral(".BLB"), 0, 64);
    dialogs.answerMessage(mbOK);

    try {
        reopen();
        FAIL() << "the second open's error must reach the caller";
    } catch (const storage::EngineError& e) {
        EXPECT_TRUE(e.isDamage()) << e.code();
    }

    const auto messages = dialogs.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text,
              QStringLiteral("Attenzione la Tabella \"ST_PROCEDURE.DAT\" risulta danneggiata\rin modo irreversibile "
                             "oppure é in uso da un altro\rUtente. Utilizzare il menu Utilità e la funzione\r"
                             "Riparazione archivi per ripristinarla."));
    EXPECT_EQ(messages[0].caption, applicationTitle());
    EXPECT_EQ(messages[0].buttons, int(mbOK));
    EXPECT_EQ(log.events, (QStringList{"show", "close", "destroyed"})) << "the window goes also on error";
    for (storage::Table* t : {dm->ttProcedure, dm->ttDocumenti, dm->ttUserDoc, dm->ttUserProc})
        EXPECT_FALSE(t->isOpen()) << qPrintable(t->objectName());
    EXPECT_FALSE(dm->ttProcedure->exclusive());
}

} // namespace
} // namespace orv::test
