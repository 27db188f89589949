#include "ui/WaitPopup.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QThread>

#include "common/ThreadCheck.h"
#include "common/WindowMessages.h"
#include "platform/ThreadName.h"
#include "ui/Pictures.h"
#include "ui/TaskbarEdge.h"

namespace kova {

CWaitPopup::CWaitPopup() : CSplashWnd(Qt::WindowStaysOnTopHint) {
    SetPicture(kPicture);
    SetColourKey(kColourKey);
}

CWaitPopup::~CWaitPopup() {
    stop_ = true;
    stopThread();
}

void CWaitPopup::SetProgress(int barPictureId, int durationMs, QObject* owner) {
    bar_ = picture(barPictureId);
    durationMs_ = durationMs;
    owner_ = owner;
}

void CWaitPopup::ClearProgress() {
    showProgress_ = false;
    // The bar's area becomes see-through: paint the key colour into the picture
    // the mask is made from.
    if (!picture_.isNull() && colourKey_ != 0) {
        QPainter painter(&picture_);
        painter.fillRect(QRect(0, 0, kBarAreaWidth, logicalSize(picture_).height()),
                         colourFromBgr(colourKey_));
        painter.end();
        applyColourKey();
    }
}

void CWaitPopup::Create() {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect geometry = screen->geometry();
        const QRect available = screen->availableGeometry();
        const QPoint at =
            popupNextToTaskbar(taskbarEdge(geometry, available),
                               taskbarRect(geometry, available).translated(-geometry.topLeft()),
                               geometry.size(), size());
        move(geometry.topLeft() + at);
    }
    show();
    if (showProgress_) {
        stop_ = true;
        stopThread();
        stop_ = false;
        progress_ = 0;
        // The bar's clock runs on its own thread so a busy UI thread cannot stretch
        // the wait; it only posts repaints and the one time-out.
        thread_ = createWorker([this] { runProgress(); });
        nameThread(*thread_, "kova-wait-popup");
        thread_->start();
    }
}

void CWaitPopup::runProgress() {
    QElapsedTimer clock;
    clock.start();
    while (!stop_ && clock.elapsed() < durationMs_) {
        const int p = progressFor(clock.elapsed(), durationMs_);
        if (p != progress_.exchange(p)) {
            QMetaObject::invokeMethod(
                this,
                [this, p] {
                    update();
                    emit progressChanged(p);
                },
                Qt::QueuedConnection);
        }
        QThread::msleep(kTickMs);
    }
    if (!stop_.exchange(true)) {
        // The owner is told on the UI thread, where it can be asked whether it
        // still exists.
        QMetaObject::invokeMethod(this, &CWaitPopup::finishWait, Qt::QueuedConnection);
    }
}

void CWaitPopup::finishWait() {
    if (showProgress_ && owner_) {
        postMessage(owner_, MSG_CALL_TIMEOUT);
    }
    update();
}

void CWaitPopup::stopThread() {
    if (thread_ != nullptr) {
        joinWorker(*thread_);
        delete thread_;
        thread_ = nullptr;
    }
}

void CWaitPopup::Close() {
    stop_ = true;
    CSplashWnd::Close();
}

void CWaitPopup::Paint(QPainter& painter) {
    if (stop_) {
        QMetaObject::invokeMethod(this, &CWaitPopup::Close, Qt::QueuedConnection);
        return;
    }
    painter.drawPixmap(0, 0, picture_);
    if (showProgress_) {
        const int p = progress_;
        if (p > 0 && !bar_.isNull()) {
            painter.drawPixmap(
                QRectF(kBarOrigin, QSize(p, kBarHeight)), bar_,
                sourceRect(QRect(0, 0, 1, logicalSize(bar_).height()), bar_.devicePixelRatio()));
        }
    } else {
        painter.fillRect(QRect(0, 0, kBarAreaWidth, height()), colourFromBgr(colourKey_));
    }
}

std::unique_ptr<IWaitIndicator> CWaitPopups::showWait(int durationMs) {
    auto popup = std::make_unique<CWaitPopup>();
    popup->SetProgress(CWaitPopup::kBarPicture, durationMs, parent());
    popup->Create();
    return popup;
}

std::unique_ptr<IWaitIndicator> CWaitPopups::showTeardown(int durationMs) {
    auto popup = std::make_unique<CWaitPopup>();
    popup->SetProgress(CWaitPopup::kBarPicture, durationMs, nullptr);
    popup->ClearProgress();
    popup->Create();
    return popup;
}

}  // namespace kova
