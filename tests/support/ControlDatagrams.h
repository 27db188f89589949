#pragma once
// Control datagrams as a peer would send them, for feeding the control channel.

#include <algorithm>
#include <vector>

#include "signalling/ControlDatagram.h"

namespace kova::test {

// A call datagram from "Bob", cut or zero-padded to size.
inline std::vector<std::byte> callDatagram(std::uint8_t command, const char16_t* name = u"Bob",
                                           std::size_t size = CallDatagram::kSize) {
    CallDatagram d;
    d.command = command;
    d.name.setText(name);
    d.email.setText(u"bob@example.org");
    const auto full = d.encode();
    std::vector<std::byte> out(size, std::byte{0});
    std::copy_n(full.begin(), std::min(size, full.size()), out.begin());
    return out;
}

inline std::vector<std::byte> shortCommand(std::uint8_t command) {
    const auto s = control::encodeShortCommand(command);
    return {s.begin(), s.end()};
}

}  // namespace kova::test
