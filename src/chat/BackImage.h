#pragma once
// The main window's skinned background: a top band cut from picture A (left
// third, stretched middle third, right part), a body stretched from picture B,
// and the window title in the band.

#include <QColor>
#include <QFont>
#include <QImage>
#include <QString>
#include <optional>

namespace kova {

class CBackImage {
public:
    // Until the band picture is known.
    static constexpr int kDefaultBandHeight = 40;
    // Rows of the body picture kept at their height when split.
    static constexpr int kSplitRows = 67;
    // Gap between the band's height and the title's left edge.
    static constexpr int kTitleGap = 10;

    // The program's own skin: band 170, body 169, title in dark blue.
    static constexpr int kSkinBand = 170;
    static constexpr int kSkinBody = 169;
    static inline const QColor kSkinTitleColour{50, 50, 128};

    bool LoadBitmaps(const QImage& band, const QImage& body);
    // Pictures of the program by number (170 and 169 for the main window).
    bool LoadBitmaps(int bandId, int bodyId);
    void SetTitle(const QString& text, const QColor& colour,
                  const std::optional<QFont>& font = std::nullopt);
    // Sizes are in logical pixels; the picture is made with `pixelRatio` device
    // pixels to each, so the band and body stay sharp on dense screens.
    void Compose(int width, int height, bool split, qreal pixelRatio = 1.0);

    const QImage& picture() const { return composed_; }
    int BandHeight() const;

private:
    QImage band_;
    QImage body_;
    QString title_;
    QColor titleColour_ = Qt::black;
    std::optional<QFont> font_;
    QImage composed_;
};

}  // namespace kova
