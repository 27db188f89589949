#include "platform/TerminationSignals.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include <QSocketNotifier>

#include "platform/ThreadName.h"

namespace kova {

namespace {

// The self-pipe: the handler may only write(2); the notifier reads on the UI thread.
int g_pipe[2] = {-1, -1};
constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

void onSignal(int signo) {
    // The interrupted code may be about to read errno.
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(signo);
    [[maybe_unused]] const auto n = ::write(g_pipe[1], &byte, 1);
    errno = savedErrno;
}

}  // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_pipe) != 0) {
        return;
    }
    notifier_ = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        unsigned char byte = 0;
        while (::read(g_pipe[0], &byte, 1) == 1) {
            emit received(byte);
        }
    });
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int s : kSignals) {
        ::sigaction(s, &sa, nullptr);
    }
}

void TerminationSignals::armDeadline(std::chrono::milliseconds delay) {
    KOVA_ASSERT_THREAD(ownerThread_);
    if (deadline_.joinable()) {
        return;
    }
    deadline_ = std::thread([this, delay] {
        nameCurrentThread("kova-deadline");
        std::unique_lock lock(mutex_);
        if (!disarmed_.wait_for(lock, delay, [this] { return disarm_; })) {
            static constexpr char kNote[] = "kova: ending without full teardown\n";
            [[maybe_unused]] const auto n = ::write(STDERR_FILENO, kNote, sizeof kNote - 1);
            ::_exit(0);
        }
    });
}

TerminationSignals::~TerminationSignals() {
    KOVA_ASSERT_THREAD(ownerThread_);
    if (deadline_.joinable()) {
        {
            std::lock_guard lock(mutex_);
            disarm_ = true;
        }
        disarmed_.notify_one();
        deadline_.join();
    }
    for (int s : kSignals) {
        ::signal(s, SIG_DFL);
    }
    delete notifier_;
    for (int& fd : g_pipe) {
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
    }
}

}  // namespace kova
