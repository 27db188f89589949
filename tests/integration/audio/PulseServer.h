#pragma once
// A private PulseAudio for tests and benchmarks that need real, paced audio:
// its own runtime folder and HOME, null sinks and sources as asked, and an
// ALSA configuration in that HOME whose "default" reaches it. Must start
// before the process first touches ALSA, which reads its configuration once.

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>
#include <QThread>

namespace kova::test {

class PulseServer {
public:
    // The default source is the monitor of "src_sink", a null sink into which a
    // 440 Hz sine plays (unless withSine is false: the caller plays into it
    // through the ALSA PCM "kova_click"); the default sink is the null sink
    // "kova_sink", recorded back through the ALSA PCM "kova_monitor". All
    // 8000 Hz mono. (A monitor is paced by its sink's clock; the sine source
    // module delivers in bursts of seconds.)
    bool start(QString* why, bool withSine = true) {
        const QString exe = QStandardPaths::findExecutable(QStringLiteral("pulseaudio"));
        if (exe.isEmpty()) {
            *why = QStringLiteral("pulseaudio is not installed");
            return false;
        }
        if (!dir_.isValid()) {
            *why = QStringLiteral("no temporary folder");
            return false;
        }
        const QString run = dir_.filePath(QStringLiteral("run"));
        const QString home = dir_.filePath(QStringLiteral("home"));
        QDir().mkpath(run);
        QDir().mkpath(home);
        ::chmod(run.toLocal8Bit().constData(), 0700);
        QStringList script = {
            "load-module module-null-sink sink_name=kova_sink rate=8000 channels=1",
            "load-module module-null-sink sink_name=src_sink rate=8000 channels=1",
        };
        if (withSine) {
            script << "load-module module-sine sink=src_sink frequency=440";
        }
        script << "load-module module-native-protocol-unix"
               << "set-default-sink kova_sink"
               << "set-default-source src_sink.monitor";
        writeFile(dir_.filePath("default.pa"), script.join('\n') + '\n');
        writeFile(home + "/.asoundrc",
                  "pcm.!default { type pulse }\n"
                  "ctl.!default { type pulse }\n"
                  "pcm.kova_monitor { type pulse device \"kova_sink.monitor\" }\n"
                  "pcm.kova_click { type pulse device \"src_sink\" }\n");
        qputenv("XDG_RUNTIME_DIR", run.toLocal8Bit());
        qputenv("HOME", home.toLocal8Bit());
        qputenv("PULSE_SERVER", ("unix:" + run + "/pulse/native").toLocal8Bit());
        QProcess p;
        p.start(exe, {"-D", "--system=false", "--exit-idle-time=-1", "-n",
                      "--file=" + dir_.filePath("default.pa"), "--daemonize=yes",
                      "--log-target=stderr"});
        if (!p.waitForFinished(10000) || p.exitCode() != 0) {
            *why = QStringLiteral("pulseaudio did not start: ") +
                   QString::fromLocal8Bit(p.readAllStandardError()).right(300);
            return false;
        }
        pidFile_ = run + "/pulse/pid";
        for (int i = 0; i < 100 && !QFile::exists(run + "/pulse/native"); ++i) {
            QThread::msleep(50);
        }
        if (!QFile::exists(run + "/pulse/native")) {
            *why = QStringLiteral("pulseaudio has no socket");
            return false;
        }
        return true;
    }

    ~PulseServer() {
        QFile f(pidFile_);
        if (!pidFile_.isEmpty() && f.open(QIODevice::ReadOnly)) {
            const pid_t pid = f.readAll().trimmed().toInt();
            if (pid > 0) {
                ::kill(pid, SIGTERM);
            }
        }
    }

private:
    static void writeFile(const QString& path, const QString& text) {
        QFile f(path);
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            f.write(text.toUtf8());
        }
    }

    QTemporaryDir dir_;
    QString pidFile_;
};

}  // namespace kova::test
