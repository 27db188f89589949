#include "platform/DesktopNotifications.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QLoggingCategory>
#include <QMetaObject>

namespace {

// The service's "image-data" hint: (iiibiiay).
struct NotificationImageData {
    int width = 0;
    int height = 0;
    int rowStride = 0;
    bool hasAlpha = true;
    int bitsPerSample = 8;
    int channels = 4;
    QByteArray data;
};

}  // namespace

Q_DECLARE_METATYPE(NotificationImageData)

namespace {

QDBusArgument& operator<<(QDBusArgument& a, const NotificationImageData& i) {
    a.beginStructure();
    a << i.width << i.height << i.rowStride << i.hasAlpha << i.bitsPerSample << i.channels
      << i.data;
    a.endStructure();
    return a;
}

const QDBusArgument& operator>>(const QDBusArgument& a, NotificationImageData& i) {
    a.beginStructure();
    a >> i.width >> i.height >> i.rowStride >> i.hasAlpha >> i.bitsPerSample >> i.channels >>
        i.data;
    a.endStructure();
    return a;
}

Q_LOGGING_CATEGORY(lcNotify, "kova.platform.notify", QtWarningMsg)

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
const QString kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");

QDBusMessage notificationsCall(const QString& method) {
    return QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
}

}  // namespace

namespace kova {

DesktopNotifications::DesktopNotifications(QString appName, QString iconName, NotificationIcon icon,
                                           int shownMs, QObject* parent)
    : QObject(parent),
      appName_(std::move(appName)),
      iconName_(std::move(iconName)),
      icon_(std::move(icon)),
      shownMs_(shownMs) {
    qDBusRegisterMetaType<NotificationImageData>();
}

DesktopNotifications::~DesktopNotifications() = default;

void DesktopNotifications::probe(std::function<void()> answered) {
    answered_ = std::move(answered);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        // Still answered from the event loop, as a bus answer would be.
        QMetaObject::invokeMethod(
            this, [this] { setState(State::Missing); }, Qt::QueuedConnection);
        return;
    }
    // A service that comes or goes later (a desktop started after us, a daemon
    // ending when idle) is asked again.
    auto* watcher =
        new QDBusServiceWatcher(kService, bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this, [this, bus] {
        auto* call = new QDBusPendingCallWatcher(
            bus.asyncCall(notificationsCall(QStringLiteral("GetServerInformation")),
                          kProbeTimeoutMs),
            this);
        connect(call, &QDBusPendingCallWatcher::finished, this,
                [this](QDBusPendingCallWatcher* w) { setState(serverAnswered(w)); });
    });

    pendingProbes_ = 3;
    // GetServerInformation also starts a service the bus activates on demand.
    auto* info = new QDBusPendingCallWatcher(
        bus.asyncCall(notificationsCall(QStringLiteral("GetServerInformation")), kProbeTimeoutMs),
        this);
    connect(info, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        state_ = serverAnswered(w);
        answerWhenDone();
    });
    auto* caps = new QDBusPendingCallWatcher(
        bus.asyncCall(notificationsCall(QStringLiteral("GetCapabilities")), kProbeTimeoutMs), this);
    connect(caps, &QDBusPendingCallWatcher::finished, this, &DesktopNotifications::onCapabilities);
    QDBusMessage host = QDBusMessage::createMethodCall(
        kWatcherService, QStringLiteral("/StatusNotifierWatcher"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    host << kWatcherService << QStringLiteral("IsStatusNotifierHostRegistered");
    auto* sni = new QDBusPendingCallWatcher(bus.asyncCall(host, kProbeTimeoutMs), this);
    connect(sni, &QDBusPendingCallWatcher::finished, this, &DesktopNotifications::onHostRegistered);
}

IDesktopNotifier::State DesktopNotifications::serverAnswered(QDBusPendingCallWatcher* call) {
    call->deleteLater();
    if (call->isError()) {
        qCInfo(lcNotify).noquote() << "no notification service:" << call->error().message();
        return State::Missing;
    }
    qCInfo(lcNotify) << "notification service answered";
    return State::Available;
}

void DesktopNotifications::onCapabilities(QDBusPendingCallWatcher* call) {
    call->deleteLater();
    const QDBusPendingReply<QStringList> reply = *call;
    bodyMarkup_ = reply.isValid() && reply.value().contains(QStringLiteral("body-markup"));
    answerWhenDone();
}

void DesktopNotifications::onHostRegistered(QDBusPendingCallWatcher* call) {
    call->deleteLater();
    const QDBusPendingReply<QDBusVariant> reply = *call;
    statusNotifierHost_ = reply.isValid() && reply.value().variant().toBool();
    answerWhenDone();
}

void DesktopNotifications::answerWhenDone() {
    if (--pendingProbes_ == 0 && answered_) {
        answered_();
    }
}

void DesktopNotifications::setState(State state) {
    state_ = state;
    if (answered_) {
        answered_();
    }
}

void DesktopNotifications::notify(const QString& title, const QString& text,
                                  std::function<void()> failed) {
    QDBusMessage call = notificationsCall(QStringLiteral("Notify"));
    QVariantMap hints;
    if (!icon_.rgba.isEmpty()) {
        NotificationImageData image;
        image.width = icon_.width;
        image.height = icon_.height;
        image.rowStride = icon_.width * 4;
        image.data = icon_.rgba;
        hints.insert(QStringLiteral("image-data"), QVariant::fromValue(image));
    }
    const QString body = bodyMarkup_ ? text.toHtmlEscaped() : text;
    call << appName_ << 0u << iconName_ << title << body << QStringList() << hints << shownMs_;
    auto* watcher = new QDBusPendingCallWatcher(
        QDBusConnection::sessionBus().asyncCall(call, kNotifyTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [failed = std::move(failed)](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                if (w->isError()) {
                    qCWarning(lcNotify).noquote()
                        << "notification refused:" << w->error().message();
                    if (failed) {
                        failed();
                    }
                }
            });
}

}  // namespace kova
