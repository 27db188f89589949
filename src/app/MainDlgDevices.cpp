// The main window's Devices Properties flow and its choice of the video source,
// at start-up and after the dialog.

#include <QApplication>

#include "app/ConferenceMedia.h"
#include "app/MainDlg.h"
#include "audio/AudioCapture.h"
#include "audio/PropertiesDlg.h"
#include "common/WindowMessages.h"
#include "config/ProgramPaths.h"
#include "platform/V4l2Controls.h"
#include "platform/V4l2Device.h"
#include "video/CameraSetupDlg.h"
#include "video/CaptureGraph.h"
#include "video/DeviceList.h"
#include "video/LocalVideo.h"

namespace kova {

std::unique_ptr<CPropertiesDlg> CMainDlg::prepareDevicesDialog(bool startUp) {
    auto dlg = std::make_unique<CPropertiesDlg>(startUp, this);
    dlg->setVideoDevices(&media_->devices(), media_->captureGraph());
    dlg->setVideoCodecs(&media_->videoCodecs(), this);
    dlg->setCameraSetup([this](int device, QWidget* parent) {
        // Cameras are listed by name; their settings are found by their node.
        const QString name = media_->devices().Name(device);
        for (const V4l2DeviceInfo& camera : enumerateV4l2Devices(CDeviceList::kMaxDevices)) {
            if (camera.name != name) {
                continue;
            }
            const std::vector<V4l2Control> controls = readV4l2Controls(camera.path);
            if (controls.empty()) {
                return false;
            }
            CCameraSetupDlg setup(
                name, controls,
                [path = camera.path](std::uint32_t id, std::int32_t value) {
                    setV4l2Control(path, id, value);
                },
                parent);
            setup.exec();
            return true;
        }
        return false;
    });
    dlg->setVideoDeviceName(QString::fromStdU16String(settings_.videoSourceName.text()));
    dlg->setVideoCodecName(QString::fromStdU16String(settings_.videoCodecName.text()));
    dlg->setVideoCodecHandler(settings_.compressorFourCC);
    dlg->setAudioCapture(&media_->capture());
    // Also at start-up: codec options saved anywhere else would be lost.
    dlg->setCodecFolder(setup_.programFolder);
    dlg->setOwnSettingsFile(joinPath(setup_.programFolder, QStringLiteral("kova.ini")));
    dlg->setAudioBufferLength(settings_.audioBufferLength);
    return dlg;
}

bool CMainDlg::runDevicesDialog(CPropertiesDlg& dlg) {
    devicesDlg_ = &dlg;
    const bool accepted = dlg.exec() == QDialog::Accepted && !quitFlag_;
    devicesDlg_ = nullptr;
    if (accepted) {
        CAudioCapture& capture = media_->capture();
        settings_.compressorFourCC = dlg.videoCodecHandler();
        settings_.audioBufferLength = static_cast<std::uint16_t>(dlg.audioBufferLength());
        capture.setBufferLength(settings_.audioBufferLength);
        settings_.videoSourceName.setText(dlg.videoDeviceName().toStdU16String());
        settings_.videoCodecName.setText(dlg.videoCodecName().toStdU16String());
        settings_.audioDeviceIndex = static_cast<std::int16_t>(capture.deviceIndex());
        settings_.audioFormat = capture.destinationFormat();
    }
    return accepted;
}

void CMainDlg::keepCaptureFormat() {
    const CCaptureGraph* graph = media_->captureGraph();
    // A capture that never started has no format to keep.
    if (graph != nullptr && graph->VideoFormat().width != 0) {
        settings_.captureFormat = graph->VideoFormat();
    }
}

void CMainDlg::showDevicesProperties() {
    if (quitFlag_) {
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    auto dlg = prepareDevicesDialog(false);
    // The codec's options dialog needs the codec to itself.
    media_->endCompressor();
    QApplication::restoreOverrideCursor();
    runDevicesDialog(*dlg);
    if (quitFlag_) {  // the session ended while the dialog was open
        return;
    }
    keepCaptureFormat();
    dlg.reset();
    // Peers learn the new sound settings even when no video source restarts.
    rebuildCallParameters();
    repaint();
    selectVideoSource(false);
}

void CMainDlg::selectVideoSource(bool startUp) {
    if (quitFlag_) {
        return;
    }
    const CDeviceList& devices = media_->devices();
    const QString stored = QString::fromStdU16String(settings_.videoSourceName.text());
    int device = devices.Find(stored);
    if (device < 0) {
        if (devices.Count() == 0) {
            device = -1;
        } else {
            // The stored default codec cannot encode here: the preview and the
            // dialog start from one that can, so no "not supported" greets a
            // new user and even Cancel leaves a working codec.
            const auto codec =
                CLocalVideo::ChooseEncoder(media_->videoCodecs(), settings_.compressorFourCC);
            if (codec && codec->fourCC != settings_.compressorFourCC) {
                settings_.compressorFourCC = codec->fourCC;
                settings_.videoCodecName.setText(codec->description.toStdU16String());
            }
            startLocalVideo(0);
            if (startUp) {
                closeSplash();
            }
            if (!stored.isEmpty()) {
                ShowBalloon(CLocalVideo::kSourceGone);
            }
            auto dlg = prepareDevicesDialog(true);
            if (runDevicesDialog(*dlg)) {
                device = devices.Find(QString::fromStdU16String(settings_.videoSourceName.text()));
                keepCaptureFormat();
            }
            if (quitFlag_) {
                return;
            }
        }
    }
    if (device < 0) {
        updateStatusPanel();
        if (startUp) {
            closeSplash();
        }
        ShowBalloon(CLocalVideo::kNoVideo);
        return;
    }
    if (startUp) {
        startLocalVideo(device);
    } else {
        repaint();
        postMessage(this, MSG_SELECT_VIDEO_SOURCE, device);
    }
}

}  // namespace kova
