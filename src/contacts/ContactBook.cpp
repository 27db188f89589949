#include "contacts/ContactBook.h"

#include "config/ContactStore.h"
#include "contacts/ContactDlg.h"
#include "contacts/ListContact.h"
#include "signalling/DlgMessage.h"

namespace kova {

ContactBook::ContactBook(CListContact& list, CContactStore& store, QWidget* dialogParent)
    : list_(list), store_(store), parent_(dialogParent) {}

void ContactBook::load() {
    const std::uint32_t n = store_.count();
    for (std::uint32_t i = 0; i < n; ++i) {
        QString name, mail, addr;
        store_.readEntry(i, name, mail, addr);
        list_.Insert(name, mail, addr);
    }
    if (n > 0) {
        list_.Select(0);
    }
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
