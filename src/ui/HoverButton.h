#pragma once
// A picture button drawn from a strip of four equal frames: normal, hover or
// focus, pressed, disabled.

#include <QAbstractButton>
#include <QPixmap>

namespace kova {

class CHoverButton : public QAbstractButton {
    Q_OBJECT
public:
    enum Frame { Normal = 0, Hover = 1, Pressed = 2, Disabled = 3 };

    explicit CHoverButton(QWidget* parent = nullptr);

    // keyColour: pixels of this colour are see-through; focusFrame: whether the
    // button keeps the focus (and shows it) after a click.
    bool LoadBitmap(int pictureId, const QColor& keyColour, bool focusFrame);
    void SetTooltip(const QString& text) { setToolTip(text); }

    Frame frame() const;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QPixmap strip_;
    bool focusFrame_ = true;
    bool hovered_ = false;
};

}  // namespace kova
