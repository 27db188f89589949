#pragma once
// The main window's tray icon: tooltip, menu, mouse (through MSG_TRAY_NOTIFY to
// the owner) and the balloons that carry the program's runtime errors and
// notices. Balloons go to the desktop's notification service where one runs,
// else to the tray; where neither exists they appear as a small notice in the
// screen corner next to the panel, so no message is lost.

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <memory>

#include "platform/DesktopNotifications.h"

class QMenu;
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
    // Balloons held while the notification service has not answered yet.
    static constexpr int kMaxHeld = 8;
    static inline const QString kAppName = QStringLiteral("KOVA");
    static inline const QString kIconName = QStringLiteral("kova");

    // Mouse messages carried in MSG_TRAY_NOTIFY's second argument.
    static constexpr int kLeftButtonDown = 0x0201;
    static constexpr int kLeftButtonDoubleClick = 0x0203;
    static constexpr int kRightButtonDown = 0x0204;

    explicit CTrayIcon(QObject* parent = nullptr);
    ~CTrayIcon() override;

    // Before Add: the notification service to use instead of the session bus's.
    void setNotifier(IDesktopNotifier* notifier) { notifier_ = notifier; }
    // The tray's menu (not owned); the tray or its host opens it on a right click.
    void setMenu(QMenu* menu);
    // owner: the main window, which gets MSG_TRAY_NOTIFY and gives balloons
    // their title.
    bool Add(QWidget* owner, int iconId, const QString& tooltip);
    void ShowBalloon(const QString& text);
    void Remove();

    bool hasSystemTray() const;
    // Where the latest balloon went.
    enum class Shown { Nowhere, Held, Service, Tray, Corner };
    Shown lastShown() const { return lastShown_; }
    QString tooltip() const { return tooltip_; }
    QString balloonTitle() const { return balloonTitle_; }
    // The latest balloon texts (oldest first), as shown.
    const QStringList& balloonLog() const { return log_; }

private:
    void deliver(const QString& text);
    void showHere(const QString& text);
    void onNotifierAnswered();

    QPointer<QWidget> owner_;
    QSystemTrayIcon* tray_ = nullptr;
    QPointer<QMenu> menu_;
    IDesktopNotifier* notifier_ = nullptr;
    std::unique_ptr<DesktopNotifications> ownNotifier_;
    QStringList held_;
    Shown lastShown_ = Shown::Nowhere;
    QPointer<CBalloonNotice> notice_;
    QString tooltip_;
    QString balloonTitle_;
    QStringList log_;
};

}  // namespace kova
