// Control datagrams: decoding any bytes never reads past them and what decodes
// encodes back to the same bytes; the channel's receive path takes any datagram
// (first byte pair chooses the source port and whether a chat window is open).
#include <QCoreApplication>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "common/WindowMessages.h"
#include "signalling/ControlChannel.h"

namespace {

class Owner : public QObject {
public:
    int findChat = 0;

protected:
    bool event(QEvent* e) override {
        if (e->type() == static_cast<QEvent::Type>(kova::MSG_FIND_CHAT)) {
            static_cast<kova::WindowMessage*>(e)->result = findChat;
            return true;
        }
        return QObject::event(e);
    }
};

struct Harness {
    Harness() : channel(nullptr, nullptr) {
        channel.setOwner(&owner, "fuzz", "fuzz@example.org");
        channel.setShowMessage(
            [this](const QString&, const QString&, int) { return ++asks % 2 + 1; });
    }
    int argc = 1;
    char name[5] = "fuzz";
    char* argv[2] = {name, nullptr};
    QCoreApplication app{argc, argv};
    Owner owner;
    kova::CControlChannel channel;
    int asks = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto bytes = std::as_bytes(std::span(data, size));
    if (auto d = kova::CallDatagram::decode(bytes)) {
        const auto image = d->encode();
        if (std::memcmp(image.data(), data, image.size()) != 0) {
            std::abort();
        }
    }
    if (auto p = kova::CallParameters::decode(bytes)) {
        const auto image = p->encode();
        if (std::memcmp(image.data(), data, image.size()) != 0) {
            std::abort();
        }
    }
    const auto received = kova::CallDatagram::decodeReceived(bytes);
    if (received && kova::fieldText(received->name).size() > 64) {
        std::abort();
    }

    static auto* harness = new Harness;
    if (size >= 2) {
        harness->owner.findChat = data[0] & 1;
        const std::uint16_t port = (data[0] & 0x0E) == 0 ? 6322 : kova::CControlChannel::kPort;
        harness->channel.processDatagram(bytes.subspan(1), 0x7F000000u | data[1], port);
        QCoreApplication::removePostedEvents(&harness->owner);
    }
    return 0;
}
