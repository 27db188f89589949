#include "signalling/DlgMessage.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "support/Modal.h"

namespace kova {
namespace {

template <typename F>
void whenShown(F act) {
    test::whenShown<CDlgMessage>(act);
}

std::vector<QAbstractButton*> visibleButtons(CDlgMessage* dlg) {
    std::vector<QAbstractButton*> out;
    for (auto* b : dlg->findChildren<QAbstractButton*>()) {
        if (b->isVisible()) {
            out.push_back(b);
        }
    }
    return out;
}

TEST(DlgMessage, QuestionAcceptsWithOkAndRejectsWithEscape) {
    whenShown([](CDlgMessage* dlg) {
        auto buttons = visibleButtons(dlg);
        ASSERT_EQ(buttons.size(), 2u);
        EXPECT_EQ(buttons[0]->text(), "Accept");
        EXPECT_EQ(buttons[1]->text(), "Reject");
        EXPECT_EQ(dlg->focusWidget(), buttons[0]) << "Accept is the default";
        buttons[0]->click();
    });
    EXPECT_EQ(CDlgMessage::show("Do you want?", "Caption", CDlgMessage::Question, nullptr),
              CDlgMessage::Ok);

    whenShown([](CDlgMessage* dlg) {
        QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(dlg, &esc);
    });
    EXPECT_EQ(CDlgMessage::show("Do you want?", "Caption", CDlgMessage::Question, nullptr),
              CDlgMessage::Cancel);

    whenShown([](CDlgMessage* dlg) { dlg->close(); });
    EXPECT_EQ(CDlgMessage::show("Do you want?", {}, CDlgMessage::Question, nullptr),
              CDlgMessage::Cancel);

    whenShown([](CDlgMessage* dlg) {
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(dlg, &enter);
    });
    EXPECT_EQ(CDlgMessage::show("Do you want?", {}, CDlgMessage::Question, nullptr),
              CDlgMessage::Ok)
        << "Enter accepts";
}

TEST(DlgMessage, WarningHasOnlyOkAndTheMainWindowsCaption) {
    QWidget main;
    main.setWindowTitle("Main Title");
    whenShown([](CDlgMessage* dlg) {
        EXPECT_EQ(dlg->windowTitle(), "Main Title");
        auto buttons = visibleButtons(dlg);
        ASSERT_EQ(buttons.size(), 1u);
        EXPECT_EQ(buttons[0]->text(), "OK");
        buttons[0]->click();
    });
    EXPECT_EQ(CDlgMessage::show("Careful", QString(), CDlgMessage::Warning, &main),
              CDlgMessage::Ok);

    whenShown([](CDlgMessage* dlg) {
        EXPECT_EQ(dlg->windowTitle(), "") << "no main window, no caption";
        dlg->close();
    });
    CDlgMessage::show("Careful", QString(), CDlgMessage::Warning, nullptr);
}

TEST(DlgMessage, NoticeShowsNoButtonsAndClosesItself) {
    whenShown([](CDlgMessage* dlg) { EXPECT_TRUE(visibleButtons(dlg).empty()); });
    // Nothing answers it: only its own timer can end it.
    EXPECT_EQ(CDlgMessage::show("Busy", "Caption", CDlgMessage::Notice, nullptr),
              CDlgMessage::Cancel);
}

TEST(DlgMessage, CloseAllEndsStackedDialogs) {
    int inner = 0;
    whenShown([&inner](CDlgMessage*) {
        whenShown([](CDlgMessage*) { CDlgMessage::closeAll(); });
        inner = CDlgMessage::show("second", "c", CDlgMessage::Warning, nullptr);
    });
    EXPECT_EQ(CDlgMessage::show("first", "c", CDlgMessage::Question, nullptr), CDlgMessage::Cancel);
    EXPECT_EQ(inner, CDlgMessage::Cancel);
}

TEST(DlgMessage, OpenedQuestionAnswersOnceWithoutANestedLoop) {
    std::vector<int> answers;
    QPointer<CDlgMessage> dlg =
        CDlgMessage::open("Do you want?", {}, CDlgMessage::Question, nullptr,
                          [&answers](int result) { answers.push_back(result); });
    ASSERT_TRUE(dlg && dlg->isVisible()) << "open() returns with the question up";
    visibleButtons(dlg)[0]->click();
    EXPECT_EQ(answers, std::vector<int>{CDlgMessage::Ok});

    // Its own close timer rejects it, and it deletes itself.
    dlg = CDlgMessage::open(
        "Do you want?", {}, CDlgMessage::Question, nullptr,
        [&answers](int result) { answers.push_back(result); }, 20);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.isNull(); }, 5000));
    EXPECT_EQ(answers, (std::vector<int>{CDlgMessage::Ok, CDlgMessage::Cancel}));
}

TEST(DlgMessage, OpacityPercentToAlpha) {
    EXPECT_EQ(CDlgMessage::alphaForPercent(75), 191);
    EXPECT_EQ(CDlgMessage::alphaForPercent(95), 242);
    EXPECT_EQ(CDlgMessage::alphaForPercent(200), 255);
    EXPECT_EQ(CDlgMessage::alphaForPercent(-5), 0);
}

}  // namespace
}  // namespace kova
