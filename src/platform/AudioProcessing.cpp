#include "platform/AudioProcessing.h"

#include <webrtc/modules/audio_processing/include/audio_processing.h>
#include <webrtc/modules/interface/module_common_types.h>
#include <QLoggingCategory>
#include <algorithm>
#include <cstring>

Q_LOGGING_CATEGORY(lcAudioProcessing, "kova.audio.processing", QtWarningMsg)

namespace kova {

namespace {

// The library's accepted stream delays.
constexpr int kMaxDelayMs = 500;
// Level the gain control aims at, in dB below full scale (the library's own default).
constexpr int kTargetLevelDbfs = 3;
constexpr int kCompressionGainDb = 9;

class WebRtcAudioProcessor final : public IAudioProcessor {
public:
    explicit WebRtcAudioProcessor(webrtc::AudioProcessing* apm) : apm_(apm) {
        for (webrtc::AudioFrame* f : {&near_, &far_}) {
            f->sample_rate_hz_ = kRate;
            f->num_channels_ = 1;
            f->samples_per_channel_ = kBlockSamples;
        }
    }

    bool setSwitches(const AudioProcessingSwitches& on) override {
        bool ok = apm_->echo_cancellation()->enable_drift_compensation(false) == 0;
        // The lowest level: the higher ones cut our voice by up to 20 dB while
        // the peer talks, and the linear filter alone already removes the echo.
        ok &= apm_->echo_cancellation()->set_suppression_level(
                  webrtc::EchoCancellation::kLowSuppression) == 0;
        ok &= apm_->echo_cancellation()->Enable(on.echoCancellation) == 0;
        ok &= apm_->noise_suppression()->set_level(webrtc::NoiseSuppression::kHigh) == 0;
        ok &= apm_->noise_suppression()->Enable(on.noiseSuppression) == 0;
        // Digital only: the capture level of the mixer is the user's.
        ok &= apm_->gain_control()->set_mode(webrtc::GainControl::kAdaptiveDigital) == 0;
        ok &= apm_->gain_control()->set_target_level_dbfs(kTargetLevelDbfs) == 0;
        ok &= apm_->gain_control()->set_compression_gain_db(kCompressionGainDb) == 0;
        ok &= apm_->gain_control()->enable_limiter(true) == 0;
        ok &= apm_->gain_control()->Enable(on.gainControl) == 0;
        ok &= apm_->high_pass_filter()->Enable(on.any()) == 0;
        echo_ = on.echoCancellation;
        if (!ok) {
            qCWarning(lcAudioProcessing) << "cannot apply the processing switches";
        }
        return ok;
    }

    void analyzeFarEnd(ConstBlock block) override {
        std::memcpy(far_.data_, block.data(), block.size_bytes());
        if (const int rc = apm_->AnalyzeReverseStream(&far_); rc != 0) {
            qCDebug(lcAudioProcessing) << "far-end block refused" << rc;
        }
    }

    bool processNearEnd(Block block, int delayMs) override {
        std::memcpy(near_.data_, block.data(), block.size_bytes());
        if (echo_) {
            apm_->set_stream_delay_ms(std::clamp(delayMs, 0, kMaxDelayMs));
        }
        const int rc = apm_->ProcessStream(&near_);
        if (rc != 0) {
            // The block goes out as recorded rather than not at all.
            qCDebug(lcAudioProcessing) << "near-end block refused" << rc;
            return false;
        }
        std::memcpy(block.data(), near_.data_, block.size_bytes());
        return true;
    }

private:
    std::unique_ptr<webrtc::AudioProcessing> apm_;
    // Preallocated: no allocation per block on the capture thread.
    webrtc::AudioFrame near_;
    webrtc::AudioFrame far_;
    bool echo_ = false;
};

}  // namespace

std::unique_ptr<IAudioProcessor> makeAudioProcessor() {
    webrtc::Config config;
    // The delay the devices report, not one found from the signals: the
    // estimator needs a changing sound to time, and through a real sound
    // server it held a wrong delay for seconds, now and then for a whole call.
    // The extended filter's suppressor took more of our voice while the peer
    // talked.
    config.Set<webrtc::ExtendedFilter>(new webrtc::ExtendedFilter(false));
    config.Set<webrtc::DelayAgnostic>(new webrtc::DelayAgnostic(false));
    config.Set<webrtc::ExperimentalAgc>(new webrtc::ExperimentalAgc(false));
    webrtc::AudioProcessing* apm = webrtc::AudioProcessing::Create(config);
    if (apm == nullptr) {
        return nullptr;
    }
    if (apm->Initialize(IAudioProcessor::kRate, IAudioProcessor::kRate, IAudioProcessor::kRate,
                        webrtc::AudioProcessing::kMono, webrtc::AudioProcessing::kMono,
                        webrtc::AudioProcessing::kMono) != 0) {
        delete apm;
        return nullptr;
    }
    return std::make_unique<WebRtcAudioProcessor>(apm);
}

}  // namespace kova
