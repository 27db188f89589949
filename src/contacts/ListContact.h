#pragma once
// The contact list control: an availability icon and the name per contact, a
// tooltip with mail, address and state, a context menu and double click to chat.

#include <QTreeWidget>
#include <functional>
#include <optional>

#include "contacts/ContactListModel.h"
#include "platform/NameResolver.h"

namespace kova {

class CHeaderLst;

struct CurrentContact {
    int index = -1;
    QString name;
    QString mail;
    QString addr;      // as stored and shown
    QString sendAddr;  // where calls and chats go (ContactEntry::sendAddrText)
};

class CListContact : public QTreeWidget {
    Q_OBJECT
public:
    static constexpr int kIconAvailable = 164;
    static constexpr int kIconNotAvailable = 165;

    // Commands of the context menu, carried out by the main window.
    enum Command {
        ID_START_CONFERENCE = 1053,
        ID_EDIT_CONTACT = 1055,
        ID_REMOVE_CONTACT = 1056,
        ID_START_CHAT = 1069,
    };

    explicit CListContact(QWidget* parent = nullptr);

    void Insert(const QString& name, const QString& mail, const QString& addr);
    void Update(int index, const QString& name, const QString& mail, const QString& addr);
    // Deletes the first selected contact; its index, or -1 when none was selected.
    int DeleteSelected();
    void Select(int index);
    std::optional<CurrentContact> Current() const;
    ContactListModel::LookUp LookUpOrAdd(const QString& name, const QString& mail,
                                         const QString& addr);
    std::optional<QString> PollStep(int index);
    // A presence answer from the address of key; its round trip comes from
    // roundTrip, when our query is what it answers.
    void PresenceReply(bool idle, std::uint32_t key);
    void SetLastSeen(int index, qint64 seenMs) { model_.setLastSeen(index, seenMs); }
    // A host name's answer, from this list's resolver or the presence poll's
    // (NameResolver::resolved's arguments).
    void NameResolved(const QString& name, quint32 ipv4, int error);
    void SetBusyMark(bool busy) { busy_ = busy; }
    bool busyMark() const { return busy_; }

    const ContactListModel& model() const { return model_; }
    // The context menu's commands for the busy mark (0 = separator).
    QList<int> menuCommands() const;

    // Millisecond tick for the last-heard times; replaceable in tests.
    std::function<std::uint32_t()> clock;
    // Wall-clock milliseconds for the last-seen times; replaceable in tests.
    std::function<qint64()> wallClock;
    // The round trip of the presence query a contact key's answer replies to,
    // if one is outstanding (the presence poll's).
    std::function<std::optional<int>(std::uint32_t key)> roundTrip;
    // Told of each contact that answered, by index.
    std::function<void(int index)> seen;
    // The look-up behind the resolver of contacts added, edited or loaded by
    // host name; replaceable in tests before the first such contact.
    NameResolver::Resolve resolve;

signals:
    void commandRequested(int command);
    void deletePressed();

protected:
    bool event(QEvent* e) override;
    bool viewportEvent(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;

private:
    void refresh(int index);
    void resolveName(int index);
    std::uint32_t now() const { return clock(); }

    ContactListModel model_;
    NameResolver* resolver_ = nullptr;
    bool busy_ = false;
};

}  // namespace kova
