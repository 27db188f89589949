#pragma once
// The window messages the parts of the program send each other, by number. The
// numbers are the interface between parts; each travels as a QEvent whose type is
// the number: posted when nobody waits for an answer, sent when the result is used.

#include <QEvent>
#include <QVariant>

namespace kova {

enum WindowMessageNumber : int {
    MSG_CALL_TIMEOUT = 1935,
    MSG_REMOTE_MIC = 2935,
    MSG_MIC_STEP = 2936,
    MSG_LOCAL_HANGUP = 2993,
    MSG_SELECT_VIDEO_SOURCE = 3054,
    MSG_PEER_HANGUP = 3056,
    MSG_START_CONFERENCE = 3057,
    MSG_PRESENCE_REPLY = 3058,
    MSG_CALL_DECLINED = 3059,
    MSG_OPEN_CHAT = 3060,
    MSG_CHAT_CLOSED = 3061,
    MSG_FIND_CHAT = 3062,
    // first: {name, e-mail} the chat peer sent; second: its address.
    MSG_CHAT_CONTACT = 3063,
    MSG_CONTACT_ACTIVATED = 3154,
    MSG_TRAY_NOTIFY = 3246,
    MSG_TRANSFER_PROGRESS = 3247,
    // Thread messages of a file-transfer worker.
    MSG_THREAD_STOP = 1147,
    MSG_THREAD_ACTIVITY = 1148,
};

class WindowMessage : public QEvent {
public:
    explicit WindowMessage(int number, QVariant first = {}, QVariant second = {})
        : QEvent(static_cast<QEvent::Type>(number)),
          first(std::move(first)),
          second(std::move(second)) {}

    int number() const { return static_cast<int>(type()); }

    QVariant first;
    QVariant second;
    // Filled in by the handler of a sent message.
    qintptr result = 0;
};

// Queues the message for the target's thread; nobody waits for an answer.
void postMessage(QObject* target, int number, QVariant first = {}, QVariant second = {});

// Delivers the message to the target and returns the handler's result. From
// another thread it blocks until the target's thread has handled it, so the
// arguments may refer to the caller's data for the duration of the call.
qintptr sendMessage(QObject* target, int number, QVariant first = {}, QVariant second = {});

}  // namespace kova
