#pragma once
// Plays the peer's audio: frames from the audio channel go through the play
// queue, are decoded to PCM on the playout thread and written to the default
// output through a ring of five output headers. Owned by the receiving window
// for one conference.

#include <QString>
#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "audio/AudioPlayQueue.h"
#include "audio/PlayoutClock.h"
#include "formats/WaveFormat.h"
#include "media/MediaFrame.h"
#include "platform/AudioCodecs.h"
#include "platform/WaveOut.h"

namespace kova {

class IArrivalIndicator;
class IBalloonReporter;

class CAudioPlayer final : public IAudioFrameWriter, public IMediaFrameSink {
public:
    using FormatArea = std::array<std::byte, WaveFormat::kAreaSize>;

    // Indicator level for frames arriving within one millisecond.
    static constexpr int kIndicatorScale = 2000;
    // A device at volume 0 would play nothing: raised to half of the left channel.
    static constexpr std::uint32_t kRaisedVolume = 0x00007FFF;
    // Passes over the header ring before a frame is dropped.
    static constexpr int kHeaderPasses = 7;
    static constexpr int kMinPeriodMs = 10;
    // The error code OpenDevice returns when no codec decodes the format.
    static constexpr int kErrorNoDecoder = 32;  // same number as the device's "bad format"
    // The device's level is kept at the arrival jitter plus one device period
    // (AlsaWaveOut's 10 ms), the least that does not run dry between two reads
    // of the sound server.
    static constexpr std::uint32_t kMarginMs = 10;
    // Each time the device runs dry anyway (a busy machine wakes us late) the
    // margin grows by a step, up to a bound, and shrinks back by 1 ms in
    // every 3 s that play through: a late wake-up once a minute is not in the
    // jitter's 95th percentile, but it is heard.
    static constexpr double kMarginStepMs = 10;
    static constexpr double kMaxMarginMs = 80;
    static constexpr double kMarginDecayPerMs = 1.0 / 3000;
    // Off the target by less than this: left alone, the level's own noise.
    static constexpr double kDeadbandMs = 3;
    // A frame is shortened or lengthened by at most this share of itself,
    // a pitch change of about 6 % for one frame; past two frames of excess
    // a whole frame is dropped instead.
    static constexpr std::uint32_t kStepDivisor = 16;
    static constexpr double kSmoothing = 8;
    // Silence written in front of a frame when the device ran dry, at most.
    static constexpr std::uint32_t kMaxRefillMs = 500;

    // clock null: the steady clock.
    CAudioPlayer(IWaveOut& device, IAudioCodecs& codecs, IBalloonReporter& balloons,
                 IPlayoutClock* clock = nullptr);
    ~CAudioPlayer() override;

    // Only while closed. The receiving window passes the peer's 146-byte format,
    // periodFor(peer buffer length) and slotCapacityFor(peer format, length).
    void SetPeerFormat(ByteSpan format, int periodMs, std::uint32_t slotCapacity,
                       IArrivalIndicator* indicator);
    QString FormatName() const { return formatName_; }
    // 0 on success, else the device's error code.
    int OpenDevice();
    // UI thread; the bytes are copied before it returns.
    void PutFrame(ByteSpan frame, int sequence) { queue_.put(frame, sequence); }
    // A frame of the audio channel, queued by its sequence value as PutFrame.
    void onMediaFrame(const MediaFrame& frame) override { PutFrame(frame.bytes, frame.sequence); }
    int CloseDevice();
    // Playout thread only.
    void Write(ByteSpan frame) override;
    std::optional<std::uint32_t> bufferedMs() override;

    bool isOpen() const { return opened_.load(); }
    // Without the thread, the caller drives queue().cycle() (simulated time).
    void setPlayoutThread(bool on) { playoutThread_ = on; }
    const FormatArea& format() const { return format_; }
    CAudioPlayQueue& queue() { return queue_; }
    // Frames dropped for want of a finished output header.
    std::uint64_t headerDrops() const { return headerDrops_.load(); }
    // The margin above the jitter the level is kept at, and the times the
    // device ran dry during playout.
    double marginMs() const { return marginMs_.load(); }
    std::uint64_t ranDry() const { return ranDry_.load(); }
    // Frames dropped, and milliseconds taken off or added, to keep the level.
    std::uint64_t latencyDrops() const { return latencyDrops_.load(); }
    std::int64_t retimedMs() const { return retimedMs_.load(); }
    // Any thread: the milliseconds the device held right after the last
    // write, and the frames written to it since the device was opened.
    std::uint32_t deviceLevelMs() const { return deviceLevelMs_.load(std::memory_order_relaxed); }
    std::uint64_t framesPlayed() const { return framesPlayed_.load(std::memory_order_relaxed); }

    // 16-bit interleaved PCM of `in` spread over outFrames frames of `out` by
    // linear interpolation; returns the bytes written.
    static std::size_t retime(ByteSpan in, MutableByteSpan out, std::uint32_t channels,
                              std::size_t outFrames);

    // Whether the output can play a peer's format: a decoder to PCM exists and
    // the device accepts that PCM. The capture's real-time check asks this.
    static bool canPlay(IAudioCodecs& codecs, IWaveOut& device, const WaveFormat& format);
    static int periodFor(int bufferMs) { return std::max(bufferMs, kMinPeriodMs); }
    // The larger of a second of the format and one buffer length of its blocks.
    static std::uint32_t slotCapacityFor(const WaveFormat& peer, std::uint16_t bufferMs);

private:
    IWaveOut& device_;
    IAudioCodecs& codecs_;
    IBalloonReporter& balloons_;
    std::unique_ptr<SteadyPlayoutClock> ownClock_;
    IPlayoutClock& clock_;
    std::mutex lock_;  // the output headers and the write position
    std::uint32_t lastArrival_ = 0;
    std::uint32_t thisArrival_ = 0;
    IArrivalIndicator* indicator_ = nullptr;
    CAudioPlayQueue queue_;
    std::atomic<bool> opened_{false};
    // Each header owns the decoded copy of its frame, so a slot is free as soon
    // as Write returns while the device may still play from the header.
    std::array<std::vector<std::byte>, IWaveOut::kHeaders> headers_;
    int writePos_ = 0;
    FormatArea format_;
    QString formatName_;
    std::unique_ptr<IAudioStream> decoder_;
    std::atomic<std::uint64_t> headerDrops_{0};
    // Playout thread: the device's level steered toward the jitter target.
    std::size_t steer(ByteSpan pcm, std::vector<std::byte>& out, std::uint32_t levelMs);
    std::optional<std::uint32_t> levelLocked();
    std::vector<std::byte> decoded_;
    std::uint32_t pcmRate_ = 8000;
    std::uint32_t pcmChannels_ = 1;
    bool haveEstimate_ = false;
    double estimateMs_ = 0;  // the level a frame arriving earliest would find
    std::uint32_t lastReportMs_ = 0;
    std::atomic<double> marginMs_{kMarginMs};
    std::atomic<std::uint64_t> ranDry_{0};
    std::atomic<std::uint64_t> latencyDrops_{0};
    std::atomic<std::int64_t> retimedMs_{0};
    std::atomic<std::uint32_t> deviceLevelMs_{0};
    std::atomic<std::uint64_t> framesPlayed_{0};
    bool playoutThread_ = true;
};

}  // namespace kova
