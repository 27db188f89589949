// The router's answers as the mapping libraries hand them over (an entry's
// internal client, port, enabled flag and lease, a URL), one per line: parsing
// never reads past them, and whatever parses is canonical.
#include <cstdlib>
#include <string_view>
#include <vector>

#include "platform/PortMapper.h"
#include "platform/PortMapperWatchdog.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string_view> fields;
    while (fields.size() < 4) {
        const std::size_t end = text.find('\n');
        fields.push_back(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    }
    const std::string_view url = text;
    if (const std::optional<std::uint32_t> ip = kova::parseIpv4(fields[0])) {
        // One spelling per address: what parses prints back the same.
        if (kova::dottedIpv4(*ip).toStdString() != fields[0]) {
            std::abort();
        }
    }
    if (const auto entry = kova::parseMappingEntry(fields[0], fields[1], fields[2], fields[3])) {
        if (entry->internalPort == 0 || !kova::parseIpv4(entry->internalClient.toStdString())) {
            std::abort();
        }
    }
    if (const auto peer = kova::routerPeerOf(url)) {
        if (peer->port == 0 || url.substr(0, 7) != "http://") {
            std::abort();
        }
    }
    return 0;
}
