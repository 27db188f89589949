#include "media/MediaReassembler.h"

#include <cstring>

#include "formats/MediaHeader.h"

namespace kova {

void MediaReassembler::reset(std::size_t maxFrame) {
    // Fresh vectors rather than resize: a smaller call gives the memory back.
    receive_ = std::vector<std::byte>(maxFrame + MediaHeader::kSize);
    reassembly_ = std::vector<std::byte>(maxFrame);
    fill_ = 0;
}

void MediaReassembler::release() {
    receive_ = {};
    reassembly_ = {};
    fill_ = 0;
}

std::optional<MediaReassembler::Frame> MediaReassembler::take(std::size_t size) {
    if (size > receive_.size()) {
        return std::nullopt;
    }
    const ByteSpan datagram(receive_.data(), size);
    const auto header = MediaHeader::decode(datagram);
    if (!header || size < header->length) {
        return std::nullopt;
    }
    const auto kind = header->kind();
    if (!kind) {
        return std::nullopt;
    }
    const ByteSpan payload = datagram.subspan(MediaHeader::kSize);
    if (*kind == MediaHeader::Kind::Whole) {
        return Frame{payload, header->sequence()};
    }
    if (payload.size() > reassembly_.size() - fill_) {
        fill_ = 0;
        return std::nullopt;
    }
    if (!payload.empty()) {
        std::memcpy(reassembly_.data() + fill_, payload.data(), payload.size());
    }
    fill_ += payload.size();
    if (*kind == MediaHeader::Kind::Fragment) {
        return std::nullopt;
    }
    const Frame frame{ByteSpan(reassembly_.data(), fill_), header->sequence()};
    fill_ = 0;
    return frame;
}

std::optional<MediaReassembler::Frame> MediaReassembler::accept(ByteSpan datagram) {
    if (datagram.size() > receive_.size()) {
        return std::nullopt;
    }
    if (!datagram.empty()) {
        std::memcpy(receive_.data(), datagram.data(), datagram.size());
    }
    return take(datagram.size());
}

}  // namespace kova
