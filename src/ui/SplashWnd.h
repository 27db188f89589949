#pragma once
// A borderless picture window: the start-up splash and the wait popup. Pixels of
// the colour key are see-through.

#include <QColor>
#include <QPixmap>
#include <QWidget>

namespace kova {

class CSplashWnd : public QWidget {
    Q_OBJECT
public:
    static inline const QString kTitle = QStringLiteral("SplashKova");

    explicit CSplashWnd(Qt::WindowFlags extraFlags = {});

    // False when the picture is missing or has no size.
    bool SetPicture(int pictureId);
    bool SetPicture(const QPixmap& picture);
    // A colour given as 0x00BBGGRR; 0 means no transparency.
    void SetColourKey(quint32 bgr);
    virtual void Close();

    static QColor colourFromBgr(quint32 bgr) {
        return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
    }

protected:
    void paintEvent(QPaintEvent* event) override;
    virtual void Paint(QPainter& painter);
    void applyColourKey();

    QPixmap picture_;
    quint32 colourKey_ = 0;
};

}  // namespace kova
