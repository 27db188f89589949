#include "ui/TrayIcon.h"

#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QVBoxLayout>
#include <utility>

#include "common/WindowMessages.h"
#include "ui/Pictures.h"
#include "ui/TaskbarEdge.h"

#include <QLoggingCategory>

namespace kova {

namespace {
Q_LOGGING_CATEGORY(lcUi, "kova.ui", QtWarningMsg)
}

// The stand-in for a balloon on desktops without a tray: a small frameless
// notice in the corner next to the panel that goes away by itself.
class CBalloonNotice : public QWidget {
public:
    CBalloonNotice()
        : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                               Qt::WindowDoesNotAcceptFocus) {
        setAttribute(Qt::WA_ShowWithoutActivating);
        setAttribute(Qt::WA_DeleteOnClose);
        setObjectName(QStringLiteral("kovaBalloon"));
        setStyleSheet(
            QStringLiteral("#kovaBalloon { background: #fffbe6; border: 1px solid #8a7a3a; }"
                           "QLabel#title { font-weight: bold; }"));
        title_ = new QLabel(this);
        title_->setObjectName(QStringLiteral("title"));
        text_ = new QLabel(this);
        text_->setTextFormat(Qt::PlainText);
        text_->setWordWrap(true);
        text_->setMaximumWidth(320);
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(title_);
        layout->addWidget(text_);
        hideTimer_.setSingleShot(true);
        connect(&hideTimer_, &QTimer::timeout, this, &QWidget::close);
    }

    void showText(const QString& title, const QString& text) {
        title_->setText(title);
        title_->setVisible(!title.isEmpty());
        text_->setText(text);
        adjustSize();
        move(cornerNextToTaskbar(size()) - QPoint(8, 8));
        show();
        raise();
        hideTimer_.start(CTrayIcon::kBalloonShownMs);
    }

private:
    QLabel* title_;
    QLabel* text_;
    QTimer hideTimer_;
};

CTrayIcon::CTrayIcon(QObject* parent) : QObject(parent) {}

CTrayIcon::~CTrayIcon() {
    Remove();
}

bool CTrayIcon::hasSystemTray() const {
    return tray_ != nullptr;
}

void CTrayIcon::setMenu(QMenu* menu) {
    menu_ = menu;
    if (tray_ != nullptr) {
        tray_->setContextMenu(menu);
    }
}

namespace {

NotificationIcon notificationIcon(const QPixmap& pixmap) {
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_RGBA8888);
    NotificationIcon icon{image.width(), image.height(), {}};
    const qsizetype row = qsizetype(image.width()) * 4;
    icon.rgba.reserve(row * image.height());
    for (int y = 0; y < image.height(); ++y) {
        icon.rgba.append(reinterpret_cast<const char*>(image.constScanLine(y)), row);
    }
    return icon;
}

}  // namespace

bool CTrayIcon::Add(QWidget* owner, int iconId, const QString& tooltip) {
    owner_ = owner;
    tooltip_ = tooltip.left(kMaxTooltip);
    balloonTitle_ = owner != nullptr ? owner->windowTitle().left(kMaxBalloonTitle) : QString();
    if (notifier_ == nullptr) {
        ownNotifier_ = std::make_unique<DesktopNotifications>(
            kAppName, kIconName, notificationIcon(picture(iconId)), kBalloonShownMs);
        notifier_ = ownNotifier_.get();
    }
    notifier_->probe([this] { onNotifierAnswered(); });
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        return false;
    }
    tray_ = new QSystemTrayIcon(QIcon(picture(iconId)), this);
    tray_->setToolTip(tooltip_);
    if (menu_) {
        tray_->setContextMenu(menu_);
    }
    connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
        int mouse = 0;
        switch (r) {
            case QSystemTrayIcon::Trigger:
                mouse = kLeftButtonDown;
                break;
            case QSystemTrayIcon::DoubleClick:
                mouse = kLeftButtonDoubleClick;
                break;
            case QSystemTrayIcon::Context:
                if (menu_) {
                    return;  // the tray has opened the menu itself
                }
                mouse = kRightButtonDown;
                break;
            default:
                return;
        }
        if (owner_) {
            postMessage(owner_, MSG_TRAY_NOTIFY, 0, mouse);
        }
    });
    tray_->show();
    return true;
}

void CTrayIcon::ShowBalloon(const QString& text) {
    if (text.isNull()) {
        return;
    }
    if (balloonTitle_.isEmpty() && owner_) {
        balloonTitle_ = owner_->windowTitle().left(kMaxBalloonTitle);
    }
    const QString shown = text.left(kMaxBalloonText);
    qCInfo(lcUi).noquote() << "balloon:" << QString(shown).replace(u'\n', u'|');
    log_.append(shown);
    while (log_.size() > kLogSize) {
        log_.removeFirst();
    }
    deliver(shown);
}

void CTrayIcon::deliver(const QString& text) {
    const auto state = notifier_ != nullptr ? notifier_->state() : IDesktopNotifier::State::Missing;
    switch (state) {
        case IDesktopNotifier::State::Unknown:
            held_.append(text);
            while (held_.size() > kMaxHeld) {
                held_.removeFirst();
            }
            lastShown_ = Shown::Held;
            return;
        case IDesktopNotifier::State::Available:
            // Refused or gone meanwhile: shown here instead, not lost.
            notifier_->notify(balloonTitle_, text, [self = QPointer<CTrayIcon>(this), text] {
                if (self) {
                    self->showHere(text);
                }
            });
            lastShown_ = Shown::Service;
            return;
        case IDesktopNotifier::State::Missing:
            showHere(text);
            return;
    }
}

void CTrayIcon::onNotifierAnswered() {
    if (notifier_->state() != IDesktopNotifier::State::Unknown) {
        for (const QString& text : std::exchange(held_, {})) {
            deliver(text);
        }
    }
}

void CTrayIcon::showHere(const QString& text) {
    // A StatusNotifierItem tray hands its balloons to the notification service,
    // which is what failed.
    const bool sniTray = notifier_ != nullptr && notifier_->statusNotifierHost();
    if (tray_ != nullptr && tray_->supportsMessages() && !sniTray) {
        tray_->showMessage(balloonTitle_, text, QSystemTrayIcon::Information, kBalloonShownMs);
        lastShown_ = Shown::Tray;
        return;
    }
    if (!notice_) {
        notice_ = new CBalloonNotice;
    }
    notice_->showText(balloonTitle_, text);
    lastShown_ = Shown::Corner;
}

void CTrayIcon::Remove() {
    delete tray_;
    tray_ = nullptr;
    if (notice_) {
        notice_->close();
    }
}

}  // namespace kova
