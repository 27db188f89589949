#pragma once
// Cameras through V4L2 and libv4l2, which converts any camera's frames to
// 24-bit BGR.

#include <memory>
#include <vector>

#include <QString>

#include "platform/CaptureSource.h"

namespace kova {

struct V4l2DeviceInfo {
    QString name;  // the driver's card name
    QString path;  // /dev/videoN
};

// Video capture nodes in number order, at most max.
std::vector<V4l2DeviceInfo> enumerateV4l2Devices(std::size_t max);
std::unique_ptr<ICaptureSource> createV4l2Source(const V4l2DeviceInfo& device);

}  // namespace kova
