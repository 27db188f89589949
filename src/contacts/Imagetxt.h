#pragma once
// The status panel: a picture stretched to the panel with two centred lines of
// text (video and audio settings) on it.

#include <QPixmap>
#include <QWidget>

namespace kova {

class CImagetxt : public QWidget {
    Q_OBJECT
public:
    // Columns of the picture kept in shape at its left edge.
    static constexpr int kFixedColumns = 130;
    // Columns of the rounded left end, mirrored to close the right one.
    static constexpr int kRoundEndColumns = 10;

    explicit CImagetxt(QWidget* parent = nullptr);

    void SetBitmap(int pictureId, const QColor& textColour);
    void SetBitmap(const QPixmap& picture, const QColor& textColour);
    void SetLines(const QString& line1, const QString& line2);
    int Height() const;

    QString line1() const { return line1_; }
    QString line2() const { return line2_; }
    // The picture stretched to a w x h panel.
    static QPixmap compose(const QPixmap& picture, int w, int h);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QPixmap picture_;
    QPixmap composed_;
    QColor textColour_;
    QString line1_ = QStringLiteral(" ");
    QString line2_ = QStringLiteral(" ");
};

}  // namespace kova
