// The archive's workload on our engine and on SQLite (one database, the same
// rows, indexes and blobs; each change its own transaction, synchronous=FULL).
// Prints each operation's time on both and the ratio engine/SQLite.
//
//   ORVANTA_BENCH_SCALE=0.2 storage_bench     (1.0 = ten years: 3,000 case files,
//                                             45,000 case documents of 30 KB)
#include "ArchiveGenerator.h"

#include "storage/Database.h"
#include "storage/Query.h"
#include "storage/Repair.h"
#include "storage/Table.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>
#include <memory>
#include <sqlite3.h>
#include <unistd.h>

using namespace orv::storage;
using orv::bench::ArchiveScale;

namespace {

QString g_folder;
ArchiveScale g_scale;
sqlite3* g_db = nullptr;
QByteArray g_writeBackBody;
QString g_writeBackFile;

double rssMb()
{
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// --- The engine side: the data module's four linked table objects. ----------

struct Engine {
    Database db{"DB_KELMA"};
    Table proc, docs, cases, caseDocs;
    Engine()
    {
        db.setFolder(g_folder);
        for (Table* t : {&proc, &docs, &cases, &caseDocs})
            t->setDatabase(&db);
        proc.setTableName("ST_PROCEDURE.DAT");
        docs.setTableName("ST_DOCUMENTI.DAT");
        docs.setIndexName("codice_procedura_idx");
        docs.setMasterSource(&proc, {"CODICE"});
        cases.setTableName("USER_PROCEDURE.DAT");
        cases.setIndexName("id_procedura_idx");
        cases.setMasterSource(&proc, {"CODICE"});
        caseDocs.setTableName("USER_DOCUMENTI.DAT");
        caseDocs.setIndexName("id_procedura_idx");
        caseDocs.setMasterSource(&cases, {"ID_USER_PROCEDURA"});
    }
    void open()
    {
        db.open();
        proc.open();
        docs.open();
        caseDocs.open();
        cases.open();
    }
    void close() { db.close(); }
};
std::unique_ptr<Engine> g_engine;

Engine& engine()
{
    if (!g_engine)
        g_engine = std::make_unique<Engine>();
    if (!g_engine->proc.isOpen())
        g_engine->open();
    return *g_engine;
}

// The edited document differs at each write-back, as a real edit would.
void writeEditedBody(int round)
{
    QByteArray body = g_writeBackBody;
    body[40] = char('a' + round % 26);
    body[body.size() / 2] = char('A' + round % 26);
    QFile f(g_writeBackFile);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(body);
}

void copyBody(Table& from, const char* fromField, Table& to, const char* toField)
{
    QBuffer buf;
    buf.open(QIODevice::ReadWrite);
    from.fieldByName(fromField).saveToDevice(buf);
    buf.seek(0);
    to.fieldByName(toField).loadFromDevice(buf);
}

qint64 engineNewCaseFile(Engine& e)
{
    e.cases.append();
    e.cases.fieldByName("DATA_CREAZIONE").setAsDate(QDate::currentDate());
    e.cases.fieldByName("NOTE").setAsString("Nuova pratica");
    e.cases.post();
    e.docs.first();
    for (int i = 0; i < 10; ++i) {
        if (e.docs.eof())
            e.docs.first();
        e.caseDocs.append();
        e.caseDocs.fieldByName("DATA_MODIFICA").setAsDate(QDate::currentDate());
        copyBody(e.docs, "BODY", e.caseDocs, "USER_DOC");
        e.caseDocs.fieldByName("ID_DOCUMENTO").setAsInteger(e.docs.fieldByName("ID_DOCUMENTO").asInteger());
        e.caseDocs.post();
        e.docs.next();
    }
    return e.cases.fieldByName("ID_USER_PROCEDURA").asInteger();
}

void BM_Engine_OpenFourTables(benchmark::State& state)
{
    if (g_engine)
        g_engine->close();
    Engine e;
    for (auto _ : state) {
        e.open();
        state.PauseTiming();
        e.close();
        state.ResumeTiming();
    }
}

void BM_Engine_WalkProcedures(benchmark::State& state)
{
    Engine& e = engine();
    qint64 seen = 0;
    for (auto _ : state) {
        for (e.proc.first(); !e.proc.eof(); e.proc.next()) {
            for (e.docs.first(); !e.docs.eof(); e.docs.next())
                benchmark::DoNotOptimize(e.docs.fieldByName("TITOLO").asString());
            for (e.cases.first(); !e.cases.eof(); e.cases.next()) {
                for (e.caseDocs.first(); !e.caseDocs.eof(); e.caseDocs.next()) {
                    benchmark::DoNotOptimize(e.caseDocs.fieldByName("NOTE").asString());
                    benchmark::DoNotOptimize(e.caseDocs.fieldByName("ID_DOCUMENTO").asInteger());
                    benchmark::DoNotOptimize(e.caseDocs.fieldByName("USER_DOC").blobSize());
                    ++seen;
                }
            }
        }
    }
    state.counters["rows"] = double(seen) / double(state.iterations());
    state.counters["rss_MB"] = rssMb();
}

// What a list model does on refresh: every row of the current range by
// position, without moving the cursor (the case-file list of one procedure).
void BM_Engine_ListRefreshByRowAt(benchmark::State& state)
{
    Engine& e = engine();
    e.proc.first();
    int rows = 0;
    for (auto _ : state) {
        rows = e.cases.recordCount();
        for (int i = 0; i < rows; ++i) {
            const Row r = e.cases.rowAt(i);
            benchmark::DoNotOptimize(r.asString("DATA_CREAZIONE"));
            benchmark::DoNotOptimize(r.asString("NOTE"));
            benchmark::DoNotOptimize(r.asInteger("ID_USER_PROCEDURA"));
        }
    }
    state.counters["rows"] = rows;
}

void BM_Engine_ReadEveryCaseBody(benchmark::State& state)
{
    Engine& e = engine();
    Table all;
    all.setDatabase(&e.db);
    all.setTableName("USER_DOCUMENTI.DAT");
    all.open();
    auto readAll = [&] {
        qint64 n = 0;
        for (all.first(); !all.eof(); all.next()) {
            QBuffer sink;
            sink.open(QIODevice::WriteOnly);
            all.fieldByName("USER_DOC").saveToDevice(sink);
            n += sink.size();
        }
        return n;
    };
    // Both sides are timed on warm files: which of the two the generator
    // wrote last must not decide what the disk cache still holds.
    readAll();
    const double before = rssMb();
    qint64 bytes = 0;
    for (auto _ : state)
        bytes += readAll();
    state.counters["MB_read"] = double(bytes) / double(state.iterations()) / (1024.0 * 1024.0);
    state.counters["rss_growth_MB"] = rssMb() - before;
}

void BM_Engine_CreateCaseFileWith10Bodies(benchmark::State& state)
{
    Engine& e = engine();
    e.proc.first();
    for (auto _ : state)
        engineNewCaseFile(e);
}

void BM_Engine_WriteBackOneBody(benchmark::State& state)
{
    Engine& e = engine();
    e.proc.first();
    e.cases.first();
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        writeEditedBody(round++);
        state.ResumeTiming();
        e.caseDocs.edit();
        e.caseDocs.fieldByName("USER_DOC").loadFromFile(g_writeBackFile);
        e.caseDocs.fieldByName("DATA_MODIFICA").setAsDate(QDate::currentDate());
        e.caseDocs.post();
    }
}

void BM_Engine_DeleteCaseFileWithSql(benchmark::State& state)
{
    Engine& e = engine();
    e.proc.first();
    Query q(&e.db);
    for (auto _ : state) {
        state.PauseTiming();
        const qint64 id = engineNewCaseFile(e);
        state.ResumeTiming();
        q.close();
        q.clearSql();
        q.addSql("Delete From USER_DOCUMENTI");
        q.addSql(QString("Where ID_USER_PROCEDURA = %1").arg(id));
        q.execSql();
        e.cases.remove();
    }
}

void BM_Engine_RepairCaseDocuments(benchmark::State& state)
{
    if (g_engine)
        g_engine->close();
    for (auto _ : state)
        repairTable(g_folder, "USER_DOCUMENTI.DAT");
}

// --- The SQLite side ---------------------------------------------------------

void exec(const char* sql)
{
    char* err = nullptr;
    if (sqlite3_exec(g_db, sql, nullptr, nullptr, &err) != SQLITE_OK) {
        std::fprintf(stderr, "sqlite: %s\n%s\n", err, sql);
        std::exit(1);
    }
}

struct Stmt {
    sqlite3_stmt* s = nullptr;
    explicit Stmt(const char* sql)
    {
        if (sqlite3_prepare_v2(g_db, sql, -1, &s, nullptr) != SQLITE_OK) {
            std::fprintf(stderr, "sqlite: %s\n%s\n", sqlite3_errmsg(g_db), sql);
            std::exit(1);
        }
    }
    ~Stmt() { sqlite3_finalize(s); }
    Stmt& text(int i, const QString& v)
    {
        const QByteArray u = v.toUtf8();
        sqlite3_bind_text(s, i, u.constData(), int(u.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Stmt& integer(int i, qint64 v)
    {
        sqlite3_bind_int64(s, i, v);
        return *this;
    }
    Stmt& blob(int i, const QByteArray& v)
    {
        sqlite3_bind_blob(s, i, v.constData(), int(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    bool step()
    {
        const int rc = sqlite3_step(s);
        if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
            std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(g_db));
            std::exit(1);
        }
        return rc == SQLITE_ROW;
    }
    void run()
    {
        while (step()) {
        }
        sqlite3_reset(s);
    }
};

const char* kSqliteSchema = R"(
CREATE TABLE ST_PROCEDURE(CODICE TEXT PRIMARY KEY, DESCR TEXT, TIPO_APPALTO TEXT, SOGLIA TEXT);
CREATE TABLE ST_DOCUMENTI(ID_DOCUMENTO INTEGER PRIMARY KEY AUTOINCREMENT, CODICE_PROCEDURA TEXT, CODICE TEXT, TITOLO TEXT, BODY BLOB);
CREATE INDEX codice_procedura_idx ON ST_DOCUMENTI(CODICE_PROCEDURA, CODICE);
CREATE TABLE USER_PROCEDURE(ID_USER_PROCEDURA INTEGER PRIMARY KEY AUTOINCREMENT, ID_PROCEDURA TEXT, DATA_CREAZIONE INTEGER, NOTE TEXT);
CREATE INDEX up_id_procedura_idx ON USER_PROCEDURE(ID_PROCEDURA, ID_USER_PROCEDURA);
CREATE TABLE USER_DOCUMENTI(ID_USER_DOCUMENTO INTEGER PRIMARY KEY AUTOINCREMENT, ID_USER_PROCEDURA INTEGER, USER_DOC BLOB, DATA_MODIFICA INTEGER, NOTE TEXT, ID_DOCUMENTO INTEGER);
CREATE INDEX ud_id_procedura_idx ON USER_DOCUMENTI(ID_USER_PROCEDURA, ID_USER_DOCUMENTO);
)";

QString sqlitePath() { return g_folder + "/archive.sqlite"; }

void sqliteOpen()
{
    if (sqlite3_open(sqlitePath().toUtf8().constData(), &g_db) != SQLITE_OK)
        std::exit(1);
    exec("PRAGMA synchronous=FULL");
}

void generateSqlite()
{
    sqliteOpen();
    exec("PRAGMA synchronous=OFF");
    exec(kSqliteSchema);
    exec("BEGIN");
    {
        Stmt p("INSERT INTO ST_PROCEDURE VALUES(?,?,?,?)");
        Stmt d("INSERT INTO ST_DOCUMENTI VALUES(?,?,?,?,?)");
        Stmt c("INSERT INTO USER_PROCEDURE VALUES(?,?,?,?)");
        Stmt u("INSERT INTO USER_DOCUMENTI VALUES(?,?,?,?,?,?)");
        orv::bench::ArchiveVisitor v;
        v.procedure = [&](const QString& code, const QString& descr, const QString& tipo, const QString& soglia) {
            p.text(1, code).text(2, descr).text(3, tipo).text(4, soglia).run();
        };
        v.document = [&](qint64 id, const QString& proc, const QString& code, const QString& title, const QByteArray& body) {
            d.integer(1, id).text(2, proc).text(3, code).text(4, title).blob(5, body).run();
        };
        v.caseFile = [&](qint64 id, const QString& proc, int day, const QString& note) {
            c.integer(1, id).text(2, proc).integer(3, day).text(4, note).run();
        };
        v.caseDocument = [&](qint64 id, qint64 caseId, const QByteArray& body, int day, const QString& note, qint64 ref) {
            u.integer(1, id).integer(2, caseId).blob(3, body).integer(4, day).text(5, note).integer(6, ref).run();
        };
        orv::bench::visitArchive(g_scale, v);
    }
    exec("COMMIT");
    exec("PRAGMA synchronous=FULL");
}

qint64 sqliteNewCaseFile(const QString& proc)
{
    Stmt ins("INSERT INTO USER_PROCEDURE(ID_PROCEDURA, DATA_CREAZIONE, NOTE) VALUES(?,?,?)");
    ins.text(1, proc).integer(2, QDate::currentDate().toJulianDay()).text(3, "Nuova pratica").run();
    const qint64 caseId = sqlite3_last_insert_rowid(g_db);
    Stmt list("SELECT ID_DOCUMENTO FROM ST_DOCUMENTI WHERE CODICE_PROCEDURA = ? ORDER BY CODICE_PROCEDURA, CODICE");
    list.text(1, proc);
    QList<qint64> ids;
    while (list.step())
        ids << sqlite3_column_int64(list.s, 0);
    Stmt body("SELECT BODY FROM ST_DOCUMENTI WHERE ID_DOCUMENTO = ?");
    Stmt doc("INSERT INTO USER_DOCUMENTI(ID_USER_PROCEDURA, USER_DOC, DATA_MODIFICA, NOTE, ID_DOCUMENTO) VALUES(?,?,?,?,?)");
    for (int i = 0; i < 10; ++i) {
        const qint64 id = ids[i % ids.size()];
        body.integer(1, id);
        body.step();
        const QByteArray b(static_cast<const char*>(sqlite3_column_blob(body.s, 0)), sqlite3_column_bytes(body.s, 0));
        sqlite3_reset(body.s);
        doc.integer(1, caseId).blob(2, b).integer(3, QDate::currentDate().toJulianDay()).text(4, "").integer(5, id).run();
    }
    return caseId;
}

void BM_Sqlite_OpenFourTables(benchmark::State& state)
{
    sqlite3_close(g_db);
    g_db = nullptr;
    for (auto _ : state) {
        sqliteOpen();
        for (const char* t : {"ST_PROCEDURE", "ST_DOCUMENTI", "USER_DOCUMENTI", "USER_PROCEDURE"}) {
            Stmt s(QString("SELECT * FROM %1 LIMIT 1").arg(t).toUtf8().constData());
            s.step();
        }
        state.PauseTiming();
        sqlite3_close(g_db);
        state.ResumeTiming();
    }
    sqliteOpen();
}

void BM_Sqlite_WalkProcedures(benchmark::State& state)
{
    Stmt procs("SELECT CODICE FROM ST_PROCEDURE ORDER BY CODICE");
    Stmt docs("SELECT TITOLO FROM ST_DOCUMENTI WHERE CODICE_PROCEDURA = ? ORDER BY CODICE_PROCEDURA, CODICE");
    Stmt cases("SELECT ID_USER_PROCEDURA FROM USER_PROCEDURE WHERE ID_PROCEDURA = ? ORDER BY ID_PROCEDURA, ID_USER_PROCEDURA");
    Stmt caseDocs("SELECT NOTE, ID_DOCUMENTO, length(USER_DOC) FROM USER_DOCUMENTI WHERE ID_USER_PROCEDURA = ? "
                  "ORDER BY ID_USER_PROCEDURA, ID_USER_DOCUMENTO");
    qint64 seen = 0;
    for (auto _ : state) {
        while (procs.step()) {
            const QByteArray code(reinterpret_cast<const char*>(sqlite3_column_text(procs.s, 0)));
            docs.text(1, QString::fromUtf8(code));
            while (docs.step())
                benchmark::DoNotOptimize(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(docs.s, 0))));
            sqlite3_reset(docs.s);
            cases.text(1, QString::fromUtf8(code));
            while (cases.step()) {
                caseDocs.integer(1, sqlite3_column_int64(cases.s, 0));
                while (caseDocs.step()) {
                    benchmark::DoNotOptimize(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(caseDocs.s, 0))));
                    benchmark::DoNotOptimize(sqlite3_column_int64(caseDocs.s, 1));
                    benchmark::DoNotOptimize(sqlite3_column_int64(caseDocs.s, 2));
                    ++seen;
                }
                sqlite3_reset(caseDocs.s);
            }
            sqlite3_reset(cases.s);
        }
        sqlite3_reset(procs.s);
    }
    state.counters["rows"] = double(seen) / double(state.iterations());
}

void BM_Sqlite_ReadEveryCaseBody(benchmark::State& state)
{
    auto readAll = [] {
        qint64 n = 0;
        Stmt all("SELECT USER_DOC FROM USER_DOCUMENTI");
        while (all.step())
            n += sqlite3_column_bytes(all.s, 0);
        return n;
    };
    readAll(); // warm, as on the engine's side
    const double before = rssMb();
    qint64 bytes = 0;
    for (auto _ : state)
        bytes += readAll();
    state.counters["MB_read"] = double(bytes) / double(state.iterations()) / (1024.0 * 1024.0);
    state.counters["rss_growth_MB"] = rssMb() - before;
}

void BM_Sqlite_CreateCaseFileWith10Bodies(benchmark::State& state)
{
    for (auto _ : state)
        sqliteNewCaseFile("01");
}

void BM_Sqlite_WriteBackOneBody(benchmark::State& state)
{
    Stmt first("SELECT ID_USER_DOCUMENTO FROM USER_DOCUMENTI ORDER BY ID_USER_PROCEDURA, ID_USER_DOCUMENTO LIMIT 1");
    first.step();
    const qint64 id = sqlite3_column_int64(first.s, 0);
    sqlite3_reset(first.s); // an open read would hold every later write in one transaction
    Stmt upd("UPDATE USER_DOCUMENTI SET USER_DOC = ?, DATA_MODIFICA = ? WHERE ID_USER_DOCUMENTO = ?");
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        writeEditedBody(round++);
        state.ResumeTiming();
        QFile f(g_writeBackFile);
        f.open(QIODevice::ReadOnly);
        upd.blob(1, f.readAll()).integer(2, QDate::currentDate().toJulianDay()).integer(3, id).run();
    }
}

void BM_Sqlite_DeleteCaseFileWithSql(benchmark::State& state)
{
    Stmt docs("DELETE FROM USER_DOCUMENTI WHERE ID_USER_PROCEDURA = ?");
    Stmt cases("DELETE FROM USER_PROCEDURE WHERE ID_USER_PROCEDURA = ?");
    for (auto _ : state) {
        state.PauseTiming();
        exec("BEGIN");
        const qint64 id = sqliteNewCaseFile("01");
        exec("COMMIT");
        state.ResumeTiming();
        docs.integer(1, id).run();
        cases.integer(1, id).run();
    }
}

// A rebuild of the one table in place, the nearest SQLite has to a table repair.
void BM_Sqlite_RepairCaseDocuments(benchmark::State& state)
{
    for (auto _ : state) {
        exec("BEGIN;"
             "CREATE TABLE R(ID_USER_DOCUMENTO INTEGER PRIMARY KEY AUTOINCREMENT, ID_USER_PROCEDURA INTEGER, USER_DOC BLOB,"
             " DATA_MODIFICA INTEGER, NOTE TEXT, ID_DOCUMENTO INTEGER);"
             "INSERT INTO R SELECT * FROM USER_DOCUMENTI;"
             "DROP TABLE USER_DOCUMENTI;"
             "ALTER TABLE R RENAME TO USER_DOCUMENTI;"
             "CREATE INDEX ud_id_procedura_idx ON USER_DOCUMENTI(ID_USER_PROCEDURA, ID_USER_DOCUMENTO);"
             "COMMIT;");
    }
}

class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> ms;
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& r : runs) {
            if (r.run_type == Run::RT_Iteration && !r.error_occurred) {
                const std::string name = r.benchmark_name();
                ms[name.substr(0, name.find('/', name.find('/') + 1))] = r.GetAdjustedRealTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    g_scale = ArchiveScale::fromEnvironment();
    QTemporaryDir dir(qEnvironmentVariable("ORVANTA_BENCH_DIR", QDir::tempPath()) + "/orvanta-bench-XXXXXX");
    g_folder = dir.path();
    std::printf("Archive: %d procedures, %d standard documents, %d case files, %d case documents of %d bytes in %s\n",
                g_scale.procedures, g_scale.standardDocuments, g_scale.caseFiles, g_scale.caseDocuments, g_scale.bodyBytes,
                qPrintable(g_folder));
    QElapsedTimer t;
    t.start();
    orv::bench::generateArchive(g_folder, g_scale);
    std::printf("Generated engine tables in %.1f s\n", double(t.restart()) / 1000.0);
    generateSqlite();
    std::printf("Generated SQLite database in %.1f s\n", double(t.restart()) / 1000.0);
    g_writeBackFile = g_folder + "/actdoc.txm";
    g_writeBackBody = orv::bench::documentBody(424242, g_scale.bodyBytes);
    writeEditedBody(0);

    const auto ms = benchmark::kMillisecond;
    const char* ops[] = {"OpenFourTables", "WalkProcedures", "ReadEveryCaseBody", "CreateCaseFileWith10Bodies",
                         "WriteBackOneBody", "DeleteCaseFileWithSql", "RepairCaseDocuments"};
    benchmark::RegisterBenchmark("engine/OpenFourTables", BM_Engine_OpenFourTables)->Unit(ms);
    benchmark::RegisterBenchmark("sqlite/OpenFourTables", BM_Sqlite_OpenFourTables)->Unit(ms);
    benchmark::RegisterBenchmark("engine/WalkProcedures", BM_Engine_WalkProcedures)->Unit(ms);
    benchmark::RegisterBenchmark("sqlite/WalkProcedures", BM_Sqlite_WalkProcedures)->Unit(ms);
    benchmark::RegisterBenchmark("engine/ListRefreshByRowAt", BM_Engine_ListRefreshByRowAt)->Unit(ms);
    benchmark::RegisterBenchmark("engine/ReadEveryCaseBody", BM_Engine_ReadEveryCaseBody)->Unit(ms)->Iterations(2);
    benchmark::RegisterBenchmark("sqlite/ReadEveryCaseBody", BM_Sqlite_ReadEveryCaseBody)->Unit(ms)->Iterations(2);
    benchmark::RegisterBenchmark("engine/CreateCaseFileWith10Bodies", BM_Engine_CreateCaseFileWith10Bodies)->Unit(ms)->Iterations(20);
    benchmark::RegisterBenchmark("sqlite/CreateCaseFileWith10Bodies", BM_Sqlite_CreateCaseFileWith10Bodies)->Unit(ms)->Iterations(20);
    benchmark::RegisterBenchmark("engine/WriteBackOneBody", BM_Engine_WriteBackOneBody)->Unit(ms)->Iterations(50);
    benchmark::RegisterBenchmark("sqlite/WriteBackOneBody", BM_Sqlite_WriteBackOneBody)->Unit(ms)->Iterations(50);
    benchmark::RegisterBenchmark("engine/DeleteCaseFileWithSql", BM_Engine_DeleteCaseFileWithSql)->Unit(ms)->Iterations(20);
    benchmark::RegisterBenchmark("sqlite/DeleteCaseFileWithSql", BM_Sqlite_DeleteCaseFileWithSql)->Unit(ms)->Iterations(20);
    benchmark::RegisterBenchmark("engine/RepairCaseDocuments", BM_Engine_RepairCaseDocuments)->Unit(ms)->Iterations(2);
    benchmark::RegisterBenchmark("sqlite/RepairCaseDocuments", BM_Sqlite_RepairCaseDocuments)->Unit(ms)->Iterations(2);

    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    std::printf("\n%-28s %12s %12s %8s\n", "operation", "engine ms", "sqlite ms", "ratio");
    for (const char* op : ops) {
        const auto e = reporter.ms.find(std::string("engine/") + op);
        const auto s = reporter.ms.find(std::string("sqlite/") + op);
        if (e == reporter.ms.end() || s == reporter.ms.end())
            continue;
        std::printf("%-28s %12.3f %12.3f %8.2f\n", op, e->second, s->second, s->second > 0 ? e->second / s->second : 0.0);
    }
    g_engine.reset();
    sqlite3_close(g_db);
    benchmark::Shutdown();
    return 0;
}
