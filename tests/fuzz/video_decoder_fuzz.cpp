// Compressed video frames from the network: any bytes handed to a decoder set up
// for a peer's format never make it read or write outside its buffers. The first
// byte picks the codec, the second the picture size.
#include <array>
#include <vector>

#include "platform/VideoCodecFfmpeg.h"
#include "video/VideoCodec.h"

namespace {

constexpr std::array<std::uint32_t, 10> kFourCCs = {
    kova::fourCC('M', 'J', 'P', 'G'), kova::fourCC('X', 'V', 'I', 'D'),
    kova::fourCC('H', '2', '6', '4'), kova::fourCC('M', 'P', '4', '3'),
    kova::fourCC('W', 'M', 'V', '1'), kova::fourCC('V', 'P', '8', '0'),
    kova::fourCC('M', 'S', 'V', 'C'), kova::fourCC('F', 'F', 'V', '1'),
    kova::fourCC('I', 'V', '5', '0'), kova::fourCC('c', 'v', 'i', 'd')};
constexpr std::array<std::pair<int, int>, 4> kSizes = {{{176, 144}, {160, 120}, {33, 17}, {2, 2}}};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    static kova::CFfmpegVideoCodecProvider codecs;
    const auto [w, h] = kSizes[data[1] % kSizes.size()];
    kova::BitmapInfoHeader peer = kova::rgbFormat(w, h);
    peer.compression = kFourCCs[data[0] % kFourCCs.size()];
    kova::CVideoCodec decoder(codecs, nullptr);
    if (!decoder.SetUp(0, peer, false, false)) {
        return 0;
    }
    // Exactly the size the receiving window allocates, so ASan sees any overrun.
    std::vector<std::byte> picture(decoder.OutputImageSize());
    const auto frame = std::as_bytes(std::span(data + 2, size - 2));
    decoder.Decompress(frame, picture);
    decoder.Decompress(frame, picture);
    return 0;
}
