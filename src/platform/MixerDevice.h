#pragma once
// One volume control of the system mixer, as the volume sliders use it: bind to
// the speakers' or the microphone's control, read and set it, and learn through
// file descriptors when another program changed it. Narrow so sliders are
// tested with a fake.

#include <cstdint>
#include <vector>

namespace kova {

class IMixerDevice {
public:
    enum class Line { Speakers, Microphone };

    virtual ~IMixerDevice() = default;
    // False when there is no mixer or no such control; the device stays closed.
    virtual bool open(Line line) = 0;
    virtual void close() = 0;
    virtual std::int64_t minimum() const = 0;
    virtual std::int64_t maximum() const = 0;
    // Channel count of the bound line.
    virtual int channels() const = 0;
    virtual std::int64_t volume() const = 0;
    // Every channel of the control to one value.
    virtual void setVolume(std::int64_t value) = 0;
    // Readable when the control may have changed; then call handleEvents.
    virtual std::vector<int> pollDescriptors() const = 0;
    virtual void handleEvents() = 0;
};

}  // namespace kova
