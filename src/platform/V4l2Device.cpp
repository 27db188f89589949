#include "platform/V4l2Device.h"

#include <fcntl.h>
#include <libv4l2.h>
#include <linux/videodev2.h>
#include <poll.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>

#include <QDir>

namespace kova {

namespace {

int xioctl(int fd, unsigned long request, void* arg) {
    int rc = 0;
    do {
        rc = v4l2_ioctl(fd, request, arg);
    } while (rc < 0 && errno == EINTR);
    return rc;
}

// The sizes offered for cameras that scale freely, HD first.
constexpr std::pair<int, int> kStepwiseSizes[] = {{1280, 720}, {960, 540}, {640, 480}, {352, 288},
                                                  {320, 240},  {176, 144}, {160, 120}};
// The largest picture the video channel carries (1280 x 1024 at 32 bits, so
// any 24-bit picture within these sides); a peer refuses anything larger.
constexpr std::uint32_t kMaxWidth = 1280;
constexpr std::uint32_t kMaxHeight = 1024;
// Asked of the camera; one that cannot keep it keeps its own rate.
constexpr std::uint32_t kFramesPerSecond = 30;
// A camera that sends nothing for this long is polled again, so an interrupt
// is seen.
constexpr int kPollMs = 100;

class V4l2Source final : public ICaptureSource {
public:
    explicit V4l2Source(V4l2DeviceInfo device) : device_(std::move(device)) {}
    ~V4l2Source() override { closeDevice(); }

    QString name() const override { return device_.name; }

    std::vector<BitmapInfoHeader> formats() override {
        if (!open()) {
            return {};
        }
        return offeredFormats();
    }

    bool setFormat(const BitmapInfoHeader& format) override {
        return open() && applyFormat(static_cast<std::uint32_t>(format.width),
                                     static_cast<std::uint32_t>(std::abs(format.height)));
    }

    BitmapInfoHeader format() const override { return format_; }

    bool open() override {
        if (fd_ >= 0) {
            return true;
        }
        fd_ = v4l2_open(device_.path.toLocal8Bit().constData(), O_RDWR | O_NONBLOCK);
        if (fd_ < 0) {
            return false;
        }
        // Keep the camera's own size but have libv4l2 convert it to BGR; a
        // size the channel cannot carry gives way to the largest offered one.
        v4l2_format current{};
        current.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        if (xioctl(fd_, VIDIOC_G_FMT, &current) < 0) {
            closeDevice();
            return false;
        }
        std::uint32_t w = current.fmt.pix.width, h = current.fmt.pix.height;
        if (w > kMaxWidth || h > kMaxHeight) {
            const auto offered = offeredFormats();
            const auto largest =
                std::max_element(offered.begin(), offered.end(), [](const auto& a, const auto& b) {
                    return std::int64_t{a.width} * a.height < std::int64_t{b.width} * b.height;
                });
            if (largest != offered.end()) {
                w = static_cast<std::uint32_t>(largest->width);
                h = static_cast<std::uint32_t>(largest->height);
            }
        }
        if (!applyFormat(w, h)) {
            closeDevice();
            return false;
        }
        return true;
    }

    bool startStream() override {
        if (!open()) {
            return false;
        }
        readBuffer_.resize(static_cast<std::size_t>(bytesPerLine_) * std::abs(format_.height));
        return !readBuffer_.empty();
    }

    bool grab(MutableByteSpan dib) override {
        const int rows = std::abs(format_.height);
        const auto stride = static_cast<std::size_t>(dibStrideOf(format_));
        if (fd_ < 0 || dib.size() < stride * rows) {
            return false;
        }
        pollfd p{fd_, POLLIN, 0};
        while (!interrupted_) {
            const int rc = poll(&p, 1, kPollMs);
            if (rc < 0 && errno != EINTR) {
                return false;
            }
            if (rc <= 0) {
                continue;
            }
            const ssize_t n = v4l2_read(fd_, readBuffer_.data(), readBuffer_.size());
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
                continue;
            }
            if (n < static_cast<ssize_t>(readBuffer_.size())) {
                return false;
            }
            // Cameras deliver top-down rows; bitmaps are stored bottom-up.
            const std::size_t rowBytes = static_cast<std::size_t>(format_.width) * 3;
            for (int y = 0; y < rows; ++y) {
                std::memcpy(dib.data() + stride * static_cast<std::size_t>(rows - 1 - y),
                            readBuffer_.data() + static_cast<std::size_t>(bytesPerLine_) * y,
                            rowBytes);
            }
            return true;
        }
        return false;
    }

    void interrupt() override { interrupted_ = true; }
    void resume() override { interrupted_ = false; }
    void stopStream() override { closeDevice(); }

private:
    // Sizes in 24-bit BGR (libv4l2 converts to it from whatever the camera
    // sends), only those the video channel carries. Needs the device open.
    std::vector<BitmapInfoHeader> offeredFormats() {
        std::vector<BitmapInfoHeader> out;
        const auto fits = [](std::uint32_t w, std::uint32_t h) {
            return w > 0 && h > 0 && w <= kMaxWidth && h <= kMaxHeight;
        };
        v4l2_frmsizeenum size{};
        size.pixel_format = V4L2_PIX_FMT_BGR24;
        for (size.index = 0; xioctl(fd_, VIDIOC_ENUM_FRAMESIZES, &size) == 0; ++size.index) {
            if (size.type == V4L2_FRMSIZE_TYPE_DISCRETE) {
                if (fits(size.discrete.width, size.discrete.height)) {
                    out.push_back(rgbFormat(static_cast<std::int32_t>(size.discrete.width),
                                            static_cast<std::int32_t>(size.discrete.height)));
                }
                continue;
            }
            for (auto [w, h] : kStepwiseSizes) {
                const auto uw = static_cast<std::uint32_t>(w);
                const auto uh = static_cast<std::uint32_t>(h);
                if (uw >= size.stepwise.min_width && uw <= size.stepwise.max_width &&
                    uh >= size.stepwise.min_height && uh <= size.stepwise.max_height) {
                    out.push_back(rgbFormat(w, h));
                }
            }
            break;
        }
        return out;
    }

    bool applyFormat(std::uint32_t width, std::uint32_t height) {
        v4l2_format f{};
        f.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        f.fmt.pix.width = width;
        f.fmt.pix.height = height;
        f.fmt.pix.pixelformat = V4L2_PIX_FMT_BGR24;
        f.fmt.pix.field = V4L2_FIELD_ANY;
        if (xioctl(fd_, VIDIOC_S_FMT, &f) < 0 || f.fmt.pix.pixelformat != V4L2_PIX_FMT_BGR24 ||
            f.fmt.pix.width != width || f.fmt.pix.height != height || width == 0 || height == 0) {
            return false;
        }
        format_ = rgbFormat(static_cast<std::int32_t>(width), static_cast<std::int32_t>(height));
        bytesPerLine_ = std::max<std::uint32_t>(f.fmt.pix.bytesperline, width * 3);
        // HD modes of many cameras start slower than they can go.
        v4l2_streamparm rate{};
        rate.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        rate.parm.capture.timeperframe = {1, kFramesPerSecond};
        static_cast<void>(xioctl(fd_, VIDIOC_S_PARM, &rate));
        return true;
    }

    void closeDevice() {
        if (fd_ >= 0) {
            v4l2_close(fd_);
            fd_ = -1;
        }
    }

    V4l2DeviceInfo device_;
    int fd_ = -1;
    BitmapInfoHeader format_ = rgbFormat(320, 240);
    std::uint32_t bytesPerLine_ = 0;
    std::vector<std::byte> readBuffer_;
    std::atomic<bool> interrupted_{false};
};

}  // namespace

std::vector<V4l2DeviceInfo> enumerateV4l2Devices(std::size_t max) {
    std::vector<V4l2DeviceInfo> out;
    QDir dev(QStringLiteral("/dev"));
    QStringList nodes = dev.entryList({QStringLiteral("video*")}, QDir::System | QDir::Files);
    std::sort(nodes.begin(), nodes.end(), [](const QString& a, const QString& b) {
        return a.mid(5).toInt() < b.mid(5).toInt();
    });
    for (const QString& node : nodes) {
        if (out.size() >= max) {
            break;
        }
        const QString path = dev.filePath(node);
        const int fd = v4l2_open(path.toLocal8Bit().constData(), O_RDWR | O_NONBLOCK);
        if (fd < 0) {
            continue;
        }
        v4l2_capability cap{};
        if (xioctl(fd, VIDIOC_QUERYCAP, &cap) == 0) {
            const std::uint32_t caps =
                (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities;
            if (caps & V4L2_CAP_VIDEO_CAPTURE) {
                const auto* card = reinterpret_cast<const char*>(cap.card);
                out.push_back(
                    {QString::fromUtf8(card, static_cast<int>(strnlen(card, sizeof cap.card))),
                     path});
            }
        }
        v4l2_close(fd);
    }
    return out;
}

std::unique_ptr<ICaptureSource> createV4l2Source(const V4l2DeviceInfo& device) {
    return std::make_unique<V4l2Source>(device);
}

}  // namespace kova
