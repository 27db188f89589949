#include "app/MainLayout.h"

#include <algorithm>

namespace kova {

MainLayout computeMainLayout(const MainLayoutInput& in) {
    MainLayout out;
    const QPoint area = in.videoArea.topLeft();
    // What stands right of and below the video (sliders, status panel) stays on
    // the screen too.
    const int sw = in.slider.width();
    const int w =
        std::min(in.captureSize.width(), in.screenSize.width() - area.x() - std::max(16, 2 * sw));
    const int h =
        std::min(in.captureSize.height(), in.screenSize.height() - area.y() - in.panelHeight - 32);
    out.videoArea = QRect(area, QSize(std::max(w, 0), std::max(h, 0)));
    // Exclusive right and bottom edges, as the rules are written.
    const int areaRight = area.x() + out.videoArea.width();
    const int areaBottom = area.y() + out.videoArea.height();

    out.list =
        QRect(in.list.topLeft(), QSize(in.list.width(), area.y() + std::max(h, 240) - in.list.y()));

    const int right = std::max({areaRight + 16, in.helpRight + 2 * sw + 16, areaRight + 2 * sw});
    const int bottom = std::max(
        {areaBottom + in.panelHeight + 32, area.y() + in.panelHeight + 272, areaBottom + sw / 2});
    out.client = QSize(right, bottom);

    const int sliderLeft = std::max(areaRight + sw / 2, right - sw - sw / 2);
    out.speakerSlider = QRect(QPoint(sliderLeft, area.y()), in.slider);
    out.micSlider = QRect(QPoint(sliderLeft, out.speakerSlider.bottom() + 1 + sw / 2), in.slider);

    const int listBottom = out.list.y() + out.list.height();
    out.statusPanel = QRect(in.list.x(), listBottom + 16, right - 16 - in.list.x(), in.panelHeight);

    const int top = (in.bandHeight + 1 - in.closeButton.height()) / 2 - 2;
    out.closeButton = QRect(QPoint(right - top - in.closeButton.width(), top), in.closeButton);
    return out;
}

}  // namespace kova
