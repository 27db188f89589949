#pragma once
// A camera's own settings (brightness, contrast, ...) as V4L2 lists them: what
// the devices dialog's "Camera Setup" shows on this platform.

#include <QString>
#include <cstdint>
#include <vector>

namespace kova {

struct V4l2Control {
    std::uint32_t id = 0;
    QString name;
    bool boolean = false;  // a check box rather than a slider
    std::int32_t minimum = 0;
    std::int32_t maximum = 0;
    std::int32_t step = 1;
    std::int32_t value = 0;
};

// Integer and boolean controls that are not disabled or read-only; empty when
// the device cannot be opened or has none.
std::vector<V4l2Control> readV4l2Controls(const QString& path);
bool setV4l2Control(const QString& path, std::uint32_t id, std::int32_t value);

}  // namespace kova
