#include "app/ConferenceMedia.h"

#include "audio/AudioCapture.h"
#include "audio/AudioCompressorDlg.h"
#include "audio/AudioPlayer.h"
#include "audio/EchoTap.h"
#include "common/WindowMessages.h"
#include "config/AvSettings.h"
#include "config/OwnSettings.h"
#include "config/ProgramPaths.h"
#include "media/MediaSocket.h"
#include "platform/AlsaWaveIn.h"
#include "platform/AlsaWaveOut.h"
#include "platform/AudioCodecLibav.h"
#include "platform/VideoCodecFfmpeg.h"
#include "signalling/ControlChannel.h"
#include "signalling/DlgMessage.h"
#include "video/DeviceList.h"
#include "video/LocalVideo.h"
#include "video/SendVideoWnd.h"

namespace kova {

ConferenceMedia::ConferenceMedia(const Setup& setup)
    : setup_(setup),
      audioCodecs_(std::make_unique<AudioCodecLibav>()),
      audioIn_(std::make_unique<AlsaWaveIn>()),
      prompt_(std::make_unique<CDlgMessagePrompt>()),
      chooser_(std::make_unique<CDialogFormatChooser>()),
      videoCodecs_(std::make_unique<CFfmpegVideoCodecProvider>()),
      devices_(std::make_unique<CDeviceList>()),
      sender_(std::make_unique<CSendVideoWnd>()),
      localVideo_(std::make_unique<CLocalVideo>(*videoCodecs_, *setup.balloons)),
      audioChannel_(std::make_unique<CMediaSocket>(setup.bindAddress)),
      videoChannel_(std::make_unique<CMediaSocket>(setup.bindAddress)) {
    // "Can be played back" asks whether the format decodes to playable sound, not
    // whether this machine has a loudspeaker: a host without sound still calls.
    capture_ = std::make_unique<CAudioCapture>(*audioIn_, *audioCodecs_, *setup.balloons, *prompt_,
                                               *chooser_);
    devices_->Enumerate();
    sender_->SetStatistics(&statistics_);
    QObject::connect(setup.control, &CControlChannel::frameAcknowledged, sender_.get(), [this] {
        statistics_.pictureAcknowledged();
        sender_->OnFrameAck();
    });
}

ConferenceMedia::~ConferenceMedia() {
    delete receiving_.data();
    // The channels go before the capture: its thread must be done with them.
    capture_->Stop();
    capture_->setMediaSocket(nullptr);
    capture_->Reset();
}

void ConferenceMedia::setUpAudio() {
    const AvSettings& s = *setup_.settings;
    capture_->setDeviceIndex(s.audioDeviceIndex);
    capture_->setDestinationFormat(s.audioFormat);
    capture_->setBufferLength(s.audioBufferLength);
    const OwnSettings own(joinPath(setup_.programFolder, QStringLiteral("kova.ini")));
    capture_->setProcessing({own.get(switches::kEchoCancellation),
                             own.get(switches::kNoiseSuppression),
                             own.get(switches::kGainControl)});
    if (!capture_->IsRealTime()) {
        // The choice holds for this run; only the devices dialog stores one.
        auto format = capture_->destinationFormat();
        capture_->ChooseCodec(setup_.mainWindow, format);
        capture_->setDestinationFormat(format);
    }
}

QString ConferenceMedia::audioCodecName() {
    return capture_->CodecName();
}

void ConferenceMedia::setPreview(CShowWnd* preview) {
    preview_ = preview;
    sender_->Attach(preview);
}

bool ConferenceMedia::startLocalVideo(int device) {
    return localVideo_->Start(*devices_, device, *setup_.settings, setup_.programFolder, *sender_,
                              preview_) != CLocalVideo::Result::CaptureFailed;
}

IVideoCodecProvider& ConferenceMedia::videoCodecs() {
    return *videoCodecs_;
}

const CCaptureGraph* ConferenceMedia::captureGraph() const {
    return localVideo_->Graph();
}

bool ConferenceMedia::localVideoRunning() const {
    return localVideo_->Graph() != nullptr;
}

void ConferenceMedia::pauseLocalVideo() {
    localVideo_->Pause();
}

void ConferenceMedia::resumeLocalVideo() {
    localVideo_->Resume();
}

QSize ConferenceMedia::captureSize() const {
    if (const CCaptureGraph* graph = localVideo_->Graph()) {
        const BitmapInfoHeader f = graph->VideoFormat();
        return QSize(std::abs(f.width), std::abs(f.height));
    }
    return QSize(320, 240);
}

CallParameters ConferenceMedia::callParameters() const {
    CallParameters p;
    if (localVideo_->Encoder() != nullptr) {
        p.video = localVideo_->CallFormat();
        p.frameRate = CallParameters::kFrameRateCapturing;
    } else {
        p.video = CallParameters::initialVideoHeader();
        p.frameRate = CallParameters::kFrameRateBeforeCapture;
    }
    p.compressorFourCC = setup_.settings->compressorFourCC;
    p.audioFormat = capture_->destinationFormat();
    p.audioBufferMs = capture_->bufferLength();
    return p;
}

CRecDlg* ConferenceMedia::receivingWindow() const {
    return receiving_.data();
}

LinkStatistics::Totals ConferenceMedia::linkTotals() const {
    LinkStatistics::Totals t;
    for (const CMediaSocket* channel : {audioChannel_.get(), videoChannel_.get()}) {
        t.bytesIn += channel->bytesReceived();
        t.bytesOut += channel->bytesSent();
        t.strangers += channel->strangerDatagrams();
    }
    return t;
}

bool ConferenceMedia::receivingWindowOpen() const {
    return receiving_ && receiving_->isVisible();
}

void ConferenceMedia::prepare(const PeerMedia& peer) {
    peer_ = peer;
    statistics_.reset(linkTotals());
    if (!receiving_) {
        CRecDlg::Services services;
        services.videoCodecs = videoCodecs_.get();
        services.audioCodecs = audioCodecs_.get();
        services.balloons = setup_.balloons;
        services.control = setup_.control;
        services.mainWindow = setup_.mainWindow;
        services.warn = warn_;
        services.statistics = &statistics_;
        services.linkTotals = [this] { return linkTotals(); };
        // What the loudspeaker plays is the echo canceller's reference.
        services.makeWaveOut = [this]() -> std::unique_ptr<IWaveOut> {
            auto device = std::make_unique<AlsaWaveOut>();
            AlsaWaveOut* alsa = device.get();
            return std::make_unique<CEchoTapWaveOut>(std::move(device), capture_->echoReference(),
                                                     [alsa] { return alsa->delayFrames(); });
        };
        receiving_ = new CRecDlg(peer.name, services);
    }
    receiving_->SetPeer(peer.parameters.compressorFourCC, peer.parameters, peer.audioFrameSize);
    audioChannel_->Open(receiving_.data(), peer.address, MediaSource::Audio, peer.audioFrameSize,
                        CMediaSocket::kAudioPort, setup_.maxUdpDatagram);
    videoChannel_->Open(receiving_.data(), peer.address, MediaSource::Video, peer.videoFrameSize,
                        CMediaSocket::kVideoPort, setup_.maxUdpDatagram);
}

bool ConferenceMedia::showReceivingWindow() {
    if (!receiving_) {
        return false;
    }
    receiving_->OpenMedia();
    if (!receiving_) {
        return false;
    }
    receiving_->show();
    return true;
}

bool ConferenceMedia::startVideoSender() {
    return sender_->StartSending(videoChannel_.get(), localVideo_->Encoder(),
                                 localVideo_->FrameSize());
}

void ConferenceMedia::startAudioCapture() {
    capture_->setMediaSocket(audioChannel_.get());
    capture_->Start();
}

void ConferenceMedia::stopSending() {
    sender_->StopSending();
    capture_->Stop();
    capture_->setMediaSocket(nullptr);
    audioChannel_->Deactivate();
    videoChannel_->Deactivate();
}

void ConferenceMedia::closeReceiving() {
    if (receiving_) {
        receiving_->hide();
        receiving_->deleteLater();
        receiving_ = nullptr;
    }
    audioChannel_->Close();
    videoChannel_->Close();
}

void ConferenceMedia::endCompressor() {
    if (CVideoCodec* encoder = localVideo_->Encoder()) {
        encoder->End();
    }
    sender_->SetFrameAck(true);
}

}  // namespace kova
