#pragma once
// Local video from start to stop: the capture device chosen from the settings,
// its capture graph feeding the sender window, and the encoder whose format is
// announced to peers. The main window owns one and starts it at start-up and
// after the devices dialog.

#include <memory>
#include <optional>

#include <QPointer>
#include <QString>

#include "config/AvSettings.h"
#include "video/CaptureGraph.h"
#include "video/DeviceList.h"
#include "video/VideoCodec.h"

namespace kova {

class CSendVideoWnd;
class CShowWnd;

class CLocalVideo {
public:
    static inline const QString kNoVideo = QStringLiteral("No Video!");
    static inline const QString kSourceGone =
        QStringLiteral("Video source dosn't exist.\nPlease select other.");
    static inline const QString kNoCompressor = QStringLiteral("Compressor is not supported!");

    struct Choice {
        int device = -1;              // -1: no device at all ("No Video!")
        bool storedNameGone = false;  // a name was stored but is not listed
        bool found() const { return device >= 0 && !storedNameGone; }
    };
    // The stored source if listed, else the first device.
    static Choice ChooseDevice(const CDeviceList& devices, const QString& storedName);
    // The stored compressor when it is listed as an encoder, else the first
    // listed one (intra-only MJPG); none when nothing can encode.
    static std::optional<VideoCodecInfo> ChooseEncoder(IVideoCodecProvider& codecs,
                                                       std::uint32_t storedFourCC);

    enum class Result {
        Started,        // preview runs and the encoder is ready
        CaptureFailed,  // an error box was shown; no local video
        NoCompressor,   // preview runs; nothing can be sent
    };

    CLocalVideo(IVideoCodecProvider& codecs, IBalloonReporter& balloons,
                CCaptureGraph::ErrorBox errorBox = {});
    ~CLocalVideo();

    // Replaces any running capture and encoder with the given device; the
    // settings' capture size is updated to the size in use. A running call
    // stops sending video: its peer expects the old format.
    Result Start(const CDeviceList& devices, int device, AvSettings& settings,
                 const QString& programFolder, CSendVideoWnd& sender, CShowWnd* preview);
    void Stop();
    void Pause();
    void Resume();

    CCaptureGraph* Graph() const { return graph_.get(); }
    // None until an encoder was set up.
    CVideoCodec* Encoder() const { return encoder_.get(); }
    // What the call parameters announce: the encoder's compressed format.
    BitmapInfoHeader CallFormat() const;
    // Bytes of one captured frame; 0 without local video.
    std::uint32_t FrameSize() const { return graph_ ? graph_->FrameSize() : 0; }
    static constexpr std::uint32_t FrameRate() { return CCaptureGraph::kFrameRate; }

private:
    IVideoCodecProvider& codecs_;
    IBalloonReporter& balloons_;
    CCaptureGraph::ErrorBox errorBox_;
    std::unique_ptr<CCaptureGraph> graph_;
    std::unique_ptr<CVideoCodec> encoder_;
    QPointer<CSendVideoWnd> sender_;  // holds encoder_ during a call
};

// The status panel's video line.
QString videoStatusLine(std::uint32_t fourCC, std::int32_t width, std::int32_t height);

}  // namespace kova
