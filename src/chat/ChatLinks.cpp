#include "chat/ChatLinks.h"

#include <QRegularExpression>

namespace kova {

namespace {
// Trailing punctuation usually ends the sentence, not the address.
const QString kTrailing = QStringLiteral(".,;:!?)]}'\"");
}  // namespace

bool isOpenableLink(const QUrl& url) {
    if (!url.isValid()) {
        return false;
    }
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("mailto")) {
        return !url.path().isEmpty();
    }
    return (scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
            scheme == QLatin1String("ftp")) &&
           !url.host().isEmpty();
}

std::vector<TextLink> findLinks(const QString& text) {
    static const QRegularExpression pattern(
        QStringLiteral(R"((?<![\w@.])(?:(?:https?|ftp)://|mailto:)[^\s<>"{}|\\^`]+)"),
        QRegularExpression::CaseInsensitiveOption);
    std::vector<TextLink> links;
    auto it = pattern.globalMatch(text);
    while (it.hasNext()) {
        const auto match = it.next();
        qsizetype length = match.capturedLength();
        while (length > 0 && kTrailing.contains(text[match.capturedStart() + length - 1])) {
            --length;
        }
        const QString address = text.mid(match.capturedStart(), length);
        const QUrl url(address, QUrl::StrictMode);
        if (isOpenableLink(url)) {
            links.push_back({match.capturedStart(), length, url});
        }
    }
    return links;
}

}  // namespace kova
