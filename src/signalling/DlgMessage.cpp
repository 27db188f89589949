#include "signalling/DlgMessage.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/HoverButton.h"
#include "ui/TaskbarEdge.h"

namespace kova {

namespace {
const QColor kBackground(129, 180, 233);
}  // namespace

int CDlgMessage::alphaForPercent(int percent) {
    return std::clamp(percent * 255 / 100, 0, 255);
}

CDlgMessage::CDlgMessage(const QString& text, const QString& caption, int type, QWidget* mainWindow,
                         int closeAfterMs)
    : QDialog(mainWindow) {
    setAttribute(Qt::WA_DeleteOnClose, false);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kBackground);
    setPalette(pal);
    setAutoFillBackground(true);

    icon_ = new QLabel(this);
    text_ = new QLabel(text, this);
    text_->setTextFormat(Qt::PlainText);
    text_->setWordWrap(true);
    ok_ = new CHoverButton(this);
    ok_->LoadBitmap(kOkPicture, kBackground, true);
    ok_->setText(tr("OK"));
    cancel_ = new CHoverButton(this);
    cancel_->LoadBitmap(kCancelPicture, kBackground, true);
    cancel_->setText(tr("Cancel"));
    connect(ok_, &QPushButton::clicked, this, [this] { done(Ok); });
    connect(cancel_, &QPushButton::clicked, this, [this] { done(Cancel); });

    auto* body = new QHBoxLayout;
    body->addWidget(icon_, 0, Qt::AlignTop);
    body->addWidget(text_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body);
    layout->addLayout(buttons);

    if (!QApplication::windowIcon().isNull()) {
        setWindowIcon(QApplication::windowIcon());
    }
    setWindowTitle(caption.isNull() && mainWindow != nullptr ? mainWindow->windowTitle() : caption);

    QStyle::StandardPixmap pixmap = QStyle::SP_MessageBoxInformation;
    closeTimer_ = new QTimer(this);
    closeTimer_->setSingleShot(true);
    connect(closeTimer_, &QTimer::timeout, this, [this] { done(Cancel); });
    switch (type) {
        case Notice:
            ok_->hide();
            cancel_->hide();
            closeTimer_->start(kNoticeMs);
            break;
        case Warning:
            pixmap = QStyle::SP_MessageBoxWarning;
            cancel_->hide();
            ok_->setFocus();
            break;
        case Question:
            pixmap = QStyle::SP_MessageBoxQuestion;
            ok_->setText(tr("Accept"));
            cancel_->setText(tr("Reject"));
            ok_->setFocus();
            closeTimer_->start(kQuestionMs);
            break;
        default:
            break;
    }
    icon_->setPixmap(style()->standardIcon(pixmap).pixmap(32, 32));
    if (closeAfterMs > 0 && closeTimer_->isActive()) {
        closeTimer_->start(closeAfterMs);
    }

    setWindowOpacity(alphaForPercent(opacity_) / 255.0);
    setMouseTracking(true);
    installEventFilter(this);
    for (QWidget* child : findChildren<QWidget*>()) {
        child->setMouseTracking(true);
        child->installEventFilter(this);
    }

    adjustSize();
    if (mainWindow == nullptr || !mainWindow->isVisible()) {
        move(cornerNextToTaskbar(frameGeometry().size()));
    }
}

int CDlgMessage::show(const QString& text, const QString& caption, int type, QWidget* mainWindow,
                      int closeAfterMs) {
    CDlgMessage dlg(text, caption, type, mainWindow, closeAfterMs);
    const int result = dlg.exec();
    return result == Ok ? Ok : Cancel;
}

CDlgMessage* CDlgMessage::open(const QString& text, const QString& caption, int type,
                               QWidget* mainWindow, std::function<void(int result)> done,
                               int closeAfterMs) {
    auto* dlg = new CDlgMessage(text, caption, type, mainWindow, closeAfterMs);
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(dlg, &QDialog::finished, dlg, [done = std::move(done)](int result) {
        if (done) {
            done(result == Ok ? Ok : Cancel);
        }
    });
    dlg->QDialog::open();
    return dlg;
}

void CDlgMessage::closeAll() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* dlg = qobject_cast<CDlgMessage*>(w); dlg != nullptr && dlg->isVisible()) {
            QMetaObject::invokeMethod(dlg, &QDialog::close, Qt::QueuedConnection);
        }
    }
}

void CDlgMessage::reject() {
    done(Cancel);
}

void CDlgMessage::keyPressEvent(QKeyEvent* event) {
    // The picture buttons are no push buttons: Enter presses the focused one,
    // else the default OK.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (cancel_->isVisible() && cancel_->hasFocus()) {
            done(Cancel);
        } else if (ok_->isVisible()) {
            done(Ok);
        }
        return;
    }
    QDialog::keyPressEvent(event);
}

bool CDlgMessage::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseMove) {
        raiseOpacity();
    }
    return QDialog::eventFilter(watched, event);
}

void CDlgMessage::raiseOpacity() {
    if (opacity_ == kOpacityStart) {
        opacity_ = kOpacityHover;
        setWindowOpacity(alphaForPercent(opacity_) / 255.0);
    }
}

}  // namespace kova
