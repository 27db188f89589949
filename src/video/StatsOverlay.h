#pragma once
// The receiving window's link statistics: a small translucent panel over the
// peer's picture, in the skin's colours, holding the lines it is given. Drawn
// as text and vectors each time, so it stays sharp at any scale; it takes no
// mouse input, so the picture's context menu works through it.

#include <QStringList>
#include <QWidget>

namespace kova {

class CStatsOverlay : public QWidget {
    Q_OBJECT
public:
    explicit CStatsOverlay(QWidget* parent = nullptr);

    // Resizes to fit the lines.
    void SetLines(const QStringList& lines);
    const QStringList& lines() const { return lines_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QStringList lines_;
};

}  // namespace kova
