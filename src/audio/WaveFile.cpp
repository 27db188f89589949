#include "audio/WaveFile.h"

#include <algorithm>
#include <cstring>

namespace kova {

namespace {

bool tagIs(ByteSpan b, std::size_t at, const char (&tag)[5]) {
    return std::memcmp(b.data() + at, tag, 4) == 0;
}

void putTag(std::vector<std::byte>& out, const char (&tag)[5]) {
    const auto* p = reinterpret_cast<const std::byte*>(tag);
    out.insert(out.end(), p, p + 4);
}

void putU32(std::vector<std::byte>& out, std::uint32_t v) {
    const std::size_t at = out.size();
    out.resize(at + 4);
    writeLe(out, at, v);
}

}  // namespace

std::optional<WaveFile> WaveFile::decode(ByteSpan b) {
    if (b.size() < 12 || b.size() > kMaxBytes || !tagIs(b, 0, "RIFF") || !tagIs(b, 8, "WAVE")) {
        return std::nullopt;
    }
    std::optional<WaveFormat> format;
    std::optional<ByteSpan> data;
    std::size_t at = 12;
    while (at + 8 <= b.size()) {
        const std::uint64_t size = readLe<std::uint32_t>(b, at + 4);
        const std::size_t body = at + 8;
        const std::size_t avail =
            static_cast<std::size_t>(std::min<std::uint64_t>(size, b.size() - body));
        if (tagIs(b, at, "fmt ")) {
            format = WaveFormat::decode(b.subspan(body, avail));
            if (!format && avail >= 16) {
                // A 16-byte PCM format record without the extra-size word.
                std::vector<std::byte> padded(b.begin() + body, b.begin() + body + 16);
                padded.resize(WaveFormat::kHeaderSize);
                format = WaveFormat::decode(padded);
            }
        } else if (tagIs(b, at, "data")) {
            data = b.subspan(body, avail);
        }
        // Chunks are word-aligned; sizes are computed in 64 bits.
        const std::uint64_t next = std::uint64_t{body} + size + (size & 1);
        if (next > b.size()) {
            break;
        }
        at = static_cast<std::size_t>(next);
    }
    if (!format || !data) {
        return std::nullopt;
    }
    return WaveFile{*format, std::vector<std::byte>(data->begin(), data->end())};
}

std::vector<std::byte> WaveFile::encode() const {
    const bool pcm = format.formatTag == WaveFormat::kTagPcm;
    auto fmt = format.encode();
    if (pcm) {
        fmt.resize(16);  // plain PCM records end before the extra-size word
    }
    std::vector<std::byte> out;
    putTag(out, "RIFF");
    putU32(out, 0);
    putTag(out, "WAVE");
    putTag(out, "fmt ");
    putU32(out, static_cast<std::uint32_t>(fmt.size()));
    out.insert(out.end(), fmt.begin(), fmt.end());
    if (fmt.size() & 1) {
        out.push_back(std::byte{0});
    }
    if (!pcm) {
        // Sample count, which readers of block formats want.
        const std::uint32_t spb = format.extraWord();
        std::uint32_t samples = 0;
        if (format.blockAlign != 0) {
            samples = static_cast<std::uint32_t>(data.size() / format.blockAlign) *
                      std::max<std::uint32_t>(spb, 1);
        }
        putTag(out, "fact");
        putU32(out, 4);
        putU32(out, samples);
    }
    putTag(out, "data");
    putU32(out, static_cast<std::uint32_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
    if (data.size() & 1) {
        out.push_back(std::byte{0});
    }
    writeLe(out, 4, static_cast<std::uint32_t>(out.size() - 8));
    return out;
}

}  // namespace kova
