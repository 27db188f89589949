#pragma once
// Records the microphone as 8000 Hz 16-bit mono PCM, compresses each buffer
// length of it and hands every compressed block to the audio media channel.
// One object, owned by the main window; Start/Stop and the setters run on the
// UI thread, collecting, compressing and sending on the capture thread.

#include <QObject>
#include <QString>
#include <QStringList>
#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include "audio/CaptureProcessing.h"
#include "formats/WaveFormat.h"
#include "platform/AudioCodecs.h"
#include "platform/WaveIn.h"

class QThread;
class QWidget;

namespace kova {

class IAudioFormatChooser;
class IBalloonReporter;
class IFrameSink;
class IMessagePrompt;

class CAudioCapture : public QObject {
    Q_OBJECT
public:
    using FormatArea = std::array<std::byte, WaveFormat::kAreaSize>;
    // Whether the default output can play a format (the peer plays what we send).
    using PlaybackQuery = std::function<bool(const WaveFormat&)>;

    static constexpr int kRecordBuffers = 5;
    static constexpr std::uint16_t kDefaultBufferMs = 50;
    static constexpr int kRealTimePriority = 3;

    CAudioCapture(IWaveIn& device, IAudioCodecs& codecs, IBalloonReporter& balloons,
                  IMessagePrompt& prompt, IAudioFormatChooser& chooser, PlaybackQuery canPlay = {},
                  QObject* parent = nullptr);
    ~CAudioCapture() override;

    void setDeviceIndex(int index) { deviceIndex_ = index; }
    int deviceIndex() const { return deviceIndex_; }
    void setMediaSocket(IFrameSink* sink) { sink_ = sink; }
    // Copies at most the 146-byte area; an empty block changes nothing.
    void setDestinationFormat(ByteSpan format);
    const FormatArea& destinationFormat() const { return destination_; }
    std::uint16_t bufferLength() const { return bufferMs_; }
    void setBufferLength(std::uint16_t ms) { bufferMs_ = ms; }
    const WaveFormat& sourceFormat() const { return source_; }

    // Echo cancellation, noise suppression and gain control of what we send;
    // all off (the default) sends the device's bytes untouched. Any thread.
    void setProcessing(const AudioProcessingSwitches& on) { processing_.setSwitches(on); }
    AudioProcessingSwitches processing() const { return processing_.switches(); }
    // Where the output device leaves the peer's sound for the echo canceller.
    CEchoReference& echoReference() { return processing_.reference(); }
    // Tests: a processor of their own instead of the WebRTC one.
    void setProcessorFactory(CCaptureProcessing::Factory factory);
    const CCaptureProcessing& processingStage() const { return processing_; }

    // Always 1; success shows in isRunning().
    int Start();
    void Stop();
    // Marks stopping and resets the device: buffers that come back are released.
    void Reset();
    bool isRunning() const { return running_.load() != 0; }

    // Whether the source converts to the destination in real time and the
    // default output can play the destination.
    bool IsRealTime();
    // Lets the user pick a format for area until one passes the real-time check
    // or the user gives up. May change the source format.
    void ChooseCodec(QWidget* owner, FormatArea& area);
    // The destination format's tag name, shown as "Audio: codec %s, 8000 Herz".
    QString CodecName();
    // Entry k is device index k; entry 0 the default device.
    QStringList deviceList();

    // Buffer arithmetic, in 32-bit unsigned as the sizes travel.
    static std::uint32_t recordBufferBytes(std::uint32_t ms, std::uint32_t rate,
                                           std::uint32_t align);
    static std::uint32_t sourceChunkBytes(std::uint32_t ms, std::uint32_t rate,
                                          std::uint32_t align);
    // Sizes of the last open, for tests and the benchmark.
    std::uint32_t recordBufferSize() const { return recordBytes_; }
    std::uint32_t sourceChunkSize() const { return chunk_; }
    std::uint32_t destinationSize() const { return destSize_; }
    int queuedBuffers() const { return queued_.load(); }
    int allocatedBuffers() const { return allocated_.load(); }
    // Waits for a capture thread that ended by itself (tests).
    void waitCaptureThread();

private:
    bool open();
    void closeAll();
    void captureLoop();
    bool feed(const std::byte* data, std::size_t n);
    bool compressStep(bool final);
    // Error texts go to the balloon on the UI thread, whichever thread fails.
    void balloon(const QString& text);
    void joinThread();

    IWaveIn& device_;
    IAudioCodecs& codecs_;
    IBalloonReporter& balloons_;
    IMessagePrompt& prompt_;
    IAudioFormatChooser& chooser_;
    PlaybackQuery canPlay_;

    std::uint16_t bufferMs_ = kDefaultBufferMs;
    QThread* thread_ = nullptr;
    std::atomic<int> queued_{0};
    std::atomic<int> running_{0};
    std::atomic<int> stopping_{1};
    std::uint32_t collected_ = 0;
    std::uint32_t flags_ = 0;
    IFrameSink* sink_ = nullptr;
    std::atomic<bool> sending_{false};
    QString codecName_;
    int deviceIndex_ = 0;
    std::atomic<int> allocated_{0};
    // Rate, bits, channels; bytes per sample picks the silence byte.
    std::uint16_t captureRate_ = 8000;
    std::uint16_t captureBits_ = 16;
    std::uint16_t captureChannels_ = 1;
    std::uint16_t captureBytesPerSample_ = 2;
    WaveFormat source_;
    FormatArea destination_{};
    std::unique_ptr<IAudioStream> stream_;
    std::uint16_t sourceAlign_ = 2;
    std::uint32_t recordBytes_ = 0;
    std::uint32_t chunk_ = 0;
    std::uint32_t step_ = 0;  // collected bytes that make a frame: the chunk's whole blocks
    std::uint32_t destSize_ = 0;
    std::vector<std::unique_ptr<WaveInBuffer>> buffers_;
    std::vector<std::byte> sourceBuffer_;
    std::vector<std::byte> destBuffer_;
    CCaptureProcessing processing_;
};

}  // namespace kova
