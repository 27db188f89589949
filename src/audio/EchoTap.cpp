#include "audio/EchoTap.h"

#include <algorithm>

namespace kova {

CEchoTapWaveOut::CEchoTapWaveOut(std::unique_ptr<IWaveOut> device, CEchoReference& reference,
                                 DelayFrames delay, Clock clock)
    : device_(std::move(device)),
      reference_(reference),
      delay_(std::move(delay)),
      clock_(std::move(clock)) {}

int CEchoTapWaveOut::open(const WaveFormat& pcm) {
    usable_ = pcm.formatTag == WaveFormat::kTagPcm && pcm.samplesPerSec == IAudioProcessor::kRate &&
              pcm.channels == 1 && pcm.bitsPerSample == 16;
    reference_.restart();
    return device_->open(pcm);
}

int CEchoTapWaveOut::write(int header, ByteSpan pcm) {
    const int rc = device_->write(header, pcm);
    if (rc != 0 || !usable_) {
        return rc;
    }
    // Asked after the write: the delay then includes any silence the device put
    // in front after an underrun, and this frame itself at its end.
    const long frames = static_cast<long>(pcm.size() / 2);
    const long ahead = std::max(0L, (delay_ ? delay_() : 0L) - frames);
    reference_.write(pcm, clock_() + ahead * CEchoReference::kSampleUs);
    return rc;
}

int CEchoTapWaveOut::reset() {
    reference_.restart();
    return device_->reset();
}

int CEchoTapWaveOut::close() {
    usable_ = false;
    return device_->close();
}

}  // namespace kova
