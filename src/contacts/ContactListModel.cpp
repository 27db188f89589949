#include "contacts/ContactListModel.h"

namespace kova {

void ContactListModel::insert(const QString& name, const QString& mail, const QString& addr,
                              std::uint32_t now) {
    items_.push_back({ContactEntry::make(name, mail, addr, now), false});
}

void ContactListModel::update(int i, const QString& name, const QString& mail, const QString& addr,
                              std::uint32_t now) {
    items_.at(i).entry = ContactEntry::make(name, mail, addr, now);
}

void ContactListModel::remove(int i) {
    items_.erase(items_.begin() + i);
}

ContactListModel::LookUp ContactListModel::lookUpOrAdd(const QString& name, const QString& mail,
                                                       const QString& addr, std::uint32_t now) {
    int found = -1;
    bool changed = false;
    int addressMatch = -1;
    for (int i = 0; i < size(); ++i) {
        const ContactEntry& e = items_[i].entry;
        if (e.mailText() == mail) {
            found = i;
            changed = e.addrText() != addr || e.nameText() != name;
            break;
        }
        if (e.addrText() == addr && e.nameText() == name) {
            found = i;
            changed = true;
            break;
        }
        if (e.addrText() == addr) {
            addressMatch = i;
        }
    }
    if (found >= 0) {
        if (changed) {
            update(found, name, mail, addr, now);
        }
        return LookUp::Known;
    }
    if (addressMatch >= 0) {
        if (!name.isEmpty() && !mail.isEmpty()) {
            update(addressMatch, name, mail, addr, now);
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
    return item.entry.addrText();
}

QString ContactListModel::tooltip(int i) const {
    const Item& item = items_.at(i);
    return item.entry.mailText() + u'\n' + item.entry.addrText() +
           (item.available ? QStringLiteral("\nOnline") : QStringLiteral("\nOffline"));
}

}  // namespace kova
