#include "video/LocalVideo.h"

#include <QMessageBox>

#include "common/BalloonReporter.h"
#include "video/SendVideoWnd.h"
#include "video/ShowWnd.h"

namespace kova {

CLocalVideo::Choice CLocalVideo::ChooseDevice(const CDeviceList& devices,
                                              const QString& storedName) {
    Choice c;
    c.device = devices.Find(storedName);
    if (c.device >= 0) {
        return c;
    }
    c.device = devices.Count() > 0 ? 0 : -1;
    c.storedNameGone = !storedName.isEmpty() && c.device >= 0;
    return c;
}

std::optional<VideoCodecInfo> CLocalVideo::ChooseEncoder(IVideoCodecProvider& codecs,
                                                         std::uint32_t storedFourCC) {
    const std::vector<VideoCodecInfo> encoders = codecs.encoders();
    for (const VideoCodecInfo& info : encoders) {
        if (info.fourCC == storedFourCC) {
            return info;
        }
    }
    if (encoders.empty()) {
        return std::nullopt;
    }
    return encoders.front();
}

CLocalVideo::CLocalVideo(IVideoCodecProvider& codecs, IBalloonReporter& balloons,
                         CCaptureGraph::ErrorBox errorBox)
    : codecs_(codecs), balloons_(balloons), errorBox_(std::move(errorBox)) {
    if (!errorBox_) {
        errorBox_ = [](const QString& text, const QString& caption) {
            QMessageBox::critical(nullptr, caption, text);
        };
    }
}

CLocalVideo::~CLocalVideo() {
    Stop();
}

void CLocalVideo::Stop() {
    graph_.reset();
    if (sender_) {
        sender_->DetachEncoder();
    }
    if (encoder_) {
        encoder_->End();
        encoder_.reset();
    }
}

void CLocalVideo::Pause() {
    if (graph_) {
        graph_->Pause();
    }
}

void CLocalVideo::Resume() {
    if (graph_) {
        graph_->Resume();
    }
}

CLocalVideo::Result CLocalVideo::Start(const CDeviceList& devices, int device, AvSettings& settings,
                                       const QString& programFolder, CSendVideoWnd& sender,
                                       CShowWnd* preview) {
    Stop();
    sender_ = &sender;
    graph_ = std::make_unique<CCaptureGraph>(errorBox_);
    graph_->SetSource(devices.CreateSource(device));
    graph_->SelectFormat(settings.captureFormat.width, settings.captureFormat.height);
    graph_->SetTarget(&sender);
    if (graph_->Start() != 0) {
        return Result::CaptureFailed;
    }
    const BitmapInfoHeader format = graph_->VideoFormat();
    if (preview) {
        preview->SetFormat(format);
        preview->OpenDrawing();
    }
    encoder_ = std::make_unique<CVideoCodec>(codecs_, &balloons_);
    if (!encoder_->SetUp(settings.compressorFourCC, format, true, false)) {
        encoder_.reset();
        balloons_.ShowBalloon(kNoCompressor);
        return Result::NoCompressor;
    }
    encoder_->LoadState(programFolder);
    return Result::Started;
}

BitmapInfoHeader CLocalVideo::CallFormat() const {
    return encoder_ ? encoder_->OutputFormat() : BitmapInfoHeader{};
}

QString videoStatusLine(std::uint32_t fourCC, std::int32_t width, std::int32_t height) {
    QString code;
    for (int i = 0; i < 4; ++i) {
        code += QLatin1Char(static_cast<char>((fourCC >> (8 * i)) & 0xFF));
    }
    return QStringLiteral("Video: codec %1, resolution %2x%3, 24 bits")
        .arg(code)
        .arg(width)
        .arg(height);
}

}  // namespace kova
