#include "contacts/ContactEntry.h"

#include "common/DottedAddress.h"

namespace kova {

std::uint32_t contactKey(const QString& address) {
    // Anything after the first white space is ignored, as inet_addr does.
    QStringView text(address);
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isSpace()) {
            text = text.left(i);
            break;
        }
    }
    const auto host = parseDottedIpv4(text);
    if (!host) {
        return kInaddrNone;
    }
    return contactKeyOf(*host);
}

std::uint32_t contactKeyOf(std::uint32_t ipv4) {
    // Network order, first byte lowest.
    const std::uint32_t h = ipv4;
    return (h >> 24) | ((h >> 8) & 0xFF00) | ((h << 8) & 0xFF0000) | (h << 24);
}

QString keyText(std::uint32_t key) {
    return QStringLiteral("%1.%2.%3.%4")
        .arg(key & 0xFF)
        .arg((key >> 8) & 0xFF)
        .arg((key >> 16) & 0xFF)
        .arg(key >> 24);
}

ContactEntry ContactEntry::make(const QString& name, const QString& mail, const QString& addr,
                                std::uint32_t now) {
    ContactEntry e;
    e.name.setText(name.toStdU16String());
    e.mail.setText(mail.toStdU16String());
    e.addr.setText(addr.toStdU16String());
    e.key = contactKey(e.addrText());
    e.lastHeard = now;
    return e;
}

}  // namespace kova
