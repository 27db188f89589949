#pragma once
// The program's media: audio capture with its codecs and device, local video
// (capture, preview, encoder, paced sender), the two media channels and the
// receiving window of a running conference. The main window owns one and the
// conference controller starts and stops it.

#include <QPointer>
#include <QString>
#include <functional>
#include <memory>

#include "media/LinkStatistics.h"
#include "signalling/ConferenceMedia.h"
#include "video/RecDlg.h"
#include "video/ShowWnd.h"

class QWidget;

namespace kova {

class AlsaWaveIn;
class AudioCodecLibav;
struct AvSettings;
class CAudioCapture;
class CCaptureGraph;
class CControlChannel;
class CDeviceList;
class CDialogFormatChooser;
class CDlgMessagePrompt;
class CFfmpegVideoCodecProvider;
class CLocalVideo;
class CMediaSocket;
class CSendVideoWnd;
class IBalloonReporter;
class IVideoCodecProvider;
struct CallParameters;

class ConferenceMedia : public IConferenceMedia {
public:
    struct Setup {
        QWidget* mainWindow = nullptr;
        IBalloonReporter* balloons = nullptr;
        AvSettings* settings = nullptr;
        CControlChannel* control = nullptr;
        QString programFolder;
        QString bindAddress;
        std::uint16_t maxUdpDatagram = 65507;
    };

    explicit ConferenceMedia(const Setup& setup);
    ~ConferenceMedia() override;

    // Start-up: the recording device, format and buffer from the settings; a
    // format that cannot run in real time is replaced for this run by one the
    // user picks.
    void setUpAudio();
    QString audioCodecName();

    // The local video area's picture.
    CShowWnd* preview() const { return preview_; }
    void setPreview(CShowWnd* preview);
    CDeviceList& devices() { return *devices_; }
    IVideoCodecProvider& videoCodecs();
    // The running capture; none without local video.
    const CCaptureGraph* captureGraph() const;
    // Starts local video with device index; false when it could not start.
    bool startLocalVideo(int device);
    bool localVideoRunning() const;
    void pauseLocalVideo();
    void resumeLocalVideo();
    // The captured picture's size; 320 x 240 without local video.
    QSize captureSize() const;

    // What the peer needs to receive our media: at start-up the 320 x 240
    // default, after a capture set-up the compressor's output format.
    CallParameters callParameters() const;

    CRecDlg* receivingWindow() const;
    // Replaces the receiving window's modal warnings (tests).
    void setWarningHook(std::function<void(const QString&)> warn) { warn_ = std::move(warn); }
    CMediaSocket& audioChannel() { return *audioChannel_; }
    CMediaSocket& videoChannel() { return *videoChannel_; }
    CAudioCapture& capture() { return *capture_; }
    LinkStatistics& statistics() { return statistics_; }
    // Both channels' bytes and strangers' datagrams as they stand.
    LinkStatistics::Totals linkTotals() const;

    // IConferenceMedia
    bool receivingWindowOpen() const override;
    void prepare(const PeerMedia& peer) override;
    bool showReceivingWindow() override;
    bool startVideoSender() override;
    void startAudioCapture() override;
    void stopSending() override;
    void closeReceiving() override;
    void endCompressor() override;

private:
    Setup setup_;
    std::unique_ptr<AudioCodecLibav> audioCodecs_;
    std::unique_ptr<AlsaWaveIn> audioIn_;
    std::unique_ptr<CDlgMessagePrompt> prompt_;
    std::unique_ptr<CDialogFormatChooser> chooser_;
    std::unique_ptr<CAudioCapture> capture_;
    std::unique_ptr<CFfmpegVideoCodecProvider> videoCodecs_;
    std::unique_ptr<CDeviceList> devices_;
    std::unique_ptr<CSendVideoWnd> sender_;
    // After the sender: it holds the sender's encoder while a call runs.
    std::unique_ptr<CLocalVideo> localVideo_;
    std::unique_ptr<CMediaSocket> audioChannel_;
    std::unique_ptr<CMediaSocket> videoChannel_;
    LinkStatistics statistics_;
    QPointer<CShowWnd> preview_;
    QPointer<CRecDlg> receiving_;
    PeerMedia peer_;
    std::function<void(const QString&)> warn_;
};

}  // namespace kova
