#pragma once
// Test signals and simple measures over 16-bit PCM.

#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "common/ByteIo.h"

namespace kova::test {

inline std::vector<std::byte> sinePcm(double hz, std::size_t samples, double amplitude = 8000,
                                      double rate = 8000, std::size_t phase = 0) {
    std::vector<std::byte> out(samples * 2);
    for (std::size_t i = 0; i < samples; ++i) {
        const double v = amplitude * std::sin(2 * std::numbers::pi * hz * double(i + phase) / rate);
        writeLe<std::int16_t>(out, i * 2, static_cast<std::int16_t>(std::lround(v)));
    }
    return out;
}

inline std::vector<double> samplesOf(ByteSpan pcm) {
    std::vector<double> out(pcm.size() / 2);
    for (std::size_t i = 0; i < out.size(); ++i) {
        out[i] = readLe<std::int16_t>(pcm, i * 2);
    }
    return out;
}

// Power at one frequency (Goertzel), normalised by length.
inline double powerAt(const std::vector<double>& x, double hz, double rate = 8000) {
    const double w = 2 * std::numbers::pi * hz / rate;
    const double c = 2 * std::cos(w);
    double s1 = 0, s2 = 0;
    for (double v : x) {
        const double s0 = v + c * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return (s1 * s1 + s2 * s2 - c * s1 * s2) / double(x.size() * x.size());
}

inline double rms(const std::vector<double>& x) {
    double sum = 0;
    for (double v : x) {
        sum += v * v;
    }
    return x.empty() ? 0 : std::sqrt(sum / double(x.size()));
}

// The frequency among 100..2000 Hz (10 Hz steps) with the most power.
inline double dominantHz(const std::vector<double>& x, double rate = 8000) {
    double best = 0, bestHz = 0;
    for (double hz = 100; hz <= 2000; hz += 10) {
        const double p = powerAt(x, hz, rate);
        if (p > best) {
            best = p;
            bestHz = hz;
        }
    }
    return bestHz;
}

// Signal-to-noise ratio of y against x in dB, after finding the best lag
// (0..maxLag samples) and gain: codecs delay and scale.
inline double snrDb(const std::vector<double>& x, const std::vector<double>& y,
                    std::size_t maxLag = 400) {
    double best = -1e9;
    for (std::size_t lag = 0; lag <= maxLag && lag < y.size(); ++lag) {
        const std::size_t n = std::min(x.size(), y.size() - lag);
        double xy = 0, xx = 0;
        for (std::size_t i = 0; i < n; ++i) {
            xy += x[i] * y[i + lag];
            xx += x[i] * x[i];
        }
        if (xx == 0) {
            continue;
        }
        const double g = xy / xx;
        double sig = 0, noise = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const double e = y[i + lag] - g * x[i];
            sig += g * x[i] * g * x[i];
            noise += e * e;
        }
        best = std::max(best, 10 * std::log10(sig / std::max(noise, 1e-9)));
    }
    return best;
}

}  // namespace kova::test
