#pragma once
// The ring and program sounds: a WAV file played asynchronously on a worker
// thread through the same output code as the call's audio. Failures are
// silent: a missing sound must never stop a call.

#include <QString>
#include <QThread>
#include <atomic>
#include <functional>
#include <memory>

#include "common/ThreadCheck.h"
#include "platform/WaveOut.h"

namespace kova {

class IAudioCodecs;

class CSoundPlayer {
public:
    using OutputFactory = std::function<std::unique_ptr<IWaveOut>()>;

    // Defaults: ALSA's "default" output and the libavcodec codecs.
    explicit CSoundPlayer(OutputFactory makeOutput = {}, IAudioCodecs* codecs = nullptr);
    ~CSoundPlayer();
    CSoundPlayer(const CSoundPlayer&) = delete;
    CSoundPlayer& operator=(const CSoundPlayer&) = delete;

    // Returns at once; a sound still playing is cut off first.
    void play(const QString& path);
    void stop();
    bool busy() const;
    // Waits until the current sound has ended (tests).
    void wait();

    // Plays a file to the end on the calling thread; false on any failure.
    static bool playFile(const QString& path, IWaveOut& out, IAudioCodecs& codecs,
                         const std::atomic<bool>& cancel);

private:
    OutputFactory makeOutput_;
    std::unique_ptr<IAudioCodecs> ownCodecs_;
    IAudioCodecs* codecs_;
    ThreadCheck ownerThread_;
    QThread* thread_ = nullptr;
    std::atomic<bool> cancel_{false};
};

// One player for the whole program, for callers that only have a path
// (the ring on an incoming call).
void playSoundFileAsync(const QString& path);

}  // namespace kova
