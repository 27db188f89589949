#include "audio/AudioCapture.h"

#include <QLoggingCategory>
#include <QThread>
#include <algorithm>
#include <cstring>
#include <new>

#include "audio/AudioFormatChooser.h"
#include "audio/MessagePrompt.h"
#include "common/BalloonReporter.h"
#include "common/ThreadCheck.h"
#include "media/FrameSink.h"
#include "platform/RealTimeThread.h"
#include "platform/ThreadName.h"

Q_LOGGING_CATEGORY(lcAudioCapture, "kova.audio.capture", QtWarningMsg)

namespace kova {

namespace {

const QString kOpenDeviceFailed = QStringLiteral("Not possible to open record device");
const QString kNoMemoryRecording = QStringLiteral("Not enough memory for sound recoding!");
const QString kBufferRefused = QStringLiteral("Not possible return data to record device!");
const QString kStreamOpenFailed = QStringLiteral("Not possible open audio sream!");
const QString kNoMemorySource = QStringLiteral("Not enouth memory for audio buffer");
const QString kSizeFailed = QStringLiteral("Not possible get size of audio buffer");
const QString kSizeZero = QStringLiteral("Not enouth space for audio buffer");
const QString kNoMemoryDest = QStringLiteral("Not enouth memory for result audio buffer");
const QString kStartFailed = QStringLiteral("Not possible run audio stream");
const QString kHeaderFailed = QStringLiteral("Not possible create audio header");
const QString kConvertFailed = QStringLiteral("Not possible convert audio data for sending");
const QString kNoProgress = QStringLiteral("Not memory space for audio source");
const QString kNotRealTime =
    QStringLiteral("Fast compression with codec %1 isn't supported! \nDo you want to get another?");
const QString kCodecFault =
    QStringLiteral("Fast compression with codec %1 isn't supported!\n Do you want to get another?");
const QString kChooserTitle = QStringLiteral("Select Audio Compressor");
const QString kQuestionCaption = QStringLiteral("KOVA");

constexpr int kPromptWarning = 1;
constexpr int kPromptQuestion = 3;
constexpr int kAnswerSecond = 2;

std::uint16_t areaTag(const CAudioCapture::FormatArea& area) {
    return readLe<std::uint16_t>(area, 0);
}

WaveFormat areaFormat(const CAudioCapture::FormatArea& area) {
    return WaveFormat::decode(area).value_or(WaveFormat{});
}

void copySourceInto(const WaveFormat& source, CAudioCapture::FormatArea& area) {
    const auto bytes = source.encode();
    std::memcpy(area.data(), bytes.data(), std::min(bytes.size(), area.size()));
}

}  // namespace

CAudioCapture::CAudioCapture(IWaveIn& device, IAudioCodecs& codecs, IBalloonReporter& balloons,
                             IMessagePrompt& prompt, IAudioFormatChooser& chooser,
                             PlaybackQuery canPlay, QObject* parent)
    : QObject(parent),
      device_(device),
      codecs_(codecs),
      balloons_(balloons),
      prompt_(prompt),
      chooser_(chooser),
      canPlay_(std::move(canPlay)),
      source_(WaveFormat::pcm(8000, 16, 1)),
      destination_(WaveFormat::defaultDestination().toArea()) {}

CAudioCapture::~CAudioCapture() {
    Stop();
}

void CAudioCapture::setDestinationFormat(ByteSpan format) {
    if (format.empty()) {
        return;
    }
    const std::size_t n = std::min(format.size(), destination_.size());
    std::memcpy(destination_.data(), format.data(), n);
}

std::uint32_t CAudioCapture::recordBufferBytes(std::uint32_t ms, std::uint32_t rate,
                                               std::uint32_t align) {
    std::uint32_t samples = (ms * rate / kRecordBuffers + 500) / 1000;
    if (samples == 0) {
        samples = 1;
    }
    return samples * align;
}

std::uint32_t CAudioCapture::sourceChunkBytes(std::uint32_t ms, std::uint32_t rate,
                                              std::uint32_t align) {
    std::uint32_t samples = (ms * rate + 500) / 1000;
    if (samples == 0) {
        samples = 64;  // smallest chunk a codec is asked to convert
    }
    return samples * align;
}

void CAudioCapture::balloon(const QString& text) {
    qCDebug(lcAudioCapture) << text;
    if (QThread::currentThread() == thread()) {
        balloons_.ShowBalloon(text);
        return;
    }
    // The reporter is a widget: queued to the UI thread, the capture thread goes on.
    QMetaObject::invokeMethod(
        this, [this, text] { balloons_.ShowBalloon(text); }, Qt::QueuedConnection);
}

bool CAudioCapture::open() {
    collected_ = 0;
    allocated_ = 0;
    flags_ = kConvertStart | kConvertBlockAlign;
    // The capture thread works from these copies: the chooser may change the
    // source format while it runs.
    sourceAlign_ = std::max<std::uint16_t>(source_.blockAlign, 1);
    recordBytes_ = recordBufferBytes(bufferMs_, source_.samplesPerSec, source_.blockAlign);
    if (!device_.open(deviceIndex_, source_, recordBytes_, kRecordBuffers)) {
        balloon(kOpenDeviceFailed);
        return false;
    }
    for (int i = 0; i < kRecordBuffers; ++i) {
        std::unique_ptr<WaveInBuffer> buffer;
        try {
            buffer = std::make_unique<WaveInBuffer>();
            buffer->data.resize(recordBytes_);
        } catch (const std::bad_alloc&) {
            balloon(kNoMemoryRecording);
            return false;
        }
        if (!device_.addBuffer(buffer.get())) {
            balloon(kBufferRefused);
            return false;
        }
        buffers_.push_back(std::move(buffer));
        ++allocated_;
        ++queued_;
    }
    stream_ = codecs_.openStream(source_, areaFormat(destination_));
    if (!stream_) {
        balloon(kStreamOpenFailed);
        return false;
    }
    processing_.begin(source_);
    chunk_ = sourceChunkBytes(bufferMs_, source_.samplesPerSec, source_.blockAlign);
    step_ = chunk_;
    try {
        sourceBuffer_.assign(chunk_, std::byte{0});
    } catch (const std::bad_alloc&) {
        balloon(kNoMemorySource);
        return false;
    }
    const auto size = stream_->destinationSize(chunk_);
    if (!size) {
        balloon(kSizeFailed);
        return false;
    }
    if (*size == 0) {
        balloon(kSizeZero);
        return false;
    }
    destSize_ = *size;
    try {
        destBuffer_.assign(std::size_t{destSize_} + IFrameSink::kHeaderRoom, std::byte{0});
    } catch (const std::bad_alloc&) {
        balloon(kNoMemoryDest);
        return false;
    }
    return true;
}

void CAudioCapture::setProcessorFactory(CCaptureProcessing::Factory factory) {
    Q_ASSERT(!running_);
    processing_.setFactory(std::move(factory));
}

void CAudioCapture::closeAll() {
    device_.close();
    stream_.reset();
    processing_.end();
    buffers_.clear();
    allocated_ = 0;
    queued_ = 0;
    sourceBuffer_.clear();
    sourceBuffer_.shrink_to_fit();
    destBuffer_.clear();
    destBuffer_.shrink_to_fit();
}

int CAudioCapture::Start() {
    Q_ASSERT(QThread::currentThread() == thread());
    if (running_) {
        return 1;
    }
    queued_ = 0;
    if (areaTag(destination_) == 0) {
        copySourceInto(source_, destination_);
    }
    joinThread();
    if (!open()) {
        if (device_.isOpen()) {
            device_.reset();
        }
        closeAll();
        return 1;
    }
    if (!device_.start()) {
        closeAll();
        balloon(kStartFailed);
        return 1;
    }
    running_ = 1;
    stopping_ = 0;
    thread_ = createWorker([this] { captureLoop(); });
    nameThread(*thread_, "kova-audio-in");
    // Highest priority: a late wake-up here is a gap the peer hears.
    thread_->start(QThread::HighestPriority);
    return 1;
}

void CAudioCapture::captureLoop() {
    // A capture thread woken late sends its frames late: the peer hears that as jitter.
    raiseCurrentThreadToRealTime(kRealTimePriority);
    while (WaveInBuffer* buffer = device_.waitBuffer()) {
        --queued_;
        const auto out = [this](const std::byte* data, std::size_t n) { return feed(data, n); };
        if (!processing_.process(buffer->data.data(),
                                 std::min(buffer->recorded, buffer->data.size()), out)) {
            stopping_ = 1;
            device_.reset();
            break;
        }
        if (running_ && !stopping_) {
            buffer->recorded = 0;
            if (!device_.addBuffer(buffer)) {
                stopping_ = 1;
                device_.reset();
                break;
            }
            ++queued_;
        } else if (--allocated_ == 0) {
            break;
        }
        QThread::yieldCurrentThread();
    }
    // The device ended without a stop: send what was collected, end-flagged.
    if (!stopping_ &&
        processing_.flush([this](const std::byte* data, std::size_t n) { return feed(data, n); })) {
        while (compressStep(true) && collected_ > 0) {
        }
    }
    closeAll();
    running_ = 0;
    stopping_ = 1;
}

bool CAudioCapture::feed(const std::byte* data, std::size_t n) {
    while (n > 0) {
        const std::uint32_t full = std::max(step_, collected_);
        const std::size_t take = std::min<std::size_t>(full - collected_, n);
        std::memcpy(sourceBuffer_.data() + collected_, data, take);
        collected_ += static_cast<std::uint32_t>(take);
        data += take;
        n -= take;
        if (collected_ == full && !compressStep(false)) {
            return false;
        }
    }
    return true;
}

bool CAudioCapture::compressStep(bool final) {
    if (!stream_ || destBuffer_.size() < IFrameSink::kHeaderRoom || sourceBuffer_.empty()) {
        stopping_ = 1;
        device_.reset();
        balloon(kHeaderFailed);
        return false;
    }
    if (collected_ == 0) {
        const std::byte silence = captureBytesPerSample_ == 1 ? std::byte{128} : std::byte{0};
        collected_ = std::min<std::uint32_t>(sourceAlign_, chunk_);
        std::memset(sourceBuffer_.data(), std::to_integer<int>(silence), collected_);
    }
    if (final) {
        flags_ = (flags_ & ~std::uint32_t{kConvertBlockAlign}) | kConvertEnd;
    }
    const auto dest = MutableByteSpan(destBuffer_).subspan(IFrameSink::kHeaderRoom, destSize_);
    const AudioConvertResult r =
        stream_->convert(ByteSpan(sourceBuffer_.data(), collected_), dest, flags_);
    flags_ &= ~std::uint32_t{kConvertStart};
    if (!r.ok) {
        stopping_ = 1;
        device_.reset();
        // A modal warning: shown from the UI thread, the capture thread ends meanwhile.
        QMetaObject::invokeMethod(
            this, [this] { prompt_.ask(kConvertFailed, QString(), kPromptWarning, nullptr); },
            Qt::QueuedConnection);
        return false;
    }
    if (r.used == 0 && r.produced == 0) {
        stopping_ = 1;
        device_.reset();
        balloon(kNoProgress);
        return false;
    }
    if (r.produced > 0 && sink_ != nullptr && !sending_.exchange(true)) {
        sink_->SendFrame(MutableByteSpan(destBuffer_).first(r.produced + IFrameSink::kHeaderRoom));
        sending_ = false;
    }
    const std::size_t used = std::min<std::size_t>(r.used, collected_);
    // A block codec converts only the whole blocks of a full chunk and keeps
    // the rest; waiting for those blocks alone sends the same frames without
    // holding each one back for the part of the next that completes the chunk.
    if (!final && collected_ == chunk_ && used > 0 && used < chunk_) {
        step_ = static_cast<std::uint32_t>(used);
    }
    collected_ -= static_cast<std::uint32_t>(used);
    std::memmove(sourceBuffer_.data(), sourceBuffer_.data() + used, collected_);
    return true;
}

void CAudioCapture::joinThread() {
    if (thread_ != nullptr) {
        joinWorker(*thread_);
        delete thread_;
        thread_ = nullptr;
    }
}

void CAudioCapture::waitCaptureThread() {
    if (thread_ != nullptr) {
        joinWorker(*thread_);
    }
}

void CAudioCapture::Stop() {
    Q_ASSERT(QThread::currentThread() == thread());
    if (thread_ == nullptr) {
        closeAll();
        return;
    }
    // Joining replaces a fixed wait: every buffer is back before the device closes.
    stopping_ = 1;
    device_.reset();
    joinThread();
    closeAll();
    running_ = 0;
    stopping_ = 1;
}

void CAudioCapture::Reset() {
    stopping_ = 1;
    device_.reset();
}

bool CAudioCapture::IsRealTime() {
    const WaveFormat dest = areaFormat(destination_);
    if (!codecs_.queryStream(source_, dest)) {
        return false;
    }
    return canPlay_ ? canPlay_(dest) : codecs_.suggestPcm(dest).has_value();
}

void CAudioCapture::ChooseCodec(QWidget* owner, FormatArea& area) {
    if (areaTag(area) == 0) {
        copySourceInto(source_, area);
    }
    bool again = true;
    while (again) {
        again = false;
        try {
            chooser_.choose(owner, kChooserTitle, area, codecs_.formatsFrom(source_), codecs_);
            const WaveFormat chosen = areaFormat(area);
            if (auto pcm = codecs_.suggestPcm(chosen)) {
                source_ = *pcm;
            }
            const bool ok = codecs_.queryStream(source_, chosen) &&
                            (canPlay_ ? canPlay_(chosen) : codecs_.suggestPcm(chosen).has_value());
            if (!ok) {
                const QString text = kNotRealTime.arg(codecs_.tagName(chosen.formatTag));
                again =
                    prompt_.ask(text, kQuestionCaption, kPromptQuestion, owner) != kAnswerSecond;
            }
        } catch (const std::exception&) {
            const QString name = codecs_.tagName(areaTag(area));
            area.fill(std::byte{0});
            copySourceInto(source_, area);
            again = prompt_.ask(kCodecFault.arg(name), kQuestionCaption, kPromptQuestion, owner) !=
                    kAnswerSecond;
        }
    }
}

QString CAudioCapture::CodecName() {
    codecName_ = codecs_.tagName(areaTag(destination_));
    return codecName_;
}

QStringList CAudioCapture::deviceList() {
    return device_.deviceNames();
}

}  // namespace kova
