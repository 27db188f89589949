#include "audio/AudioPlayer.h"

#include <QLoggingCategory>
#include <QStringList>
#include <QThread>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "audio/ArrivalIndicator.h"
#include "common/BalloonReporter.h"

namespace kova {

namespace {
Q_LOGGING_CATEGORY(lcPlayout, "kova.audio.playout", QtWarningMsg)

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
    decoded_.assign(pcmCapacity, std::byte{0});
    // Room for a frame lengthened by the level's steering and the silence
    // written after the device ran dry.
    pcmRate_ = std::max<std::uint32_t>(pcm->samplesPerSec, 1);
    pcmChannels_ = std::max<std::uint32_t>(pcm->channels, 1);
    const std::uint64_t refill = std::uint64_t{pcmRate_} * pcmChannels_ * 2 * kMaxRefillMs / 1000;
    for (auto& h : headers_) {
        h.assign(pcmCapacity + pcmCapacity / kStepDivisor + refill + 16, std::byte{0});
    }
    writePos_ = 0;
    haveEstimate_ = false;
    marginMs_ = kMarginMs;
    deviceLevelMs_ = 0;
    framesPlayed_ = 0;
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
    const AudioConvertResult r = decoder_->convert(frame, decoded_, kConvertBlockAlign);
    if (!r.ok || r.produced == 0) {
        return;
    }
    const ByteSpan pcm(decoded_.data(), std::min<std::size_t>(r.produced, decoded_.size()));
    auto& out = headers_[found];
    std::size_t bytes = 0;
    const auto level = levelLocked();
    if (level) {
        bytes = steer(pcm, out, *level);
    } else {
        bytes = std::min(pcm.size(), out.size());
        std::memcpy(out.data(), pcm.data(), bytes);
    }
    if (bytes > 0 && device_.write(found, ByteSpan(out.data(), bytes)) == 0) {
        const std::uint64_t frames = bytes / (std::size_t{pcmChannels_} * 2);
        framesPlayed_.fetch_add(frames, std::memory_order_relaxed);
        if (level) {
            deviceLevelMs_.store(static_cast<std::uint32_t>(*level + frames * 1000 / pcmRate_),
                                 std::memory_order_relaxed);
        }
    }
}

std::optional<std::uint32_t> CAudioPlayer::levelLocked() {
    const auto frames = device_.queuedFrames();
    if (!frames) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(std::uint64_t{*frames} * 1000 / pcmRate_);
}

std::optional<std::uint32_t> CAudioPlayer::bufferedMs() {
    if (!opened_) {
        return std::nullopt;
    }
    std::lock_guard lock(lock_);
    return levelLocked();
}

// Why steer the device rather than the queue: the device is what runs dry.
// Frames are written the moment they are next in order, so the level a frame
// finds plus how late it came (against the earliest arrival) is the same for
// every frame; that sum is kept at the jitter's 95th percentile plus one
// device period, so that the latest frames still find the device playing.
// The sum is smoothed over a few frames, and each correction is booked into
// it at once so that the smoothing does not make it overshoot.
std::size_t CAudioPlayer::steer(ByteSpan pcm, std::vector<std::byte>& out, std::uint32_t levelMs) {
    const std::size_t frameBytes = std::size_t{pcmChannels_} * 2;
    const std::size_t inFrames = pcm.size() / frameBytes;
    const double frameMs = 1000.0 * static_cast<double>(inFrames) / pcmRate_;
    const double found = levelMs + queue_.playingLateMs();
    double margin = marginMs_.load();
    if (haveEstimate_ && levelMs == 0) {
        margin = std::min(margin + kMarginStepMs, kMaxMarginMs);
        ++ranDry_;
        qCInfo(lcPlayout) << "playout ran dry, margin now" << margin << "ms";
    } else {
        margin = std::max<double>(kMarginMs, margin - frameMs * kMarginDecayPerMs);
    }
    marginMs_ = margin;
    const double target = queue_.jitterMs() + margin;
    std::size_t silenceFrames = 0;
    std::size_t outFrames = inFrames;
    if (!haveEstimate_ || levelMs == 0) {
        // Ran dry (or first frame): a gap is heard anyway, so fill to the target at once.
        const double fill = std::min<double>(std::max(0.0, target - found), kMaxRefillMs);
        silenceFrames = static_cast<std::size_t>(fill * pcmRate_ / 1000);
        estimateMs_ = found + fill;
        haveEstimate_ = true;
    } else {
        estimateMs_ += (found - estimateMs_) / kSmoothing;
        const double error = estimateMs_ - target;
        if (error > 2 * frameMs + kDeadbandMs) {
            estimateMs_ -= frameMs;
            ++latencyDrops_;
            return 0;
        }
        double change = 0;
        if (error > kDeadbandMs || error < -kDeadbandMs) {
            const double step = frameMs / kStepDivisor;
            change = std::clamp(-error, -step, step);
        }
        const auto delta = static_cast<std::ptrdiff_t>(change * pcmRate_ / 1000);
        outFrames = static_cast<std::size_t>(
            std::max<std::ptrdiff_t>(1, static_cast<std::ptrdiff_t>(inFrames) + delta));
        const double applied =
            1000.0 * (static_cast<double>(outFrames) - static_cast<double>(inFrames)) / pcmRate_;
        estimateMs_ += applied;
        retimedMs_ += static_cast<std::int64_t>(applied);
    }
    const std::uint32_t now = clock_.nowMs();
    if (now - lastReportMs_ >= 5000) {
        lastReportMs_ = now;
        qCDebug(lcPlayout) << "level" << levelMs << "ms, jitter" << queue_.jitterMs()
                           << "ms, estimate" << estimateMs_ << "ms, target" << target;
    }
    const std::size_t silenceBytes = std::min(silenceFrames * frameBytes, out.size());
    std::memset(out.data(), 0, silenceBytes);
    const std::size_t room = (out.size() - silenceBytes) / frameBytes;
    return silenceBytes + retime(pcm, std::span(out).subspan(silenceBytes), pcmChannels_,
                                 std::min(outFrames, room));
}

std::size_t CAudioPlayer::retime(ByteSpan in, MutableByteSpan out, std::uint32_t channels,
                                 std::size_t outFrames) {
    const std::size_t frameBytes = std::size_t{channels} * 2;
    const std::size_t inFrames = in.size() / frameBytes;
    outFrames = std::min(outFrames, out.size() / frameBytes);
    if (inFrames == 0 || outFrames == 0) {
        return 0;
    }
    const auto sample = [&](std::size_t frame, std::uint32_t ch) {
        return readLe<std::int16_t>(in, (frame * channels + ch) * 2);
    };
    for (std::size_t k = 0; k < outFrames; ++k) {
        // The first and last samples are kept, so frames still join smoothly.
        const double pos = outFrames == 1
                               ? 0.0
                               : static_cast<double>(k) * static_cast<double>(inFrames - 1) /
                                     static_cast<double>(outFrames - 1);
        const auto i = static_cast<std::size_t>(pos);
        const double f = pos - static_cast<double>(i);
        for (std::uint32_t ch = 0; ch < channels; ++ch) {
            const double a = sample(i, ch);
            const double b = i + 1 < inFrames ? sample(i + 1, ch) : a;
            const auto v = static_cast<std::int16_t>(std::lround(a + (b - a) * f));
            writeLe<std::int16_t>(out, (k * channels + ch) * 2, v);
        }
    }
    return outFrames * frameBytes;
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
