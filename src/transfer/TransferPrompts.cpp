#include "transfer/TransferPrompts.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QStandardPaths>
#include <QUrl>

#include "signalling/DlgMessage.h"
#include "transfer/FileListener.h"
#include "transfer/TransferSocket.h"

namespace kova {

namespace {
// A flood of refused connections must not pile up boxes.
constexpr int kMaxRefusalBoxes = 4;
int openRefusalBoxes = 0;
}  // namespace

QString TransferPrompts::saveFolder() {
    const QString downloads = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    return downloads.isEmpty() || !QDir(downloads).exists() ? QDir::homePath() : downloads;
}

TransferPrompts TransferPrompts::standard() {
    TransferPrompts p;
    p.askSavePath = [](const QString& fileName, SavePathDone done) {
        // No parent: the question sits next to the taskbar with an empty title,
        // as one asked from a transfer thread does.
        CDlgMessage::open(
            CTransferSocket::kSavePrompt.arg(fileName), QStringLiteral(""), CDlgMessage::Question,
            nullptr, [fileName, done = std::move(done)](int answer) {
                if (answer != CDlgMessage::Ok) {
                    done(QString());
                    return;
                }
                auto* chooser =
                    new QFileDialog(nullptr, QString(), QDir(saveFolder()).filePath(fileName),
                                    QStringLiteral("All Files (*)"));
                chooser->setAcceptMode(QFileDialog::AcceptSave);
                chooser->setAttribute(Qt::WA_DeleteOnClose);
                QObject::connect(chooser, &QDialog::finished, chooser, [chooser, done](int result) {
                    done(result == QDialog::Accepted ? chooser->selectedFiles().value(0)
                                                     : QString());
                });
                chooser->open();
            });
    };
    p.warn = [](const QString& text) {
        CDlgMessage::open(text, QStringLiteral(""), CDlgMessage::Warning, nullptr, nullptr);
    };
    p.refused = [](const QString& address) {
        if (openRefusalBoxes >= kMaxRefusalBoxes) {
            return;
        }
        auto* box = new QMessageBox(QMessageBox::Warning, address, CFileListener::kUserUnknown);
        box->setAttribute(Qt::WA_DeleteOnClose);
        ++openRefusalBoxes;
        QObject::connect(box, &QObject::destroyed, [] { --openRefusalBoxes; });
        box->show();
    };
    p.openFile = [](const QString& path) {
        return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    };
    return p;
}

}  // namespace kova
