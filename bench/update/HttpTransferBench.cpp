// Download throughput of THttpTransfer against the curl command, both
// fetching the same 100 MB body from a server on 127.0.0.1, and the growth
// of the resident memory while a body goes to a file (it should stay flat)
// or to memory (it grows by the body).
//
//   update_bench [--benchmark_filter=...]
// Compare the bytes_per_second columns; rss_growth_MB is the largest
// resident-set growth seen during one download.
#include "LoopbackHttpServer.h"
#include "update/HttpTransfer.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <cstdio>

using namespace orv;
using orv::test::HttpConnection;
using orv::test::HttpRequest;
using orv::test::LoopbackHttpServer;

namespace {

constexpr qint64 kBodySize = 100LL * 1024 * 1024;
constexpr int kChunk = 1024 * 1024;

LoopbackHttpServer& server()
{
    static LoopbackHttpServer s([](const HttpRequest&, HttpConnection& c) {
        static const QByteArray chunk = [] {
            QByteArray b(kChunk, '\0');
            for (int i = 0; i < kChunk; ++i)
                b[i] = char(i * 7 + i / 251);
            return b;
        }();
        if (!c.send("HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: "
                    + QByteArray::number(kBodySize) + "\r\nConnection: close\r\n\r\n"))
            return;
        for (qint64 sent = 0; sent < kBodySize; sent += kChunk) {
            if (!c.send(chunk))
                return;
        }
    });
    return s;
}

qint64 residentBytes()
{
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = f.readAll().split(' ');
    return fields.value(1).toLongLong() * 4096;
}

enum class Destination { File, Memory };

void downloadWithTransfer(benchmark::State& state, Destination destination, bool progress)
{
    QTemporaryDir dir;
    qint64 worstGrowth = 0;
    bool failed = false;
    for (auto _ : state) {
        THttpTransfer t;
        t.URL = server().url(QStringLiteral("/release.bin"));
        t.Proxy.AccessType = atDirect;
        if (destination == Destination::File)
            t.FileName = dir.filePath(QStringLiteral("release.bin.uTMP"));
        qint64 received = 0;
        if (progress)
            t.OnTransferProgress = [&](THttpTransfer&, const QString&, qint64, qint64 bytes, int, int, quint8,
                                       float, QIODevice*) { received = bytes; };
        QEventLoop loop;
        t.OnDone = [&](THttpTransfer&, const QString&, QIODevice*, qint64 bytes) {
            received = bytes;
            loop.quit();
        };
        t.OnTransferFailed = [&](THttpTransfer&) {
            failed = true;
            loop.quit();
        };
        const qint64 before = residentBytes();
        QTimer sampler;
        QObject::connect(&sampler, &QTimer::timeout, [&] { worstGrowth = qMax(worstGrowth, residentBytes() - before); });
        sampler.start(5);
        t.StartTransfer();
        loop.exec();
        sampler.stop();
        worstGrowth = qMax(worstGrowth, residentBytes() - before);
        if (failed || received != kBodySize) {
            state.SkipWithError("download failed");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * kBodySize);
    state.counters["rss_growth_MB"] = double(worstGrowth) / (1024.0 * 1024.0);
}

void BM_TransferToFile(benchmark::State& state) { downloadWithTransfer(state, Destination::File, false); }
void BM_TransferToFileWithProgress(benchmark::State& state) { downloadWithTransfer(state, Destination::File, true); }
void BM_TransferToMemory(benchmark::State& state) { downloadWithTransfer(state, Destination::Memory, false); }

void BM_CurlCommandToFile(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("release.bin.curl"));
    for (auto _ : state) {
        QProcess curl;
        curl.start(QStringLiteral("curl"), {QStringLiteral("-s"), QStringLiteral("--noproxy"), QStringLiteral("*"),
                                            QStringLiteral("-o"), out, server().url(QStringLiteral("/release.bin"))});
        if (!curl.waitForFinished(600000) || curl.exitCode() != 0 || QFile(out).size() != kBodySize) {
            state.SkipWithError("curl failed (is the curl command installed?)");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * kBodySize);
}

} // namespace

BENCHMARK(BM_CurlCommandToFile)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(8);
BENCHMARK(BM_TransferToFile)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(8);
BENCHMARK(BM_TransferToFileWithProgress)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(8);
BENCHMARK(BM_TransferToMemory)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(8);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
