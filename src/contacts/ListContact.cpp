#include "contacts/ListContact.h"

#include <QContextMenuEvent>
#include <QDateTime>
#include <QElapsedTimer>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QToolTip>

#include "common/WindowMessages.h"
#include "contacts/HeaderLst.h"
#include "ui/PMenu.h"
#include "ui/Pictures.h"

namespace kova {

namespace {

std::uint32_t tickNow() {
    static QElapsedTimer since = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return static_cast<std::uint32_t>(since.elapsed());
}

const QColor kBackground(255, 250, 230);
const QColor kText(0, 0, 128);

}  // namespace

CListContact::CListContact(QWidget* parent)
    : QTreeWidget(parent), clock(tickNow), wallClock(&QDateTime::currentMSecsSinceEpoch) {
    setHeader(new CHeaderLst(this));
    setColumnCount(2);
    setHeaderLabels({QStringLiteral("  "), tr("Contacts")});
    headerItem()->setTextAlignment(0, Qt::AlignHCenter);
    headerItem()->setTextAlignment(1, Qt::AlignLeft);
    header()->setSectionResizeMode(0, QHeaderView::Fixed);
    header()->resizeSection(0, 35);
    header()->setStretchLastSection(true);
    header()->setSectionsClickable(false);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSortingEnabled(false);
    setIconSize(QSize(32, 32));
    setAllColumnsShowFocus(true);
    setFrameShape(QFrame::StyledPanel);
    QPalette pal = palette();
    pal.setColor(QPalette::Base, kBackground);
    pal.setColor(QPalette::Text, kText);
    setPalette(pal);
}

void CListContact::refresh(int index) {
    QTreeWidgetItem* item = topLevelItem(index);
    const auto& m = model_.at(index);
    item->setIcon(0, QIcon(picture(m.available ? kIconAvailable : kIconNotAvailable)));
    item->setText(1, m.entry.nameText());
}

void CListContact::resolveName(int index) {
    const ContactEntry& e = model_.at(index).entry;
    if (!e.byName()) {
        return;
    }
    if (resolver_ == nullptr) {
        resolver_ = new NameResolver(this, resolve);
        connect(resolver_, &NameResolver::resolved, this, &CListContact::NameResolved);
    }
    resolver_->lookUp(e.addrText());
}

void CListContact::NameResolved(const QString& name, quint32 ipv4, int error) {
    model_.nameResolved(name, ipv4, error == 0);
}

void CListContact::Insert(const QString& name, const QString& mail, const QString& addr) {
    model_.insert(name, mail, addr, now());
    addTopLevelItem(new QTreeWidgetItem);
    refresh(model_.size() - 1);
    resolveName(model_.size() - 1);
}

void CListContact::Update(int index, const QString& name, const QString& mail,
                          const QString& addr) {
    if (index < 0 || index >= model_.size()) {
        return;
    }
    model_.update(index, name, mail, addr, now());
    refresh(index);
    resolveName(index);
}

int CListContact::DeleteSelected() {
    for (int i = 0; i < topLevelItemCount(); ++i) {
        if (topLevelItem(i)->isSelected()) {
            model_.remove(i);
            delete takeTopLevelItem(i);
            return i;
        }
    }
    return -1;
}

void CListContact::Select(int index) {
    if (QTreeWidgetItem* item = topLevelItem(index)) {
        setCurrentItem(item);
        item->setSelected(true);
    }
}

std::optional<CurrentContact> CListContact::Current() const {
    int index = -1;
    for (int i = 0; i < topLevelItemCount(); ++i) {
        if (topLevelItem(i)->isSelected()) {
            index = i;
            break;
        }
    }
    if (index < 0 && currentItem() != nullptr) {
        index = indexOfTopLevelItem(currentItem());
    }
    if (index < 0 || index >= model_.size()) {
        return std::nullopt;
    }
    const ContactEntry& e = model_.at(index).entry;
    return CurrentContact{index, e.nameText(), e.mailText(), e.addrText(), e.sendAddrText()};
}

ContactListModel::LookUp CListContact::LookUpOrAdd(const QString& name, const QString& mail,
                                                   const QString& addr) {
    const auto result = model_.lookUpOrAdd(name, mail, addr, now());
    for (int i = 0; i < model_.size(); ++i) {
        refresh(i);
    }
    return result;
}

std::optional<QString> CListContact::PollStep(int index) {
    auto addr = model_.pollStep(index, now());
    if (addr) {
        refresh(index);
    }
    return addr;
}

void CListContact::PresenceReply(bool idle, std::uint32_t key) {
    const std::optional<int> rtt = roundTrip ? roundTrip(key) : std::nullopt;
    const int index = model_.presenceReply(idle, key, now(), wallClock(), rtt);
    if (index >= 0) {
        refresh(index);
        if (seen) {
            seen(index);
        }
    }
}

QList<int> CListContact::menuCommands() const {
    QList<int> commands;
    if (!busy_) {
        commands << ID_START_CONFERENCE;
    }
    commands << ID_START_CHAT << 0 << ID_EDIT_CONTACT << ID_REMOVE_CONTACT;
    return commands;
}

bool CListContact::event(QEvent* e) {
    if (e->type() == static_cast<QEvent::Type>(MSG_PRESENCE_REPLY)) {
        const auto* m = static_cast<WindowMessage*>(e);
        PresenceReply(m->first.toInt() != 0, m->second.toUInt());
        return true;
    }
    return QTreeWidget::event(e);
}

bool CListContact::viewportEvent(QEvent* e) {
    if (e->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(e);
        QTreeWidgetItem* item = itemAt(help->pos());
        if (item == nullptr) {
            QToolTip::hideText();
        } else {
            QToolTip::showText(help->globalPos(),
                               model_.tooltip(indexOfTopLevelItem(item), wallClock()), viewport());
        }
        return true;
    }
    return QTreeWidget::viewportEvent(e);
}

void CListContact::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Delete) {
        emit deletePressed();
        return;
    }
    QTreeWidget::keyPressEvent(e);
}

void CListContact::mouseDoubleClickEvent(QMouseEvent* e) {
    QTreeWidget::mouseDoubleClickEvent(e);
    if (QTreeWidgetItem* item = itemAt(e->position().toPoint());
        item != nullptr && parent() != nullptr) {
        postMessage(parent(), MSG_CONTACT_ACTIVATED, QVariant::fromValue<void*>(this),
                    indexOfTopLevelItem(item));
    }
}

void CListContact::contextMenuEvent(QContextMenuEvent* e) {
    QTreeWidgetItem* item = itemAt(viewport()->mapFrom(this, e->pos()));
    if (item == nullptr) {
        return;
    }
    setCurrentItem(item);
    CPMenu menu(this);
    for (int command : menuCommands()) {
        switch (command) {
            case ID_START_CONFERENCE:
                menu.AppendItem(command, tr("Start Video Conference"));
                break;
            case ID_START_CHAT:
                menu.AppendItem(command, tr("Start Chat :)"));
                break;
            case ID_EDIT_CONTACT:
                menu.AppendItem(command, tr("Edit Contact"));
                break;
            case ID_REMOVE_CONTACT:
                menu.AppendItem(command, tr("Remove Contact"));
                break;
            default:
                menu.AppendItem(0, {});
        }
    }
    if (const int command = menu.run(e->globalPos()); command != 0) {
        emit commandRequested(command);
    }
}

}  // namespace kova
