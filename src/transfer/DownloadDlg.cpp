#include "transfer/DownloadDlg.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

#include "common/WindowMessages.h"
#include "transfer/SizeText.h"
#include "ui/HoverButton.h"

namespace kova {

namespace {

// The message dialog's colours.
const QColor kBackground(129, 180, 233);
const QColor kBarBackground(216, 230, 243);
const QColor kBarFill(31, 79, 143);

// The bar: the filled part, then "done / total" split at the middle.
class ProgressBar : public QWidget {
public:
    explicit ProgressBar(QWidget* parent) : QWidget(parent) { setMinimumSize(260, 20); }

    void setProgress(qint64 done, qint64 total) {
        done_ = done;
        total_ = total;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), kBarBackground);
        const qint64 w = total_ > 0 ? std::min<qint64>(done_ * width() / total_, width()) : width();
        const QRect filled(0, 0, int(w), height());
        p.fillRect(filled, kBarFill);
        // Dark figures on the empty part, light ones on the filled part.
        drawFigures(p, kBarFill);
        p.setClipRect(filled);
        drawFigures(p, Qt::white);
        p.setClipping(false);
        p.setPen(kBarFill);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }

private:
    void drawFigures(QPainter& p, const QColor& colour) const {
        p.setPen(colour);
        const int mid = width() / 2;
        p.drawText(QRect(0, 0, mid, height()), Qt::AlignRight | Qt::AlignVCenter,
                   SizeText(std::uint32_t(done_)));
        p.drawText(QRect(mid, 0, width() - mid, height()), Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral(" / ") + SizeText(std::uint32_t(total_)));
    }

    qint64 done_ = 0;
    qint64 total_ = 0;
};

}  // namespace

CDownloadDlg::CDownloadDlg(std::function<bool(const QString&)> openFile,
                           std::function<void(const QString&)> warn, QWidget* parent)
    : QDialog(parent), openFile_(std::move(openFile)), warn_(std::move(warn)) {
    setModal(false);
    setAttribute(Qt::WA_DeleteOnClose, false);
    name_ = new QLabel(this);
    name_->setObjectName(QString::number(kFileNameId));
    name_->setTextFormat(Qt::PlainText);
    path_ = new QLabel(this);
    path_->setObjectName(QString::number(kPathId));
    path_->setTextFormat(Qt::PlainText);
    status_ = new QLabel(this);
    status_->setTextFormat(Qt::PlainText);
    status_->hide();
    bar_ = new ProgressBar(this);
    bar_->setObjectName(QString::number(kProgressId));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kBackground);
    setPalette(pal);
    setAutoFillBackground(true);
    abort_ = new CHoverButton(this);
    abort_->LoadBitmap(kAbortPicture, kBackground, true);
    abort_->setText(kAbortTip);
    abort_->SetTooltip(kAbortTip);
    open_ = new CHoverButton(this);
    open_->LoadBitmap(kOpenPicture, kBackground, true);
    open_->setText(kOpenTip);
    open_->SetTooltip(kOpenTip);
    open_->hide();
    connect(abort_, &QAbstractButton::clicked, this, &CDownloadDlg::close);
    connect(open_, &QAbstractButton::clicked, this, &CDownloadDlg::onOpen);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(bar_, 1);
    buttons->addWidget(open_);
    buttons->addWidget(abort_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(name_);
    layout->addWidget(path_);
    layout->addWidget(status_);
    layout->addLayout(buttons);
}

QString CDownloadDlg::progressTitle(bool upload, int percent, const QString& fileName) {
    return upload ? QStringLiteral("%1% Uploaded").arg(percent)
                  : QStringLiteral("%1% of ").arg(percent) + fileName;
}

QString CDownloadDlg::fileNameText() const {
    return name_->text();
}

QString CDownloadDlg::pathText() const {
    return path_->text();
}

QString CDownloadDlg::statusText() const {
    return status_->text();
}

void CDownloadDlg::showTransfer(bool upload, const QString& fileName, const QString& path,
                                qint64 total) {
    if (abortSent_ || released_) {
        return;
    }
    upload_ = upload;
    total_ = total;
    done_ = 0;
    percent_ = -1;
    setWindowTitle(upload ? kUpload : kDownload);
    name_->setText(fileName);
    path_->setText(path);
    static_cast<ProgressBar*>(bar_)->setProgress(0, total);
    show();
}

bool CDownloadDlg::event(QEvent* e) {
    if (e->type() == static_cast<QEvent::Type>(MSG_TRANSFER_PROGRESS)) {
        onProgress(static_cast<WindowMessage*>(e)->first.toLongLong());
        return true;
    }
    return QDialog::event(e);
}

void CDownloadDlg::onProgress(qint64 done) {
    if (abortSent_) {
        return;
    }
    done_ = done;
    const int percent = progressPercent(done, total_);
    if (percent != percent_) {
        percent_ = percent;
        setWindowTitle(progressTitle(upload_, percent, name_->text()));
    }
    static_cast<ProgressBar*>(bar_)->setProgress(done, total_);
}

void CDownloadDlg::release(bool completedDownload, const QString& savedPath, bool failedDownload) {
    released_ = true;
    if (completedDownload && !abortSent_) {
        savedPath_ = savedPath;
        abort_->hide();
        open_->show();
        setAttribute(Qt::WA_DeleteOnClose, true);
        return;
    }
    if (failedDownload && !abortSent_) {
        // Abort now only closes the dialog.
        upload_ = false;
        path_->setText(savedPath);
        status_->setText(kDownloadFailed);
        status_->show();
        setAttribute(Qt::WA_DeleteOnClose, true);
        show();
        return;
    }
    hide();
    deleteLater();
}

void CDownloadDlg::onOpen() {
    const auto warn = warn_;
    const bool opened = openFile_ && openFile_(savedPath_);
    close();
    if (!opened && warn) {
        warn(kCannotOpen);
    }
}

void CDownloadDlg::abortOnce() {
    if (!abortSent_ && !released_) {
        abortSent_ = true;
        emit aborted();
    }
}

void CDownloadDlg::closeEvent(QCloseEvent* event) {
    abortOnce();
    QDialog::closeEvent(event);
}

void CDownloadDlg::reject() {
    // Escape and the close box both end here (QDialog's close runs reject).
    abortOnce();
    QDialog::reject();
}

}  // namespace kova
