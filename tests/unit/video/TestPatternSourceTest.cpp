#include "video/TestPatternSource.h"

#include <gtest/gtest.h>

namespace kova {
namespace {

std::vector<std::byte> frame(std::uint32_t n, const BitmapInfoHeader& f) {
    std::vector<std::byte> dib(dibFrameSizeOf(f));
    CTestPatternSource::render(n, f, dib);
    return dib;
}

TEST(TestPatternSourceTest, DeterministicMovingBarsAndReadableCounter) {
    for (const auto& f : CTestPatternSource(false).formats()) {
        EXPECT_EQ(frame(7, f), frame(7, f));
        EXPECT_NE(frame(7, f), frame(8, f));
        for (std::uint32_t n : {0u, 1u, 299u, 0xA5C3u}) {
            EXPECT_EQ(CTestPatternSource::readCounter(f, frame(n, f)), n) << f.width;
        }
    }
    // The top-left pixel is the last row in memory and follows the bars.
    const auto f = rgbFormat(320, 240);
    const auto dib = frame(3, f);
    const std::size_t topLeft = dibStrideOf(f) * 239;
    const auto c = CTestPatternSource::barColour(3, 0, 320);
    EXPECT_EQ(std::to_integer<std::uint8_t>(dib[topLeft]), c[0]);
    EXPECT_EQ(std::to_integer<std::uint8_t>(dib[topLeft + 2]), c[2]);
    // Bars move left by the step each frame.
    EXPECT_EQ(CTestPatternSource::barColour(4, 0, 320),
              CTestPatternSource::barColour(3, CTestPatternSource::kStepPixels, 320));
}

TEST(TestPatternSourceTest, GrabCountsFramesAndInterruptEndsIt) {
    CTestPatternSource source(false);
    EXPECT_FALSE(source.setFormat(rgbFormat(320, 240, 16)));
    ASSERT_TRUE(source.setFormat(rgbFormat(176, 144)));
    ASSERT_TRUE(source.startStream());
    std::vector<std::byte> dib(dibFrameSizeOf(source.format()));
    ASSERT_TRUE(source.grab(dib));
    ASSERT_TRUE(source.grab(dib));
    EXPECT_EQ(CTestPatternSource::readCounter(source.format(), dib), 1u);
    source.interrupt();
    EXPECT_FALSE(source.grab(dib));
    source.resume();
    EXPECT_TRUE(source.grab(dib));
}

}  // namespace
}  // namespace kova
