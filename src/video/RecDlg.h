#pragma once
// The window of a running conference: the peer's picture and sound, what
// arrives (formats, download rate), zoom and full screen, the peer's microphone
// and Disconnect. Both media channels deliver their frames to it, on the UI
// thread.

#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <functional>
#include <memory>
#include <vector>

#include "chat/BackImage.h"
#include "common/ByteIo.h"
#include "media/LinkStatistics.h"
#include "media/MediaFrame.h"
#include "signalling/ControlDatagram.h"

class QLabel;

namespace kova {

class CAudioPlayer;
class CBalansWnd;
class CControlChannel;
class CHoverButton;
class CPictureStatic;
class CShowWnd;
class CStatsOverlay;
class CVideoCodec;
class IAudioCodecs;
class IBalloonReporter;
class IVideoCodecProvider;
class IWaveOut;

class CRecDlg : public QDialog, public IMediaFrameSink {
    Q_OBJECT
public:
    enum Command {
        ID_ZOOM_50 = 1035,
        ID_ZOOM_100 = 1036,
        ID_ZOOM_200 = 1037,
        ID_FULL_SCREEN = 1038,
        ID_DISCONNECT_MENU = 1059,
        ID_DISCONNECT = 1060,
        ID_MIC_DOWN = 1079,
        ID_MIC_UP = 1080,
        ID_STATISTICS = 1090,
    };
    static constexpr int kRateMs = 1000;
    // Level bars: 1051 video, 1052 audio; full scale is frames arriving at this
    // many per 2000 ms over the peer's announced interval.
    static constexpr int kLevelScale = 2000;
    static constexpr int kLevelPicture = 166;
    static inline const QColor kBackground{0x81, 0xB4, 0xE9};
    static inline const QColor kFrame{0xD8, 0xE6, 0xF3};
    static inline const QColor kDisconnectKey{0x9D, 0xC8, 0xE0};

    struct Services {
        IVideoCodecProvider* videoCodecs = nullptr;
        IAudioCodecs* audioCodecs = nullptr;
        IBalloonReporter* balloons = nullptr;
        CControlChannel* control = nullptr;
        QWidget* mainWindow = nullptr;  // gets MSG_REMOTE_MIC and MSG_LOCAL_HANGUP
        // The modal warning of a peer format we cannot show, run from the event
        // loop after OpenMedia; the message dialog when empty.
        std::function<void(const QString&)> warn;
        // The output for the peer's sound, made when the media open; none: no sound.
        std::function<std::unique_ptr<IWaveOut>()> makeWaveOut;
        // The call's link figures, fed here with what is drawn and heard, and
        // the media channels' totals they are sampled with each second.
        LinkStatistics* statistics = nullptr;
        std::function<LinkStatistics::Totals()> linkTotals;
    };

    CRecDlg(const QString& peerName, const Services& services);
    ~CRecDlg() override;

    // Call start: the peer's formats.
    void SetPeer(std::uint32_t fourCC, const CallParameters& parameters,
                 std::uint64_t audioFrameSize);
    // Opens decoder and player; false when neither works (the window closes).
    // Runs no nested event loop: a warning follows from the event loop.
    bool OpenMedia();
    // A frame of either channel.
    void onMediaFrame(const MediaFrame& frame) override;

    QString caption() const { return caption_; }
    QString videoLabel() const;
    QString audioLabel() const;
    QString rateText() const;
    CBalansWnd* videoLevel() const { return videoLevel_; }
    CBalansWnd* audioLevel() const { return audioLevel_; }
    bool fullScreen() const { return fullScreen_; }
    double zoom() const { return zoom_; }
    int audioBufferMs() const { return audioBufferMs_; }
    QList<int> menuCommands() const;
    void onCommand(int command);
    // The rate display's tick (public for tests).
    void showRate();
    // The statistics' tick: sampled always, shown while the overlay is on.
    void showStatistics();
    CStatsOverlay* statisticsOverlay() const { return overlay_; }

    static QString rateFor(std::uint64_t bytesPerSecond);
    // The video bar's value for the time since the previous picture: pictures in
    // the same millisecond count as the fastest.
    static int videoLevelFor(qint64 gapMs) {
        return gapMs <= 0 ? kLevelScale : static_cast<int>(kLevelScale / gapMs);
    }

protected:
    void timerEvent(QTimerEvent* event) override;
    void reject() override;
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void warnLater(const QString& text);
    void onVideoFrame(ByteSpan frame);
    void layoutWindow();
    void keepOnScreen();
    void applyZoom(double zoom);
    void enterFullScreen();
    void leaveFullScreen();

    Services services_;
    // A close still queued when the main window is gone must not reach it.
    QPointer<QWidget> mainWindow_;
    QString caption_;
    std::uint32_t fourCC_ = 0;
    CallParameters peer_;
    std::uint64_t audioFrameSize_ = 0;
    int audioBufferMs_ = 200;

    std::unique_ptr<CVideoCodec> decoder_;
    std::unique_ptr<IWaveOut> audioOut_;
    std::unique_ptr<CAudioPlayer> player_;
    std::vector<std::byte> picture_;
    bool videoFailed_ = false;
    bool audioFailed_ = false;

    CShowWnd* view_ = nullptr;
    CStatsOverlay* overlay_ = nullptr;
    QLabel* videoLabel_ = nullptr;
    QLabel* audioLabel_ = nullptr;
    QLabel* rate_ = nullptr;
    CBalansWnd* videoLevel_ = nullptr;
    CBalansWnd* audioLevel_ = nullptr;
    QElapsedTimer clock_;
    qint64 lastFrameMs_ = 0;
    CHoverButton* disconnect_ = nullptr;
    CPictureStatic* logo_ = nullptr;
    // The title strip: the skin's band with the caption, at the window's width.
    CBackImage titleSkin_;
    QPixmap titleImage_;
    int titleHeight_ = CBackImage::kDefaultBandHeight;

    std::uint64_t bytes_ = 0;
    std::uint64_t pictures_ = 0;
    int timer_ = 0;
    double zoom_ = 1.0;
    bool fullScreen_ = false;
    QRect savedWindow_;
    QRect savedPicture_;
    bool closing_ = false;
};

}  // namespace kova
