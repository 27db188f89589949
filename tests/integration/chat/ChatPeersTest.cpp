// Two chat peers in one process on the real chat port: Alice on 127.0.0.1 and
// Bob on 127.0.0.2, each with a chat channel and a chat window for the other.
#include <gtest/gtest.h>

#include <QDir>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextEdit>

#include "chat/ChatChannel.h"
#include "chat/ChatDlg.h"
#include "chat/ChatHistory.h"
#include "chat/ChatWindows.h"
#include "common/BalloonReporter.h"
#include "common/WindowMessages.h"
#include "config/AvSettings.h"
#include "integration/signalling/LoopbackPeer.h"

namespace kova {
namespace {

struct Balloons : IBalloonReporter {
    void ShowBalloon(const QString& text) override { texts << text; }
    QStringList texts;
};

struct Peer {
    Peer(const QString& address, const QString& name)
        : channel(address), windows(channel, settings, nullptr, &balloons) {
        windows.setOwnName(name);
    }
    AvSettings settings;
    Balloons balloons;
    CChatChannel channel;
    CChatWindows windows;
};

QString lastLine(CChatDlg* dlg) {
    return dlg->history()->document()->lastBlock().text();
}

// The formats of the last history line's characters after the header.
QTextCharFormat formatAt(CChatDlg* dlg, const QString& word) {
    const QTextBlock block = dlg->history()->document()->lastBlock();
    const int at = block.text().indexOf(word);
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment f = it.fragment();
        if (f.position() - block.position() <= at &&
            at < f.position() - block.position() + f.length()) {
            return f.charFormat();
        }
    }
    return {};
}

TEST(ChatPeers, FormattedLinesBothWaysAndTheFarewell) {
    Peer alice("127.0.0.1", "Alice");
    Peer bob("127.0.0.2", "Bob");
    // Alice opens a chat; Bob accepts and his window opens on MSG_OPEN_CHAT.
    CChatDlg* a = alice.windows.Open("Bob", "127.0.0.2");
    ASSERT_TRUE(test::bindWhenFree([&] {
        alice.channel.Unregister("127.0.0.2");
        return alice.channel.Register(a, "127.0.0.2");
    }));
    WindowMessage open(MSG_OPEN_CHAT, QString("127.0.0.1"), QString("Alice"));
    ASSERT_TRUE(bob.windows.handleMessage(open));
    CChatDlg* b = bob.windows.windows().value(0);
    ASSERT_NE(b, nullptr);
    ASSERT_TRUE(test::bindWhenFree([&] {
        bob.channel.Unregister("127.0.0.1");
        return bob.channel.Register(b, "127.0.0.1");
    }));
    EXPECT_EQ(bob.balloons.texts.value(0), ":)\nAlice\n127.0.0.1");

    // Alice types a bold word and a red Cyrillic one.
    QTextCursor c = a->input()->textCursor();
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    c.insertText("Hello ", bold);
    QTextCharFormat red;
    red.setForeground(QColor(200, 0, 0));
    red.setFontItalic(true);
    c.insertText(QString::fromUtf8("мир 😀"), red);
    a->SendMessage();
    ASSERT_TRUE(QTest::qWaitFor([&] { return lastLine(b).startsWith("Alice("); }, 5000));
    EXPECT_TRUE(lastLine(b).endsWith(QString::fromUtf8(") Hello мир 😀")));
    EXPECT_EQ(formatAt(b, "Hello").fontWeight(), QFont::Bold);
    EXPECT_EQ(formatAt(b, QString::fromUtf8("мир")).foreground().color(), QColor(200, 0, 0));
    EXPECT_TRUE(formatAt(b, QString::fromUtf8("мир")).fontItalic());

    // Bob answers with an underlined, struck-out line in a chosen size.
    QTextCharFormat big;
    big.setFontPointSize(18);
    big.setFontUnderline(true);
    big.setFontStrikeOut(true);
    b->input()->textCursor().insertText("Hi there", big);
    QTest::keyClick(b->input(), Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return lastLine(a).startsWith("Bob("); }, 5000));
    EXPECT_TRUE(lastLine(a).endsWith(") Hi there"));
    const QTextCharFormat got = formatAt(a, "there");
    EXPECT_TRUE(got.fontUnderline());
    EXPECT_TRUE(got.fontStrikeOut());
    EXPECT_EQ(got.fontPointSize(), 18);

    // A screenshot of Bob's window: caption, panes and the default colour.
    b->resize(460, 420);
    const QImage shot = b->grab().toImage();
    ASSERT_EQ(shot.size(), QSize(460, 420));
    shot.save(QDir::temp().filePath("kova-chat-window.png"));
    EXPECT_EQ(shot.pixelColor(230, 2).blue(), 173) << "caption bar";
    EXPECT_EQ(shot.pixelColor(0, 200), QColor(129, 180, 233)) << "window frame";
    EXPECT_EQ(shot.pixelColor(2, 200), QColor(216, 230, 243)) << "default background";
    const QRect input = b->input()->geometry();
    EXPECT_EQ(shot.pixelColor(input.center()), QColor(255, 250, 230)) << "input pane";
    int dark = 0;
    const QRect history = b->history()->geometry();
    for (int y = history.top(); y < history.top() + 40; ++y) {
        for (int x = history.left(); x < history.right(); ++x) {
            dark += qGray(shot.pixel(x, y)) < 128 ? 1 : 0;
        }
    }
    EXPECT_GT(dark, 50) << "the history shows text";

    // Alice closes: Bob shows her farewell as a line from her.
    a->close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return lastLine(b).endsWith(") Disconnected..."); }, 5000));
    EXPECT_TRUE(lastLine(b).startsWith("Alice("));
    // Bob's next line reaches nobody: Alice has no window for him any more.
    b->input()->setPlainText("anyone?");
    b->SendMessage();
    QTest::qWait(100);
    EXPECT_FALSE(alice.channel.FindAndShow("127.0.0.2"));
    b->close();
}

}  // namespace
}  // namespace kova
