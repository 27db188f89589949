#include "platform/AlsaWaveIn.h"

#include <alsa/asoundlib.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <vector>

#include "platform/AlsaDeviceList.h"

namespace kova {

namespace {
// A silent device is waited on in slices, so a reset is never missed for long.
constexpr int kPollSliceMs = 500;
}  // namespace

AlsaWaveIn::AlsaWaveIn() : wakeFd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

AlsaWaveIn::~AlsaWaveIn() {
    close();
    if (wakeFd_ >= 0) {
        ::close(wakeFd_);
    }
}

void AlsaWaveIn::drainWake() {
    std::uint64_t v = 0;
    while (wakeFd_ >= 0 && ::read(wakeFd_, &v, sizeof v) == sizeof v) {
    }
}

bool AlsaWaveIn::open(int deviceIndex, const WaveFormat& format, std::uint32_t bufferBytes,
                      int bufferCount) {
    close();
    drainWake();
    resetRequested_ = false;
    dropped_ = false;
    overruns_ = 0;
    const std::string name = pcmName_.empty() ? alsaCapturePcmName(deviceIndex) : pcmName_;
    if (name.empty() || format.formatTag != WaveFormat::kTagPcm ||
        (format.bitsPerSample != 16 && format.bitsPerSample != 8) || format.channels == 0) {
        return false;
    }
    if (snd_pcm_open(&pcm_, name.c_str(), SND_PCM_STREAM_CAPTURE, SND_PCM_NONBLOCK) < 0) {
        pcm_ = nullptr;
        return false;
    }
    frameBytes_ = format.blockAlign;
    snd_pcm_uframes_t period = std::max<snd_pcm_uframes_t>(1, bufferBytes / frameBytes_);
    snd_pcm_uframes_t ring = period * static_cast<snd_pcm_uframes_t>(bufferCount);
    unsigned rate = format.samplesPerSec;
    snd_pcm_hw_params_t* hw = nullptr;
    snd_pcm_hw_params_alloca(&hw);
    bool ok = snd_pcm_hw_params_any(pcm_, hw) >= 0 &&
              snd_pcm_hw_params_set_access(pcm_, hw, SND_PCM_ACCESS_RW_INTERLEAVED) >= 0 &&
              snd_pcm_hw_params_set_format(
                  pcm_, hw,
                  format.bitsPerSample == 16 ? SND_PCM_FORMAT_S16_LE : SND_PCM_FORMAT_U8) >= 0 &&
              snd_pcm_hw_params_set_channels(pcm_, hw, format.channels) >= 0 &&
              snd_pcm_hw_params_set_rate_near(pcm_, hw, &rate, nullptr) >= 0 &&
              rate == format.samplesPerSec;
    if (ok) {
        // The ring is a wish: devices round periods, reads still come in buffers.
        snd_pcm_hw_params_set_period_size_near(pcm_, hw, &period, nullptr);
        snd_pcm_hw_params_set_buffer_size_near(pcm_, hw, &ring);
        ok = snd_pcm_hw_params(pcm_, hw) >= 0;
    }
    if (!ok) {
        snd_pcm_close(pcm_);
        pcm_ = nullptr;
        return false;
    }
    snd_pcm_sw_params_t* sw = nullptr;
    snd_pcm_sw_params_alloca(&sw);
    if (snd_pcm_sw_params_current(pcm_, sw) >= 0) {
        snd_pcm_sw_params_set_avail_min(pcm_, sw, period);
        snd_pcm_sw_params(pcm_, sw);
    }
    return true;
}

bool AlsaWaveIn::addBuffer(WaveInBuffer* buffer) {
    if (pcm_ == nullptr || buffer == nullptr || buffer->data.size() < frameBytes_) {
        return false;
    }
    std::lock_guard lock(mutex_);
    buffer->recorded = 0;
    queue_.push_back(buffer);
    return true;
}

bool AlsaWaveIn::start() {
    return pcm_ != nullptr && snd_pcm_start(pcm_) >= 0;
}

void AlsaWaveIn::reset() {
    resetRequested_ = true;
    const std::uint64_t one = 1;
    if (wakeFd_ >= 0) {
        [[maybe_unused]] auto n = ::write(wakeFd_, &one, sizeof one);
    }
}

WaveInBuffer* AlsaWaveIn::waitBuffer() {
    WaveInBuffer* buffer = nullptr;
    {
        std::lock_guard lock(mutex_);
        if (queue_.empty() || pcm_ == nullptr) {
            return nullptr;
        }
        buffer = queue_.front();
    }
    auto pop = [&] {
        std::lock_guard lock(mutex_);
        queue_.pop_front();
        return buffer;
    };
    std::vector<pollfd> fds;
    while (true) {
        if (resetRequested_) {
            if (!dropped_) {
                snd_pcm_drop(pcm_);
                dropped_ = true;
            }
            return pop();
        }
        const std::size_t room = (buffer->data.size() - buffer->recorded) / frameBytes_;
        if (room == 0) {
            snd_pcm_sframes_t delay = 0;
            if (snd_pcm_delay(pcm_, &delay) >= 0) {
                lastDelay_ = delay;
            }
            return pop();
        }
        const snd_pcm_sframes_t n =
            snd_pcm_readi(pcm_, buffer->data.data() + buffer->recorded, room);
        if (n > 0) {
            buffer->recorded += static_cast<std::size_t>(n) * frameBytes_;
            continue;
        }
        if (n == -EAGAIN || n == 0) {
            const int count = snd_pcm_poll_descriptors_count(pcm_);
            fds.resize(static_cast<std::size_t>(std::max(count, 0)) + 1);
            snd_pcm_poll_descriptors(pcm_, fds.data(), static_cast<unsigned>(count));
            fds.back() = pollfd{wakeFd_, POLLIN, 0};
            ::poll(fds.data(), fds.size(), kPollSliceMs);
            continue;
        }
        if (n == -EPIPE) {
            ++overruns_;
        } else if (n == -ESTRPIPE) {
            while (snd_pcm_resume(pcm_) == -EAGAIN) {
                ::usleep(10000);
            }
        } else {
            return nullptr;  // the device is gone
        }
        if (snd_pcm_prepare(pcm_) < 0 || snd_pcm_start(pcm_) < 0) {
            return nullptr;
        }
    }
}

void AlsaWaveIn::close() {
    if (pcm_ != nullptr) {
        snd_pcm_close(pcm_);
        pcm_ = nullptr;
    }
    std::lock_guard lock(mutex_);
    queue_.clear();
}

QStringList AlsaWaveIn::deviceNames() {
    QStringList names{QStringLiteral("default")};
    for (const auto& d : alsaCaptureDevices()) {
        names << d.description;
    }
    return names;
}

}  // namespace kova
