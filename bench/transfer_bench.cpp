// Throughput of one file transfer next to plain C programs on the same link,
// in one run: the streaming copy (what the link carries), the strict
// stop-and-wait pair (4096-byte chunks, one '{' each), and the program against
// a strict peer in either role.
//
// Loopback: everything on this machine (127.0.0.1 -> 127.0.0.2). Between two
// hosts (bench/transfer_namespaces.sh): this program runs as `--serve ADDRESS`
// on the receiving host, and KOVA_BENCH_PEER / KOVA_BENCH_BIND point the
// sending side at it; the C receivers then listen there on port 6328 (strict)
// and 6329 (streaming). KOVA_BENCH_MB sets the file size, KOVA_BENCH_STRICT_MB
// that of the runs whose sender waits for every chunk's answer.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <map>
#include <memory>

#include "transfer/FileListener.h"

namespace {

using kova::CFileListener;
using kova::CSockThread;
using kova::TransferPrompts;

constexpr int kStrictPort = 6328;
constexpr int kStreamPort = 6329;

// Bytes per second of each run, for the comparison printed at the end.
std::map<std::string, double>& rates() {
    static std::map<std::string, double> r;
    return r;
}

void record(benchmark::State& state, const char* name, qint64 bytes, double seconds) {
    state.SetBytesProcessed(state.iterations() * bytes);
    if (seconds > 0) {
        rates()[name] = double(state.iterations() * bytes) / seconds;
    }
}

bool betweenHosts() {
    return !qEnvironmentVariableIsEmpty("KOVA_BENCH_PEER");
}

QString env(const char* name, const char* fallback) {
    const QString v = qEnvironmentVariable(name);
    return v.isEmpty() ? QString::fromLatin1(fallback) : v;
}

// A receiver that accepts every offer and saves it over the same file.
std::unique_ptr<CFileListener> receiver(const QString& bind, const QString& savePath) {
    auto l = std::make_unique<CFileListener>([](const QString&) { return true; }, nullptr);
    TransferPrompts p;
    p.askSavePath = [savePath](const QString&, TransferPrompts::SavePathDone done) {
        done(savePath);
    };
    p.warn = [](const QString&) {};
    p.refused = [](const QString&) {};
    p.openFile = [](const QString&) { return true; };
    l->setPrompts(p);
    if (l->create(bind) != 0) {
        qFatal("cannot listen on %s:6327", qPrintable(bind));
    }
    return l;
}

QString sourceFile(const QTemporaryDir& dir, qint64 bytes) {
    const QString path = dir.filePath(QStringLiteral("source.bin"));
    if (QFile(path).size() == bytes) {
        return path;
    }
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    QByteArray block(1 << 20, Qt::Uninitialized);
    QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(block.data()),
                                          block.size() / 4);
    for (qint64 left = bytes; left > 0; left -= block.size()) {
        f.write(block.constData(), std::min<qint64>(left, block.size()));
    }
    return path;
}

QTemporaryDir& workDir() {
    static QTemporaryDir dir;
    return dir;
}

// Our sender to port peerPort of the peer: our own receiver (6327) or the
// strict C one.
void kovaSends(benchmark::State& state, const char* name, std::uint16_t peerPort) {
    const qint64 bytes = state.range(0) << 20;
    const QString source = sourceFile(workDir(), bytes);
    const QString peer = env("KOVA_BENCH_PEER", "127.0.0.2");
    const QString bind = env("KOVA_BENCH_BIND", "127.0.0.1");
    std::unique_ptr<CFileListener> local;
    if (!betweenHosts() && peerPort == CFileListener::kPort) {
        local = receiver(peer, workDir().filePath(QStringLiteral("received.bin")));
    }
    CFileListener sender([](const QString&) { return true; }, nullptr);
    TransferPrompts quiet;
    quiet.warn = [](const QString&) {};
    sender.setPrompts(quiet);
    sender.setPeerPort(peerPort);
    if (sender.create(bind) != 0) {
        state.SkipWithError("cannot bind the sending side");
        return;
    }
    // Loopback: the strict C receiver for this run.
    QProcess strict;
    if (!betweenHosts() && peerPort != CFileListener::kPort) {
        strict.start(QStringLiteral(KOVA_BASELINE),
                     {QStringLiteral("serve"), peer, QString::number(peerPort),
                      workDir().filePath(QStringLiteral("strict.bin"))});
        strict.waitForStarted();
        QThread::msleep(200);  // its listen
    }
    // The window thread idles in its event loop as in the program, so the
    // transfer threads have the cores to themselves.
    QEventLoop loop;
    int sent = 0;
    QObject::connect(&sender, &CFileListener::transferEnded, [&] {
        ++sent;
        loop.quit();
    });
    if (local != nullptr) {
        QObject::connect(local.get(), &CFileListener::transferEnded, &loop, &QEventLoop::quit);
    }
    double seconds = 0;
    for (auto _ : state) {
        const int before = sent;
        QElapsedTimer t;
        t.start();
        sender.SendFile(peer, source);
        while (sent == before) {
            loop.exec();
        }
        state.SetIterationTime(double(t.nsecsElapsed()) / 1e9);
        seconds += double(t.nsecsElapsed()) / 1e9;
        // The receiver lingers a second after the last reply; not timed.
        while (local != nullptr && local->transferCount() > 0) {
            loop.exec();
        }
    }
    strict.kill();
    strict.waitForFinished();
    record(state, name, bytes, seconds);
}

void BM_KovaTransfer(benchmark::State& state) {
    kovaSends(state, "BM_KovaTransfer", CFileListener::kPort);
}

void BM_KovaToStrictPeer(benchmark::State& state) {
    kovaSends(state, "BM_KovaToStrictPeer", kStrictPort);
}

// The C sender to port peerPort: the strict one, or with "stream" the copy.
void cSends(benchmark::State& state, const char* name, int peerPort, bool stream) {
    const qint64 bytes = state.range(0) << 20;
    const QString source = sourceFile(workDir(), bytes);
    const QString out = workDir().filePath(QStringLiteral("baseline.bin"));
    // Loopback: our receiver for the C sender; the C receivers fork from it.
    std::unique_ptr<CFileListener> local;
    if (!betweenHosts() && peerPort == CFileListener::kPort) {
        local = receiver(QStringLiteral("127.0.0.2"),
                         workDir().filePath(QStringLiteral("received.bin")));
    }
    double total = 0;
    for (auto _ : state) {
        QProcess p;
        QStringList args;
        if (!betweenHosts() && local == nullptr) {
            args = {QStringLiteral("loop"), QString::number(peerPort), source, out};
        } else {
            args = {QStringLiteral("send"), env("KOVA_BENCH_PEER", "127.0.0.2"),
                    QString::number(peerPort), source, env("KOVA_BENCH_BIND", "127.0.0.1")};
        }
        if (stream) {
            args << QStringLiteral("stream");
        }
        p.start(QStringLiteral(KOVA_BASELINE), args);
        // Our receiver runs on this thread's listener: keep its events going.
        while (!p.waitForFinished(10)) {
            QCoreApplication::processEvents();
        }
        bool ok = false;
        const double seconds = p.readAllStandardOutput().trimmed().toDouble(&ok);
        if (!ok || p.exitCode() != 0) {
            state.SkipWithError("baseline failed");
            return;
        }
        state.SetIterationTime(seconds);
        total += seconds;
        while (local != nullptr && local->transferCount() > 0) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
        }
    }
    record(state, name, bytes, total);
}

void BM_StreamCopy(benchmark::State& state) {
    cSends(state, "BM_StreamCopy", kStreamPort, true);
}

void BM_CBaseline(benchmark::State& state) {
    cSends(state, "BM_CBaseline", kStrictPort, false);
}

void BM_StrictPeerToKova(benchmark::State& state) {
    cSends(state, "BM_StrictPeerToKova", CFileListener::kPort, false);
}

const qint64 kMegabytes = qEnvironmentVariableIntValue("KOVA_BENCH_MB") > 0
                              ? qEnvironmentVariableIntValue("KOVA_BENCH_MB")
                              : 256;

const qint64 kStrictMegabytes = qEnvironmentVariableIntValue("KOVA_BENCH_STRICT_MB") > 0
                                    ? qEnvironmentVariableIntValue("KOVA_BENCH_STRICT_MB")
                                    : kMegabytes;

#define KOVA_TRANSFER_BENCH(fn, mb) \
    BENCHMARK(fn)->Arg(mb)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3)
KOVA_TRANSFER_BENCH(BM_StreamCopy, kMegabytes);
KOVA_TRANSFER_BENCH(BM_KovaTransfer, kMegabytes);
KOVA_TRANSFER_BENCH(BM_KovaToStrictPeer, kMegabytes);
KOVA_TRANSFER_BENCH(BM_StrictPeerToKova, kStrictMegabytes);
KOVA_TRANSFER_BENCH(BM_CBaseline, kStrictMegabytes);

void printComparison() {
    const auto rate = [](const char* name) {
        const auto it = rates().find(name);
        return it == rates().end() ? 0.0 : it->second;
    };
    const double stream = rate("BM_StreamCopy");
    std::printf("\n%-30s %10s %8s\n", "transfer", "MiB/s", "x stream");
    for (const char* name : {"BM_StreamCopy", "BM_KovaTransfer", "BM_KovaToStrictPeer",
                             "BM_StrictPeerToKova", "BM_CBaseline"}) {
        const double r = rate(name);
        if (r == 0) {
            continue;  // not run (filtered out or failed)
        }
        std::printf("%-30s %10.1f %8.2f\n", name, r / (1 << 20), stream > 0 ? r / stream : 0.0);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--serve") == 0) {
        QTemporaryDir dir;
        const auto listener =
            receiver(QString::fromLocal8Bit(argv[2]), dir.filePath(QStringLiteral("received.bin")));
        return app.exec();
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    printComparison();
    return 0;
}
