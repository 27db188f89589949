#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

#include "PulseServer.h"
#include "audio/VolumeSlider.h"

namespace kova {
namespace {

using test::PulseServer;

// The "Master" volume amixer reports, in mixer units; -1 when unreadable.
long amixerMaster() {
    QProcess p;
    p.start(QStringLiteral("amixer"), {"-D", "default", "sget", "Master"});
    if (!p.waitForFinished(5000)) {
        return -1;
    }
    const auto m = QRegularExpression(QStringLiteral("Playback (\\d+) \\["))
                       .match(QString::fromLocal8Bit(p.readAllStandardOutput()));
    return m.hasMatch() ? m.captured(1).toLong() : -1;
}

bool amixerSet(const QString& value) {
    QProcess p;
    p.start(QStringLiteral("amixer"), {"-q", "-D", "default", "sset", "Master", value});
    return p.waitForFinished(5000) && p.exitCode() == 0;
}

TEST(MixerVolume, SpeakerSliderAndAmixerMoveTogether) {
    if (QStandardPaths::findExecutable(QStringLiteral("amixer")).isEmpty()) {
        GTEST_SKIP() << "SKIPPED: amixer is not installed";
    }
    PulseServer pulse;
    QString why;
    if (!pulse.start(&why)) {
        GTEST_SKIP() << "SKIPPED: " << why.toStdString();
    }
    ASSERT_TRUE(amixerSet(QStringLiteral("20%")));
    const long before = amixerMaster();
    ASSERT_GE(before, 0) << "amixer sees no Master control";

    CVolumeSlider slider;
    ASSERT_TRUE(slider.SetBitmaps(181, 183, 184, 185, Qt::black));
    slider.Bind(false);
    ASSERT_TRUE(slider.mixerVolume().valid()) << "no speaker control on the PulseAudio mixer";
    EXPECT_EQ(slider.position(), before);

    // A click near the top of the track: the slider sets the system volume.
    QTest::mouseClick(&slider, Qt::LeftButton, Qt::NoModifier, QPoint(slider.width() / 2, 30));
    ASSERT_GT(slider.position(), before);
    EXPECT_EQ(amixerMaster(), slider.position());

    // Another program turns it down: the thumb follows.
    ASSERT_TRUE(amixerSet(QStringLiteral("10%")));
    const long after = amixerMaster();
    QElapsedTimer waited;
    waited.start();
    while (slider.position() != after && waited.elapsed() < 5000) {
        QTest::qWait(20);
    }
    EXPECT_EQ(slider.position(), after);

    // Handled notifications are consumed: an idle mixer does not keep waking us.
    int wakeUps = 0;
    QObject::connect(&slider.mixerVolume(), &CMixerVolume::controlChanged, [&] { ++wakeUps; });
    QTest::qWait(300);
    EXPECT_LT(wakeUps, 5);
}

}  // namespace
}  // namespace kova
