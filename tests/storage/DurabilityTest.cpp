// A writer killed at random instants never loses an acknowledged change and
// never leaves a half row: every reopen finds each row as before or as after
// the interrupted change.
#include "StorageFixture.h"

#include "storage/Repair.h"
#include "storage/Store.h"
#include "support/TestSupport.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace orv::storage::test {
namespace {

TableDef crashDef()
{
    TableDef d;
    d.fields = {{"ID", FieldType::AutoInc, 0},
                {"SEED", FieldType::Integer, 0},
                {"TEXT", FieldType::Text, 200},
                {"BODY", FieldType::Blob, 0},
                {"CHK", FieldType::Text, 40}};
    d.primaryKey = {"ID"};
    d.indexes = {{"seed_idx", {"SEED", "ID"}}};
    return d;
}

QString textFor(quint32 seed) { return QString("riga %1 ").arg(seed).repeated(int(seed % 12)).left(200); }
qint64 bodySizeFor(quint32 seed) { return seed % 5 == 0 ? 0 : qint64(seed % 160000); }

// The checksum a row must carry for its seed: ties text and body together.
QString checkFor(quint32 seed)
{
    QCryptographicHash h(QCryptographicHash::Sha1);
    h.addData(textFor(seed).toUtf8());
    h.addData(patternBytes(bodySizeFor(seed), seed));
    return QString::fromLatin1(h.result().toHex());
}

// Child: appends, rewrites and deletes rows forever, acknowledging each change
// on stdout after it returned.
int crashWriter(const QStringList& args)
{
    // Kills also land inside index checkpoints and whole-file index rewrites.
    detail::setCheckpointInterval(7);
    detail::setIndexCompactionSlack(4096);
    Table t;
    t.setFolder(args.value(0));
    t.setTableName("CRASH.DAT");
    t.open();
    QRandomGenerator rng(args.value(1).toUInt());
    std::fputs("ready\n", stdout);
    std::fflush(stdout);
    auto fill = [&](quint32 seed) {
        t.fieldByName("SEED").setAsInteger(seed);
        t.fieldByName("TEXT").setAsString(textFor(seed));
        QByteArray body = patternBytes(bodySizeFor(seed), seed);
        QBuffer in(&body);
        in.open(QIODevice::ReadOnly);
        t.fieldByName("BODY").loadFromDevice(in);
        t.fieldByName("CHK").setAsString(checkFor(seed));
    };
    for (;;) {
        const quint32 op = rng.bounded(10);
        const quint32 seed = rng.generate() >> 1;
        char line[96];
        // The table stays small, so that the checks between kills stay quick.
        if ((op < 6 && t.recordCount() < 25) || t.isEmpty()) {
            t.append();
            fill(seed);
            t.post();
            std::snprintf(line, sizeof line, "P %lld %u\n", t.fieldByName("ID").asInteger(), seed);
        } else if (op < 8 || t.recordCount() < 25) {
            t.moveTo(int(rng.bounded(t.recordCount())));
            t.edit();
            fill(seed);
            t.post();
            std::snprintf(line, sizeof line, "P %lld %u\n", t.fieldByName("ID").asInteger(), seed);
        } else {
            t.moveTo(int(rng.bounded(t.recordCount())));
            const qint64 id = t.fieldByName("ID").asInteger();
            t.remove();
            std::snprintf(line, sizeof line, "D %lld\n", id);
        }
        // One write() of the whole line: a kill cannot leave half of it.
        if (::write(1, line, std::strlen(line)) < 0)
            return 1;
    }
}
const orv::test::ChildMode writerMode("storage-crash-writer", crashWriter);

// Child: repairs the table over and over.
int crashRepairer(const QStringList& args)
{
    std::fputs("ready\n", stdout);
    std::fflush(stdout);
    for (;;)
        repairTable(args.value(0), "CRASH.DAT");
}
const orv::test::ChildMode repairerMode("storage-crash-repairer", crashRepairer);

class DurabilityTest : public StorageTest {
protected:
    // id -> seed of the rows the table holds, read and checked row by row.
    QMap<qint64, quint32> readTable()
    {
        QMap<qint64, quint32> rows;
        Table t;
        t.setFolder(folder());
        t.setTableName("CRASH.DAT");
        t.open();
        for (t.first(); !t.eof(); t.next()) {
            const quint32 seed = quint32(t.fieldByName("SEED").asInteger());
            QBuffer out;
            out.open(QIODevice::WriteOnly);
            t.fieldByName("BODY").saveToDevice(out);
            QCryptographicHash h(QCryptographicHash::Sha1);
            h.addData(t.fieldByName("TEXT").asString().toUtf8());
            h.addData(out.data());
            // No half rows: text, body and checksum belong to the same change.
            EXPECT_EQ(QString::fromLatin1(h.result().toHex()), t.fieldByName("CHK").asString());
            EXPECT_EQ(t.fieldByName("CHK").asString(), checkFor(seed));
            rows.insert(t.fieldByName("ID").asInteger(), seed);
        }
        return rows;
    }

    // Starts the child, lets it run for a random while after it is ready, kills it.
    QByteArray runAndKill(const QString& mode, quint32 seed, int maxMs)
    {
        QProcess child;
        child.start(orv::test::selfExecutable(), orv::test::childArguments(mode, {folder(), QString::number(seed)}));
        EXPECT_TRUE(child.waitForStarted(10000));
        QByteArray out;
        while (!out.contains("ready\n") && child.state() == QProcess::Running) {
            child.waitForReadyRead(10000);
            out += child.readAllStandardOutput();
        }
        QThread::usleep(QRandomGenerator::global()->bounded(quint32(maxMs) * 1000));
        ::kill(pid_t(child.processId()), SIGKILL);
        child.waitForFinished(10000);
        out += child.readAllStandardOutput();
        EXPECT_EQ(child.exitStatus(), QProcess::CrashExit) << child.readAllStandardError().toStdString();
        return out.mid(out.indexOf("ready\n") + 6);
    }
};

#if defined(__SANITIZE_ADDRESS__)
constexpr int kKills = 40; // the instrumented child starts slowly
constexpr int kRepairKills = 8;
#else
constexpr int kKills = 400;
constexpr int kRepairKills = 25;
#endif
// Stops early rather than run for minutes on a crowded machine.
constexpr qint64 kBudgetMs = 75000;

TEST_F(DurabilityTest, KilledWriterLosesNoAcknowledgedChange)
{
    createTable(folder(), "CRASH.DAT", crashDef());
    QMap<qint64, quint32> expected;
    qint64 highestId = 0;
    QElapsedTimer clock;
    clock.start();
    int iterations = 0, totalChanges = 0;
    // Hundreds of kills, within a time budget for loaded machines.
    for (; iterations < kKills && clock.elapsed() < kBudgetMs; ++iterations) {
        const QByteArray acks = runAndKill("storage-crash-writer", quint32(iterations * 7919 + 1), 60);
        int changes = 0;
        for (const QByteArray& line : acks.split('\n')) {
            const QList<QByteArray> f = line.split(' ');
            if (f.size() == 3 && f[0] == "P") {
                expected[f[1].toLongLong()] = f[2].toUInt();
                ++changes;
            } else if (f.size() == 2 && f[0] == "D") {
                expected.remove(f[1].toLongLong());
                ++changes;
            }
        }
        totalChanges += changes;
        const QMap<qint64, quint32> actual = readTable();
        // Only the one change in flight at the kill may differ from the acknowledged state.
        int differences = 0;
        QList<qint64> ids = expected.keys() + actual.keys();
        std::sort(ids.begin(), ids.end());
        ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
        for (qint64 id : ids)
            if (expected.value(id, 0) != actual.value(id, 0) || expected.contains(id) != actual.contains(id))
                ++differences;
        ASSERT_LE(differences, 1) << "iteration " << iterations;
        for (auto it = actual.begin(); it != actual.end(); ++it) {
            // Identifiers never come back: a new one is above every one seen before.
            if (!expected.contains(it.key())) {
                EXPECT_GT(it.key(), highestId);
            }
        }
        for (qint64 id : actual.keys())
            highestId = std::max(highestId, id);
        for (qint64 id : expected.keys())
            highestId = std::max(highestId, id);
        expected = actual;
    }
    EXPECT_GT(totalChanges, 0); // the kills landed while writing, not before
    EXPECT_EQ(codeOf([&] { checkTable(folder(), "CRASH.DAT"); }), 0);
    std::printf("[ info ] %d kills, %d acknowledged changes\n", iterations, totalChanges);

    // Kills during repair leave the same rows.
    for (int i = 0; i < kRepairKills; ++i) {
        runAndKill("storage-crash-repairer", 0, 60);
        EXPECT_EQ(readTable(), expected) << "repair kill " << i;
    }
    EXPECT_EQ(codeOf([&] { checkTable(folder(), "CRASH.DAT"); }), 0);
}

} // namespace
} // namespace orv::storage::test
