#pragma once
// A frame sink that keeps a copy of every frame handed to it, and can act
// inside a delivery.

#include <QObject>
#include <functional>
#include <vector>

#include "media/MediaFrame.h"

namespace kova::test {

class RecordingFrameSink : public QObject, public IMediaFrameSink {
public:
    struct Frame {
        std::vector<std::byte> bytes;
        int sequence = -1;
        MediaSource source = MediaSource::Video;
    };

    void onMediaFrame(const MediaFrame& frame) override {
        frames.push_back({{frame.bytes.begin(), frame.bytes.end()}, frame.sequence, frame.source});
        if (during) {
            during(frame);
        }
    }

    std::vector<Frame> frames;
    // Runs inside each delivery, while the bytes are still the sender's.
    std::function<void(const MediaFrame&)> during;
};

}  // namespace kova::test
