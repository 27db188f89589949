#pragma once
// Fakes for the audio parts: a scripted recording device, a recording output
// device, a simulated clock, and recorders for frames, balloons and prompts.

#include <QString>
#include <QStringList>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <vector>

#include "audio/ArrivalIndicator.h"
#include "audio/AudioFormatChooser.h"
#include "audio/AudioPlayQueue.h"
#include "audio/MessagePrompt.h"
#include "audio/PlayoutClock.h"
#include "common/BalloonReporter.h"
#include "media/FrameSink.h"
#include "platform/AudioCodecLibav.h"
#include "platform/AudioCodecs.h"
#include "platform/AudioProcessing.h"
#include "platform/WaveIn.h"
#include "platform/WaveOut.h"

namespace kova::test {

class FakeBalloons : public IBalloonReporter {
public:
    void ShowBalloon(const QString& text) override {
        std::lock_guard lock(mutex);
        texts << text;
    }
    QStringList all() {
        std::lock_guard lock(mutex);
        return texts;
    }
    std::mutex mutex;
    QStringList texts;
};

class FakePrompt : public IMessagePrompt {
public:
    int ask(const QString& text, const QString& caption, int type, QWidget*) override {
        asked.push_back({text, caption, type});
        const int a = answers.empty() ? 2 : answers.front();
        if (!answers.empty()) {
            answers.pop_front();
        }
        return a;
    }
    struct Asked {
        QString text, caption;
        int type;
    };
    std::vector<Asked> asked;
    std::deque<int> answers;
};

class FakeChooser : public IAudioFormatChooser {
public:
    bool choose(QWidget*, const QString& title, std::array<std::byte, WaveFormat::kAreaSize>& area,
                const std::vector<WaveFormat>& formats, IAudioCodecs&) override {
        titles << title;
        offered = formats;
        if (pick) {
            area = pick->toArea();
            return true;
        }
        if (fault) {
            throw std::runtime_error("codec fault");
        }
        return false;
    }
    QStringList titles;
    std::vector<WaveFormat> offered;
    std::optional<WaveFormat> pick;
    bool fault = false;
};

class FakeSink : public IFrameSink {
public:
    void SendFrame(std::span<std::byte> buffer) override {
        std::lock_guard lock(mutex);
        frames.emplace_back(buffer.begin(), buffer.end());
    }
    std::vector<std::vector<std::byte>> all() {
        std::lock_guard lock(mutex);
        return frames;
    }
    std::mutex mutex;
    std::vector<std::vector<std::byte>> frames;
};

// Real codecs, with every conversion's flags recorded.
class RecordingCodecs : public IAudioCodecs {
public:
    struct Stream : IAudioStream {
        Stream(std::unique_ptr<IAudioStream> s, RecordingCodecs& o)
            : inner(std::move(s)), owner(o) {}
        std::optional<std::uint32_t> destinationSize(std::uint32_t n) const override {
            return owner.zeroSize ? std::optional<std::uint32_t>(0) : inner->destinationSize(n);
        }
        AudioConvertResult convert(ByteSpan src, MutableByteSpan dst,
                                   std::uint32_t flags) override {
            std::lock_guard lock(owner.mutex);
            owner.flags.push_back(flags);
            owner.sourceSizes.push_back(src.size());
            if (owner.failConvert) {
                return {};
            }
            return inner->convert(src, dst, flags);
        }
        std::unique_ptr<IAudioStream> inner;
        RecordingCodecs& owner;
    };
    std::unique_ptr<IAudioStream> openStream(const WaveFormat& s, const WaveFormat& d) override {
        auto inner = real.openStream(s, d);
        return inner ? std::make_unique<Stream>(std::move(inner), *this) : nullptr;
    }
    bool queryStream(const WaveFormat& s, const WaveFormat& d) override {
        return real.queryStream(s, d);
    }
    std::optional<WaveFormat> suggestPcm(const WaveFormat& f) override {
        return real.suggestPcm(f);
    }
    QString tagName(std::uint16_t tag) override { return real.tagName(tag); }
    std::vector<WaveFormat> formatsFrom(const WaveFormat& s) override {
        return real.formatsFrom(s);
    }
    std::vector<std::uint32_t> allFlags() {
        std::lock_guard lock(mutex);
        return flags;
    }

    AudioCodecLibav real;
    std::mutex mutex;
    std::vector<std::uint32_t> flags;
    std::vector<std::size_t> sourceSizes;
    bool failConvert = false;
    bool zeroSize = false;
};

// Fills queued buffers from a script of bytes. When the script runs dry it
// either ends (as an unplugged device) or waits for a reset.
class FakeWaveIn : public IWaveIn {
public:
    bool open(int index, const WaveFormat& f, std::uint32_t bytes, int count) override {
        std::lock_guard lock(mutex);
        openedIndex = index;
        openedFormat = f;
        bufferBytes = bytes;
        bufferCount = count;
        if (failOpen) {
            return false;
        }
        opened = true;
        resetDone = false;
        return true;
    }
    bool isOpen() const override { return opened; }
    bool addBuffer(WaveInBuffer* b) override {
        std::lock_guard lock(mutex);
        if (refuseAfter >= 0 && added >= refuseAfter) {
            return false;
        }
        ++added;
        sizes.push_back(b->data.size());
        queue.push_back(b);
        cv.notify_all();
        return true;
    }
    bool start() override { return !failStart; }
    void reset() override {
        std::lock_guard lock(mutex);
        resetDone = true;
        ++resets;
        cv.notify_all();
    }
    WaveInBuffer* waitBuffer() override {
        std::unique_lock lock(mutex);
        cv.wait(lock, [&] { return resetDone || queue.empty() || !script.empty() || endWhenDry; });
        if (queue.empty()) {
            return nullptr;
        }
        WaveInBuffer* b = queue.front();
        if (!resetDone) {
            if (script.empty()) {
                return nullptr;  // ended by itself
            }
            const std::size_t n = std::min(b->data.size(), script.size());
            std::copy(script.begin(), script.begin() + n, b->data.begin());
            script.erase(script.begin(), script.begin() + n);
            b->recorded = n;
        }
        queue.pop_front();
        return b;
    }
    void close() override { opened = false; }
    QStringList deviceNames() override { return names; }

    void feed(ByteSpan bytes) {
        std::lock_guard lock(mutex);
        script.insert(script.end(), bytes.begin(), bytes.end());
        cv.notify_all();
    }

    std::mutex mutex;
    std::condition_variable cv;
    std::deque<WaveInBuffer*> queue;
    std::deque<std::byte> script;
    bool endWhenDry = false;
    bool resetDone = false;
    bool failOpen = false;
    bool failStart = false;
    int refuseAfter = -1;
    int added = 0;
    int resets = 0;
    std::atomic<bool> opened{false};
    int openedIndex = -1;
    WaveFormat openedFormat;
    std::uint32_t bufferBytes = 0;
    int bufferCount = 0;
    std::vector<std::size_t> sizes;
    QStringList names{"default", "Mic A", "Mic B"};
};

// Time moves only when someone sleeps; sleeping runs what was scheduled.
class SimClock : public IPlayoutClock {
public:
    std::uint32_t nowMs() override { return now; }
    void sleepMs(std::uint32_t ms) override { advance(ms); }
    void advance(std::uint32_t ms) {
        const std::uint32_t end = now + ms;
        while (!events.empty() && events.begin()->first <= end) {
            auto it = events.begin();
            now = it->first;
            auto f = std::move(it->second);
            events.erase(it);
            f();
        }
        now = end;
    }
    void at(std::uint32_t t, std::function<void()> f) { events.emplace(t, std::move(f)); }
    std::uint32_t now = 1000;
    std::multimap<std::uint32_t, std::function<void()>> events;
};

class FakeWaveOut : public IWaveOut {
public:
    int query(const WaveFormat&) override { return queryResult; }
    int open(const WaveFormat& f) override {
        openedFormat = f;
        if (openResult == 0) {
            opened = true;
        }
        return openResult;
    }
    std::optional<std::uint32_t> volume() override { return vol; }
    void setVolume(std::uint32_t v) override {
        vol = v;
        ++volumeSets;
    }
    bool done(int h) override { return !busy[h]; }
    int write(int h, ByteSpan pcm) override {
        std::lock_guard lock(mutex);
        written.emplace_back(pcm.begin(), pcm.end());
        headersUsed.push_back(h);
        busy[h] = holdHeaders;
        return 0;
    }
    int reset() override {
        busy.fill(false);
        return resetResult;
    }
    int close() override {
        opened = false;
        return closeResult;
    }
    std::size_t count() {
        std::lock_guard lock(mutex);
        return written.size();
    }
    std::mutex mutex;
    int queryResult = 0, openResult = 0, resetResult = 0, closeResult = 0;
    bool opened = false;
    bool holdHeaders = false;
    std::array<bool, kHeaders> busy{};
    std::optional<std::uint32_t> vol = 0x40004000;
    int volumeSets = 0;
    WaveFormat openedFormat;
    std::vector<std::vector<std::byte>> written;
    std::vector<int> headersUsed;
};

class FakeIndicator : public IArrivalIndicator {
public:
    void setLevel(int level) override { levels.push_back(level); }
    std::vector<int> levels;
};

class FrameLog : public IAudioFrameWriter {
public:
    void Write(ByteSpan frame) override { frames.emplace_back(frame.begin(), frame.end()); }
    // First byte of each frame written: tests tag frames with it.
    std::vector<int> tags() const {
        std::vector<int> out;
        for (const auto& f : frames) {
            out.push_back(f.empty() ? -1 : std::to_integer<int>(f[0]));
        }
        return out;
    }
    std::vector<std::vector<std::byte>> frames;
};

// Adds one to every near-end sample and records what it was given.
class FakeProcessor : public IAudioProcessor {
public:
    struct Log {
        std::vector<AudioProcessingSwitches> switches;
        std::vector<std::int16_t> farFirst;  // first sample of each far block
        std::vector<int> delays;
        std::size_t nearBlocks = 0;
    };
    explicit FakeProcessor(Log& log) : log_(log) {}
    bool setSwitches(const AudioProcessingSwitches& on) override {
        log_.switches.push_back(on);
        return true;
    }
    void analyzeFarEnd(ConstBlock block) override { log_.farFirst.push_back(block[0]); }
    bool processNearEnd(Block block, int delayMs) override {
        for (auto& s : block) {
            ++s;
        }
        log_.delays.push_back(delayMs);
        ++log_.nearBlocks;
        return true;
    }

private:
    Log& log_;
};

}  // namespace kova::test
