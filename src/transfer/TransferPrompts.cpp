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
    p.askSavePath = [](const QString& fileName) {
        // No parent: the question sits next to the taskbar with an empty title,
        // as one asked from a transfer thread does.
        const int answer = CDlgMessage::show(CTransferSocket::kSavePrompt.arg(fileName),
                                             QStringLiteral(""), CDlgMessage::Question, nullptr);
        if (answer != CDlgMessage::Ok) {
            return QString();
        }
        return QFileDialog::getSaveFileName(nullptr, QString(),
                                            QDir(saveFolder()).filePath(fileName),
                                            QStringLiteral("All Files (*)"));
    };
    p.warn = [](const QString& text) {
        CDlgMessage::show(text, QStringLiteral(""), CDlgMessage::Warning, nullptr);
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
