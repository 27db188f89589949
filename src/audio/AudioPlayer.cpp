#include "audio/AudioPlayer.h"

#include <QStringList>
#include <QThread>
#include <algorithm>
#include <cstring>

#include "audio/ArrivalIndicator.h"
#include "common/BalloonReporter.h"

namespace kova {

namespace {
const QString kFormatUnsupported = QStringLiteral("Audio format isn't supported!");
const QString kOpenFailed = QStringLiteral("Error open Audio device");
const QString kResetFailed = QStringLiteral("Error stop audio.");
const QString kUnprepareFailed = QStringLiteral("Error stop audio buffer.");
const QString kCloseFailed = QStringLiteral("Error close audio device.");

WaveFormat areaFormat(const CAudioPlayer::FormatArea& area) {
    return WaveFormat::decode(area).value_or(WaveFormat{});
}
}  // namespace

CAudioPlayer::CAudioPlayer(IWaveOut& device, IAudioCodecs& codecs, IBalloonReporter& balloons,
                           IPlayoutClock* clock)
    : device_(device),
      codecs_(codecs),
      balloons_(balloons),
      ownClock_(clock == nullptr ? std::make_unique<SteadyPlayoutClock>() : nullptr),
      clock_(clock == nullptr ? *ownClock_ : *clock),
      queue_(clock_),
      format_(WaveFormat::pcm(8000, 16, 1).toArea()) {}

CAudioPlayer::~CAudioPlayer() {
    queue_.stop();
    if (opened_) {
        CloseDevice();
    }
}

std::uint32_t CAudioPlayer::slotCapacityFor(const WaveFormat& peer, std::uint16_t bufferMs) {
    std::uint64_t k = (std::uint64_t{peer.samplesPerSec} * bufferMs + 500) / 1000;
    if (k == 0) {
        k = 1;
    }
    const std::uint64_t blocks = std::uint64_t{peer.blockAlign} * k;
    // A hostile format cannot ask for more than the largest media frame.
    constexpr std::uint64_t kMaxCapacity = 65535;
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(
        std::max<std::uint64_t>(peer.avgBytesPerSec, blocks), kMaxCapacity));
}

bool CAudioPlayer::canPlay(IAudioCodecs& codecs, IWaveOut& device, const WaveFormat& format) {
    const auto pcm = codecs.suggestPcm(format);
    return pcm && codecs.queryStream(format, *pcm) && device.query(*pcm) == 0;
}

void CAudioPlayer::SetPeerFormat(ByteSpan format, int periodMs, std::uint32_t slotCapacity,
                                 IArrivalIndicator* indicator) {
    // The playout thread reads the slots: they are only rebuilt while closed.
    if (format.empty() || opened_) {
        return;
    }
    std::memcpy(format_.data(), format.data(), std::min(format.size(), format_.size()));
    const WaveFormat peer = areaFormat(format_);
    formatName_ = codecs_.tagName(peer.formatTag);
    queue_.configure(periodMs, this, slotCapacity, peer.avgBytesPerSec);
    indicator_ = indicator;
}

int CAudioPlayer::OpenDevice() {
    if (opened_) {
        return 0;
    }
    lastArrival_ = clock_.nowMs();
    const WaveFormat peer = areaFormat(format_);
    // Compressed frames are decoded here, so the device is asked for the PCM
    // that goes with the peer's format.
    const auto pcm = codecs_.suggestPcm(peer);
    if (!pcm || !codecs_.queryStream(peer, *pcm)) {
        balloons_.ShowBalloon(kFormatUnsupported);
        return kErrorNoDecoder;
    }
    if (const int rc = device_.query(*pcm); rc != 0) {
        balloons_.ShowBalloon(kFormatUnsupported);
        return rc;
    }
    decoder_ = codecs_.openStream(peer, *pcm);
    if (!decoder_) {
        balloons_.ShowBalloon(kFormatUnsupported);
        return kErrorNoDecoder;
    }
    if (const int rc = device_.open(*pcm); rc != 0) {
        decoder_.reset();
        balloons_.ShowBalloon(kOpenFailed);
        return rc;
    }
    opened_ = true;
    if (auto v = device_.volume(); v && *v == 0) {
        device_.setVolume(kRaisedVolume);
    }
    const std::uint32_t pcmCapacity = decoder_->destinationSize(queue_.slotCapacity()).value_or(0);
    for (auto& h : headers_) {
        h.assign(pcmCapacity, std::byte{0});
    }
    writePos_ = 0;
    queue_.start(playoutThread_);
    return 0;
}

void CAudioPlayer::Write(ByteSpan frame) {
    if (!opened_) {
        return;
    }
    thisArrival_ = clock_.nowMs();
    if (indicator_ != nullptr) {
        const std::uint32_t gap = thisArrival_ - lastArrival_;
        indicator_->setLevel(gap == 0 ? kIndicatorScale : static_cast<int>(kIndicatorScale / gap));
    }
    lastArrival_ = thisArrival_;

    std::lock_guard lock(lock_);
    writePos_ = (writePos_ + 1) % IWaveOut::kHeaders;
    int found = -1;
    for (int pass = 0; pass < kHeaderPasses && found < 0; ++pass) {
        for (int i = 0; i < IWaveOut::kHeaders; ++i) {
            const int h = (writePos_ + i) % IWaveOut::kHeaders;
            if (device_.done(h)) {
                found = h;
                break;
            }
            QThread::yieldCurrentThread();
        }
    }
    if (found < 0) {
        ++headerDrops_;
        return;
    }
    auto& pcm = headers_[found];
    const AudioConvertResult r = decoder_->convert(frame, pcm, kConvertBlockAlign);
    if (r.ok && r.produced > 0) {
        device_.write(found, ByteSpan(pcm.data(), r.produced));
    }
}

int CAudioPlayer::CloseDevice() {
    if (!opened_) {
        return 0;
    }
    opened_ = false;
    queue_.stop();
    QStringList texts;
    int rc = 0;
    {
        std::lock_guard lock(lock_);
        if (device_.reset() != 0) {
            texts << kResetFailed;
        }
        QThread::yieldCurrentThread();
        for (int h = 0; h < IWaveOut::kHeaders; ++h) {
            if (!device_.done(h)) {
                texts << kUnprepareFailed;
            }
        }
        rc = device_.close();
        if (rc != 0) {
            texts << kCloseFailed;
        }
    }
    // Shown after the lock is left: a balloon may run the event loop.
    for (const auto& t : texts) {
        balloons_.ShowBalloon(t);
    }
    decoder_.reset();
    return rc;
}

}  // namespace kova
