#include "chat/ChatHistory.h"

#include <QDesktopServices>
#include <QScrollBar>
#include <QTextBlock>
#include <QTime>

#include "chat/ChatLinks.h"
#include "chat/ChatPayload.h"
#include "chat/RichTextDocument.h"
#include "chat/RtfReader.h"
#include "platform/CodePages.h"

namespace kova {

namespace {

const QColor kLinkColour(0, 0, 238);

// Plain-text messages may end lines the Windows way.
QString normalisedPlain(const std::u16string& text) {
    QString s = toQString(text);
    s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return s;
}

}  // namespace

CChatHistory::CChatHistory(QWidget* parent)
    : QTextBrowser(parent), openUrl_([](const QUrl& url) { QDesktopServices::openUrl(url); }) {
    // Links come from the peer's text: never followed inside the pane, and
    // handed to the desktop only when they are web or mail addresses.
    setOpenLinks(false);
    setOpenExternalLinks(false);
    // Without undo the document also frees the text of the lines it drops.
    setUndoRedoEnabled(false);
    document()->setMaximumBlockCount(kMaxLines);
    connect(this, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) {
        if (isOpenableLink(url) && openUrl_) {
            openUrl_(url);
        }
    });
}

QTextCursor CChatHistory::startLine() {
    QTextCursor c(document());
    c.movePosition(QTextCursor::End);
    if (!document()->isEmpty()) {
        c.insertBlock(QTextBlockFormat(), QTextCharFormat());
    }
    return c;
}

void CChatHistory::AppendLine(const QString& name, const std::u16string& content,
                              const QTextCharFormat& headerFormat) {
    QTextCursor c = startLine();
    // One edit: the oldest lines are dropped at its end, after the positions
    // of this line have been used.
    c.beginEditBlock();
    const int start = c.position();
    c.insertText(name + QTime::currentTime().toString(QStringLiteral("(HH:mm) ")), headerFormat);
    if (chat::isRtfDocument(content)) {
        RtfReadOptions options;
        options.decodeCodePage = decodeCodePage;
        insertRichText(c, RtfReader::read(content, options).value_or(RichText{}));
    } else {
        c.insertText(normalisedPlain(content), QTextCharFormat());
    }
    markLinks(start, c.position());
    c.endEditBlock();
    scrollDown();
}

void CChatHistory::AppendPlain(const QString& text) {
    QTextCursor c = startLine();
    c.insertText(text, QTextCharFormat());
    scrollDown();
}

void CChatHistory::markLinks(int from, int to) {
    QTextCursor range(document());
    range.setPosition(from);
    range.setPosition(to, QTextCursor::KeepAnchor);
    // Paragraph ends come back as U+2029, one position each, like the document's.
    const QString text = range.selectedText();
    for (const TextLink& link : findLinks(text)) {
        QTextCursor c(document());
        c.setPosition(from + static_cast<int>(link.start));
        c.setPosition(from + static_cast<int>(link.start + link.length), QTextCursor::KeepAnchor);
        QTextCharFormat f;
        f.setAnchor(true);
        f.setAnchorHref(link.url.toString(QUrl::FullyEncoded));
        f.setFontUnderline(true);
        f.setForeground(kLinkColour);
        c.mergeCharFormat(f);
    }
}

void CChatHistory::scrollDown() {
    QScrollBar* bar = verticalScrollBar();
    bar->setValue(bar->maximum());
}

}  // namespace kova
