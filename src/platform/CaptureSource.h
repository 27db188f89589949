#pragma once
// One capture device as the capture graph drives it: the formats it offers, the
// one chosen, and frames pulled one at a time as bottom-up bitmaps.

#include <memory>
#include <vector>

#include <QString>

#include "common/ByteIo.h"
#include "formats/BitmapInfoHeader.h"

namespace kova {

class ICaptureSource {
public:
    virtual ~ICaptureSource() = default;

    virtual QString name() const = 0;
    // Every format offered, one header per size and pixel layout.
    virtual std::vector<BitmapInfoHeader> formats() = 0;
    virtual bool setFormat(const BitmapInfoHeader& format) = 0;
    // The format frames come in: the one set, or the device's own.
    virtual BitmapInfoHeader format() const = 0;

    // Takes the device. False: it is gone or in use.
    virtual bool open() = 0;
    // Starts frames flowing in format().
    virtual bool startStream() = 0;
    // Blocks until the next frame is due and writes it, dibFrameSizeOf(format())
    // bytes, bottom-up. False when interrupted or the device failed.
    virtual bool grab(MutableByteSpan dib) = 0;
    // From any thread: makes a waiting grab return at once, and every later one
    // until resume().
    virtual void interrupt() = 0;
    virtual void resume() = 0;
    virtual void stopStream() = 0;
};

}  // namespace kova
