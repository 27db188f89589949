#include "platform/AlsaWaveOut.h"

#include <alsa/asoundlib.h>

#include <QLoggingCategory>
#include <algorithm>
#include <vector>

#include "platform/AlsaError.h"
#include "platform/AlsaPlaybackVolume.h"

namespace kova {

namespace {
Q_LOGGING_CATEGORY(lcPlayout, "kova.audio.playout", QtWarningMsg)
}

AlsaWaveOut::AlsaWaveOut(std::string pcmName) : name_(std::move(pcmName)) {}

AlsaWaveOut::~AlsaWaveOut() {
    close();
}

int AlsaWaveOut::configure(snd_pcm_t* pcm, const WaveFormat& f, std::uint32_t* ringFrames) {
    if (f.formatTag != WaveFormat::kTagPcm || f.bitsPerSample != 16 || f.channels == 0 ||
        f.samplesPerSec == 0) {
        return -EINVAL;
    }
    snd_pcm_hw_params_t* hw = nullptr;
    snd_pcm_hw_params_alloca(&hw);
    unsigned rate = f.samplesPerSec;
    int rc = snd_pcm_hw_params_any(pcm, hw);
    if (rc >= 0)
        rc = snd_pcm_hw_params_set_access(pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED);
    if (rc >= 0)
        rc = snd_pcm_hw_params_set_format(pcm, hw, SND_PCM_FORMAT_S16_LE);
    if (rc >= 0)
        rc = snd_pcm_hw_params_set_channels(pcm, hw, f.channels);
    if (rc >= 0)
        rc = snd_pcm_hw_params_set_rate_near(pcm, hw, &rate, nullptr);
    if (rc >= 0 && rate != f.samplesPerSec)
        rc = -EINVAL;
    if (rc < 0) {
        return rc;
    }
    snd_pcm_uframes_t ring = std::uint64_t{f.samplesPerSec} * kRingMs / 1000;
    snd_pcm_uframes_t period = std::max<snd_pcm_uframes_t>(f.samplesPerSec / 100, 1);
    snd_pcm_hw_params_set_period_size_near(pcm, hw, &period, nullptr);
    snd_pcm_hw_params_set_buffer_size_near(pcm, hw, &ring);
    rc = snd_pcm_hw_params(pcm, hw);
    if (rc < 0) {
        return rc;
    }
    if (ringFrames != nullptr && snd_pcm_hw_params_get_buffer_size(hw, &ring) >= 0) {
        *ringFrames = static_cast<std::uint32_t>(ring);
    }
    snd_pcm_sw_params_t* sw = nullptr;
    snd_pcm_sw_params_alloca(&sw);
    if (snd_pcm_sw_params_current(pcm, sw) >= 0) {
        const snd_pcm_uframes_t start =
            std::max<snd_pcm_uframes_t>(1, std::uint64_t{f.samplesPerSec} * startMs_ / 1000);
        snd_pcm_sw_params_set_start_threshold(pcm, sw, start);
        snd_pcm_sw_params(pcm, sw);
    }
    return 0;
}

int AlsaWaveOut::query(const WaveFormat& f) {
    snd_pcm_t* pcm = nullptr;
    int rc = snd_pcm_open(&pcm, name_.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK);
    if (rc < 0) {
        return waveErrorFromAlsa(rc);
    }
    rc = configure(pcm, f);
    snd_pcm_close(pcm);
    return waveErrorFromAlsa(std::min(rc, 0));
}

int AlsaWaveOut::open(const WaveFormat& f) {
    close();
    std::lock_guard lock(mutex_);
    snd_pcm_t* pcm = nullptr;
    int rc = snd_pcm_open(&pcm, name_.c_str(), SND_PCM_STREAM_PLAYBACK, 0);
    if (rc < 0) {
        return waveErrorFromAlsa(rc);
    }
    ringFrames_ = 0;
    rc = configure(pcm, f, &ringFrames_);
    if (rc < 0) {
        snd_pcm_close(pcm);
        return waveErrorFromAlsa(rc);
    }
    pcm_ = pcm;
    frameBytes_ = f.blockAlign;
    rate_ = f.samplesPerSec;
    needPrefill_ = true;
    written_ = 0;
    endOf_.fill(0);
    underruns_ = 0;
    return 0;
}

std::optional<std::uint32_t> AlsaWaveOut::volume() {
    return alsaPlaybackVolume();
}

void AlsaWaveOut::setVolume(std::uint32_t volume) {
    setAlsaPlaybackVolume(volume);
}

std::int64_t AlsaWaveOut::playedFrames() {
    const snd_pcm_state_t st = snd_pcm_state(pcm_);
    if (st == SND_PCM_STATE_PREPARED) {
        return 0;  // not started: nothing played yet
    }
    if (st != SND_PCM_STATE_RUNNING && st != SND_PCM_STATE_DRAINING) {
        return written_;  // stopped by an underrun: everything played
    }
    snd_pcm_sframes_t delay = 0;
    if (snd_pcm_delay(pcm_, &delay) < 0) {
        return written_;
    }
    return written_ - delay;
}

bool AlsaWaveOut::done(int header) {
    std::lock_guard lock(mutex_);
    if (pcm_ == nullptr || header < 0 || header >= kHeaders) {
        return true;
    }
    return endOf_[header] <= playedFrames();
}

int AlsaWaveOut::writeFrames(const std::byte* p, std::size_t frames) {
    while (frames > 0) {
        snd_pcm_sframes_t n = snd_pcm_writei(pcm_, p, frames);
        if (n == -EPIPE) {
            // Underrun: the device played everything; start again from here.
            ++underruns_;
            qCInfo(lcPlayout) << "output underrun" << underruns_.load() << "after" << written_
                              << "frames";
            written_ = 0;
            endOf_.fill(0);
            snd_pcm_prepare(pcm_);
            return -EPIPE;
        }
        if (n == -ESTRPIPE) {
            while ((n = snd_pcm_resume(pcm_)) == -EAGAIN) {
            }
            if (n < 0) {
                snd_pcm_prepare(pcm_);
            }
            continue;
        }
        if (n < 0) {
            return static_cast<int>(n);
        }
        written_ += n;
        frames -= static_cast<std::size_t>(n);
        p += static_cast<std::size_t>(n) * frameBytes_;
    }
    return 0;
}

int AlsaWaveOut::write(int header, ByteSpan pcm) {
    std::lock_guard lock(mutex_);
    if (pcm_ == nullptr || header < 0 || header >= kHeaders) {
        return kWaveError;
    }
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (needPrefill_) {
            needPrefill_ = false;
            const std::vector<std::byte> silence(std::size_t{rate_} * prefillMs_ / 1000 *
                                                 frameBytes_);
            writeFrames(silence.data(), silence.size() / frameBytes_);
        }
        const int rc = writeFrames(pcm.data(), pcm.size() / frameBytes_);
        if (rc == -EPIPE) {
            needPrefill_ = true;
            continue;  // write the frame again after the restart's silence
        }
        if (rc < 0) {
            return waveErrorFromAlsa(rc);
        }
        break;
    }
    endOf_[header] = written_;
    return 0;
}

std::optional<std::uint32_t> AlsaWaveOut::queuedFrames() {
    std::lock_guard lock(mutex_);
    if (pcm_ == nullptr || ringFrames_ == 0) {
        return std::nullopt;
    }
    switch (snd_pcm_state(pcm_)) {
        case SND_PCM_STATE_PREPARED:
            return static_cast<std::uint32_t>(written_);  // below the start threshold
        case SND_PCM_STATE_RUNNING:
        case SND_PCM_STATE_DRAINING:
            break;
        default:
            return 0;  // ran dry
    }
    const snd_pcm_sframes_t avail = snd_pcm_avail(pcm_);
    if (avail < 0) {
        return 0;
    }
    return ringFrames_ - std::min<std::uint32_t>(ringFrames_, static_cast<std::uint32_t>(avail));
}

int AlsaWaveOut::reset() {
    std::lock_guard lock(mutex_);
    if (pcm_ == nullptr) {
        return 0;
    }
    int rc = snd_pcm_drop(pcm_);
    needPrefill_ = true;
    written_ = 0;
    endOf_.fill(0);
    if (rc >= 0) {
        rc = snd_pcm_prepare(pcm_);
    }
    return waveErrorFromAlsa(std::min(rc, 0));
}

void AlsaWaveOut::drain() {
    snd_pcm_t* pcm = nullptr;
    {
        std::lock_guard lock(mutex_);
        pcm = pcm_;
        if (pcm != nullptr && snd_pcm_state(pcm) == SND_PCM_STATE_PREPARED && written_ > 0) {
            snd_pcm_start(pcm);  // shorter than the start threshold
        }
    }
    if (pcm != nullptr) {
        snd_pcm_drain(pcm);
    }
}

long AlsaWaveOut::delayFrames() {
    std::lock_guard lock(mutex_);
    snd_pcm_sframes_t delay = 0;
    if (pcm_ == nullptr || snd_pcm_delay(pcm_, &delay) < 0) {
        return 0;
    }
    return delay;
}

int AlsaWaveOut::close() {
    std::lock_guard lock(mutex_);
    if (pcm_ == nullptr) {
        return 0;
    }
    const int rc = snd_pcm_close(pcm_);
    pcm_ = nullptr;
    return waveErrorFromAlsa(std::min(rc, 0));
}

}  // namespace kova
