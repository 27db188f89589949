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
    // Network order, first byte lowest.
    const std::uint32_t h = *host;
    return (h >> 24) | ((h >> 8) & 0xFF00) | ((h << 8) & 0xFF0000) | (h << 24);
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
