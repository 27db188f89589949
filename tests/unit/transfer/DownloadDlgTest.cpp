#include "transfer/DownloadDlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QPointer>
#include <optional>

#include "common/WindowMessages.h"
#include "signalling/DlgMessage.h"
#include "support/TempDir.h"
#include "transfer/FileListener.h"
#include "transfer/TransferPrompts.h"
#include "ui/HoverButton.h"

namespace kova {
namespace {

void progress(CDownloadDlg& dlg, qint64 done) {
    postMessage(&dlg, MSG_TRANSFER_PROGRESS, done);
    QCoreApplication::sendPostedEvents(&dlg);
}

TEST(DownloadDlg, TitlesFollowThePercentInEachMode) {
    CDownloadDlg dlg(nullptr, nullptr);
    dlg.showTransfer(true, QStringLiteral("a.txt"), QString(), 4097);
    EXPECT_EQ(dlg.windowTitle(), CDownloadDlg::kUpload);
    progress(dlg, 4096);
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("99% Uploaded"));
    progress(dlg, 4097);
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("100% Uploaded"));

    CDownloadDlg down(nullptr, nullptr);
    down.showTransfer(false, QStringLiteral("b.bin"), QStringLiteral("/tmp/b.bin"), 200);
    EXPECT_EQ(down.windowTitle(), CDownloadDlg::kDownload);
    EXPECT_EQ(down.pathText(), QStringLiteral("/tmp/b.bin"));
    progress(down, 100);
    EXPECT_EQ(down.windowTitle(), QStringLiteral("50% of b.bin"));
    EXPECT_EQ(down.abortButton()->toolTip(), QStringLiteral("Abort"));
}

TEST(DownloadDlg, AbortAndCloseAskTheTransferToStopOnce) {
    CDownloadDlg dlg(nullptr, nullptr);
    int aborted = 0;
    QObject::connect(&dlg, &CDownloadDlg::aborted, [&] { ++aborted; });
    dlg.showTransfer(false, QStringLiteral("b"), QStringLiteral("/tmp/b"), 10);
    dlg.abortButton()->click();
    dlg.show();
    dlg.close();
    EXPECT_EQ(aborted, 1);
    EXPECT_FALSE(dlg.isVisible());
}

TEST(DownloadDlg, CompletedDownloadOffersOpenFileElseGoes) {
    QString opened;
    QStringList warnings;
    auto* dlg = new CDownloadDlg(
        [&](const QString& path) {
            opened = path;
            return false;
        },
        [&](const QString& text) { warnings << text; });
    QPointer<CDownloadDlg> alive(dlg);
    dlg->showTransfer(false, QStringLiteral("b"), QStringLiteral("/tmp/b"), 10);
    dlg->release(true, QStringLiteral("/tmp/b"));
    EXPECT_TRUE(dlg->openButton()->isVisibleTo(dlg));
    EXPECT_EQ(dlg->openButton()->toolTip(), QStringLiteral("Open File"));
    dlg->openButton()->click();
    EXPECT_EQ(opened, QStringLiteral("/tmp/b"));
    EXPECT_EQ(warnings, QStringList{QStringLiteral("File extension dosn't supported.")});
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(alive.isNull());

    auto* failed = new CDownloadDlg(nullptr, nullptr);
    QPointer<CDownloadDlg> failedAlive(failed);
    failed->showTransfer(false, QStringLiteral("b"), QStringLiteral("/tmp/b"), 10);
    failed->release(false, QStringLiteral("/tmp/b"));
    EXPECT_FALSE(failed->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(failedAlive.isNull());

    // A download that broke stays to say so; one aborted here just goes.
    for (const bool abortedHere : {false, true}) {
        auto* broken = new CDownloadDlg(nullptr, nullptr);
        broken->showTransfer(false, QStringLiteral("b"), QStringLiteral("/tmp/b"), 10);
        if (abortedHere) {
            broken->abortButton()->click();
        }
        broken->release(false, QStringLiteral("/tmp/b"), true);
        EXPECT_EQ(broken->isVisible(), !abortedHere);
        EXPECT_EQ(broken->statusText(), abortedHere ? QString() : CDownloadDlg::kDownloadFailed);
        broken->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

// The visible top-level dialog of type D, if any.
template <typename D>
D* shown() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* d = qobject_cast<D*>(w); d != nullptr && d->isVisible()) {
            return d;
        }
    }
    return nullptr;
}

TEST(TransferPrompts, SaveQuestionThenChooserProposingTheSafeNameInTheFolderWithoutNestedLoops) {
    const TransferPrompts prompts = TransferPrompts::standard();
    for (const bool accept : {false, true}) {
        SCOPED_TRACE(accept ? "Accept" : "Reject");
        std::optional<QString> chosen;
        // Back at once, with the question open.
        prompts.askSavePath(QStringLiteral(".bashrc"), [&](const QString& p) { chosen = p; });
        CDlgMessage* question = shown<CDlgMessage>();
        ASSERT_NE(question, nullptr);
        EXPECT_EQ(question->findChildren<QLabel*>().last()->text(),
                  QStringLiteral("Do you want to Save File: \n.bashrc?"));
        question->done(accept ? CDlgMessage::Ok : CDlgMessage::Cancel);
        if (accept) {
            QFileDialog* chooser = shown<QFileDialog>();
            ASSERT_NE(chooser, nullptr);
            EXPECT_FALSE(chosen.has_value());
            EXPECT_EQ(chooser->selectedFiles().value(0),
                      QDir(TransferPrompts::saveFolder()).filePath(QStringLiteral(".bashrc")));
            chooser->reject();
        }
        EXPECT_EQ(chosen, QString());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

TEST(FileListener, RefusesFilesOf2GiBBeforeConnecting) {
    test::TempDir dir;
    const QString path = dir.path(QStringLiteral("big.iso"));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(qint64(1) << 31));  // sparse
    }
    CFileListener listener([](const QString&) { return true; }, nullptr);
    QStringList warnings;
    TransferPrompts prompts;
    prompts.warn = [&](const QString& text) { warnings << text; };
    listener.setPrompts(prompts);
    EXPECT_FALSE(listener.SendFile(QStringLiteral("127.0.0.1"), path));
    EXPECT_EQ(warnings, QStringList{CFileListener::kTooLarge.arg(QStringLiteral("big.iso"))});
    EXPECT_EQ(listener.transferCount(), 0);
}

}  // namespace
}  // namespace kova
