#include "contacts/ContactBook.h"

#include <QFileInfo>

#include "config/ContactStore.h"
#include "config/OwnSettings.h"
#include "config/ProgramPaths.h"
#include "contacts/ContactDlg.h"
#include "contacts/ListContact.h"
#include "signalling/DlgMessage.h"

namespace kova {

ContactBook::ContactBook(CListContact& list, CContactStore& store, QWidget* dialogParent)
    : list_(list), store_(store), parent_(dialogParent) {
    list_.seen = [this](int index) { storeLastSeen(index); };
}

ContactBook::~ContactBook() {
    // The list is the main window's child and outlives this book.
    list_.seen = nullptr;
}

QString ContactBook::ownSettingsPath() const {
    return joinPath(QFileInfo(store_.path()).absolutePath(), QStringLiteral("kova.ini"));
}

void ContactBook::load() {
    const std::uint32_t n = store_.count();
    const OwnSettings own(ownSettingsPath());
    for (std::uint32_t i = 0; i < n; ++i) {
        QString name, mail, addr;
        store_.readEntry(i, name, mail, addr);
        list_.Insert(name, mail, addr);
        if (const auto seen = own.lastSeen(addr)) {
            list_.SetLastSeen(static_cast<int>(i), *seen);
            storedSeen_.insert(addr.toLower(), *seen);
        }
    }
    if (n > 0) {
        list_.Select(0);
    }
}

void ContactBook::storeLastSeen(int index) {
    if (store_.path().isEmpty() || index < 0 || index >= list_.model().size()) {
        return;
    }
    const auto& item = list_.model().at(index);
    const QString addr = item.entry.addrText().toLower();
    const auto stored = storedSeen_.constFind(addr);
    if (item.lastSeenMs == 0 ||
        (stored != storedSeen_.cend() && item.lastSeenMs - *stored < kStoreLastSeenEveryMs)) {
        return;
    }
    // Best effort: a time not kept is no loss the user must hear of.
    OwnSettings(ownSettingsPath()).setLastSeen(addr, item.lastSeenMs);
    storedSeen_.insert(addr, item.lastSeenMs);
}

bool ContactBook::atLimit() const {
    return store_.count() >= CContactStore::kMaxContacts;
}

void ContactBook::add() {
    CContactDlg dlg({}, {}, {}, parent_);
    dialog_ = &dlg;
    const bool ok = dlg.exec() == QDialog::Accepted;
    dialog_ = nullptr;
    if (!ok) {
        return;
    }
    if (atLimit()) {
        CDlgMessage::show(kLimitText, QString(), CDlgMessage::Notice, parent_);
        return;
    }
    list_.Insert(dlg.name(), dlg.mail(), dlg.addr());
    store_.appendEntry(dlg.name(), dlg.mail(), dlg.addr());
    list_.Select(list_.model().size() - 1);
}

void ContactBook::edit() {
    const auto current = list_.Current();
    if (!current) {
        return;
    }
    CContactDlg dlg(current->name, current->mail, current->addr, parent_);
    dialog_ = &dlg;
    const bool ok = dlg.exec() == QDialog::Accepted;
    dialog_ = nullptr;
    if (!ok) {
        return;
    }
    list_.Update(current->index, dlg.name(), dlg.mail(), dlg.addr());
    store_.writeEntry(static_cast<std::uint32_t>(current->index), dlg.name(), dlg.mail(),
                      dlg.addr());
}

void ContactBook::remove() {
    const auto current = list_.Current();
    if (!current) {
        return;
    }
    const QString question = QStringLiteral("Do you want to remove \n%1\n%2\nfrom contacts?")
                                 .arg(current->name, current->addr);
    if (CDlgMessage::show(question, QString(), CDlgMessage::Question, parent_) != CDlgMessage::Ok) {
        return;
    }
    const int index = list_.DeleteSelected();
    if (index >= 0) {
        store_.deleteEntry(static_cast<std::uint32_t>(index));
    }
}

bool ContactBook::lookUpOrAdd(const QString& name, const QString& mail, const QString& addr) {
    if (addr == kLoopback) {
        return false;
    }
    if (list_.LookUpOrAdd(name, mail, addr) != ContactListModel::LookUp::New) {
        return false;
    }
    if (atLimit()) {
        // Raised by what peers send, so a flood of new peers finds this box open.
        if (limitBox_ == nullptr) {
            limitBox_ =
                CDlgMessage::open(kLimitText, QString(), CDlgMessage::Notice, parent_, nullptr);
        }
        return false;
    }
    list_.Insert(name, mail, addr);
    store_.appendEntry(name, mail, addr);
    return true;
}

std::optional<CallContact> ContactBook::selectedContact() const {
    const auto current = list_.Current();
    if (!current) {
        return std::nullopt;
    }
    return CallContact{current->name, current->addr, current->sendAddr};
}

}  // namespace kova
