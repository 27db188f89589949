#pragma once
// RIFF WAVE files: the ring and program sounds, and the files tests exchange
// with other tools. Only the "fmt " and "data" chunks matter; others are
// skipped on reading, and a "fact" chunk is written for compressed formats.

#include <optional>
#include <vector>

#include "common/ByteIo.h"
#include "formats/WaveFormat.h"

namespace kova {

struct WaveFile {
    // Largest file accepted: a ring sound is seconds long.
    static constexpr std::size_t kMaxBytes = 64u << 20;

    WaveFormat format;
    std::vector<std::byte> data;

    // nullopt when the bytes are not a WAVE file with a format and a data chunk.
    // A data chunk longer than the file is cut to what is there.
    static std::optional<WaveFile> decode(ByteSpan bytes);
    std::vector<std::byte> encode() const;

    bool operator==(const WaveFile&) const = default;
};

}  // namespace kova
