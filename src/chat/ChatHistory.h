#pragma once
// The history pane of a chat window: lines headed "name(HH:MM) " with the
// message read as rich text, and web links in them that open on a click. It
// keeps the newest kMaxLines paragraphs.

#include <QTextBrowser>
#include <functional>
#include <string>

class QTextCharFormat;

namespace kova {

class CChatHistory : public QTextBrowser {
    Q_OBJECT
public:
    using OpenUrl = std::function<void(const QUrl&)>;
    // A long evening's chat; beyond it the oldest lines go, so a peer that
    // floods the window cannot make it grow without end.
    static constexpr int kMaxLines = 1000;

    explicit CChatHistory(QWidget* parent = nullptr);

    // A new line: the header in headerFormat, then the content, an RTF
    // document or else plain text.
    void AppendLine(const QString& name, const std::u16string& content,
                    const QTextCharFormat& headerFormat);
    // A line of plain text without a header.
    void AppendPlain(const QString& text);

    void setUrlOpener(OpenUrl open) { openUrl_ = std::move(open); }

private:
    QTextCursor startLine();
    void markLinks(int from, int to);
    void scrollDown();

    OpenUrl openUrl_;
};

}  // namespace kova
