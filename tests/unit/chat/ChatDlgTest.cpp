// The chat window without a network: its channel's sends are recorded, its
// choosers and link opener replaced.
#include "chat/ChatDlg.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QPointer>
#include <QRegularExpression>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextEdit>

#include "chat/ChatHistory.h"
#include "chat/ChatPayload.h"
#include "chat/ChatWindows.h"
#include "chat/RtfReader.h"
#include "common/BalloonReporter.h"
#include "common/WindowMessages.h"
#include "signalling/ControlChannel.h"
#include "signalling/DlgMessage.h"

namespace kova {
namespace {

struct Balloons : IBalloonReporter {
    void ShowBalloon(const QString& text) override { texts << text; }
    QStringList texts;
};

class ChatDlgTest : public ::testing::Test {
protected:
    void SetUp() override {
        channel.setTransport([this](ByteSpan d, const QString& address) {
            sent.emplace_back(address, chat::decodePayload(d));
            sentSizes.push_back(d.size());
            return 0;
        });
    }
    void TearDown() override {
        if (dlg) {
            delete dlg.data();
        }
    }
    CChatDlg* open() {
        dlg = new CChatDlg(&channel, "Alice", "Bob", "10.0.0.2", settings, nullptr, &balloons);
        channel.Register(dlg, "10.0.0.2");
        return dlg;
    }
    QString history() const { return dlg->history()->toPlainText(); }

    CChatChannel channel{"127.0.0.1"};
    AvSettings settings;
    Balloons balloons;
    QPointer<CChatDlg> dlg;
    std::vector<std::pair<QString, std::u16string>> sent;
    std::vector<std::size_t> sentSizes;
};

TEST_F(ChatDlgTest, EnterSendsOnceCtrlEnterBreaksTheLineEmptySendsNothing) {
    open();
    QTest::keyClick(dlg->input(), Qt::Key_Return);
    EXPECT_TRUE(sent.empty());

    QTest::keyClicks(dlg->input(), "first");
    QTest::keyClick(dlg->input(), Qt::Key_Return, Qt::ControlModifier);
    QTest::keyClicks(dlg->input(), "second");
    EXPECT_EQ(dlg->input()->toPlainText(), "first\nsecond");
    // A held Enter: key-downs without anything between them.
    QTest::keyPress(dlg->input(), Qt::Key_Return);
    QTest::keyPress(dlg->input(), Qt::Key_Return);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].first, "10.0.0.2");
    ASSERT_TRUE(chat::isRtfDocument(sent[0].second));
    EXPECT_EQ(plainText(*RtfReader::read(sent[0].second)), u"first\nsecond");
    EXPECT_TRUE(dlg->input()->toPlainText().isEmpty());
    EXPECT_TRUE(history().startsWith("Alice("));
    EXPECT_TRUE(history().endsWith(") first\nsecond"));

    QTest::keyClicks(dlg->input(), "third");
    QTest::keyClick(dlg->input(), Qt::Key_Return);
    EXPECT_EQ(sent.size(), 2u);
}

TEST_F(ChatDlgTest, ReceivedLinesFlashUntilTheUserTurnsToTheWindow) {
    open();
    dlg->ReceiveMessage(u"{\\rtf1{\\fonttbl{\\f0 Arial;}}\\f0\\b bold\\b0  plain}");
    EXPECT_TRUE(dlg->captionFlashed());
    dlg->ReceiveMessage(u"Disconnected...");
    const QStringList lines = history().split('\n');
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(QRegularExpression(R"(^Bob\(\d\d:\d\d\) bold plain$)").match(lines[0]).hasMatch())
        << lines[0].toStdString();
    EXPECT_TRUE(lines[1].endsWith(") Disconnected..."));
    EXPECT_TRUE(dlg->attentionRunning());
    QFocusEvent focus(QEvent::FocusIn);
    QCoreApplication::sendEvent(dlg->input(), &focus);
    EXPECT_FALSE(dlg->attentionRunning());
    EXPECT_FALSE(dlg->captionFlashed());

    dlg->PeerClosed();
    EXPECT_TRUE(history().endsWith(") Disconnected!:)"));
}

TEST_F(ChatDlgTest, AFloodKeepsOnlyTheNewestLines) {
    open();
    for (int i = 0; i < CChatHistory::kMaxLines + 150; ++i) {
        dlg->ReceiveMessage(QString("line %1").arg(i).toStdU16String());
    }
    const QTextDocument* doc = dlg->history()->document();
    ASSERT_EQ(doc->blockCount(), CChatHistory::kMaxLines);
    EXPECT_TRUE(doc->firstBlock().text().endsWith(") line 150"));
}

TEST_F(ChatDlgTest, CloseSendsOneFarewellStoresPlacementAndLeavesTheChannel) {
    open();
    dlg->setGeometry(40, 50, 400, 300);
    // Escape closes like the X button.
    QTest::keyClick(dlg->input(), Qt::Key_Escape);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(dlg.isNull());
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].second, u"Disconnected...");
    EXPECT_EQ(sentSizes[0], 30u);
    EXPECT_EQ(settings.chatPlacement, (RectI32{40, 50, 440, 350}));
    EXPECT_FALSE(channel.FindAndShow("10.0.0.2"));

    open();
    EXPECT_EQ(dlg->geometry(), QRect(40, 50, 400, 300)) << "the next window opens there";
}

TEST_F(ChatDlgTest, PlacementClamps) {
    const QSize screen(1280, 1024);
    EXPECT_FALSE(CChatDlg::restoredPlacement({}, screen));
    EXPECT_FALSE(CChatDlg::restoredPlacement({10, 10, 10, 10}, screen));
    EXPECT_EQ(CChatDlg::restoredPlacement({-20, -5, 400, 300}, screen), QRect(0, 0, 400, 300));
    EXPECT_EQ(CChatDlg::restoredPlacement({100, 100, 1400, 900}, screen),
              QRect(100, 100, 1180, 800));
    // Cut below the smallest window by the clamps: pulled back whole.
    EXPECT_EQ(CChatDlg::restoredPlacement({1000, 900, 1500, 1300}, screen),
              QRect(780, 624, 500, 400));
    // Left entirely off the screen: pulled back whole.
    EXPECT_EQ(CChatDlg::restoredPlacement({3000, 100, 3400, 500}, screen),
              QRect(880, 100, 400, 400));
}

TEST_F(ChatDlgTest, DefaultFontAndChosenFontAreStored) {
    open();
    const CharFormat& f = dlg->chatFormat();
    EXPECT_EQ(f.face.text(), u"Arial");
    EXPECT_EQ(f.heightTwips, 200);
    EXPECT_EQ(f.mask, 0xE800001Fu);
    EXPECT_EQ(f.colour & 0xFF, 50u);
    EXPECT_TRUE(std::all_of(settings.charFormat.begin(), settings.charFormat.end(),
                            [](std::byte b) { return b == std::byte{0}; }))
        << "the default is not stored until chosen";

    QFont chosen("DejaVu Sans", 14);
    chosen.setBold(true);
    QColor offered;
    QColor picked;  // none: the colour is kept
    CChatDlg::setChoosers(
        [&](const FontChoice& initial, QWidget*) {
            offered = initial.colour;
            return std::optional<FontChoice>({chosen, picked});
        },
        {});
    dlg->ChooseFontFormat();
    const CharFormat stored = CharFormat::decode(settings.charFormat);
    EXPECT_EQ(stored.face.text(), u"DejaVu Sans");
    EXPECT_EQ(stored.heightTwips, 280);
    EXPECT_EQ(stored.effects & CharFormat::kBold, CharFormat::kBold);
    EXPECT_EQ(stored.colour, f.colour);
    EXPECT_EQ(stored.size, 92u);
    EXPECT_EQ(offered, QColor(f.colour & 0xFF, f.colour >> 8 & 0xFF, f.colour >> 16 & 0xFF));

    picked = QColor(200, 10, 20);
    dlg->ChooseFontFormat();
    EXPECT_EQ(CharFormat::decode(settings.charFormat).colour, colourRef(200, 10, 20));
    EXPECT_EQ(dlg->input()->currentCharFormat().foreground().color(), picked);

    // The send-file chooser opens where the last file came from while it exists.
    EXPECT_EQ(CChatDlg::fileStartFolder(QDir::tempPath()), QDir::tempPath());
    EXPECT_EQ(CChatDlg::fileStartFolder("/no/such/folder"), QDir::homePath());
    EXPECT_EQ(CChatDlg::fileStartFolder({}), QDir::homePath());
}

TEST_F(ChatDlgTest, OnlyWebAndMailLinksFromThePeerOpen) {
    open();
    std::vector<QUrl> opened;
    dlg->setUrlOpener([&](const QUrl& url) { opened.push_back(url); });
    dlg->ReceiveMessage(u"see https://example.org/a?b=1, file:///etc/passwd and mailto:x@y.z.");
    QTextDocument* doc = dlg->history()->document();
    QStringList anchors;
    for (auto block = doc->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (it.fragment().charFormat().isAnchor()) {
                anchors << it.fragment().charFormat().anchorHref();
            }
        }
    }
    EXPECT_EQ(anchors, QStringList({"https://example.org/a?b=1", "mailto:x@y.z"}));
    emit dlg->history()->anchorClicked(QUrl("https://example.org/a?b=1"));
    emit dlg->history()->anchorClicked(QUrl("file:///etc/passwd"));
    ASSERT_EQ(opened.size(), 1u);
}

TEST_F(ChatDlgTest, FilesGoToTheTransferHook) {
    open();
    EXPECT_FALSE(dlg->control(CChatDlg::IDC_FILE)->isEnabled());
    QStringList offered;
    dlg->setFileOffer([&](const QString& path, const QString& name, const QString& address) {
        offered << path << name << address;
    });
    EXPECT_TRUE(dlg->control(CChatDlg::IDC_FILE)->isEnabled());
    dlg->OfferFile("/tmp/some dir/report.pdf");
    EXPECT_EQ(offered, QStringList({"/tmp/some dir/report.pdf", "report.pdf", "10.0.0.2"}));
    EXPECT_TRUE(history().endsWith("/tmp/some dir/report.pdf"));
}

TEST_F(ChatDlgTest, ChatWindowsOpenOncePerPeerAndAnswerTheControlMessages) {
    CChatWindows windows(channel, settings, nullptr, &balloons);
    windows.setOwnName("Alice");
    WindowMessage find(MSG_FIND_CHAT, QString("10.0.0.7"), 0);
    EXPECT_TRUE(windows.handleMessage(find));
    EXPECT_EQ(find.result, 0);

    WindowMessage openMsg(MSG_OPEN_CHAT, QString("10.0.0.7"), QString("Carol"));
    EXPECT_TRUE(windows.handleMessage(openMsg));
    EXPECT_EQ(balloons.texts, QStringList({":)\nCarol\n10.0.0.7"}));
    CChatDlg* first = windows.windows().value(0);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->windowTitle(), "Carol");
    EXPECT_EQ(first->captionText(), ":) Carol");
    EXPECT_EQ(windows.Open("Carol", "10.0.0.7"), first);
    EXPECT_EQ(windows.Open("Carol", "10.0.7"), first) << "the same address, spelt short";
    EXPECT_EQ(windows.windows().size(), 1);

    EXPECT_TRUE(windows.handleMessage(find));
    EXPECT_EQ(find.result, 1);
    WindowMessage closed(MSG_CHAT_CLOSED, QString("10.0.0.7"), 0);
    EXPECT_TRUE(windows.handleMessage(closed));
    EXPECT_TRUE(first->history()->toPlainText().endsWith("Disconnected!:)"));
    WindowMessage other(MSG_CHAT_CONTACT, 0, 0);
    EXPECT_FALSE(windows.handleMessage(other));

    windows.closeAll();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(windows.windows().isEmpty());
    EXPECT_EQ(sent.back().second, u"Disconnected...");
}

TEST_F(ChatDlgTest, UnsendableChatRequestIsReportedAndTheWindowOpensAnyway) {
    // A control channel without its socket: every send fails.
    CControlChannel control(nullptr, nullptr);
    QStringList controlNotices;
    control.setShowMessage([&](const QString& text, const QString&, int) {
        controlNotices << text;
        return 2;
    });
    CChatWindows windows(channel, settings, nullptr, &balloons);
    QStringList notices;
    windows.setShowMessage([&](const QString& text, int type) {
        notices << text;
        EXPECT_EQ(type, 0);
        return 2;
    });
    CChatDlg* opened = windows.StartChat(control, "Bob", "10.0.0.9");
    EXPECT_EQ(controlNotices.size(), 1) << "the socket error text first";
    EXPECT_EQ(notices, QStringList({"Error connect to Bob, 10.0.0.9!"}));
    ASSERT_NE(opened, nullptr);
    EXPECT_EQ(opened->peerAddress(), "10.0.0.9");
    EXPECT_TRUE(balloons.texts.isEmpty()) << "the user's own command shows no balloon";
    EXPECT_EQ(windows.StartChat(control, "Bob", "10.0.0.9"), opened);
    windows.closeAll();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

}  // namespace
}  // namespace kova
