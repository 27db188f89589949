#include "transfer/OfferHeader.h"

#include <algorithm>

namespace kova {

std::array<std::byte, OfferHeader::kSize> OfferHeader::encode() const {
    std::array<std::byte, kSize> out{};
    out[0] = kTag;
    writeLe<std::int32_t>(out, kSizeOffset, size);
    name.write(out, kNameOffset);
    return out;
}

std::optional<OfferHeader> OfferHeader::decode(ByteSpan bytes) {
    if (bytes.size() != kSize || bytes[0] != kTag) {
        return std::nullopt;
    }
    OfferHeader h;
    h.size = readLe<std::int32_t>(bytes, kSizeOffset);
    h.name = FixedUtf16<260>::read(bytes, kNameOffset);
    if (!fitsOffer(h.size) || h.name.units[0] < u' ') {
        return std::nullopt;
    }
    return h;
}

std::size_t nextChunkBytes(std::int64_t total, std::int64_t done) {
    const std::int64_t left = total - done;
    if (left <= 0) {
        return 0;
    }
    return static_cast<std::size_t>(std::min<std::int64_t>(left, kChunkBytes));
}

QString safeFileName(const QString& offered) {
    const qsizetype slash = std::max(offered.lastIndexOf(u'/'), offered.lastIndexOf(u'\\'));
    QString name = offered.mid(slash + 1);
    name.removeIf([](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; });
    if (name.isEmpty() || name == u"." || name == u"..") {
        return QStringLiteral("received-file");
    }
    return name;
}

}  // namespace kova
