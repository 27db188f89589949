// Runs a fuzz target over a fixed set of generated inputs when libFuzzer is not
// used: every length up to a few kilobytes, random bytes and runs of 0x00/0xFF.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main() {
    std::mt19937 rng(20260107);
    std::vector<std::uint8_t> buf;
    constexpr std::size_t kMaxLen = 4096;
    int runs = 0;
    for (std::size_t len = 0; len <= kMaxLen; len += (len < 2048 ? 1 : 61)) {
        for (int fill : {-1, 0x00, 0xFF}) {
            buf.resize(len);
            for (auto& b : buf) {
                b = fill < 0 ? static_cast<std::uint8_t>(rng()) : static_cast<std::uint8_t>(fill);
            }
            LLVMFuzzerTestOneInput(buf.data(), buf.size());
            ++runs;
        }
    }
    std::printf("%d inputs ran without a fault\n", runs);
    return 0;
}
