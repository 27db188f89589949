#include "contacts/ContactListModel.h"

#include <QDateTime>

namespace kova {

void ContactListModel::insert(const QString& name, const QString& mail, const QString& addr,
                              std::uint32_t now) {
    items_.push_back({ContactEntry::make(name, mail, addr, now), false, 0, std::nullopt});
}

void ContactListModel::update(int i, const QString& name, const QString& mail, const QString& addr,
                              std::uint32_t now) {
    ContactEntry& e = items_.at(i).entry;
    const std::uint32_t key = e.key;
    const bool sameAddress = e.addrText() == addr;
    e = ContactEntry::make(name, mail, addr, now);
    if (sameAddress) {
        e.key = key;
    }
}

void ContactListModel::remove(int i) {
    items_.erase(items_.begin() + i);
}

ContactListModel::LookUp ContactListModel::lookUpOrAdd(const QString& name, const QString& mail,
                                                       const QString& addr, std::uint32_t now) {
    const std::uint32_t peerKey = contactKey(addr);
    const auto sameAddress = [&](const ContactEntry& e) {
        return e.addrText() == addr || (e.key != kInaddrNone && e.key == peerKey);
    };
    // The contact's own text when it names the peer's address already.
    const auto shownAddress = [&](int i) {
        const ContactEntry& e = items_[i].entry;
        return sameAddress(e) ? e.addrText() : addr;
    };
    int found = -1;
    bool changed = false;
    int addressMatch = -1;
    for (int i = 0; i < size(); ++i) {
        const ContactEntry& e = items_[i].entry;
        if (e.mailText() == mail) {
            found = i;
            changed = !sameAddress(e) || e.nameText() != name;
            break;
        }
        if (sameAddress(e) && e.nameText() == name) {
            found = i;
            changed = true;
            break;
        }
        if (sameAddress(e)) {
            addressMatch = i;
        }
    }
    if (found >= 0) {
        if (changed) {
            update(found, name, mail, shownAddress(found), now);
        }
        return LookUp::Known;
    }
    if (addressMatch >= 0) {
        if (!name.isEmpty() && !mail.isEmpty()) {
            update(addressMatch, name, mail, shownAddress(addressMatch), now);
        }
        return LookUp::Known;
    }
    if (mail.isEmpty()) {
        return LookUp::Known;
    }
    return LookUp::New;
}

int ContactListModel::presenceReply(bool idle, std::uint32_t key, std::uint32_t now, qint64 seenMs,
                                    std::optional<int> roundTripMs) {
    for (int i = 0; i < size(); ++i) {
        Item& item = items_[i];
        if (item.entry.key == key) {
            item.entry.lastHeard = now;
            item.available = idle;
            if (seenMs != 0) {
                item.lastSeenMs = seenMs;
            }
            if (roundTripMs) {
                item.roundTripMs = roundTripMs;
            }
            return i;
        }
    }
    return -1;
}

void ContactListModel::setLastSeen(int i, qint64 seenMs) {
    if (i >= 0 && i < size()) {
        items_[i].lastSeenMs = seenMs;
    }
}

void ContactListModel::nameResolved(const QString& name, std::uint32_t ipv4, bool ok) {
    for (Item& item : items_) {
        if (item.entry.byName() && item.entry.addrText() == name) {
            item.entry.key = ok ? contactKeyOf(ipv4) : kInaddrNone;
        }
    }
}

std::optional<QString> ContactListModel::pollStep(int i, std::uint32_t now) {
    if (i < 0 || i >= size()) {
        return std::nullopt;
    }
    Item& item = items_[i];
    // Unsigned difference: the tick counter may wrap.
    if (now - item.entry.lastHeard > kOfflineAfterMs) {
        item.entry.lastHeard = now;
        item.available = false;
    }
    // A name goes to the poll as it is, to be resolved afresh on its worker.
    return item.entry.byName() ? item.entry.addrText() : item.entry.sendAddrText();
}

QString ContactListModel::tooltip(int i, qint64 nowMs) const {
    const Item& item = items_.at(i);
    QString text = item.entry.mailText() + u'\n' + item.entry.addrText() +
                   (item.available ? QStringLiteral("\nOnline") : QStringLiteral("\nOffline"));
    if (item.lastSeenMs == 0) {
        text += QStringLiteral("\nLast seen: never");
    } else {
        text += QStringLiteral("\nLast seen: ") + seenText(item.lastSeenMs, nowMs);
        if (!item.available) {
            text += QStringLiteral(" (%1)").arg(agoText(nowMs - item.lastSeenMs));
        }
    }
    if (item.roundTripMs) {
        text += QStringLiteral("\nRound trip: %1 ms").arg(*item.roundTripMs);
    }
    return text;
}

QString ContactListModel::seenText(qint64 seenMs, qint64 nowMs) {
    const QDateTime seen = QDateTime::fromMSecsSinceEpoch(seenMs);
    return seen.date() == QDateTime::fromMSecsSinceEpoch(nowMs).date()
               ? seen.toString(QStringLiteral("HH:mm:ss"))
               : seen.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

QString ContactListModel::agoText(qint64 ms) {
    const qint64 s = std::max<qint64>(ms, 0) / 1000;
    if (s < 60) {
        return QStringLiteral("%1 s ago").arg(s);
    }
    if (s < 3600) {
        return QStringLiteral("%1 min ago").arg(s / 60);
    }
    if (s < 48 * 3600) {
        return QStringLiteral("%1 h ago").arg(s / 3600);
    }
    return QStringLiteral("%1 days ago").arg(s / 86400);
}

}  // namespace kova
