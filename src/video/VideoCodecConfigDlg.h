#pragma once
// The options dialog of one encoder: quality or bit rate, and for inter-frame
// codecs the key-frame interval.

#include <QDialog>

#include "platform/VideoCodecDriver.h"

class QSpinBox;

namespace kova {

class CVideoCodecConfigDlg : public QDialog {
    Q_OBJECT
public:
    CVideoCodecConfigDlg(const VideoCodecInfo& info, const VideoCodecOptions& options,
                         QWidget* parent = nullptr);

    // The options as the dialog's fields hold them.
    VideoCodecOptions options() const;

    QSpinBox* qualityBox() const { return quality_; }
    QSpinBox* bitRateBox() const { return bitRate_; }
    QSpinBox* keyFrameBox() const { return keyFrames_; }

private:
    VideoCodecOptions initial_;
    QSpinBox* quality_ = nullptr;
    QSpinBox* bitRate_ = nullptr;
    QSpinBox* keyFrames_ = nullptr;
};

}  // namespace kova
