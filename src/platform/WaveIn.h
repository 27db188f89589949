#pragma once
// A recording device as audio capture drives it: buffers are queued on the
// device, come back filled one at a time to the capture thread, and a reset
// sends every queued buffer back at once. Narrow so capture is tested with a
// scripted fake.

#include <QStringList>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "formats/WaveFormat.h"

namespace kova {

struct WaveInBuffer {
    std::vector<std::byte> data;
    std::size_t recorded = 0;  // bytes the device filled in
};

class IWaveIn {
public:
    virtual ~IWaveIn() = default;
    // deviceIndex 0 = the default device, k >= 1 = the k-th capture device.
    // The reader is woken once per buffer of bufferBytes.
    virtual bool open(int deviceIndex, const WaveFormat& format, std::uint32_t bufferBytes,
                      int bufferCount) = 0;
    virtual bool isOpen() const = 0;
    virtual bool addBuffer(WaveInBuffer* buffer) = 0;
    virtual bool start() = 0;
    // Stops recording; queued buffers come back through waitBuffer. Safe from
    // any thread, also while another thread waits.
    virtual void reset() = 0;
    // Blocks until the oldest queued buffer is filled (or returned by a reset).
    // Null when no buffer is queued any more or the device failed.
    virtual WaveInBuffer* waitBuffer() = 0;
    virtual void close() = 0;
    // Names for the device list: entry 0 the default device, then each capture device.
    virtual QStringList deviceNames() = 0;
};

}  // namespace kova
