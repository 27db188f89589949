#include "audio/CaptureProcessing.h"

#include <algorithm>

namespace kova {

namespace {
constexpr unsigned kEcho = 1;
constexpr unsigned kNoise = 2;
constexpr unsigned kGain = 4;

unsigned pack(const AudioProcessingSwitches& on) {
    return (on.echoCancellation ? kEcho : 0) | (on.noiseSuppression ? kNoise : 0) |
           (on.gainControl ? kGain : 0);
}

AudioProcessingSwitches unpack(unsigned bits) {
    return {(bits & kEcho) != 0, (bits & kNoise) != 0, (bits & kGain) != 0};
}
}  // namespace

CCaptureProcessing::CCaptureProcessing(Factory factory, Clock clock)
    : factory_(std::move(factory)), clock_(std::move(clock)) {}

void CCaptureProcessing::setSwitches(const AudioProcessingSwitches& on) {
    wanted_.store(pack(on), std::memory_order_relaxed);
}

AudioProcessingSwitches CCaptureProcessing::switches() const {
    return unpack(wanted_.load(std::memory_order_relaxed));
}

void CCaptureProcessing::begin(const WaveFormat& source) {
    processor_.reset();
    applied_ = ~0u;
    carried_ = 0;
    haveReference_ = false;
    lastDelayMs_ = 0;
    nearBlocks_ = 0;
    farBlocks_ = 0;
    const bool usable = source.formatTag == WaveFormat::kTagPcm &&
                        source.samplesPerSec == IAudioProcessor::kRate && source.channels == 1 &&
                        source.bitsPerSample == 16;
    if (usable && factory_) {
        processor_ = factory_();
    }
}

bool CCaptureProcessing::ready() {
    if (processor_ == nullptr) {
        return false;
    }
    const unsigned wanted = wanted_.load(std::memory_order_relaxed);
    if (wanted != applied_) {
        processor_->setSwitches(unpack(wanted));
        applied_ = wanted;
        // What the peer said while we were not cancelling is no reference now.
        reference_.clear();
    }
    return applied_ != 0;
}

void CCaptureProcessing::processBlock(std::byte* block, std::int64_t capturedUs) {
    // The analyser takes everything the loudspeaker got since the last block,
    // so the reference is never behind the echo it explains.
    while (const CEchoReference::Block* far = reference_.front()) {
        processor_->analyzeFarEnd(far->samples);
        lastRenderUs_ = far->renderUs;
        haveReference_ = true;
        reference_.pop();
        ++farBlocks_;
    }
    // Nothing queued reaches the loudspeaker any more (the peer is silent, its
    // sound is late, or there is no call): it plays silence, and the canceller
    // is told so. Starved of reference blocks it would take everything for echo.
    constexpr std::int64_t kBlockUs = IAudioProcessor::kBlockMs * 1000;
    if (!haveReference_ || lastRenderUs_ + kBlockUs <= capturedUs) {
        processor_->analyzeFarEnd(silence_);
        lastRenderUs_ = capturedUs;
        haveReference_ = true;
    }
    lastDelayMs_ = static_cast<int>(std::max<std::int64_t>(0, lastRenderUs_ - capturedUs) / 1000);
    // Through an aligned copy: the device's bytes need not be aligned for int16.
    std::array<std::int16_t, IAudioProcessor::kBlockSamples> samples;
    std::memcpy(samples.data(), block, kBlockBytes);
    if (processor_->processNearEnd(samples, lastDelayMs_)) {
        std::memcpy(block, samples.data(), kBlockBytes);
    }
    ++nearBlocks_;
}

}  // namespace kova
