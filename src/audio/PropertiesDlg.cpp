#include "audio/PropertiesDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>
#include <optional>

#include "config/OwnSettings.h"
#include "platform/AlsaDeviceList.h"
#include "video/CaptureGraph.h"
#include "video/DeviceList.h"
#include "video/VideoCodec.h"
#include "video/VideoCodecConfigDlg.h"

namespace kova {

CPropertiesDlg::CPropertiesDlg(bool hideCancel, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Devices Properties"));
    setModal(true);

    videoSources_ = new QListWidget(this);
    cameraButton_ = new QPushButton(QStringLiteral("Camera Setup"), this);
    inputButton_ = new QPushButton(QStringLiteral("Input Setup"), this);
    crossbarButton_ = new QPushButton(QStringLiteral("Crossbar..."), this);
    videoCodecList_ = new QComboBox(this);
    videoPropertiesButton_ = new QPushButton(QStringLiteral("Properties"), this);
    audioSources_ = new QListWidget(this);
    audioPropertiesButton_ = new QPushButton(QStringLiteral("Properties"), this);
    noSoundDevice_ = new QLabel(kNoSoundDevice, this);
    noSoundDevice_->setWordWrap(true);
    noSoundDevice_->hide();
    bufferLengths_ = new QComboBox(this);
    bufferLengths_->addItems({QStringLiteral("50"), QStringLiteral("100"), QStringLiteral("200")});
    echoBox_ = new QCheckBox(QStringLiteral("Echo cancellation"), this);
    noiseBox_ = new QCheckBox(QStringLiteral("Noise suppression"), this);
    gainBox_ = new QCheckBox(QStringLiteral("Automatic gain"), this);
    okButton_ = new QPushButton(QStringLiteral("OK"), this);
    cancelButton_ = new QPushButton(QStringLiteral("Cancel"), this);
    okButton_->setDefault(true);
    videoSources_->setAccessibleName(QStringLiteral("Video source(frame grabber)"));
    videoCodecList_->setAccessibleName(QStringLiteral("Video Compression"));
    audioSources_->setAccessibleName(QStringLiteral("Audio sources"));
    bufferLengths_->setAccessibleName(QStringLiteral("Audio buffer in milliseconds"));
    // Two buttons read "Properties"; the name says whose.
    videoPropertiesButton_->setAccessibleName(QStringLiteral("Video Compression Properties"));
    audioPropertiesButton_->setAccessibleName(QStringLiteral("Audio Properties"));
    videoSources_->setMaximumHeight(90);
    audioSources_->setMaximumHeight(90);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Video source(frame grabber)"), this), 0, 0);
    grid->addWidget(videoSources_, 1, 0, 3, 1);
    grid->addWidget(cameraButton_, 1, 1);
    grid->addWidget(inputButton_, 2, 1);
    grid->addWidget(crossbarButton_, 3, 1);
    grid->addWidget(new QLabel(QStringLiteral("Video Compression"), this), 4, 0);
    grid->addWidget(videoCodecList_, 5, 0);
    grid->addWidget(videoPropertiesButton_, 5, 1);
    grid->addWidget(new QLabel(QStringLiteral("Audio sources"), this), 6, 0);
    grid->addWidget(audioSources_, 7, 0);
    grid->addWidget(noSoundDevice_, 7, 0);
    grid->addWidget(audioPropertiesButton_, 7, 1, Qt::AlignTop);
    grid->addWidget(new QLabel(QStringLiteral("Audio buffer in milliseconds"), this), 8, 0);
    grid->addWidget(bufferLengths_, 8, 1);
    auto* processing = new QHBoxLayout;
    for (QCheckBox* box : {echoBox_, noiseBox_, gainBox_}) {
        processing->addWidget(box);
    }
    processing->addStretch();
    grid->addLayout(processing, 9, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(okButton_);
    buttons->addWidget(cancelButton_);
    auto* top = new QVBoxLayout(this);
    top->addLayout(grid);
    top->addLayout(buttons);

    if (hideCancel) {
        cancelButton_->hide();
    }
    connect(videoSources_, &QListWidget::currentRowChanged, this,
            &CPropertiesDlg::onVideoSourceChanged);
    connect(videoCodecList_, &QComboBox::currentIndexChanged, this,
            &CPropertiesDlg::onVideoCodecChanged);
    connect(cameraButton_, &QPushButton::clicked, this, &CPropertiesDlg::onCameraSetup);
    connect(inputButton_, &QPushButton::clicked, this, &CPropertiesDlg::onInputSetup);
    // Cameras on this platform have no crossbar: the button stays hidden once a
    // source is selected.
    connect(videoPropertiesButton_, &QPushButton::clicked, this,
            &CPropertiesDlg::onVideoProperties);
    connect(audioPropertiesButton_, &QPushButton::clicked, this,
            &CPropertiesDlg::onAudioProperties);
    connect(okButton_, &QPushButton::clicked, this, &CPropertiesDlg::accept);
    connect(cancelButton_, &QPushButton::clicked, this, &CPropertiesDlg::reject);
}

void CPropertiesDlg::setVideoDevices(const CDeviceList* devices, const CCaptureGraph* graph) {
    devices_ = devices;
    graph_ = graph;
}

void CPropertiesDlg::setVideoCodecs(IVideoCodecProvider* codecs, IBalloonReporter* balloons) {
    codecs_ = codecs;
    balloons_ = balloons;
}

QPushButton* CPropertiesDlg::button(int id) const {
    switch (id) {
        case IDC_CAMERA_SETUP:
            return cameraButton_;
        case IDC_INPUT_SETUP:
            return inputButton_;
        case IDC_CROSSBAR:
            return crossbarButton_;
        case IDC_VIDEO_PROPERTIES:
            return videoPropertiesButton_;
        case IDC_AUDIO_PROPERTIES:
            return audioPropertiesButton_;
        case 1:
            return okButton_;
        case 2:
            return cancelButton_;
        default:
            return nullptr;
    }
}

int CPropertiesDlg::exec() {
    initialise();
    return QDialog::exec();
}

void CPropertiesDlg::initialise() {
    if (initialised_) {
        return;
    }
    initialised_ = true;

    if (devices_ != nullptr) {
        const QString current = videoDeviceName_;
        int match = 0;
        const QSignalBlocker quiet(videoSources_);
        for (int i = 0; i < devices_->Count(); ++i) {
            videoSources_->addItem(devices_->Name(i));
            if (devices_->Name(i) == current) {
                match = i;
            }
        }
        if (videoSources_->count() > 0) {
            videoSources_->setCurrentRow(match);
        }
        onVideoSourceChanged();
    }

    {
        // The description wins; else the last codec with the handler stays selected.
        const QSignalBlocker quiet(videoCodecList_);
        videoCodecList_->clear();
        int byName = -1;
        int byHandler = -1;
        if (codecs_ != nullptr) {
            for (const VideoCodecInfo& info : codecs_->encoders()) {
                const int index = videoCodecList_->count();
                videoCodecList_->addItem(info.description, QVariant::fromValue(info.fourCC));
                if (byName < 0 && info.description == videoCodecName_) {
                    byName = index;
                }
                if (info.fourCC == videoCodecHandler_) {
                    byHandler = index;
                }
            }
        }
        if (videoCodecList_->count() > 0) {
            videoCodecList_->setCurrentIndex(byName >= 0 ? byName : std::max(byHandler, 0));
        }
    }
    // What OK stores is what the list shows, also when nothing matched and the
    // first codec stands selected: a stored codec that is not listed cannot encode.
    onVideoCodecChanged();

    // Words where the list would stand empty but for "default"; the index stays 0.
    const bool sound = soundCheck_ ? soundCheck_() : soundDevicePresent();
    audioSources_->setVisible(sound);
    noSoundDevice_->setVisible(!sound);
    if (capture_ != nullptr) {
        audioSources_->clear();
        audioSources_->addItems(capture_->deviceList());
        audioSources_->setCurrentRow(capture_->deviceIndex());
        audioFormat_ = capture_->destinationFormat();
    }

    // Without a file the boxes show what a fresh installation has.
    std::optional<OwnSettings> own;
    if (!ownSettingsFile_.isEmpty()) {
        own.emplace(ownSettingsFile_);
    }
    const auto stored = [&own](const OwnSwitch& s) { return own ? own->get(s) : s.fallback; };
    echoBox_->setChecked(stored(switches::kEchoCancellation));
    noiseBox_->setChecked(stored(switches::kNoiseSuppression));
    gainBox_->setChecked(stored(switches::kGainControl));

    bufferLengths_->setCurrentIndex(0);
    for (int i = 0; i < bufferLengths_->count(); ++i) {
        bool ok = false;
        if (bufferLengths_->itemText(i).toInt(&ok) == audioBufferLength_ && ok) {
            bufferLengths_->setCurrentIndex(i);
            break;
        }
    }
}

void CPropertiesDlg::onVideoSourceChanged() {
    const int row = videoSources_->currentRow();
    if (row < 0) {
        crossbarButton_->hide();
        return;
    }
    videoDeviceName_ = videoSources_->item(row)->text();
    crossbarButton_->hide();
}

void CPropertiesDlg::onVideoCodecChanged() {
    const int index = videoCodecList_->currentIndex();
    if (videoCodecList_->count() > 0 && index >= 0) {
        videoCodecHandler_ = videoCodecList_->itemData(index).value<std::uint32_t>();
        videoCodecName_ = videoCodecList_->itemText(index);
    }
}

void CPropertiesDlg::onCameraSetup() {
    const int row = videoSources_->currentRow();
    if (row >= 0 && cameraSetup_) {
        cameraSetup_(row, this);
    }
}

void CPropertiesDlg::onInputSetup() {
    if (videoSources_->currentRow() < 0 && graph_ != nullptr) {
        return;
    }
    // Cameras here have no stream format page of their own.
    QMessageBox::warning(this, QStringLiteral("Warning"), kNoStreamFormat);
}

void CPropertiesDlg::onVideoProperties() {
    if (codecs_ != nullptr) {
        const auto ask = [this](
                             const VideoCodecInfo& info,
                             const VideoCodecOptions& options) -> std::optional<VideoCodecOptions> {
            CVideoCodecConfigDlg dlg(info, options, this);
            if (dlg.exec() != QDialog::Accepted) {
                return std::nullopt;
            }
            return dlg.options();
        };
        CVideoCodec::Configure(*codecs_, videoCodecHandler_, codecFolder_, ask, balloons_);
    }
}

void CPropertiesDlg::onAudioProperties() {
    if (capture_ == nullptr) {
        return;
    }
    // With no sound device only the default device is there to choose.
    capture_->setDeviceIndex(noSoundDevice_->isHidden() ? std::max(audioSources_->currentRow(), 0)
                                                        : 0);
    capture_->ChooseCodec(this, audioFormat_);
}

void CPropertiesDlg::accept() {
    if (capture_ != nullptr) {
        capture_->setDestinationFormat(audioFormat_);
    }
    const int index = bufferLengths_->currentIndex();
    const QString text = index >= 0 ? bufferLengths_->itemText(index) : QStringLiteral("50");
    const int ms = text.toInt();
    audioBufferLength_ = ms >= kMinBufferMs ? ms : kMinBufferMs;
    const AudioProcessingSwitches on{echoBox_->isChecked(), noiseBox_->isChecked(),
                                     gainBox_->isChecked()};
    if (!ownSettingsFile_.isEmpty()) {
        // A file that cannot be written loses the choice for later runs only.
        OwnSettings own(ownSettingsFile_);
        own.set(switches::kEchoCancellation, on.echoCancellation);
        own.set(switches::kNoiseSuppression, on.noiseSuppression);
        own.set(switches::kGainControl, on.gainControl);
    }
    if (capture_ != nullptr) {
        capture_->setProcessing(on);
    }
    QDialog::accept();
}

}  // namespace kova
