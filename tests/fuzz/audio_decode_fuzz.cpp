// Audio from the network: a peer's format area (first 146 bytes) and a frame
// (the rest) go through the decoder the player would open; the same bytes as
// a WAV file go through the sound file reader. Nothing may read or write past
// its buffers, and decoded output never exceeds the announced size.
#include <cstdlib>
#include <optional>
#include <span>
#include <vector>

#include "audio/WaveFile.h"
#include "platform/AudioCodecLibav.h"
#include "platform/AudioCodecs.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto bytes = std::as_bytes(std::span(data, size));
    static kova::AudioCodecLibav codecs;
    // Mostly formats from the table, bent by the input, so the codecs see frames;
    // otherwise a raw format area.
    std::optional<kova::WaveFormat> peer;
    kova::ByteSpan frame;
    if (size >= 5 && data[0] < 200) {
        static const auto table = codecs.formatsFrom(kova::WaveFormat::pcm(8000, 16, 1));
        peer = table[data[0] % table.size()];
        if (data[1] & 1) {
            peer->blockAlign = static_cast<std::uint16_t>(data[2] | (data[3] << 8));
        }
        if (data[1] & 2) {
            peer->channels = static_cast<std::uint16_t>(data[4] % 4);
        }
        if (data[1] & 4) {
            peer->samplesPerSec = 1000u * data[4];
        }
        frame = bytes.subspan(5);
    } else if (size >= kova::WaveFormat::kAreaSize) {
        peer = kova::WaveFormat::decode(bytes.first(kova::WaveFormat::kAreaSize));
        frame = bytes.subspan(kova::WaveFormat::kAreaSize);
    }
    if (peer) {
        if (auto pcm = codecs.suggestPcm(*peer)) {
            if (auto dec = codecs.openStream(*peer, *pcm)) {
                const auto n = dec->destinationSize(static_cast<std::uint32_t>(frame.size()));
                if (n && *n <= (1u << 24)) {
                    std::vector<std::byte> out(*n);
                    const auto r = dec->convert(frame, out, kova::kConvertBlockAlign);
                    if (r.produced > out.size() || r.used > frame.size()) {
                        std::abort();
                    }
                }
            }
        }
    }
    if (auto wav = kova::WaveFile::decode(bytes)) {
        if (wav->data.size() > size) {
            std::abort();
        }
    }
    return 0;
}
