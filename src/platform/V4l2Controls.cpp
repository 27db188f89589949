#include "platform/V4l2Controls.h"

#include <fcntl.h>
#include <libv4l2.h>
#include <linux/videodev2.h>

namespace kova {

namespace {

class Device {
public:
    explicit Device(const QString& path)
        : fd_(v4l2_open(path.toLocal8Bit().constData(), O_RDWR | O_NONBLOCK)) {}
    ~Device() {
        if (fd_ >= 0) {
            v4l2_close(fd_);
        }
    }
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

}  // namespace

std::vector<V4l2Control> readV4l2Controls(const QString& path) {
    std::vector<V4l2Control> controls;
    Device device(path);
    if (device.fd() < 0) {
        return controls;
    }
    v4l2_queryctrl query{};
    query.id = V4L2_CTRL_FLAG_NEXT_CTRL;
    while (v4l2_ioctl(device.fd(), VIDIOC_QUERYCTRL, &query) == 0) {
        const bool usable =
            (query.type == V4L2_CTRL_TYPE_INTEGER || query.type == V4L2_CTRL_TYPE_BOOLEAN) &&
            (query.flags &
             (V4L2_CTRL_FLAG_DISABLED | V4L2_CTRL_FLAG_READ_ONLY | V4L2_CTRL_FLAG_INACTIVE)) == 0;
        v4l2_control current{};
        current.id = query.id;
        if (usable && v4l2_ioctl(device.fd(), VIDIOC_G_CTRL, &current) == 0) {
            V4l2Control c;
            c.id = query.id;
            c.name = QString::fromUtf8(
                reinterpret_cast<const char*>(query.name),
                static_cast<int>(
                    qstrnlen(reinterpret_cast<const char*>(query.name), sizeof query.name)));
            c.boolean = query.type == V4L2_CTRL_TYPE_BOOLEAN;
            c.minimum = query.minimum;
            c.maximum = query.maximum;
            c.step = query.step > 0 ? query.step : 1;
            c.value = current.value;
            controls.push_back(c);
        }
        query.id |= V4L2_CTRL_FLAG_NEXT_CTRL;
    }
    return controls;
}

bool setV4l2Control(const QString& path, std::uint32_t id, std::int32_t value) {
    Device device(path);
    if (device.fd() < 0) {
        return false;
    }
    v4l2_control c{};
    c.id = id;
    c.value = value;
    return v4l2_ioctl(device.fd(), VIDIOC_S_CTRL, &c) == 0;
}

}  // namespace kova
