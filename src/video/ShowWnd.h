#pragma once
// The drawing control for captured or decoded bitmaps: the local preview and the
// peer's picture. Paints the last image drawn, scaled to its destination size.

#include <QImage>
#include <QWidget>
#include <vector>

#include "common/ByteIo.h"
#include "formats/BitmapInfoHeader.h"

namespace kova {

class CShowWnd : public QWidget {
    Q_OBJECT
public:
    static constexpr std::int32_t kInitialWidth = 176;
    static constexpr std::int32_t kInitialHeight = 144;

    explicit CShowWnd(QWidget* parent = nullptr);

    void SetFormat(const BitmapInfoHeader& format);
    // z > 0: destination = z x source size; otherwise the screen size.
    void SetZoom(double zoom);
    bool OpenDrawing();
    // image: one bitmap of the source format (dibFrameSizeOf bytes); a shorter
    // one is not drawn.
    void Draw(ByteSpan image);

    const BitmapInfoHeader& SourceFormat() const { return format_; }
    QSize DestinationSize() const { return destination_; }
    double Zoom() const { return zoom_; }
    bool IsOpen() const { return open_; }
    // The last image as drawn (scaled), for checks.
    const QImage& Picture() const { return picture_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void updateDestination();
    // image (the source format) into picture_, which has the destination size
    // in Format_RGB32.
    void toPicture(ByteSpan image);
    void logPlace();

    BitmapInfoHeader format_;
    QSize destination_{kInitialWidth, kInitialHeight};
    double zoom_ = 1.0;
    bool open_ = false;
    QImage picture_;
    std::vector<int> columns_;  // source byte offset of each picture column
    QRect loggedPlace_;
};

}  // namespace kova
