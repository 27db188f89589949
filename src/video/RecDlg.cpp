#include "video/RecDlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QWindow>

#include "audio/AudioPlayer.h"
#include "audio/BalansWnd.h"
#include "common/BalloonReporter.h"
#include "common/TimingLog.h"
#include "common/WindowMessages.h"
#include "formats/WaveFormat.h"
#include "media/MediaSizes.h"
#include "platform/WaveOut.h"
#include "signalling/ControlChannel.h"
#include "signalling/DlgMessage.h"
#include "ui/HoverButton.h"
#include "ui/PMenu.h"
#include "ui/PictureStatic.h"
#include "video/ShowWnd.h"
#include "video/StatsOverlay.h"
#include "video/TestPatternSource.h"
#include "video/VideoCodec.h"

#include <QLoggingCategory>

namespace kova {

namespace {

Q_LOGGING_CATEGORY(lcReceive, "kova.receive", QtWarningMsg)
Q_LOGGING_CATEGORY(lcStats, "kova.stats", QtWarningMsg)

// The overlay's distance from the picture's corner.
constexpr int kOverlayInset = 6;

QString fourCCText(std::uint32_t fourCC) {
    QString text;
    for (int i = 0; i < 4; ++i) {
        text += QChar(static_cast<char16_t>((fourCC >> (8 * i)) & 0xFF));
    }
    return text;
}

// The window border's width, the unit of the layout's margins.
int borderUnit() {
    return 4 * std::max(1, QApplication::style()->pixelMetric(QStyle::PM_DefaultFrameWidth));
}

}  // namespace

CRecDlg::CRecDlg(const QString& peerName, const Services& services)
    : QDialog(nullptr, Qt::Window | Qt::FramelessWindowHint),
      services_(services),
      mainWindow_(services.mainWindow) {
    caption_ = peerName.isEmpty() ? QStringLiteral("Received")
                                  : QStringLiteral("Receiving from %1").arg(peerName);
    setWindowTitle(caption_);
    setAttribute(Qt::WA_DeleteOnClose, false);

    view_ = new CShowWnd(this);
    overlay_ = new CStatsOverlay(view_);
    overlay_->move(kOverlayInset, kOverlayInset);
    overlay_->hide();
    videoLabel_ = new QLabel(this);
    audioLabel_ = new QLabel(this);
    rate_ = new QLabel(this);
    videoLevel_ = new CBalansWnd(this);
    audioLevel_ = new CBalansWnd(this);
    for (QLabel* l : {videoLabel_, audioLabel_, rate_}) {
        QPalette pal = l->palette();
        pal.setColor(QPalette::WindowText, Qt::white);
        l->setPalette(pal);
    }
    // The title strip is the main window's band, caption and all.
    titleSkin_.LoadBitmaps(CBackImage::kSkinBand, CBackImage::kSkinBody);
    QFont bold = font();
    bold.setBold(true);
    titleSkin_.SetTitle(caption_, CBackImage::kSkinTitleColour, bold);
    titleHeight_ = titleSkin_.BandHeight();

    disconnect_ = new CHoverButton(this);
    disconnect_->LoadBitmap(171, kDisconnectKey, false);
    disconnect_->SetTooltip(tr("Disconnect"));
    disconnect_->SetParentBackground(&titleImage_, 0);
    connect(disconnect_, &QAbstractButton::clicked, this, [this] { onCommand(ID_DISCONNECT); });
    // The program picture stands at the strip's left, before the caption.
    logo_ = new CPictureStatic(this);
    logo_->SetBitmap(172, QColor(0xB1, 0xD4, 0xE9));
    logo_->move(borderUnit(), std::max(0, (titleHeight_ - logo_->height()) / 2));
}

CRecDlg::~CRecDlg() {
    if (player_) {
        player_->CloseDevice();
    }
}

void CRecDlg::SetPeer(std::uint32_t fourCC, const CallParameters& parameters,
                      std::uint64_t audioFrameSize) {
    fourCC_ = fourCC;
    peer_ = parameters;
    audioFrameSize_ = audioFrameSize;
    audioBufferMs_ = std::max<int>(parameters.audioBufferMs, 10);
}

QString CRecDlg::videoLabel() const {
    return QStringLiteral("Video: %1").arg(fourCCText(fourCC_));
}

QString CRecDlg::audioLabel() const {
    return QStringLiteral("Audio: %1").arg(player_ ? player_->FormatName() : QString());
}

QString CRecDlg::rateFor(std::uint64_t bytes) {
    return QStringLiteral("Download Rate: %1 kbps").arg(double(bytes) / 128.0, 0, 'f', 1);
}

QString CRecDlg::rateText() const {
    return rate_->text();
}

bool CRecDlg::OpenMedia() {
    clock_.start();
    lastFrameMs_ = 0;
    // A peer announcing no frame rate would divide by zero: read it as 1.
    videoLevel_->SetBitmap(kLevelPicture,
                           kLevelScale / std::max<std::int64_t>(peer_.frameRate, 1) + 1);
    audioLevel_->SetBitmap(kLevelPicture, kLevelScale / audioBufferMs_ + 1);
    // The decoder for the peer's pictures.
    if (services_.videoCodecs != nullptr) {
        decoder_ = std::make_unique<CVideoCodec>(*services_.videoCodecs, services_.balloons);
        // A picture larger than the video channel carries is no picture we can
        // show: refused before its buffer is allocated.
        if (videoFrameSize(peer_.video) > kMaxVideoFrameSize ||
            !decoder_->SetUp(fourCC_, peer_.video, false, false)) {
            videoFailed_ = true;
            if (services_.balloons != nullptr) {
                warnLater(QStringLiteral("Video Decompressor: %1 is not supported!")
                              .arg(fourCCText(fourCC_)));
            }
        }
    } else {
        videoFailed_ = true;
    }
    // The player for the peer's sound. A player of an earlier start goes before
    // the device it plays on.
    player_.reset();
    audioOut_.reset();
    if (services_.audioCodecs != nullptr && services_.balloons != nullptr &&
        services_.makeWaveOut) {
        audioOut_ = services_.makeWaveOut();
    }
    if (audioOut_) {
        player_ =
            std::make_unique<CAudioPlayer>(*audioOut_, *services_.audioCodecs, *services_.balloons);
        const auto format = WaveFormat::decode(peer_.audioFormat);
        player_->SetPeerFormat(peer_.audioFormat, CAudioPlayer::periodFor(audioBufferMs_),
                               format ? CAudioPlayer::slotCapacityFor(
                                            *format, static_cast<std::uint16_t>(audioBufferMs_))
                                      : 0,
                               audioLevel_);
        if (player_->OpenDevice() != 0) {
            audioFailed_ = true;
            services_.balloons->ShowBalloon(
                QStringLiteral("Received Audio Format: %1 is not supported!")
                    .arg(player_->FormatName()));
        }
    } else {
        audioFailed_ = true;
    }
    videoLabel_->setText(videoLabel());
    audioLabel_->setText(audioLabel());
    rate_->setText(rateFor(0));
    for (QLabel* l : {videoLabel_, audioLabel_, rate_}) {
        l->adjustSize();
    }
    videoLabel_->move(borderUnit(), titleHeight_ + 4);
    audioLabel_->move(borderUnit(), videoLabel_->geometry().bottom() + 4);
    // Its own line under the labels: the level bars take the rest of theirs.
    rate_->move(borderUnit(), audioLabel_->geometry().bottom() + 4);
    videoLevel_->move(videoLevel_->x(),
                      videoLabel_->y() + (videoLabel_->height() - videoLevel_->height()) / 2);
    audioLevel_->move(audioLevel_->x(),
                      audioLabel_->y() + (audioLabel_->height() - audioLevel_->height()) / 2);

    if (!videoFailed_) {
        view_->SetFormat(decoder_->OutputFormat());
        view_->SetZoom(zoom_);
        view_->OpenDrawing();
        picture_.assign(decoder_->OutputImageSize(), std::byte{0});
    }
    layoutWindow();
    timer_ = startTimer(kRateMs);
    if (videoFailed_ && audioFailed_) {
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
        return false;
    }
    return true;
}

void CRecDlg::warnLater(const QString& text) {
    // The warning is modal, and its nested loop can deliver the peer's hang-up
    // and a whole second call, which end this window and the objects the start
    // works with. So the start never waits in it: the warning comes from the
    // event loop once the start is done, only while this window exists, and
    // nothing of the window is touched after it.
    QMetaObject::invokeMethod(
        this,
        [warn = services_.warn, parent = mainWindow_, text] {
            if (warn) {
                warn(text);
            } else {
                CDlgMessage::show(text, QString(), CDlgMessage::Warning, parent.data());
            }
        },
        Qt::QueuedConnection);
}

void CRecDlg::onMediaFrame(const MediaFrame& frame) {
    bytes_ += frame.bytes.size();
    if (frame.source == MediaSource::Video) {
        onVideoFrame(frame.bytes);
        return;
    }
    if (services_.statistics != nullptr) {
        services_.statistics->audioFrame(frame.sequence);
    }
    if (player_ && !audioFailed_) {
        // The player copies the frame into its play queue before returning.
        player_->onMediaFrame(frame);
    }
}

void CRecDlg::timerEvent(QTimerEvent*) {
    showRate();
    showStatistics();
}

void CRecDlg::onVideoFrame(ByteSpan frame) {
    if (videoFailed_ || !decoder_->Decompress(frame, picture_)) {
        return;  // no acknowledgement: the sender goes on after its time-out
    }
    const qint64 now = clock_.elapsed();
    const qint64 gap = now - lastFrameMs_;
    videoLevel_->SetValue(videoLevelFor(gap));
    lastFrameMs_ = now;
    view_->Draw(picture_);
    if (services_.statistics != nullptr) {
        services_.statistics->pictureDrawn();
    }
    if (lcTiming().isDebugEnabled()) {
        qCDebug(lcTiming).nospace()
            << "drawn " << CTestPatternSource::readCounter(decoder_->OutputFormat(), picture_)
            << " at " << monotonicMicros();
    }
    if (++pictures_ == 1 || pictures_ % 100 == 0) {
        qCInfo(lcReceive) << "pictures shown:" << pictures_;
    }
    if (services_.control != nullptr) {
        services_.control->sendFrameAck();
    }
}

void CRecDlg::showRate() {
    rate_->setText(rateFor(bytes_));
    qCInfo(lcReceive).noquote() << rate_->text();
    rate_->adjustSize();
    bytes_ = 0;
}

void CRecDlg::showStatistics() {
    if (services_.statistics == nullptr) {
        return;
    }
    LinkStatistics::Totals totals;
    if (services_.linkTotals) {
        totals = services_.linkTotals();
    }
    if (player_ && !audioFailed_) {
        CAudioPlayQueue& queue = player_->queue();
        totals.queueMs = queue.filledCount() * queue.period();
        totals.deviceMs = player_->deviceLevelMs();
        totals.playerDrops = queue.droppedFrames() + player_->latencyDrops();
        totals.ranDry = player_->ranDry();
    }
    const LinkStatistics::Figures figures = services_.statistics->sample(totals);
    qCInfo(lcStats).noquote() << LinkStatistics::logLine(figures);
    if (!overlay_->isHidden()) {
        overlay_->SetLines(LinkStatistics::lines(figures));
    }
}

QList<int> CRecDlg::menuCommands() const {
    QList<int> commands;
    if (fullScreen_) {
        commands << ID_FULL_SCREEN;
    } else {
        commands << ID_ZOOM_50 << ID_ZOOM_100 << ID_ZOOM_200 << ID_FULL_SCREEN;
    }
    commands << ID_STATISTICS << 0 << ID_MIC_UP << ID_MIC_DOWN << 0 << ID_DISCONNECT_MENU;
    return commands;
}

void CRecDlg::contextMenuEvent(QContextMenuEvent* e) {
    CPMenu menu(this);
    for (int command : menuCommands()) {
        switch (command) {
            case ID_ZOOM_50:
                menu.AppendItem(command, tr("50% Video Size"));
                break;
            case ID_ZOOM_100:
                menu.AppendItem(command, tr("100%"));
                break;
            case ID_ZOOM_200:
                menu.AppendItem(command, tr("200%"));
                break;
            case ID_FULL_SCREEN:
                menu.AppendItem(command, fullScreen_ ? tr("Normal Screen") : tr("Full Screen"));
                break;
            case ID_MIC_UP:
                menu.AppendItem(command, tr("Rem. Mic. Vol. +20%"));
                break;
            case ID_MIC_DOWN:
                menu.AppendItem(command, tr("Rem. Mic. Vol. -20%"));
                break;
            case ID_STATISTICS:
                menu.AppendItem(command, tr("Statistics"));
                break;
            case ID_DISCONNECT_MENU:
                menu.AppendItem(command, tr("Disconnect"));
                break;
            default:
                menu.AppendItem(0, {});
        }
    }
    if (const int command = menu.run(e->globalPos()); command != 0) {
        onCommand(command);
    }
}

void CRecDlg::onCommand(int command) {
    switch (command) {
        case ID_ZOOM_50:
            applyZoom(0.5);
            break;
        case ID_ZOOM_100:
            applyZoom(1.0);
            break;
        case ID_ZOOM_200:
            applyZoom(2.0);
            break;
        case ID_FULL_SCREEN:
            fullScreen_ ? leaveFullScreen() : enterFullScreen();
            break;
        case ID_MIC_UP:
        case ID_MIC_DOWN:
            if (mainWindow_) {
                postMessage(mainWindow_, MSG_REMOTE_MIC, command == ID_MIC_UP ? 1 : 0);
            }
            break;
        case ID_STATISTICS:
            if (!overlay_->isHidden()) {
                overlay_->hide();
            } else {
                // Shown at once with the last second's figures, not empty.
                overlay_->SetLines(LinkStatistics::lines(services_.statistics != nullptr
                                                             ? services_.statistics->last()
                                                             : LinkStatistics::Figures{}));
                overlay_->show();
                overlay_->raise();
            }
            break;
        case ID_DISCONNECT:
        case ID_DISCONNECT_MENU:
            if (fullScreen_) {
                leaveFullScreen();
            }
            QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
            break;
        default:
            break;
    }
}

void CRecDlg::applyZoom(double zoom) {
    zoom_ = zoom;
    view_->SetZoom(zoom_);
    layoutWindow();
    update();
}

void CRecDlg::layoutWindow() {
    const int m = borderUnit();
    const int b = std::max({audioLabel_->geometry().bottom(), audioLevel_->geometry().bottom(),
                            rate_->geometry().bottom()}) +
                  1;
    const int right0 = rate_->geometry().right() + 1 + 4;
    QSize screen(1280, 800);
    if (const QScreen* s = this->screen()) {
        screen = s->availableGeometry().size();
    }
    if (videoFailed_ || !decoder_ || zoom_ <= 0) {
        resize(std::max(right0, 2 * m + 320), b + 2 * m);
    } else {
        const BitmapInfoHeader& f = decoder_->OutputFormat();
        const int w = std::min(static_cast<int>(zoom_ * std::abs(f.width)), screen.width() - 2 * m);
        const int h =
            std::min(static_cast<int>(zoom_ * std::abs(f.height)), screen.height() - b - 10 * m);
        view_->setGeometry(m, b + 2 * m, w, h);
        resize(std::max(w + 2 * m, right0), b + 2 * m + h + m);
    }
    const int barLeft =
        std::max(audioLabel_->geometry().right(), videoLabel_->geometry().right()) + 1 + 2 * m;
    const int pictureRight =
        videoFailed_ || !decoder_ ? width() - m : view_->geometry().right() + 1;
    const int barRight = std::max(std::min(pictureRight, 320), rate_->geometry().right() + 1 - 6);
    for (CBalansWnd* bar : {videoLevel_, audioLevel_}) {
        bar->setGeometry(barLeft, bar->y(), std::max(barRight - barLeft, 1), bar->height());
    }
    const int top = std::max(0, (titleHeight_ - disconnect_->height()) / 2);
    disconnect_->move(width() - disconnect_->width() - top, top);
    keepOnScreen();
}

void CRecDlg::keepOnScreen() {
    // A larger zoom or scale grows the window down and right from where it
    // stood: moved back so that all of it, Disconnect included, stays reachable.
    const QScreen* s = screen();
    if (s == nullptr || fullScreen_) {
        return;
    }
    const QRect area = s->availableGeometry();
    const QRect g = frameGeometry();
    const int x = std::max(area.left(), std::min(g.x(), area.right() + 1 - g.width()));
    const int y = std::max(area.top(), std::min(g.y(), area.bottom() + 1 - g.height()));
    if (QPoint(x, y) != g.topLeft()) {
        move(x, y);
    }
}

void CRecDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    keepOnScreen();
}

void CRecDlg::enterFullScreen() {
    fullScreen_ = true;
    view_->SetZoom(0);
    for (QWidget* w : {static_cast<QWidget*>(videoLabel_), static_cast<QWidget*>(audioLabel_),
                       static_cast<QWidget*>(rate_), static_cast<QWidget*>(disconnect_),
                       static_cast<QWidget*>(videoLevel_), static_cast<QWidget*>(audioLevel_),
                       static_cast<QWidget*>(logo_)}) {
        w->hide();
    }
    savedPicture_ = view_->geometry();
    savedWindow_ = geometry();
    const QRect full = screen() != nullptr ? screen()->geometry() : QRect(0, 0, 1280, 800);
    setGeometry(full);
    view_->setGeometry(0, 0, full.width(), full.height());
    raise();
    show();
}

void CRecDlg::leaveFullScreen() {
    fullScreen_ = false;
    for (QWidget* w : {static_cast<QWidget*>(videoLabel_), static_cast<QWidget*>(audioLabel_),
                       static_cast<QWidget*>(rate_), static_cast<QWidget*>(disconnect_),
                       static_cast<QWidget*>(videoLevel_), static_cast<QWidget*>(audioLevel_),
                       static_cast<QWidget*>(logo_)}) {
        w->show();
    }
    setGeometry(savedWindow_);
    view_->setGeometry(savedPicture_);
    applyZoom(zoom_);
}

void CRecDlg::reject() {
    if (fullScreen_) {
        leaveFullScreen();
    } else {
        close();
    }
}

void CRecDlg::closeEvent(QCloseEvent* event) {
    if (closing_) {
        event->accept();
        return;
    }
    closing_ = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    killTimer(timer_);
    hide();
    if (decoder_) {
        decoder_->End();
    }
    picture_.clear();
    event->accept();
    if (mainWindow_) {
        postMessage(mainWindow_, MSG_LOCAL_HANGUP);
    }
    QApplication::restoreOverrideCursor();
}

void CRecDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    titleSkin_.Compose(width(), titleHeight_, false, devicePixelRatioF());
    titleImage_ = QPixmap::fromImage(titleSkin_.picture());
    update();
}

void CRecDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), kBackground);
    painter.setPen(kFrame);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    if (!fullScreen_) {
        painter.drawPixmap(0, 0, titleImage_);
    }
}

void CRecDlg::mousePressEvent(QMouseEvent* event) {
    // The whole surface moves the window.
    if (event->button() == Qt::LeftButton && windowHandle() != nullptr) {
        windowHandle()->startSystemMove();
        return;
    }
    QDialog::mousePressEvent(event);
}

}  // namespace kova
