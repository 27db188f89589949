#pragma once
// A received or captured frame on its way to the code that uses it: the media
// channels hand each reassembled frame to the receiving window, the capture
// graph each image to the sender window. The bytes belong to the caller and are
// valid only during the call; a sink that keeps them copies them.

#include <QObject>
#include <QPointer>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <span>

namespace kova {

enum class MediaSource : std::uint8_t {
    Video,   // the peer's video channel
    Audio,   // the peer's audio channel
    Camera,  // the local capture device
};

struct MediaFrame {
    // The sender's frame number (0..9) for a channel's frame; the capture's
    // frame count, modulo 256, for a camera image.
    std::uint8_t sequence = 0;
    MediaSource source = MediaSource::Video;
    std::span<const std::byte> bytes;
};

class IMediaFrameSink {
public:
    virtual ~IMediaFrameSink() = default;
    // Synchronous, on the thread of the sink's object; frame.bytes may be
    // reused as soon as it returns.
    virtual void onMediaFrame(const MediaFrame& frame) = 0;
};

// Where frames go: a sink and the QObject it is. The receiving window may be
// deleted while its channel still reads, and the capture graph needs the thread
// to deliver on: both come from the object, and a sink whose object is gone
// gets nothing.
class MediaFrameTarget {
public:
    MediaFrameTarget() = default;
    MediaFrameTarget(std::nullptr_t) {}
    template <class T>
    requires std::derived_from<T, QObject> && std::derived_from<T, IMediaFrameSink>
    MediaFrameTarget(T* target) : object_(target), sink_(target) {}

    // None once the object is gone. Only on the object's thread.
    IMediaFrameSink* sink() const { return object_ ? sink_ : nullptr; }
    QObject* object() const { return object_.data(); }

private:
    QPointer<QObject> object_;
    IMediaFrameSink* sink_ = nullptr;
};

}  // namespace kova
