#pragma once
// The main window's tray icon: tooltip, mouse menu (through MSG_TRAY_NOTIFY to
// the owner) and the balloons that carry the program's runtime errors and
// notices. Where the desktop has no tray, balloons appear as a small notice in
// the screen corner next to the panel, so no message is lost.

#include <QObject>
#include <QPointer>
#include <QStringList>

class QSystemTrayIcon;
class QWidget;

namespace kova {

class CBalloonNotice;

class CTrayIcon : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxTooltip = 127;
    static constexpr int kMaxBalloonText = 255;
    static constexpr int kMaxBalloonTitle = 63;
    static constexpr int kBalloonShownMs = 5000;
    static constexpr int kLogSize = 50;

    // Mouse messages carried in MSG_TRAY_NOTIFY's second argument.
    static constexpr int kLeftButtonDown = 0x0201;
    static constexpr int kLeftButtonDoubleClick = 0x0203;
    static constexpr int kRightButtonDown = 0x0204;

    explicit CTrayIcon(QObject* parent = nullptr);
    ~CTrayIcon() override;

    // owner: the main window, which gets MSG_TRAY_NOTIFY and gives balloons
    // their title.
    bool Add(QWidget* owner, int iconId, const QString& tooltip);
    void ShowBalloon(const QString& text);
    void Remove();

    bool hasSystemTray() const;
    QString tooltip() const { return tooltip_; }
    QString balloonTitle() const { return balloonTitle_; }
    // The latest balloon texts (oldest first), as shown.
    const QStringList& balloonLog() const { return log_; }

private:
    QPointer<QWidget> owner_;
    QSystemTrayIcon* tray_ = nullptr;
    QPointer<CBalloonNotice> notice_;
    QString tooltip_;
    QString balloonTitle_;
    QStringList log_;
};

}  // namespace kova
