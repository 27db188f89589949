#pragma once
// One picture on a window, its background colour turned into the window's.

#include <QPixmap>
#include <QWidget>

namespace kova {

class CPictureStatic : public QWidget {
    Q_OBJECT
public:
    explicit CPictureStatic(QWidget* parent = nullptr);

    bool SetBitmap(int pictureId, const QColor& keyColour);
    bool SetBitmap(QImage image, const QColor& keyColour);
    QSize sizeHint() const override;
    const QPixmap& pixmap() const { return picture_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap picture_;
};

}  // namespace kova
