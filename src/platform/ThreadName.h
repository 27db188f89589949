#pragma once
// Thread names as ps, top and gdb show them. Linux keeps 15 characters of a
// name and silently cuts the rest ("kova-presence-poll" became
// "kova-presence-p"), so a name that does not fit fails to compile.

#include <QString>
#include <QThread>
#include <cstddef>

namespace kova {

class ThreadName {
public:
    static constexpr std::size_t kMaxLength = 15;

    // consteval: a literal longer than kMaxLength is a compile error.
    consteval ThreadName(const char* text) : text_(text) {  // NOLINT: implicit by design
        std::size_t n = 0;
        while (text[n] != '\0') {
            ++n;
        }
        if (n == 0 || n > kMaxLength) {
            throw "thread names hold 1 to 15 characters";
        }
    }
    const char* text() const { return text_; }

private:
    const char* text_;
};

// Qt gives a QThread's object name to the system thread as it starts.
inline void nameThread(QThread& thread, ThreadName name) {
    thread.setObjectName(QString::fromLatin1(name.text()));
}

// For threads Qt did not start (std::thread): call on the thread itself.
void nameCurrentThread(ThreadName name);

}  // namespace kova
