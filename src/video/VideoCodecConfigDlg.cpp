#include "video/VideoCodecConfigDlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QSpinBox>

namespace kova {

CVideoCodecConfigDlg::CVideoCodecConfigDlg(const VideoCodecInfo& info,
                                           const VideoCodecOptions& options, QWidget* parent)
    : QDialog(parent), initial_(options) {
    setWindowTitle(info.description);
    auto* form = new QFormLayout(this);
    if (info.options == VideoOptionKind::Quality || info.options == VideoOptionKind::Crf) {
        quality_ = new QSpinBox(this);
        quality_->setRange(1, 100);
        quality_->setSuffix(QStringLiteral(" %"));
        quality_->setValue(static_cast<int>(options.quality));
        quality_->setAccessibleName(QStringLiteral("Quality"));
        form->addRow(QStringLiteral("Quality:"), quality_);
    }
    if (info.options == VideoOptionKind::BitRate) {
        bitRate_ = new QSpinBox(this);
        bitRate_->setRange(VideoCodecOptions::kMinBitRateKbps, VideoCodecOptions::kMaxBitRateKbps);
        bitRate_->setSuffix(QStringLiteral(" kbit/s"));
        bitRate_->setValue(static_cast<int>(options.bitRateKbps));
        bitRate_->setAccessibleName(QStringLiteral("Bit rate"));
        form->addRow(QStringLiteral("Bit rate:"), bitRate_);
    }
    if (info.temporal) {
        keyFrames_ = new QSpinBox(this);
        keyFrames_->setRange(1, VideoCodecOptions::kMaxKeyFrameInterval);
        keyFrames_->setValue(
            static_cast<int>(std::max<std::uint32_t>(options.keyFrameInterval, 1)));
        keyFrames_->setAccessibleName(QStringLiteral("Key frame every (frames)"));
        form->addRow(QStringLiteral("Key frame every (frames):"), keyFrames_);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
}

VideoCodecOptions CVideoCodecConfigDlg::options() const {
    VideoCodecOptions o = initial_;
    if (quality_) {
        o.quality = static_cast<std::uint32_t>(quality_->value());
    }
    if (bitRate_) {
        o.bitRateKbps = static_cast<std::uint32_t>(bitRate_->value());
    }
    if (keyFrames_) {
        o.keyFrameInterval = static_cast<std::uint32_t>(keyFrames_->value());
    }
    return o;
}

}  // namespace kova
