// Backup and restore of a folder of table-like files, against gzip on the
// same bytes. Every run happens in a child process so that its CPU time and
// peak memory are its own (wait4's rusage): the engine's backup at levels
// fastest and max beside "gzip -1" / "gzip -9", its restore beside "gunzip".
// A second data set holding one large file shows that memory does not grow
// with file size.
//
//   bench_backup [--mb N] [benchmark flags]     (default 200 MB, or ORVANTA_BENCH_MB)
#include "maintenance/BackupFile.h"

#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRandomGenerator>
#include <QStringList>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

// ------------------------------------------------------------ data sets

const char* const kWords[] = {
    "procedura", "aperta", "ristretta", "negoziata", "fornitura", "servizi", "comune", "determina",
    "aggiudicazione", "offerta", "economicamente", "vantaggiosa", "prezzo", "ribasso", "bando", "gara",
    "disciplinare", "capitolato", "speciale", "appalto", "importo", "base", "d'asta", "euro", "ditta",
    "concorrente", "requisiti", "partecipazione", "termine", "ricezione", "delle", "offerte", "seduta",
    "pubblica", "commissione", "giudicatrice", "verbale", "responsabile", "del", "procedimento", "che",
    "il", "la", "di", "per", "con", "ai", "sensi", "dell'articolo", "decreto", "legislativo", "n.",
    "economia", "amministrazione", "diretta", "cottimo", "fiduciario", "acquisti", "centralizzati",
    "ufficio", "tecnico", "lavori", "pubblici", "manutenzione", "ordinaria", "straordinaria",
};
constexpr int kWordCount = int(sizeof kWords / sizeof *kWords);

class Writer {
public:
    explicit Writer(const QString& path) : m_file(path) { m_file.open(QIODevice::WriteOnly | QIODevice::Truncate); }
    void put(const QByteArray& b) { m_file.write(b); m_size += b.size(); }
    qint64 size() const { return m_size; }

private:
    QFile m_file;
    qint64 m_size = 0;
};

QByteArray sentence(QRandomGenerator& rng, int words)
{
    QByteArray s;
    for (int i = 0; i < words; ++i) {
        if (i)
            s += ' ';
        s += kWords[rng.bounded(kWordCount)];
        if (rng.bounded(12) == 0)
            s += ' ' + QByteArray::number(rng.bounded(1, 100000));
    }
    return s;
}

// Rows of a table: fixed-width text records, much alike.
void rowFile(const QString& path, qint64 bytes, QRandomGenerator& rng)
{
    Writer w(path);
    for (int id = 1; w.size() < bytes; ++id) {
        QByteArray rec = QByteArray::number(id).rightJustified(8, '0') + QByteArray::number(rng.bounded(1, 18)).rightJustified(2, '0');
        rec += sentence(rng, 6).leftJustified(120, ' ', true);
        rec += QByteArray("%1/%2/20%3").replace("%1", QByteArray::number(rng.bounded(1, 29)).rightJustified(2, '0'))
                   .replace("%2", QByteArray::number(rng.bounded(1, 13)).rightJustified(2, '0'))
                   .replace("%3", QByteArray::number(rng.bounded(0, 10)).rightJustified(2, '0'));
        rec += QByteArray::number(rng.bounded(100, 5000000)).rightJustified(14, ' ');
        rec = rec.leftJustified(254, ' ', true) + "\r\n";
        w.put(rec);
    }
}

// Document bodies: formatted text with now and then a picture's bytes.
void blobFile(const QString& path, qint64 bytes, QRandomGenerator& rng)
{
    Writer w(path);
    while (w.size() < bytes) {
        QByteArray para = "{\\pard\\plain\\f1\\fs20 " + sentence(rng, 20 + rng.bounded(60)) + ".\\par}\r\n";
        w.put(para);
        if (rng.bounded(40) == 0) { // a small picture
            QByteArray pic(2000 + rng.bounded(6000), Qt::Uninitialized);
            for (char& c : pic)
                c = char(rng.generate());
            w.put(pic);
        }
    }
}

// Index pages: sorted keys and record numbers.
void indexFile(const QString& path, qint64 bytes, QRandomGenerator& rng)
{
    Writer w(path);
    quint32 key = 0;
    while (w.size() < bytes) {
        QByteArray page;
        for (int i = 0; i < 256; ++i) {
            key += 1 + rng.bounded(7);
            const quint32 rec = rng.bounded(1u << 20);
            page.append(reinterpret_cast<const char*>(&key), 4).append(reinterpret_cast<const char*>(&rec), 4);
        }
        w.put(page);
    }
}

void makeTableFolder(const QString& folder, qint64 totalBytes)
{
    QDir().mkpath(folder + "/sub");
    QRandomGenerator rng(42);
    qint64 made = 0;
    for (int i = 0; made < totalBytes; ++i) {
        // Sizes from a few KB to tens of MB, as archives of real offices have.
        const qint64 size = qMin<qint64>(totalBytes - made, qint64(4096) << rng.bounded(14));
        const QString base = folder + (i % 5 == 4 ? "/sub/T" : "/T") + QString::number(i);
        switch (i % 3) {
        case 0: rowFile(base + ".DAT", size, rng); break;
        case 1: blobFile(base + ".BLB", size, rng); break;
        default: indexFile(base + ".IDX", size / 4 + 1, rng); break;
        }
        made += QFileInfo(base + (i % 3 == 0 ? ".DAT" : i % 3 == 1 ? ".BLB" : ".IDX")).size();
    }
}

QStringList filesOf(const QString& folder)
{
    QStringList out;
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        out << it.next();
    out.sort();
    return out;
}

qint64 sizeOf(const QStringList& files)
{
    qint64 n = 0;
    for (const QString& f : files)
        n += QFileInfo(f).size();
    return n;
}

// ------------------------------------------------------------ child runs

struct Usage {
    double cpu = 0;   // user + system seconds
    long maxRssKb = 0;
    int status = -1;
};

Usage runChild(const std::vector<std::string>& argv, const std::string& stdoutPath = {})
{
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        if (!stdoutPath.empty()) {
            const int fd = ::open(stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(fd, 1);
        }
        execvp(args[0], args.data());
        _exit(127);
    }
    Usage u;
    rusage ru{};
    wait4(pid, &u.status, 0, &ru);
    u.cpu = double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) + double(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
    u.maxRssKb = ru.ru_maxrss;
    return u;
}

std::string g_self;
QTemporaryDir* g_work;
QString g_mixed, g_large;
std::map<std::string, Usage> g_results;
std::map<std::string, qint64> g_sizes;

void record(benchmark::State& state, const std::string& name, const Usage& u, qint64 inputBytes, qint64 outputBytes)
{
    state.SetIterationTime(u.cpu);
    state.counters["cpu_s"] = u.cpu;
    state.counters["max_rss_MB"] = double(u.maxRssKb) / 1024.0;
    state.counters["MB_per_cpu_s"] = double(inputBytes) / 1e6 / qMax(u.cpu, 1e-6);
    if (outputBytes > 0)
        state.counters["out_MB"] = double(outputBytes) / 1e6;
    if (u.status != 0)
        state.SkipWithError("child failed");
    g_results[name] = u;
}

QString archiveOf(const QString& set, const char* level) { return g_work->filePath(set + "-" + level + ".001"); }

void BM_Backup(benchmark::State& state, QString set, const char* level)
{
    const QString folder = set == "mixed" ? g_mixed : g_large;
    for (auto _ : state) {
        const Usage u = runChild({g_self, "--child-backup", folder.toStdString(), archiveOf(set, level).toStdString(), level});
        record(state, "backup-" + set.toStdString() + "-" + level, u, sizeOf(filesOf(folder)), QFileInfo(archiveOf(set, level)).size());
    }
}

void BM_Restore(benchmark::State& state, QString set, const char* level)
{
    const QString target = g_work->filePath("restored");
    for (auto _ : state) {
        QDir(target).removeRecursively();
        const Usage u = runChild({g_self, "--child-restore", archiveOf(set, level).toStdString(), target.toStdString()});
        record(state, "restore-" + set.toStdString() + "-" + level, u, sizeOf(filesOf(target)), 0);
    }
}

void BM_Gzip(benchmark::State& state, const char* flag)
{
    const QStringList files = filesOf(g_mixed);
    const std::string out = g_work->filePath(QString("mixed%1.gz").arg(flag)).toStdString();
    for (auto _ : state) {
        std::vector<std::string> argv = {"gzip", flag, "-c"};
        for (const QString& f : files)
            argv.push_back(f.toStdString());
        const Usage u = runChild(argv, out);
        record(state, std::string("gzip") + flag, u, sizeOf(files), QFileInfo(QString::fromStdString(out)).size());
    }
}

void BM_Gunzip(benchmark::State& state, const char* flag)
{
    const std::string in = g_work->filePath(QString("mixed%1.gz").arg(flag)).toStdString();
    const std::string out = g_work->filePath("gunzipped.bin").toStdString();
    for (auto _ : state) {
        const Usage u = runChild({"gunzip", "-c", in}, out);
        record(state, std::string("gunzip") + flag, u, QFileInfo(QString::fromStdString(out)).size(), 0);
    }
}

int childBackup(const char* folder, const char* archive, const char* level)
{
    orv::TBackupFile engine;
    engine.setCompressionLevel(std::strcmp(level, "max") == 0 ? orv::clMax : orv::clFastest);
    engine.OnError = [](orv::TBackupFile&, qint32 code, const QString& text) {
        std::fprintf(stderr, "error %d: %s\n", code, qPrintable(text));
    };
    return engine.Backup({QString::fromLocal8Bit(folder) + "/*.* /s"}, QString::fromLocal8Bit(archive)) ? 0 : 1;
}

int childRestore(const char* archive, const char* folder)
{
    orv::TBackupFile engine;
    engine.setRestoreFullPath(false);
    engine.OnError = [](orv::TBackupFile&, qint32 code, const QString& text) {
        std::fprintf(stderr, "error %d: %s\n", code, qPrintable(text));
    };
    return engine.Restore(QString::fromLocal8Bit(archive), QString::fromLocal8Bit(folder)) ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 5 && std::strcmp(argv[1], "--child-backup") == 0)
        return childBackup(argv[2], argv[3], argv[4]);
    if (argc == 4 && std::strcmp(argv[1], "--child-restore") == 0)
        return childRestore(argv[2], argv[3]);

    qint64 mb = qEnvironmentVariableIntValue("ORVANTA_BENCH_MB");
    std::vector<char*> rest = {argv[0]};
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--mb") == 0 && i + 1 < argc)
            mb = std::atoll(argv[++i]);
        else
            rest.push_back(argv[i]);
    }
    if (mb <= 0)
        mb = 200;
    char exe[4096];
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    g_self = n > 0 ? std::string(exe, size_t(n)) : std::string(argv[0]);

    QTemporaryDir work;
    g_work = &work;
    g_mixed = work.filePath("mixed");
    g_large = work.filePath("large");
    std::fprintf(stderr, "generating %lld MB of table files, and one file of %lld MB...\n", mb, mb / 2);
    makeTableFolder(g_mixed, mb << 20);
    QDir().mkpath(g_large);
    QRandomGenerator rng(7);
    blobFile(g_large + "/BIG.BLB", (mb / 2) << 20, rng);

    for (const char* level : {"fastest", "max"}) {
        benchmark::RegisterBenchmark((std::string("backup/mixed/") + level).c_str(), BM_Backup, QString("mixed"), level)
            ->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string("gzip/") + (level[0] == 'f' ? "-1" : "-9")).c_str(), BM_Gzip,
                                     level[0] == 'f' ? "-1" : "-9")
            ->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string("restore/mixed/") + level).c_str(), BM_Restore, QString("mixed"), level)
            ->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string("gunzip/") + (level[0] == 'f' ? "-1" : "-9")).c_str(), BM_Gunzip,
                                     level[0] == 'f' ? "-1" : "-9")
            ->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark("backup/one-large-file/fastest", BM_Backup, QString("large"), "fastest")
        ->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("restore/one-large-file/fastest", BM_Restore, QString("large"), "fastest")
        ->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

    int bargc = int(rest.size());
    benchmark::Initialize(&bargc, rest.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    auto ratio = [](const char* ours, const char* theirs) {
        if (!g_results.count(ours) || !g_results.count(theirs))
            return;
        const Usage& a = g_results[ours];
        const Usage& b = g_results[theirs];
        std::printf("%-32s cpu %7.2f s  vs %-10s %7.2f s  ratio %.2f (target <= 1.10)  max RSS %ld KB\n", ours, a.cpu,
                    theirs, b.cpu, a.cpu / qMax(b.cpu, 1e-6), a.maxRssKb);
    };
    std::printf("\nSummary, %lld MB of table files:\n", mb);
    ratio("backup-mixed-fastest", "gzip-1");
    ratio("backup-mixed-max", "gzip-9");
    ratio("restore-mixed-fastest", "gunzip-1");
    ratio("restore-mixed-max", "gunzip-9");
    for (const char* k : {"backup-large-fastest", "restore-large-fastest"})
        if (g_results.count(k))
            std::printf("%-32s cpu %7.2f s  max RSS %ld KB (one %lld MB file)\n", k, g_results[k].cpu,
                        g_results[k].maxRssKb, mb / 2);
    return 0;
}
