// Throughput of one file transfer (stop-and-wait, 4096-byte chunks, one-byte
// replies) next to the plain C program speaking the same pattern, in one run.
//
// Loopback: both peers in this process (127.0.0.1 -> 127.0.0.2). Between two
// hosts (bench/transfer_namespaces.sh): this program runs as `--serve ADDRESS`
// on the receiving host, and KOVA_BENCH_PEER / KOVA_BENCH_BIND point the
// sending side at it; the baseline's receiver then listens on port 6328 there.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <memory>

#include "transfer/FileListener.h"

namespace {

using kova::CFileListener;
using kova::CSockThread;
using kova::TransferPrompts;

constexpr int kBaselinePort = 6328;

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

void BM_KovaTransfer(benchmark::State& state) {
    const qint64 bytes = state.range(0) << 20;
    const QString source = sourceFile(workDir(), bytes);
    const QString peer = env("KOVA_BENCH_PEER", "127.0.0.2");
    const QString bind = env("KOVA_BENCH_BIND", "127.0.0.1");
    std::unique_ptr<CFileListener> local;
    if (qEnvironmentVariableIsEmpty("KOVA_BENCH_PEER")) {
        local = receiver(peer, workDir().filePath(QStringLiteral("received.bin")));
    }
    CFileListener sender([](const QString&) { return true; }, nullptr);
    TransferPrompts quiet;
    quiet.warn = [](const QString&) {};
    sender.setPrompts(quiet);
    if (sender.create(bind) != 0) {
        state.SkipWithError("cannot bind the sending side");
        return;
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
    for (auto _ : state) {
        const int before = sent;
        QElapsedTimer t;
        t.start();
        sender.SendFile(peer, source);
        while (sent == before) {
            loop.exec();
        }
        state.SetIterationTime(double(t.nsecsElapsed()) / 1e9);
        // The receiver lingers a second after the last reply; not timed.
        while (local != nullptr && local->transferCount() > 0) {
            loop.exec();
        }
    }
    state.SetBytesProcessed(state.iterations() * bytes);
}

void BM_CBaseline(benchmark::State& state) {
    const qint64 bytes = state.range(0) << 20;
    const QString source = sourceFile(workDir(), bytes);
    const QString out = workDir().filePath(QStringLiteral("baseline.bin"));
    for (auto _ : state) {
        QProcess p;
        if (qEnvironmentVariableIsEmpty("KOVA_BENCH_PEER")) {
            p.start(QStringLiteral(KOVA_BASELINE),
                    {QStringLiteral("loop"), QString::number(kBaselinePort), source, out});
        } else {
            p.start(QStringLiteral(KOVA_BASELINE),
                    {QStringLiteral("send"), env("KOVA_BENCH_PEER", ""),
                     QString::number(kBaselinePort), source, env("KOVA_BENCH_BIND", "0.0.0.0")});
        }
        p.waitForFinished(-1);
        bool ok = false;
        const double seconds = p.readAllStandardOutput().trimmed().toDouble(&ok);
        if (!ok || p.exitCode() != 0) {
            state.SkipWithError("baseline failed");
            return;
        }
        state.SetIterationTime(seconds);
    }
    state.SetBytesProcessed(state.iterations() * bytes);
}

const qint64 kMegabytes = qEnvironmentVariableIntValue("KOVA_BENCH_MB") > 0
                              ? qEnvironmentVariableIntValue("KOVA_BENCH_MB")
                              : 256;

BENCHMARK(BM_KovaTransfer)
    ->Arg(kMegabytes)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(BM_CBaseline)
    ->Arg(kMegabytes)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

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
    return 0;
}
