#include "ui/TrayIcon.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QVBoxLayout>

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

bool CTrayIcon::Add(QWidget* owner, int iconId, const QString& tooltip) {
    owner_ = owner;
    tooltip_ = tooltip.left(kMaxTooltip);
    balloonTitle_ = owner != nullptr ? owner->windowTitle().left(kMaxBalloonTitle) : QString();
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        return false;
    }
    tray_ = new QSystemTrayIcon(QIcon(picture(iconId)), this);
    tray_->setToolTip(tooltip_);
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
    if (tray_ != nullptr && tray_->supportsMessages()) {
        tray_->showMessage(balloonTitle_, shown, QSystemTrayIcon::Information, kBalloonShownMs);
        return;
    }
    if (!notice_) {
        notice_ = new CBalloonNotice;
    }
    notice_->showText(balloonTitle_, shown);
}

void CTrayIcon::Remove() {
    delete tray_;
    tray_ = nullptr;
    if (notice_) {
        notice_->close();
    }
}

}  // namespace kova
