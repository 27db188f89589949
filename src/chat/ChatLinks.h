#pragma once
// Web links in the chat history. The text comes from the peer, so only web and
// mail addresses become links: a click must never open a local file, a program
// or any other handler the desktop knows.

#include <QString>
#include <QUrl>
#include <vector>

namespace kova {

struct TextLink {
    qsizetype start = 0;
    qsizetype length = 0;
    QUrl url;
    bool operator==(const TextLink&) const = default;
};

// The http, https, ftp and mailto addresses written out in the text.
std::vector<TextLink> findLinks(const QString& text);

// Whether a click on the URL may hand it to the desktop.
bool isOpenableLink(const QUrl& url);

}  // namespace kova
