// How fast the main window's lists follow the user on a ten-year archive:
// selecting a procedure in the tree, and moving through its case files. Each
// step is measured with the work a view does after it (row count and the
// cells of the first screenful of every list that changed). Target: under
// 16 ms per step; see the p99_ms and max_ms counters.
//
// The archive is generated once into $TMPDIR/orvanta-bench-ten-years/ (or
// ORVANTA_BENCH_ARCHIVE) and reused by later runs.

#include "data/ArchiveSchema.h"
#include "data/Tdm.h"
#include "platform/ProgramFolder.h"
#include "storage/Table.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <benchmark/benchmark.h>
#include <algorithm>
#include <chrono>
#include <vector>
#include <cstdio>

namespace {

using namespace orv;

constexpr int kProcedures = 17;
constexpr int kDocumentsPerProcedure = 10;
constexpr int kYears = 10;
constexpr int kCaseFilesPerYear = 250;
constexpr int kScreenRows = 30;

QString archiveFolder()
{
    const QString env = qEnvironmentVariable("ORVANTA_BENCH_ARCHIVE");
    return env.isEmpty() ? QDir::tempPath() + QStringLiteral("/orvanta-bench-ten-years/") : env + QLatin1Char('/');
}

void loadBlob(storage::Field field, const QByteArray& bytes)
{
    QBuffer b;
    b.setData(bytes);
    b.open(QIODevice::ReadOnly);
    field.loadFromDevice(b);
}

struct Writer {
    explicit Writer(const QString& folder, const QString& name)
    {
        table.setFolder(folder);
        table.setTableName(name);
        table.open();
    }
    ~Writer() { table.close(); }
    storage::Table table;
};

// Seventeen procedures of ten documents, and 2,500 case files made over ten
// years, most of them in a few busy procedures, each with a copy of its
// procedure's documents: 25,000 case-file documents.
void generateArchive(const QString& programFolder)
{
    const QString data = programFolder + QStringLiteral("DATI/");
    if (QFile::exists(data + QStringLiteral("complete")))
        return;
    std::fprintf(stderr, "generating the ten-year archive in %s ...\n", qPrintable(data));
    QDir(data).removeRecursively();
    QDir().mkpath(data);
    schema::createArchive(data);

    QList<QList<qint64>> docIds(kProcedures);
    QByteArray body(2048, 'x');
    {
        Writer procs(data, schema::kProcedureTable);
        Writer docs(data, schema::kDocumentiTable);
        for (int p = 1; p <= kProcedures; ++p) {
            const QString code = QStringLiteral("%1").arg(p, 2, 10, QLatin1Char('0'));
            procs.table.append();
            procs.table.fieldByName(QStringLiteral("CODICE")).setAsString(code);
            procs.table.fieldByName(QStringLiteral("DESCR")).setAsString(QStringLiteral("Procedura %1").arg(code));
            procs.table.fieldByName(QStringLiteral("TIPO_APPALTO")).setAsString(QStringLiteral("S"));
            procs.table.fieldByName(QStringLiteral("SOGLIA")).setAsString(QStringLiteral("S"));
            procs.table.post();
            for (int d = 1; d <= kDocumentsPerProcedure; ++d) {
                docs.table.append();
                docs.table.fieldByName(QStringLiteral("CODICE_PROCEDURA")).setAsString(code);
                docs.table.fieldByName(QStringLiteral("CODICE")).setAsInteger(d);
                docs.table.fieldByName(QStringLiteral("TITOLO"))
                    .setAsString(QStringLiteral("Documento %1 della procedura %2").arg(d).arg(code));
                loadBlob(docs.table.fieldByName(QStringLiteral("BODY")), body);
                docs.table.post();
                docIds[p - 1] << docs.table.fieldByName(QStringLiteral("ID_DOCUMENTO")).asInteger();
            }
        }
    }
    QRandomGenerator rng(20041);
    Writer cases(data, schema::kUserProcTable);
    Writer caseDocs(data, schema::kUserDocTable);
    for (int y = 0; y < kYears; ++y) {
        for (int i = 0; i < kCaseFilesPerYear; ++i) {
            // Half the work goes to four busy procedures.
            const int p = rng.bounded(2) ? 1 + 4 + rng.bounded(4) : 1 + rng.bounded(kProcedures);
            const QDate created = QDate(2004 + y, 1, 1).addDays(rng.bounded(365));
            cases.table.append();
            cases.table.fieldByName(QStringLiteral("ID_PROCEDURA")).setAsString(QStringLiteral("%1").arg(p, 2, 10, QLatin1Char('0')));
            cases.table.fieldByName(QStringLiteral("DATA_CREAZIONE")).setAsDate(created);
            cases.table.fieldByName(QStringLiteral("NOTE")).setAsString(QStringLiteral("Pratica %1/%2").arg(i + 1).arg(2004 + y));
            cases.table.post();
            const qint64 id = cases.table.fieldByName(QStringLiteral("ID_USER_PROCEDURA")).asInteger();
            for (qint64 docId : docIds[p - 1]) {
                caseDocs.table.append();
                caseDocs.table.fieldByName(QStringLiteral("ID_USER_PROCEDURA")).setAsInteger(id);
                caseDocs.table.fieldByName(QStringLiteral("ID_DOCUMENTO")).setAsInteger(docId);
                caseDocs.table.fieldByName(QStringLiteral("DATA_MODIFICA")).setAsDate(created);
                loadBlob(caseDocs.table.fieldByName(QStringLiteral("USER_DOC")), body);
                caseDocs.table.post();
            }
        }
    }
    QFile marker(data + QStringLiteral("complete"));
    marker.open(QIODevice::WriteOnly);
}

// What a view does after a change: count the rows and read the cells of the
// first screenful.
void paint(const QAbstractItemModel* model)
{
    const int rows = std::min(model->rowCount(), kScreenRows);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < model->columnCount(); ++c) {
            benchmark::DoNotOptimize(model->index(r, c).data(Qt::DisplayRole));
            benchmark::DoNotOptimize(model->index(r, c).data(Qt::FontRole));
        }
}

struct OpenArchive {
    OpenArchive()
    {
        generateArchive(archiveFolder());
        setProgramFolder(archiveFolder());
        dm.DataModuleCreate();
        for (dm.ttProcedure->first(); !dm.ttProcedure->eof(); dm.ttProcedure->next())
            procedures << dm.ttProcedure->bookmark();
    }
    Tdm dm;
    QList<storage::Bookmark> procedures; // one per tree leaf, as the tree keeps them
};

OpenArchive& archive()
{
    static OpenArchive a;
    return a;
}

// The slowest step and the 99th percentile: a single slow step on a loaded
// machine shows in max_ms, a slow list in p99_ms.
void report(benchmark::State& state, std::vector<double> ms)
{
    if (ms.empty())
        return;
    std::sort(ms.begin(), ms.end());
    state.counters["p99_ms"] = ms[size_t(double(ms.size() - 1) * 0.99)];
    state.counters["max_ms"] = ms.back();
}

using Clock = std::chrono::steady_clock;

void BM_SelectProcedure(benchmark::State& state)
{
    OpenArchive& a = archive();
    int next = 0;
    std::vector<double> ms;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        a.dm.ttProcedure->gotoBookmark(a.procedures[next]);
        paint(a.dm.dsDocumenti);
        paint(a.dm.dsUserProc);
        paint(a.dm.dsUserDoc);
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
        next = (next + 1) % int(a.procedures.size());
    }
    report(state, std::move(ms));
}
BENCHMARK(BM_SelectProcedure)->Unit(benchmark::kMillisecond);

void BM_MoveThroughCaseFiles(benchmark::State& state)
{
    OpenArchive& a = archive();
    // The busiest procedure.
    int busiest = 0;
    int most = -1;
    for (int i = 0; i < a.procedures.size(); ++i) {
        a.dm.ttProcedure->gotoBookmark(a.procedures[i]);
        if (a.dm.ttUserProc->recordCount() > most) {
            most = a.dm.ttUserProc->recordCount();
            busiest = i;
        }
    }
    a.dm.ttProcedure->gotoBookmark(a.procedures[busiest]);
    paint(a.dm.dsUserProc);
    state.counters["case_files"] = most;
    std::vector<double> ms;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        // The user walks down the case-file list; the document list follows.
        const int row = (a.dm.dsUserProc->currentRow() + 1) % a.dm.dsUserProc->rowCount();
        a.dm.dsUserProc->selectionModel()->setCurrentIndex(
            a.dm.dsUserProc->index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        paint(a.dm.dsUserDoc);
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    }
    report(state, std::move(ms));
}
BENCHMARK(BM_MoveThroughCaseFiles)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
