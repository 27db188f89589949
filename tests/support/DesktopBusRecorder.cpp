// A desktop's bus services for the process tests, recording what KOVA sends:
// a notification server (--notifications) and a StatusNotifierItem watcher with
// a host (--watcher). One line per event on stdout; stdin takes "menu",
// "click LABEL" and "activate" for the registered item.
#include <unistd.h>
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QSocketNotifier>
#include <QTimer>
#include <cstdio>

namespace {

QString escaped(QString s) {
    return s.replace(u'\\', QStringLiteral("\\\\")).replace(u'\n', QStringLiteral("\\n"));
}

void say(const QString& line) {
    std::printf("%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

// a(iiay) as "WxH,WxH".
QString pixmapSizes(const QDBusArgument& a) {
    QStringList sizes;
    a.beginArray();
    while (!a.atEnd()) {
        int w = 0, h = 0;
        QByteArray bytes;
        a.beginStructure();
        a >> w >> h >> bytes;
        a.endStructure();
        sizes << QStringLiteral("%1x%2").arg(w).arg(h);
    }
    a.endArray();
    return sizes.join(u',');
}

class Notifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public slots:
    QStringList GetCapabilities() { return {QStringLiteral("body")}; }
    QString GetServerInformation(QString& vendor, QString& version, QString& spec) {
        vendor = version = QStringLiteral("test");
        spec = QStringLiteral("1.2");
        return QStringLiteral("recorder");
    }
    uint Notify(const QString& app, uint, const QString& icon, const QString& summary,
                const QString& body, const QStringList&, const QVariantMap& hints, int timeout) {
        QString image = QStringLiteral("none");
        if (hints.contains(QStringLiteral("image-data"))) {
            const auto a = hints.value(QStringLiteral("image-data")).value<QDBusArgument>();
            int w = 0, h = 0, stride = 0, bits = 0, channels = 0;
            bool alpha = false;
            QByteArray data;
            a.beginStructure();
            a >> w >> h >> stride >> alpha >> bits >> channels >> data;
            a.endStructure();
            image = data.size() == stride * h ? QStringLiteral("%1x%2").arg(w).arg(h)
                                              : QStringLiteral("short");
        }
        say(QStringLiteral("notify app=%1 icon=%2 image=%3 timeout=%4 summary=%5 body=%6")
                .arg(app, icon, image)
                .arg(timeout)
                .arg(escaped(summary), escaped(body)));
        return ++id_;
    }
    void CloseNotification(uint) {}

private:
    uint id_ = 0;
};

class Watcher : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)
public:
    bool hostRegistered() const { return true; }
    int protocolVersion() const { return 0; }
    QStringList items() const { return service_.isEmpty() ? QStringList() : QStringList{service_}; }

    void command(const QString& line) {
        if (line == u"menu") {
            dumpMenu();
        } else if (line.startsWith(u"click ") && labels_.contains(line.mid(6))) {
            call(menuPath_, QStringLiteral("com.canonical.dbusmenu"), QStringLiteral("Event"),
                 {labels_.value(line.mid(6)), QStringLiteral("clicked"),
                  QVariant::fromValue(QDBusVariant(0)), 0u});
        } else if (line == u"activate") {
            call(path_, QStringLiteral("org.kde.StatusNotifierItem"), QStringLiteral("Activate"),
                 {0, 0});
        }
    }

public slots:
    void RegisterStatusNotifierHost(const QString&) {}
    void RegisterStatusNotifierItem(const QString& name) {
        service_ = name.startsWith(u'/') ? message().service() : name;
        path_ = name.startsWith(u'/') ? name : QStringLiteral("/StatusNotifierItem");
        QTimer::singleShot(0, this, &Watcher::dumpItem);
    }

signals:
    void StatusNotifierItemRegistered(const QString& service);

private slots:
    void dumpMenu() {
        call(menuPath_, QStringLiteral("com.canonical.dbusmenu"), QStringLiteral("AboutToShow"),
             {0});
        const QDBusMessage reply = call(menuPath_, QStringLiteral("com.canonical.dbusmenu"),
                                        QStringLiteral("GetLayout"), {0, -1, QStringList()});
        if (reply.arguments().size() < 2) {
            say(QStringLiteral("menu failed"));
            return;
        }
        // (ia{sv}av): the root, its children each in a variant.
        const auto root = reply.arguments().at(1).value<QDBusArgument>();
        int id = 0;
        QVariantMap props;
        QVariantList children;
        root.beginStructure();
        root >> id >> props >> children;
        root.endStructure();
        QStringList shown;
        labels_.clear();
        for (const QVariant& child : children) {
            const QVariant inner = child.userType() == qMetaTypeId<QDBusVariant>()
                                       ? child.value<QDBusVariant>().variant()
                                       : child;
            const auto item = inner.value<QDBusArgument>();
            QVariantList none;
            item.beginStructure();
            item >> id >> props >> none;
            item.endStructure();
            if (!props.value(QStringLiteral("visible"), true).toBool()) {
                continue;
            }
            const bool separator = props.value(QStringLiteral("type")).toString() == u"separator";
            const QString label = props.value(QStringLiteral("label")).toString();
            shown << (separator ? QStringLiteral("-") : label);
            labels_.insert(label, id);
        }
        say(QStringLiteral("menu ") + shown.join(u'|'));
    }
    void dumpItem() {
        const QDBusMessage reply =
            call(path_, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("GetAll"),
                 {QStringLiteral("org.kde.StatusNotifierItem")});
        if (reply.type() != QDBusMessage::ReplyMessage) {
            say(QStringLiteral("item failed ") + service_ + path_ + u' ' + reply.errorMessage());
            return;
        }
        const QVariantMap p = qdbus_cast<QVariantMap>(reply.arguments().value(0));
        // ToolTip: (s a(iiay) s s).
        const auto tip = p.value(QStringLiteral("ToolTip")).value<QDBusArgument>();
        QString tipIcon, title, text;
        tip.beginStructure();
        tip >> tipIcon;
        pixmapSizes(tip);
        tip >> title >> text;
        tip.endStructure();
        menuPath_ = p.value(QStringLiteral("Menu")).value<QDBusObjectPath>().path();
        say(QStringLiteral("item icon=%1%2 tooltip=%3|%4 menu=%5")
                .arg(p.value(QStringLiteral("IconName")).toString(),
                     pixmapSizes(p.value(QStringLiteral("IconPixmap")).value<QDBusArgument>()),
                     escaped(title), escaped(text), menuPath_));
        QDBusConnection::sessionBus().connect(
            service_, menuPath_, QStringLiteral("com.canonical.dbusmenu"),
            QStringLiteral("LayoutUpdated"), this, SLOT(dumpMenu()));
        dumpMenu();
    }

private:
    QDBusMessage call(const QString& path, const QString& iface, const QString& method,
                      const QVariantList& args) {
        QDBusMessage m = QDBusMessage::createMethodCall(service_, path, iface, method);
        m.setArguments(args);
        return QDBusConnection::sessionBus().call(m, QDBus::Block, 5000);
    }

    QString service_, path_, menuPath_;
    QMap<QString, int> labels_;
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QStringList args = app.arguments();
    Notifications notifications;
    Watcher watcher;
    if (args.contains(QStringLiteral("--notifications"))) {
        bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &notifications,
                           QDBusConnection::ExportAllSlots);
        if (!bus.registerService(QStringLiteral("org.freedesktop.Notifications"))) {
            return 1;
        }
    }
    if (args.contains(QStringLiteral("--watcher"))) {
        bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), &watcher,
                           QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals |
                               QDBusConnection::ExportAllProperties);
        if (!bus.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"))) {
            return 1;
        }
    }
    // Whole lines only; at the end of the input the services stay.
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray pending;
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        char buf[256];
        const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
        if (n <= 0) {
            input.setEnabled(false);
            return;
        }
        pending.append(buf, n);
        for (qsizetype nl; (nl = pending.indexOf('\n')) >= 0; pending.remove(0, nl + 1)) {
            watcher.command(QString::fromUtf8(pending.left(nl)).trimmed());
        }
    });
    say(QStringLiteral("ready"));
    return app.exec();
}

#include "DesktopBusRecorder.moc"
