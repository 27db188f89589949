#pragma once
// A frame sink that keeps a copy of every frame handed to it.

#include <QObject>
#include <vector>

#include "media/MediaFrame.h"

namespace kova::test {

struct RecordingFrameSink : QObject, IMediaFrameSink {
    struct Frame {
        std::vector<std::byte> bytes;
        int sequence = -1;
        MediaSource source = MediaSource::Video;
    };
    void onMediaFrame(const MediaFrame& f) override {
        frames.push_back({{f.bytes.begin(), f.bytes.end()}, f.sequence, f.source});
    }
    std::vector<Frame> frames;
};

}  // namespace kova::test
