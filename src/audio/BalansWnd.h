#pragma once
// A passive level bar drawn from a two-column picture: column 0 is the filled
// look, column 1 the empty look, each stretched over its part of the bar.

#include <QImage>
#include <QWidget>

#include "audio/ArrivalIndicator.h"

namespace kova {

class CBalansWnd : public QWidget, public IArrivalIndicator {
    Q_OBJECT
public:
    explicit CBalansWnd(QWidget* parent = nullptr);

    // Takes the picture's height; the value starts at 0.
    bool SetBitmap(int pictureId, int maximum);
    bool SetBitmap(const QImage& picture, int maximum);
    void SetValue(int value);
    int maximum() const { return maximum_; }
    int value() const { return value_; }
    // Width of the filled part at the current size.
    int filledWidth() const;

    // From the playout thread: the value reaches the bar on its own thread.
    void setLevel(int level) override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage bitmap_;
    int maximum_ = 0;
    int value_ = 0;
};

}  // namespace kova
