#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include "AudioFakes.h"
#include "audio/PropertiesDlg.h"
#include "config/OwnSettings.h"
#include "platform/VideoCodecDriver.h"
#include "support/TempDir.h"
#include "video/DeviceList.h"

namespace kova {
namespace {

using namespace kova::test;
using test::TempDir;

class ListedCodecs : public IVideoCodecProvider {
public:
    std::unique_ptr<IVideoCodecDriver> locate(std::uint32_t, const BitmapInfoHeader&,
                                              VideoCodecMode) override {
        return nullptr;
    }
    std::vector<VideoCodecInfo> encoders() override { return list; }
    std::vector<VideoCodecInfo> list;
};

VideoCodecInfo codec(const char* fourCC, const char* description) {
    VideoCodecInfo info;
    info.fourCC = std::uint32_t(fourCC[0]) | std::uint32_t(fourCC[1]) << 8 |
                  std::uint32_t(fourCC[2]) << 16 | std::uint32_t(fourCC[3]) << 24;
    info.description = description;
    return info;
}

TEST(PropertiesDlg, BufferLengthComesFromTheSelectedEntryAndIsAtLeast50) {
    CPropertiesDlg dlg(false);
    dlg.setAudioBufferLength(75);
    dlg.initialise();
    EXPECT_EQ(dlg.bufferLengths()->currentText(), "50") << "not among the entries";
    dlg.accept();
    EXPECT_EQ(dlg.audioBufferLength(), 50);

    CPropertiesDlg small(false);
    small.setAudioBufferLength(100);
    small.initialise();
    EXPECT_EQ(small.bufferLengths()->currentText(), "100");
    small.bufferLengths()->addItem("20");
    small.bufferLengths()->setCurrentIndex(3);
    small.accept();
    EXPECT_EQ(small.audioBufferLength(), 50);
}

TEST(PropertiesDlg, AudioPropertiesAppliesTheDeviceAtOnceAndCancelDropsTheCodec) {
    FakeWaveIn device;
    RecordingCodecs codecs;
    FakeBalloons balloons;
    FakePrompt prompt;
    FakeChooser chooser;
    CAudioCapture capture(device, codecs, balloons, prompt, chooser);
    capture.setDestinationFormat(WaveFormat::defaultDestination().toArea());
    const auto before = capture.destinationFormat();
    chooser.pick = codecs.formatsFrom(capture.sourceFormat())[3];  // IMA ADPCM

    capture.setDeviceIndex(1);
    CPropertiesDlg dlg(false);
    dlg.setAudioCapture(&capture);
    dlg.setSoundCheck([] { return true; });
    dlg.initialise();
    EXPECT_EQ(dlg.audioSources()->count(), 3);
    EXPECT_EQ(dlg.audioSources()->currentRow(), 1) << "the list stands on the chosen device";
    dlg.audioSources()->setCurrentRow(2);
    dlg.button(CPropertiesDlg::IDC_AUDIO_PROPERTIES)->click();
    EXPECT_EQ(chooser.titles.size(), 1);
    EXPECT_EQ(capture.deviceIndex(), 2);
    dlg.reject();
    EXPECT_EQ(capture.deviceIndex(), 2) << "the device stays chosen";

    // No sound device at all: words instead of a list, the codec still chosen.
    CPropertiesDlg bare(false);
    bare.setAudioCapture(&capture);
    bare.setSoundCheck([] { return false; });
    bare.initialise();
    EXPECT_TRUE(bare.audioSources()->isHidden());
    EXPECT_FALSE(bare.noSoundDevice()->isHidden());
    EXPECT_EQ(bare.noSoundDevice()->text(), CPropertiesDlg::kNoSoundDevice);
    bare.button(CPropertiesDlg::IDC_AUDIO_PROPERTIES)->click();
    EXPECT_EQ(capture.deviceIndex(), 0);
    EXPECT_EQ(chooser.titles.size(), 2);
    EXPECT_EQ(capture.destinationFormat(), before) << "the codec does not";

    CPropertiesDlg ok(false);
    ok.setAudioCapture(&capture);
    ok.initialise();
    ok.button(CPropertiesDlg::IDC_AUDIO_PROPERTIES)->click();
    ok.accept();
    EXPECT_EQ(WaveFormat::decode(capture.destinationFormat())->formatTag, WaveFormat::kTagImaAdpcm);
}

TEST(PropertiesDlg, CodecSelectionPrefersTheNameElseTheLastWithTheHandler) {
    ListedCodecs codecs;
    codecs.list = {codec("MJPG", "Motion JPEG"), codec("XVID", "Xvid one"),
                   codec("XVID", "Xvid two"), codec("H264", "H.264")};
    auto selected = [&](const QString& name, const char* handler) {
        CPropertiesDlg dlg(false);
        dlg.setVideoCodecs(&codecs, nullptr);
        dlg.setVideoCodecName(name);
        dlg.setVideoCodecHandler(codec(handler, "").fourCC);
        dlg.initialise();
        return dlg.videoCodecs()->currentText();
    };
    EXPECT_EQ(selected("nothing listed", "XVID"), "Xvid two");
    EXPECT_EQ(selected("Xvid one", "XVID"), "Xvid one");
    EXPECT_EQ(selected("H.264", "MJPG"), "H.264");
    EXPECT_EQ(selected("", "IV50"), "Motion JPEG") << "nothing matches: the first";
}

TEST(PropertiesDlg, OkReadsBackTheSelectedSourceAndCodecAndHidesCancelAtStartUp) {
    CDeviceList devices;
    devices.Enumerate(std::vector<CaptureDeviceEntry>{{"Cam A", {}}});
    ListedCodecs codecs;
    codecs.list = {codec("MJPG", "Motion JPEG"), codec("XVID", "Xvid")};
    CPropertiesDlg dlg(true);
    dlg.setVideoDevices(&devices, nullptr);
    dlg.setVideoCodecs(&codecs, nullptr);
    dlg.setVideoDeviceName("gone");
    dlg.setVideoCodecHandler(codec("IV50", "").fourCC);
    dlg.initialise();
    EXPECT_TRUE(dlg.button(2)->isHidden());
    EXPECT_EQ(dlg.videoDeviceName(), "Cam A") << "the first source when none matched";
    EXPECT_EQ(dlg.videoCodecHandler(), codec("MJPG", "").fourCC);
    dlg.videoSources()->setCurrentRow(1);
    dlg.videoCodecs()->setCurrentIndex(1);
    dlg.accept();
    EXPECT_EQ(dlg.videoDeviceName(), devices.Name(1));
    EXPECT_EQ(dlg.videoCodecName(), "Xvid");
    EXPECT_EQ(dlg.videoCodecHandler(), codec("XVID", "").fourCC);
}

TEST(PropertiesDlg, ProcessingBoxesShowKovaIniAndOkStoresAndAppliesThem) {
    TempDir dir;
    const QString ini = dir.path("kova.ini");
    FakeWaveIn device;
    RecordingCodecs codecs;
    FakeBalloons balloons;
    FakePrompt prompt;
    FakeChooser chooser;
    CAudioCapture capture(device, codecs, balloons, prompt, chooser);
    {
        // A fresh installation: all three on.
        CPropertiesDlg dlg(false);
        dlg.setOwnSettingsFile(ini);
        dlg.initialise();
        EXPECT_TRUE(dlg.echoCancellation()->isChecked());
        EXPECT_TRUE(dlg.noiseSuppression()->isChecked());
        EXPECT_TRUE(dlg.gainControl()->isChecked());
        EXPECT_EQ(dlg.gainControl()->text(), "Automatic gain");
    }
    OwnSettings(ini).set(switches::kNoiseSuppression, false);
    CPropertiesDlg dlg(false);
    dlg.setOwnSettingsFile(ini);
    dlg.setAudioCapture(&capture);
    dlg.initialise();
    EXPECT_FALSE(dlg.noiseSuppression()->isChecked());
    dlg.echoCancellation()->setChecked(false);
    dlg.accept();
    const AudioProcessingSwitches expected{false, false, true};
    EXPECT_EQ(capture.processing(), expected);
    const OwnSettings stored(ini);
    EXPECT_FALSE(stored.get(switches::kEchoCancellation));
    EXPECT_FALSE(stored.get(switches::kNoiseSuppression));
    EXPECT_TRUE(stored.get(switches::kGainControl));
}

}  // namespace
}  // namespace kova
