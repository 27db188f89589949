// Recording devices through a sound server of the test's own: listed by their
// descriptions without the sinks' monitors, and the one chosen is the one heard.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include "platform/AlsaDeviceList.h"
#include "platform/AlsaWaveIn.h"
#include "support/TempDir.h"

namespace kova {
namespace {

TEST(PulseDevices, SourcesByDescriptionAndTheChosenOneRecords) {
    if (QStandardPaths::findExecutable("pulseaudio").isEmpty()) {
        GTEST_SKIP() << "no pulseaudio";
    }
    test::TempDir dir;
    QDir().mkpath(dir.path("run"));
    test::TempDir::write(dir.path("default.pa"), R"(load-module module-null-sink sink_name=out
load-module module-sine-source source_name=mic_one rate=8000 source_properties=device.description="USB\ Microphone"
load-module module-native-protocol-unix
)");
    QProcess server;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", dir.path({}));
    env.insert("XDG_RUNTIME_DIR", dir.path("run"));
    server.setProcessEnvironment(env);
    server.start("pulseaudio", {"--daemonize=no", "--system=false", "--exit-idle-time=-1", "-n",
                                "--file=" + dir.path("default.pa")});
    const QString socket = dir.path("run/pulse/native");
    for (int i = 0; i < 100 && !QFile::exists(socket); ++i) {
        QThread::msleep(50);
    }
    if (!QFile::exists(socket)) {
        GTEST_SKIP() << "pulseaudio did not start";
    }
    qputenv("PULSE_SERVER", ("unix:" + socket).toUtf8());

    const auto devices = alsaCaptureDevices();
    ASSERT_EQ(devices.size(), 1u) << "the sink's monitor is no recording device";
    EXPECT_EQ(devices[0].description, "USB Microphone");
    EXPECT_EQ(alsaCapturePcmName(1), R"(pulse:DEVICE="mic_one")");
    EXPECT_EQ(alsaCapturePcmName(2), "");
    EXPECT_TRUE(soundDevicePresent());

    AlsaWaveIn in;
    ASSERT_TRUE(in.open(1, WaveFormat::pcm(8000, 16, 1), 1600, 5));
    WaveInBuffer buffer{std::vector<std::byte>(1600)};
    ASSERT_TRUE(in.addBuffer(&buffer) && in.start());
    ASSERT_EQ(in.waitBuffer(), &buffer);
    const auto* samples = reinterpret_cast<const std::int16_t*>(buffer.data.data());
    EXPECT_GT(*std::max_element(samples, samples + 800), 8000) << "the sine, not silence";
    in.close();

    server.kill();
    server.waitForFinished();
    qunsetenv("PULSE_SERVER");
}

}  // namespace
}  // namespace kova
