#include "video/ShowWnd.h"

#include <gtest/gtest.h>

namespace kova {
namespace {

// A 4 x 2 bitmap whose pixel (x, y from the top) has blue x, green y, red 9.
std::vector<std::byte> numbered(const BitmapInfoHeader& f) {
    std::vector<std::byte> dib(dibFrameSizeOf(f));
    const int bytes = f.bitCount / 8;
    for (int y = 0; y < 2; ++y) {
        const int stored = f.height > 0 ? 1 - y : y;
        for (int x = 0; x < 4; ++x) {
            auto* p = dib.data() + dibStrideOf(f) * stored + x * bytes;
            p[0] = std::byte(x), p[1] = std::byte(y), p[2] = std::byte{9};
        }
    }
    return dib;
}

TEST(ShowWndTest, DrawsUprightAtEveryZoomFromEachLayout) {
    BitmapInfoHeader topDown = rgbFormat(4, 2);
    topDown.height = -2;
    for (const BitmapInfoHeader& f : {rgbFormat(4, 2), rgbFormat(4, 2, 32), topDown}) {
        CShowWnd view;
        view.SetFormat(f);
        ASSERT_TRUE(view.OpenDrawing());
        for (double zoom : {1.0, 2.0, 0.5}) {
            view.SetZoom(zoom);
            view.Draw(numbered(f));
            const QImage& shown = view.Picture();
            ASSERT_EQ(shown.size(), view.DestinationSize()) << f.bitCount << " " << zoom;
            for (int y = 0; y < shown.height(); ++y) {
                for (int x = 0; x < shown.width(); ++x) {
                    const int sx = static_cast<int>(x / zoom), sy = static_cast<int>(y / zoom);
                    EXPECT_EQ(shown.pixel(x, y), qRgb(9, sy, sx)) << x << "," << y << " " << zoom;
                }
            }
        }
        // A short image is not drawn over the last one.
        const QImage before = view.Picture();
        view.Draw(std::vector<std::byte>(dibFrameSizeOf(f) - 1));
        EXPECT_EQ(view.Picture(), before);
    }
}

}  // namespace
}  // namespace kova
