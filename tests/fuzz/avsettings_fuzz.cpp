// avset.cfg images: decoding any bytes never reads past them, and what decodes
// encodes back to the same bytes.
#include <cstdlib>
#include <cstring>

#include "config/AvSettings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto bytes = std::as_bytes(std::span(data, size));
    if (auto s = kova::AvSettings::decode(bytes)) {
        const auto image = s->encode();
        if (std::memcmp(image.data(), data, image.size()) != 0) {
            std::abort();
        }
        s->applyLoadClamps();
    }
    return 0;
}
