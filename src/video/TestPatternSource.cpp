#include "video/TestPatternSource.h"

#include "common/TimingLog.h"

#include <cstring>

namespace kova {

namespace {

// White, yellow, cyan, green, magenta, red, blue, black, as B, G, R.
constexpr std::array<std::array<std::uint8_t, 3>, CTestPatternSource::kBarCount> kBars = {{
    {255, 255, 255},
    {0, 255, 255},
    {255, 255, 0},
    {0, 255, 0},
    {255, 0, 255},
    {0, 0, 255},
    {255, 0, 0},
    {0, 0, 0},
}};

// The classic sizes, and two HD ones that the video channel still carries.
constexpr std::array<std::pair<int, int>, 7> kSizes = {
    {{1280, 720}, {960, 540}, {640, 480}, {352, 288}, {320, 240}, {176, 144}, {160, 120}}};

int counterRows(int rows) {
    return std::max(1, rows / 8);
}

}  // namespace

CTestPatternSource::CTestPatternSource(bool paced) : paced_(paced), format_(rgbFormat(320, 240)) {}

std::array<std::uint8_t, 3> CTestPatternSource::barColour(std::uint32_t n, int x, int width) {
    const std::uint64_t shifted =
        (static_cast<std::uint64_t>(x) + static_cast<std::uint64_t>(n) * kStepPixels) %
        static_cast<std::uint64_t>(width);
    return kBars[shifted * kBarCount / static_cast<std::uint64_t>(width)];
}

void CTestPatternSource::render(std::uint32_t n, const BitmapInfoHeader& format,
                                MutableByteSpan dib) {
    const int width = format.width;
    const int rows = std::abs(format.height);
    const auto stride = static_cast<std::size_t>(dibStrideOf(format));
    if (width <= 0 || rows <= 0 || format.bitCount != 24 || dib.size() < stride * rows) {
        return;
    }
    // One row of bars, copied to every bar row.
    std::vector<std::uint8_t> bars(stride, 0);
    for (int x = 0; x < width; ++x) {
        const auto c = barColour(n, x, width);
        std::memcpy(&bars[static_cast<std::size_t>(x) * 3], c.data(), 3);
    }
    std::vector<std::uint8_t> counter(stride, 0);
    for (int x = 0; x < width; ++x) {
        const int bit = kCounterBits - 1 - x * kCounterBits / width;
        const std::uint8_t v = ((n >> bit) & 1u) ? 255 : 0;
        std::memset(&counter[static_cast<std::size_t>(x) * 3], v, 3);
    }
    const int strip = counterRows(rows);
    auto* base = reinterpret_cast<std::uint8_t*>(dib.data());
    for (int top = 0; top < rows; ++top) {
        // Bottom-up storage: the top row of the picture is the last in memory.
        const int stored = format.height > 0 ? rows - 1 - top : top;
        const auto& row = top >= rows - strip ? counter : bars;
        std::memcpy(base + static_cast<std::size_t>(stored) * stride, row.data(), stride);
    }
}

std::uint32_t CTestPatternSource::readCounter(const BitmapInfoHeader& format, ByteSpan dib) {
    const int width = format.width;
    const int rows = std::abs(format.height);
    const auto stride = static_cast<std::size_t>(dibStrideOf(format));
    if (width <= 0 || rows <= 0 || format.bitCount != 24 || dib.size() < stride * rows) {
        return 0;
    }
    const int strip = counterRows(rows);
    const int top = rows - strip / 2 - 1;
    const int stored = format.height > 0 ? rows - 1 - top : top;
    const auto* row = reinterpret_cast<const std::uint8_t*>(dib.data()) + stride * stored;
    std::uint32_t n = 0;
    for (int i = 0; i < kCounterBits; ++i) {
        const int x = (2 * i + 1) * width / (2 * kCounterBits);
        const int sum = row[x * 3] + row[x * 3 + 1] + row[x * 3 + 2];
        n = (n << 1) | (sum > 3 * 128 ? 1u : 0u);
    }
    return n;
}

std::vector<BitmapInfoHeader> CTestPatternSource::formats() {
    std::vector<BitmapInfoHeader> out;
    for (auto [w, h] : kSizes) {
        out.push_back(rgbFormat(w, h));
    }
    return out;
}

bool CTestPatternSource::setFormat(const BitmapInfoHeader& format) {
    for (const auto& f : formats()) {
        if (f.width == format.width && f.height == format.height && f.bitCount == format.bitCount &&
            format.compression == 0) {
            format_ = f;
            return true;
        }
    }
    return false;
}

bool CTestPatternSource::startStream() {
    std::lock_guard lock(mutex_);
    due_ = std::chrono::steady_clock::now();
    return true;
}

bool CTestPatternSource::grab(MutableByteSpan dib) {
    using namespace std::chrono;
    constexpr auto kPeriod =
        duration_cast<steady_clock::duration>(duration<double>(1.0 / kFramesPerSecond));
    {
        std::unique_lock lock(mutex_);
        if (paced_) {
            wake_.wait_until(lock, due_, [this] { return interrupted_; });
        }
        if (interrupted_) {
            return false;
        }
        const auto now = steady_clock::now();
        // After a pause or a slow consumer, pace from now rather than catch up.
        due_ = due_ + kPeriod < now ? now + kPeriod : due_ + kPeriod;
    }
    const std::uint32_t n = next_++;
    render(n, format_, dib);
    if (lcTiming().isDebugEnabled()) {
        qCDebug(lcTiming).nospace() << "captured " << (n & 0xFFFF) << " at " << monotonicMicros();
    }
    return true;
}

void CTestPatternSource::interrupt() {
    {
        std::lock_guard lock(mutex_);
        interrupted_ = true;
    }
    wake_.notify_all();
}

void CTestPatternSource::resume() {
    std::lock_guard lock(mutex_);
    interrupted_ = false;
    due_ = std::chrono::steady_clock::now();
}

}  // namespace kova
