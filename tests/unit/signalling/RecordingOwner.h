#pragma once
// A stand-in for the main window: records the window messages it receives and
// answers the sent ones that need a result.

#include <QObject>
#include <QVariant>
#include <vector>

#include "common/WindowMessages.h"

namespace kova::test {

class RecordingOwner : public QObject {
public:
    struct Message {
        int number = 0;
        QVariant first;
        QVariant second;
    };

    std::vector<Message> messages;
    // What MSG_FIND_CHAT answers: 1 = a chat window for the address is open.
    int findChatResult = 0;

    int count(int number) const {
        int n = 0;
        for (const auto& m : messages) {
            n += m.number == number ? 1 : 0;
        }
        return n;
    }
    const Message* last(int number) const {
        for (auto it = messages.rbegin(); it != messages.rend(); ++it) {
            if (it->number == number) {
                return &*it;
            }
        }
        return nullptr;
    }

protected:
    bool event(QEvent* e) override {
        const int n = static_cast<int>(e->type());
        if (n < MSG_CALL_TIMEOUT || n > MSG_TRANSFER_PROGRESS) {
            return QObject::event(e);
        }
        auto* m = static_cast<WindowMessage*>(e);
        messages.push_back({n, m->first, m->second});
        if (n == MSG_FIND_CHAT) {
            m->result = findChatResult;
        }
        return true;
    }
};

}  // namespace kova::test
