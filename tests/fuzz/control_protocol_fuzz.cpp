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

using kova::ControlAction;
using kova::ControlActions;
using kova::ControlProtocol;
using Kind = ControlAction::Kind;

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// 127.0.0.2 and .3 are contacts, .4 and .5 strangers.
std::uint32_t senderAt(std::uint8_t b) {
    return 0x7F000002u + (b & 3u);
}
QString senderText(std::uint32_t ipv4) {
    return QStringLiteral("127.0.0.%1").arg(ipv4 & 0xFF);
}

class Harness {
public:
    Harness() {
        protocol.setContactCheck(
            [](const QString& a) { return a.endsWith(".2") || a.endsWith(".3"); });
        protocol.setFindChat([this](const QString&) { return chatOpen; });
    }

    void receive(const std::uint8_t* in, std::size_t n, std::uint32_t from) {
        std::vector<std::byte> bytes(n < 3 ? 2 : kova::CallDatagram::kSize);
        for (std::size_t i = 0; i < bytes.size() && i < n; ++i) {
            bytes[i] = std::byte{in[i]};
        }
        const auto d = kova::CallDatagram::decodeReceived(bytes);
        if (!d) {
            return;
        }
        const bool wasInCall = protocol.inCall();
        const bool wasCalling = protocol.calling();
        const QString peer = protocol.peerAddress();
        const QString sender = senderText(from);
        const ControlActions out = protocol.receive(*d, from, now);
        for (const ControlAction& a : out) {
            const bool peerMessage = a.kind == Kind::Post && (a.message == kova::MSG_MIC_STEP ||
                                                              a.message == kova::MSG_PEER_HANGUP);
            if (a.kind == Kind::FrameAck || peerMessage) {
                check(wasInCall && sender == peer);
            }
            if (a.kind == Kind::Deliver && a.message == kova::MSG_START_CONFERENCE) {
                check(wasCalling && sender == peer && protocol.inCall());
            }
        }
        run(out);
    }

    void answer(std::uint8_t b) {
        if (asked.empty()) {
            return;
        }
        const std::size_t i = b % asked.size();
        const auto [prompt, sender] = asked[i];
        asked.erase(asked.begin() + static_cast<long>(i));
        const ControlActions out = protocol.promptAnswered(prompt, (b & 0x80) != 0);
        for (const ControlAction& a : out) {
            check(a.kind != Kind::Send || a.address == sender);
            if (a.kind == Kind::Deliver && a.message == kova::MSG_START_CONFERENCE) {
                check(protocol.inCall() && protocol.peerAddress() == sender);
            }
        }
        run(out);
        check(protocol.promptAnswered(prompt, true).empty());
    }

    void closeNotice(std::uint8_t b) {
        if (!notices.empty()) {
            const std::size_t i = b % notices.size();
            protocol.noticeClosed(notices[i].first, notices[i].second);
            notices.erase(notices.begin() + static_cast<long>(i));
        }
    }

    void invariants() const {
        check(protocol.openPrompts() <= ControlProtocol::kMaxOpenPrompts);
        check(protocol.strangerPrompts() <= ControlProtocol::kMaxStrangerPrompts);
        check(protocol.openPrompts() == static_cast<int>(asked.size()));
        check(protocol.openNotices() <= ControlProtocol::kMaxOpenNotices);
        check(protocol.openNotices() == static_cast<int>(notices.size()));
        check(protocol.pendingChats() <= ControlProtocol::kMaxPendingChats);
        check(!(protocol.inCall() && protocol.calling()));
        check(!protocol.inCall() || !protocol.peerAddress().isEmpty());
    }

    ControlProtocol protocol;
    qint64 now = 0;
    bool chatOpen = false;
    // A reported send fails and asks for its error notice.
    bool sendsFail = false;

private:
    void run(const ControlActions& out) {
        for (const ControlAction& a : out) {
            switch (a.kind) {
                case Kind::Ask:
                    check(std::none_of(asked.begin(), asked.end(),
                                       [&](const auto& p) { return p.second == a.address; }));
                    asked.emplace_back(a.prompt, a.address);
                    break;
                case Kind::Notice:
                    notices.emplace_back(a.text, a.caption);
                    break;
                case Kind::Send:
                    if (a.reportErrors && sendsFail &&
                        protocol.openNotice(QStringLiteral("error"), QStringLiteral("caption"))) {
                        notices.emplace_back(QStringLiteral("error"), QStringLiteral("caption"));
                    }
                    break;
                default:
                    break;
            }
        }
    }

    std::vector<std::pair<int, QString>> asked;
    std::vector<std::pair<QString, QString>> notices;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Harness h;
    std::size_t i = 0;
    while (i < size) {
        const std::uint8_t op = data[i++];
        const std::uint32_t from = senderAt(op >> 3);
        h.chatOpen = (op & 0x20) != 0;
        h.sendsFail = (op & 0x40) != 0;
        switch (op & 7) {
            case 0:
            case 1: {
                // A datagram: its length byte, then that many bytes (short
                // commands are the most common).
                const std::size_t want = i < size ? data[i++] : 0;
                const std::size_t n = std::min(want, size - i);
                if (n > 0) {
                    std::vector<std::uint8_t> d(data + i, data + i + n);
                    // Mostly real commands.
                    d[0] = static_cast<std::uint8_t>(108 + d[0] % 21);
                    h.receive(d.data(), d.size(), from);
                }
                i += n;
                break;
            }
            case 2:
                h.answer(i < size ? data[i++] : 0);
                break;
            case 3:
                h.closeNotice(i < size ? data[i++] : 0);
                break;
            case 4:
                h.now += (i < size ? data[i++] : 0) * 1000;
                break;
            case 5:
                h.protocol.call(senderText(from));
                break;
            case 6:
                h.protocol.chatRequested(senderText(from), h.now);
                break;
            default:
                switch ((op >> 5) & 3) {
                    case 0:
                        h.protocol.cancelCall();
                        break;
                    case 1:
                        h.protocol.hangUp();
                        break;
                    case 2:
                        h.protocol.networkDown();
                        break;
                    default:
                        break;
                }
                break;
        }
        h.invariants();
    }
    return 0;
}
