#include "app/DlgMessagePrompts.h"

#include "signalling/DlgMessage.h"

namespace kova {

DlgMessagePrompts::DlgMessagePrompts(QWidget* mainWindow, int questionMs, int noticeMs)
    : mainWindow_(mainWindow), questionMs_(questionMs), noticeMs_(noticeMs) {}

void DlgMessagePrompts::ask(const QString& text, const QString&,
                            std::function<void(bool accepted)> done) {
    CDlgMessage::open(
        text, QString(), CDlgMessage::Question, mainWindow_,
        [done = std::move(done)](int result) { done(result == CDlgMessage::Ok); }, questionMs_);
}

void DlgMessagePrompts::notice(const QString& text, const QString& caption,
                               std::function<void()> closed) {
    CDlgMessage::open(
        text, caption, CDlgMessage::Notice, mainWindow_,
        [closed = std::move(closed)](int) { closed(); }, noticeMs_);
}

void DlgMessagePrompts::showMainWindow() {
    if (mainWindow_ && mainWindow_->isHidden()) {
        mainWindow_->show();
    }
}

}  // namespace kova
