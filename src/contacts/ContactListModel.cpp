#include "contacts/ContactListModel.h"

namespace kova {

void ContactListModel::insert(const QString& name, const QString& mail, const QString& addr,
                              std::uint32_t now) {
    items_.push_back({ContactEntry::make(name, mail, addr, now), false});
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

int ContactListModel::presenceReply(bool idle, std::uint32_t key, std::uint32_t now) {
    for (int i = 0; i < size(); ++i) {
        if (items_[i].entry.key == key) {
            items_[i].entry.lastHeard = now;
            items_[i].available = idle;
            return i;
        }
    }
    return -1;
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

QString ContactListModel::tooltip(int i) const {
    const Item& item = items_.at(i);
    return item.entry.mailText() + u'\n' + item.entry.addrText() +
           (item.available ? QStringLiteral("\nOnline") : QStringLiteral("\nOffline"));
}

}  // namespace kova
