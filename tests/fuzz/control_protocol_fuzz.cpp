// The control protocol core under any sequence of datagrams from a few senders,
// answered questions, closed notices, passing time and the user's own calls,
// chats and hang-ups. Whatever comes, the open questions, notices and chat
// requests stay within their caps, each is counted exactly once, and only the
// peer of the running call moves it.
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "common/WindowMessages.h"
#include "signalling/ControlProtocol.h"

namespace {

using namespace kova;
using Kind = ControlAction::Kind;

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

bool starts(const ControlAction& a) {
    return a.kind == Kind::Deliver && a.message == MSG_START_CONFERENCE;
}

struct Harness {
    Harness() {
        // 127.0.0.2 and .3 are contacts, .4 and .5 strangers.
        p.setContactCheck([](const QString& a) { return a.endsWith(".2") || a.endsWith(".3"); });
        p.setFindChat([this](const QString&) { return chatOpen; });
    }

    void receive(const std::vector<std::byte>& bytes, std::uint32_t from) {
        const auto d = CallDatagram::decodeReceived(bytes);
        if (!d) {
            return;
        }
        const bool wasInCall = p.inCall(), wasCalling = p.calling();
        const bool fromPeer = QStringLiteral("127.0.0.%1").arg(from & 0xFF) == p.peerAddress();
        const ControlActions out = p.receive(*d, from, now);
        for (const ControlAction& a : out) {
            const bool peerMessage =
                a.kind == Kind::Post && (a.message == MSG_MIC_STEP || a.message == MSG_PEER_HANGUP);
            check(!(a.kind == Kind::FrameAck || peerMessage) || (wasInCall && fromPeer));
            check(!starts(a) || (wasCalling && fromPeer && p.inCall()));
        }
        run(out);
    }

    void answer(std::uint8_t b) {
        if (asked.empty()) {
            return;
        }
        const auto it = asked.begin() + b % asked.size();
        const auto [prompt, sender] = *it;
        asked.erase(it);
        const ControlActions out = p.promptAnswered(prompt, (b & 0x80) != 0);
        for (const ControlAction& a : out) {
            check(a.kind != Kind::Send || a.address == sender);
            check(!starts(a) || (p.inCall() && p.peerAddress() == sender));
        }
        run(out);
        check(p.promptAnswered(prompt, true).empty());
    }

    void closeNotice(std::uint8_t b) {
        if (!notices.empty()) {
            const auto it = notices.begin() + b % notices.size();
            p.noticeClosed(it->first, it->second);
            notices.erase(it);
        }
    }

    void invariants() const {
        check(p.openPrompts() <= ControlProtocol::kMaxOpenPrompts);
        check(p.strangerPrompts() <= ControlProtocol::kMaxStrangerPrompts);
        check(p.openPrompts() == static_cast<int>(asked.size()));
        check(p.openNotices() <= ControlProtocol::kMaxOpenNotices);
        check(p.openNotices() == static_cast<int>(notices.size()));
        check(p.pendingChats() <= ControlProtocol::kMaxPendingChats);
        check(!(p.inCall() && p.calling()));
        check(!p.inCall() || !p.peerAddress().isEmpty());
    }

    // A reported send fails when sendsFail and asks for its error notice.
    void run(const ControlActions& out) {
        for (const ControlAction& a : out) {
            if (a.kind == Kind::Ask) {
                check(std::none_of(asked.begin(), asked.end(),
                                   [&](const auto& q) { return q.second == a.address; }));
                asked.emplace_back(a.prompt, a.address);
            } else if (a.kind == Kind::Notice) {
                notices.emplace_back(a.text, a.caption);
            } else if (a.kind == Kind::Send && a.reportErrors && sendsFail &&
                       p.openNotice(QStringLiteral("error"), QStringLiteral("caption"))) {
                notices.emplace_back(QStringLiteral("error"), QStringLiteral("caption"));
            }
        }
    }

    ControlProtocol p;
    qint64 now = 0;
    bool chatOpen = false;
    bool sendsFail = false;
    std::vector<std::pair<int, QString>> asked;
    std::vector<std::pair<QString, QString>> notices;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Harness h;
    std::size_t i = 0;
    const auto next = [&] { return i < size ? data[i++] : std::uint8_t{0}; };
    while (i < size) {
        const std::uint8_t op = data[i++];
        const std::uint32_t from = 0x7F000002u + ((op >> 3) & 3u);
        const QString sender = QStringLiteral("127.0.0.%1").arg(from & 0xFF);
        h.chatOpen = (op & 0x20) != 0;
        h.sendsFail = (op & 0x40) != 0;
        const int kind = op & 7, end = (op >> 5) & 3;
        if (kind <= 1) {
            // A length byte, then that many bytes, mostly of a real command: a
            // short command or a zero-padded call datagram.
            const std::size_t want = next();
            const std::size_t n = std::min(want, size - i);
            if (n > 0) {
                std::vector<std::byte> d(n < 3 ? 2 : CallDatagram::kSize);
                std::copy_n(reinterpret_cast<const std::byte*>(data + i), std::min(n, d.size()),
                            d.begin());
                d[0] = std::byte(108 + std::to_integer<int>(d[0]) % 21);
                h.receive(d, from);
            }
            i += n;
        } else if (kind == 2) {
            h.answer(next());
        } else if (kind == 3) {
            h.closeNotice(next());
        } else if (kind == 4) {
            h.now += next() * 1000;
        } else if (kind == 5) {
            h.p.call(sender);
        } else if (kind == 6) {
            h.p.chatRequested(sender, h.now);
        } else if (end == 0) {
            h.p.cancelCall();
        } else if (end == 1) {
            h.p.hangUp();
        } else if (end == 2) {
            h.p.networkDown();
        }
        h.invariants();
    }
    return 0;
}
