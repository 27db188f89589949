#pragma once
// "Devices Properties": the video source, the video codec, the recording
// device, the audio codec and the audio buffer length. The opener hands in
// the current values and reads them back after OK; the recording device is
// applied at once by the audio "Properties" button, even if later cancelled.
// The audio processing switches are read from and, on OK, stored in kova.ini
// and handed to the capture, which applies them from its next buffer.

#include <QDialog>
#include <QString>
#include <cstdint>
#include <functional>

#include "audio/AudioCapture.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace kova {

class CCaptureGraph;
class CDeviceList;
class IBalloonReporter;
class IVideoCodecProvider;

class CPropertiesDlg : public QDialog {
    Q_OBJECT
public:
    enum Control {
        IDD = 131,
        IDC_VIDEO_SOURCES = 1008,
        IDC_CAMERA_SETUP = 1011,
        IDC_INPUT_SETUP = 1002,
        IDC_CROSSBAR = 1004,
        IDC_VIDEO_CODECS = 1029,
        IDC_VIDEO_PROPERTIES = 1012,
        IDC_AUDIO_SOURCES = 1010,
        IDC_AUDIO_PROPERTIES = 1014,
        IDC_BUFFER_LENGTH = 1086,
    };
    static constexpr int kDefaultBufferMs = 200;
    static constexpr int kMinBufferMs = 50;
    static inline const QString kNoStreamFormat = QStringLiteral("Not found stream format dialog");
    static inline const QString kNoSoundDevice =
        QStringLiteral("No sound device found: calls go without sound.");

    // Shows a device's own settings; false when it has none.
    using CameraSetup = std::function<bool(int device, QWidget* parent)>;

    CPropertiesDlg(bool hideCancel, QWidget* parent = nullptr);

    void setVideoDevices(const CDeviceList* devices, const CCaptureGraph* graph);
    void setVideoCodecs(IVideoCodecProvider* codecs, IBalloonReporter* balloons);
    void setCameraSetup(CameraSetup setup) { cameraSetup_ = std::move(setup); }
    // Whether the machine has any sound device; by default the system is asked.
    void setSoundCheck(std::function<bool()> check) { soundCheck_ = std::move(check); }
    void setVideoDeviceName(const QString& name) { videoDeviceName_ = name; }
    void setVideoCodecName(const QString& name) { videoCodecName_ = name; }
    void setVideoCodecHandler(std::uint32_t fourCC) { videoCodecHandler_ = fourCC; }
    void setCodecFolder(const QString& folder) { codecFolder_ = folder; }
    void setAudioCapture(CAudioCapture* capture) { capture_ = capture; }
    void setAudioBufferLength(int ms) { audioBufferLength_ = ms; }
    // kova.ini of the program folder; none: the switches are not stored.
    void setOwnSettingsFile(const QString& path) { ownSettingsFile_ = path; }

    QString videoDeviceName() const { return videoDeviceName_; }
    QString videoCodecName() const { return videoCodecName_; }
    std::uint32_t videoCodecHandler() const { return videoCodecHandler_; }
    int audioBufferLength() const { return audioBufferLength_; }

    // Fills the controls from the values set; run by exec, public for tests.
    void initialise();
    QListWidget* videoSources() const { return videoSources_; }
    QComboBox* videoCodecs() const { return videoCodecList_; }
    QListWidget* audioSources() const { return audioSources_; }
    QComboBox* bufferLengths() const { return bufferLengths_; }
    QLabel* noSoundDevice() const { return noSoundDevice_; }
    QCheckBox* echoCancellation() const { return echoBox_; }
    QCheckBox* noiseSuppression() const { return noiseBox_; }
    QCheckBox* gainControl() const { return gainBox_; }
    QPushButton* button(int id) const;

    int exec() override;
    void accept() override;

private:
    void onVideoSourceChanged();
    void onVideoCodecChanged();
    void onCameraSetup();
    void onInputSetup();
    void onVideoProperties();
    void onAudioProperties();

    const CDeviceList* devices_ = nullptr;
    const CCaptureGraph* graph_ = nullptr;
    IVideoCodecProvider* codecs_ = nullptr;
    IBalloonReporter* balloons_ = nullptr;
    CameraSetup cameraSetup_;
    std::function<bool()> soundCheck_;
    QString videoDeviceName_;
    QString videoCodecName_;
    std::uint32_t videoCodecHandler_ = 0;
    QString codecFolder_;
    CAudioCapture* capture_ = nullptr;
    CAudioCapture::FormatArea audioFormat_{};
    int audioBufferLength_ = kDefaultBufferMs;
    QString ownSettingsFile_;
    bool initialised_ = false;

    QListWidget* videoSources_ = nullptr;
    QComboBox* videoCodecList_ = nullptr;
    QListWidget* audioSources_ = nullptr;
    QLabel* noSoundDevice_ = nullptr;
    QComboBox* bufferLengths_ = nullptr;
    QCheckBox* echoBox_ = nullptr;
    QCheckBox* noiseBox_ = nullptr;
    QCheckBox* gainBox_ = nullptr;
    QPushButton* cameraButton_ = nullptr;
    QPushButton* inputButton_ = nullptr;
    QPushButton* crossbarButton_ = nullptr;
    QPushButton* videoPropertiesButton_ = nullptr;
    QPushButton* audioPropertiesButton_ = nullptr;
    QPushButton* okButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
};

}  // namespace kova
