#include "audio/SoundPlayer.h"

#include <QFile>
#include <algorithm>

#include "audio/WaveFile.h"
#include "platform/AlsaWaveOut.h"
#include "platform/AudioCodecLibav.h"
#include "platform/AudioCodecs.h"
#include "platform/ThreadName.h"

namespace kova {

namespace {
// Written in pieces so a stop is heard within one piece.
constexpr std::uint32_t kPieceMs = 100;
constexpr unsigned long kPollMs = 5;
constexpr std::uint64_t kTailSlackMs = 2000;
}  // namespace

CSoundPlayer::CSoundPlayer(OutputFactory makeOutput, IAudioCodecs* codecs)
    : makeOutput_(std::move(makeOutput)),
      ownCodecs_(codecs == nullptr ? std::make_unique<AudioCodecLibav>() : nullptr),
      codecs_(codecs == nullptr ? ownCodecs_.get() : codecs) {
    if (!makeOutput_) {
        makeOutput_ = [] { return std::make_unique<AlsaWaveOut>(); };
    }
}

CSoundPlayer::~CSoundPlayer() {
    stop();
}

bool CSoundPlayer::playFile(const QString& path, IWaveOut& out, IAudioCodecs& codecs,
                            const std::atomic<bool>& cancel) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || f.size() > static_cast<qint64>(WaveFile::kMaxBytes)) {
        return false;
    }
    const QByteArray bytes = f.readAll();
    const auto wav = WaveFile::decode(std::as_bytes(std::span(bytes.constData(), bytes.size())));
    if (!wav) {
        return false;
    }
    const auto pcmFormat = codecs.suggestPcm(wav->format);
    if (!pcmFormat) {
        return false;
    }
    auto decoder = codecs.openStream(wav->format, *pcmFormat);
    if (!decoder) {
        return false;
    }
    const auto size = decoder->destinationSize(static_cast<std::uint32_t>(wav->data.size()));
    if (!size) {
        return false;
    }
    std::vector<std::byte> pcm(*size);
    const auto r = decoder->convert(wav->data, pcm, kConvertBlockAlign | kConvertEnd);
    if (!r.ok || out.open(*pcmFormat) != 0) {
        return false;
    }
    pcm.resize(r.produced);
    const std::size_t piece = std::max<std::size_t>(
        pcmFormat->blockAlign, std::size_t{pcmFormat->avgBytesPerSec} * kPieceMs / 1000 /
                                   pcmFormat->blockAlign * pcmFormat->blockAlign);
    int header = 0;
    for (std::size_t at = 0; at < pcm.size() && !cancel; at += piece) {
        while (!out.done(header) && !cancel) {
            QThread::msleep(kPollMs);
        }
        out.write(header, ByteSpan(pcm).subspan(at, std::min(piece, pcm.size() - at)));
        header = (header + 1) % IWaveOut::kHeaders;
    }
    // Wait for the tail unless stopped, bounded: a device that never started
    // (a sound shorter than its start threshold) must not hold the thread.
    const std::uint64_t tailMs = std::uint64_t{kPieceMs} * IWaveOut::kHeaders + kTailSlackMs;
    for (std::uint64_t waited = 0; waited < tailMs && !cancel; waited += kPollMs) {
        bool all = true;
        for (int h = 0; h < IWaveOut::kHeaders; ++h) {
            all = all && out.done(h);
        }
        if (all) {
            break;
        }
        QThread::msleep(kPollMs);
    }
    if (cancel) {
        out.reset();
    }
    out.close();
    return true;
}

void CSoundPlayer::play(const QString& path) {
    KOVA_ASSERT_THREAD(ownerThread_);
    stop();
    cancel_ = false;
    thread_ = createWorker([this, path] {
        auto out = makeOutput_();
        if (out) {
            playFile(path, *out, *codecs_, cancel_);
        }
    });
    nameThread(*thread_, "kova-sound");
    thread_->start();
}

void CSoundPlayer::stop() {
    KOVA_ASSERT_THREAD(ownerThread_);
    if (thread_ != nullptr) {
        cancel_ = true;
        joinWorker(*thread_);
        delete thread_;
        thread_ = nullptr;
    }
}

bool CSoundPlayer::busy() const {
    return thread_ != nullptr && thread_->isRunning();
}

void CSoundPlayer::wait() {
    KOVA_ASSERT_THREAD(ownerThread_);
    if (thread_ != nullptr) {
        joinWorker(*thread_);
    }
}

void playSoundFileAsync(const QString& path) {
    // Lives until exit; its destructor stops a sound that still plays.
    static CSoundPlayer player;
    player.play(path);
}

}  // namespace kova
