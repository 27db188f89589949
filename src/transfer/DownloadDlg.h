#pragma once
// The small modeless progress dialog of one transfer (dialog 176), on the window
// thread. The transfer thread posts MSG_TRANSFER_PROGRESS to it; Abort and the
// close box reach the transfer as a queued aborted(). The dialog outlives its
// transfer's thread: the listener releases it once the thread has finished.

#include <QDialog>
#include <functional>

class QLabel;

namespace kova {

class CHoverButton;

class CDownloadDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kDialogId = 176;
    static constexpr int kFileNameId = 1074;
    static constexpr int kPathId = 1075;
    static constexpr int kProgressId = 1076;
    static inline const QString kUpload = QStringLiteral("Upload");
    static inline const QString kDownload = QStringLiteral("Download");
    static inline const QString kAbortTip = QStringLiteral("Abort");
    static inline const QString kOpenTip = QStringLiteral("Open File");
    static inline const QString kCannotOpen = QStringLiteral("File extension dosn't supported.");
    static inline const QString kDownloadFailed =
        QStringLiteral("Download failed: the file did not arrive whole.");
    // The message dialog's pictures: a cross for Abort, a tick for Open File.
    static constexpr int kAbortPicture = 158;
    static constexpr int kOpenPicture = 159;

    // openFile: the system's "open"; warn: the message dialog, type 1.
    CDownloadDlg(std::function<bool(const QString&)> openFile,
                 std::function<void(const QString&)> warn, QWidget* parent = nullptr);

    // "%d% Uploaded", or "%d% of " and the file name.
    static QString progressTitle(bool upload, int percent, const QString& fileName);

    bool uploadMode() const { return upload_; }
    qint64 bytesDone() const { return done_; }
    qint64 bytesTotal() const { return total_; }
    bool released() const { return released_; }
    CHoverButton* openButton() const { return open_; }
    CHoverButton* abortButton() const { return abort_; }
    QString fileNameText() const;
    QString pathText() const;
    // The failure line; empty unless the download failed.
    QString statusText() const;

public slots:
    void showTransfer(bool upload, const QString& fileName, const QString& path, qint64 total);
    // The transfer's thread has ended. A completed download stays and offers
    // "Open File"; a failed download (not aborted here) stays with the failure
    // line until closed; anything else closes and goes.
    void release(bool completedDownload, const QString& savedPath, bool failedDownload = false);

signals:
    // The user gave up the transfer (emitted once).
    void aborted();

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void onProgress(qint64 done);
    void onOpen();
    void abortOnce();

    std::function<bool(const QString&)> openFile_;
    std::function<void(const QString&)> warn_;
    QLabel* name_ = nullptr;
    QLabel* path_ = nullptr;
    QLabel* status_ = nullptr;
    QWidget* bar_ = nullptr;
    CHoverButton* abort_ = nullptr;
    CHoverButton* open_ = nullptr;
    bool upload_ = true;
    qint64 done_ = 0;
    qint64 total_ = 0;
    int percent_ = -1;
    bool abortSent_ = false;
    bool released_ = false;
    QString savedPath_;
};

}  // namespace kova
