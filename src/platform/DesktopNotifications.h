#pragma once
// The desktop's notification service, org.freedesktop.Notifications on the
// session bus. Every bus call is asynchronous: the UI thread never waits for the
// bus, so whether the service exists is known only once it has answered; until
// then the caller holds what it wants to show.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>

class QDBusPendingCallWatcher;

namespace kova {

// The icon sent with each notification: 32-bit RGBA, top row first.
struct NotificationIcon {
    int width = 0;
    int height = 0;
    QByteArray rgba;  // width * height * 4 bytes
};

class IDesktopNotifier {
public:
    enum class State { Unknown, Available, Missing };
    virtual ~IDesktopNotifier() = default;
    // Asks whether the service runs; answered is called on the owner's thread
    // once the state is known (and again whenever it changes).
    virtual void probe(std::function<void()> answered) = 0;
    virtual State state() const = 0;
    // Whether a StatusNotifierItem host runs: then the tray's own balloons go to
    // the same service and are lost without it.
    virtual bool statusNotifierHost() const = 0;
    // failed: the service refused the notification or is gone; the caller shows
    // the text another way.
    virtual void notify(const QString& title, const QString& text,
                        std::function<void()> failed) = 0;
};

class DesktopNotifications : public QObject, public IDesktopNotifier {
    Q_OBJECT
public:
    // Long enough for a service that the bus starts on demand.
    static constexpr int kProbeTimeoutMs = 3000;
    static constexpr int kNotifyTimeoutMs = 5000;

    DesktopNotifications(QString appName, QString iconName, NotificationIcon icon, int shownMs,
                         QObject* parent = nullptr);
    ~DesktopNotifications() override;

    void probe(std::function<void()> answered) override;
    State state() const override { return state_; }
    bool statusNotifierHost() const override { return statusNotifierHost_; }
    void notify(const QString& title, const QString& text, std::function<void()> failed) override;

private:
    static State serverAnswered(QDBusPendingCallWatcher* call);
    void onCapabilities(QDBusPendingCallWatcher* call);
    void onHostRegistered(QDBusPendingCallWatcher* call);
    void setState(State state);
    void answerWhenDone();

    QString appName_;
    QString iconName_;
    NotificationIcon icon_;
    int shownMs_;
    std::function<void()> answered_;
    State state_ = State::Unknown;
    bool statusNotifierHost_ = false;
    // A service that takes markup would swallow '<' and '&' of the texts.
    bool bodyMarkup_ = false;
    int pendingProbes_ = 0;
};

}  // namespace kova
