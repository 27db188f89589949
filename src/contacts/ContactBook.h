#pragma once
// The user's contact flows over the shown list and clset.cfg together: load,
// add, edit and remove by hand, and the automatic look-up of a peer that called
// or chatted. The list and the file hold the same contacts in the same order.

#include <QHash>
#include <QPointer>

#include "contacts/ContactDlg.h"
#include "signalling/CallContacts.h"

class QWidget;

namespace kova {

class CContactStore;
class CDlgMessage;
class CListContact;

class ContactBook : public ICallContacts {
public:
    static inline const QString kLimitText =
        QStringLiteral("Support no more then 30 contacts in list!");
    static inline const QString kLoopback = QStringLiteral("127.0.0.1");
    // A contact's last-seen time goes to kova.ini (beside clset.cfg) at most
    // this often: answers come every 10 s from up to 30 contacts.
    static constexpr qint64 kStoreLastSeenEveryMs = 60000;

    // dialogParent: owner of the dialogs and message boxes (the main window).
    ContactBook(CListContact& list, CContactStore& store, QWidget* dialogParent);
    ~ContactBook() override;

    // Fills the list from the file, with the last-seen times of earlier runs,
    // and selects the first contact.
    void load();
    // The user's own flows; each opens its dialog or question.
    void add();
    void edit();
    void remove();
    // A peer that called or chatted; never for the loopback address. True when
    // it was added to the list and the file. A full list is told in a box that
    // opens without a nested loop, one at a time.
    bool lookUpOrAdd(const QString& name, const QString& mail, const QString& addr);

    // The list's selection, and lookUpOrAdd for a conference's peer.
    std::optional<CallContact> selectedContact() const override;
    void conferencePeer(const QString& name, const QString& mail, const QString& addr) override {
        lookUpOrAdd(name, mail, addr);
    }

    // The open Contact Data dialog, for the quit sequence.
    CContactDlg* openDialog() const { return dialog_; }

private:
    bool atLimit() const;
    QString ownSettingsPath() const;
    void storeLastSeen(int index);

    CListContact& list_;
    CContactStore& store_;
    QWidget* parent_;
    QPointer<CContactDlg> dialog_;
    QPointer<CDlgMessage> limitBox_;
    // The last-seen time in kova.ini per address, as far as this run knows.
    QHash<QString, qint64> storedSeen_;
};

}  // namespace kova
