#pragma once
// What the audio parts need of a compression manager: conversion streams
// between 16-bit PCM and a compressed format, with the start / block-align /
// end rules, plus the queries and the format list behind the codec chooser.
// Narrow so capture, playback and the chooser are tested with fakes.

#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "common/ByteIo.h"
#include "formats/WaveFormat.h"

namespace kova {

// Conversion flags. Values are those of the flags word peers' codec managers
// use, kept so a logged flags word reads the same everywhere.
enum AudioConvertFlag : std::uint32_t {
    kConvertBlockAlign = 0x04,  // convert whole blocks only, keep the rest
    kConvertStart = 0x10,       // first conversion after an open
    kConvertEnd = 0x20,         // last conversion: pad and convert everything
};

struct AudioConvertResult {
    bool ok = false;
    std::size_t used = 0;      // source bytes consumed
    std::size_t produced = 0;  // destination bytes written
};

class IAudioStream {
public:
    virtual ~IAudioStream() = default;
    // Largest output that srcBytes of input can give; nullopt when unknown.
    virtual std::optional<std::uint32_t> destinationSize(std::uint32_t srcBytes) const = 0;
    virtual AudioConvertResult convert(ByteSpan src, MutableByteSpan dst, std::uint32_t flags) = 0;
};

class IAudioCodecs {
public:
    virtual ~IAudioCodecs() = default;
    // Null when no codec converts src to dst.
    virtual std::unique_ptr<IAudioStream> openStream(const WaveFormat& src,
                                                     const WaveFormat& dst) = 0;
    // Whether openStream would succeed, without opening anything.
    virtual bool queryStream(const WaveFormat& src, const WaveFormat& dst) = 0;
    // The PCM format that goes with fmt, same channels and rate.
    virtual std::optional<WaveFormat> suggestPcm(const WaveFormat& fmt) = 0;
    // "PCM", "GSM 6.10", ...; empty for an unknown tag.
    virtual QString tagName(std::uint16_t tag) = 0;
    // Every format the PCM source converts to, keeping its channels and rate.
    virtual std::vector<WaveFormat> formatsFrom(const WaveFormat& pcmSource) = 0;
};

}  // namespace kova
