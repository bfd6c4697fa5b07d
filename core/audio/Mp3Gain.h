// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <variant>

namespace core {

// Makes an MPEG audio layer III stream louder or quieter without decoding it: every
// granule's global gain moves by the same whole number of steps of 2^(1/4) in amplitude,
// every other bit stays as it is. Frame checksums and the encoder's information frame are
// brought up to date.
class Mp3Gain
{
  public:
    // 20 * log10(2^(1/4)): what one step of global gain is worth in decibels.
    static constexpr double stepDecibels = 1.5051499783199060;

    // Why a stream is left as it is.
    enum class Refusal {
        NoFrames,   // no layer III frame in it
        FreeFormat, // a bit rate of its own, whose frames cannot be found reliably
        OtherLayer, // MPEG audio layer I or II, named .mp3
    };

    // Changes every frame of mp3 by steps (negative: quieter), from after the ID3v2 tags
    // before it to the tags after it, every stream in it; returns the steps applied, fewer
    // where a granule's gain would leave its range, or why nothing was changed.
    static std::variant<int, Refusal> apply(std::string &mp3, int steps);
    // The steps apply would apply, or why it would apply none.
    static std::variant<int, Refusal> applicable(const std::string &mp3, int steps);
    // Why apply would leave the stream as it is, if it would.
    static std::optional<Refusal> refusal(const std::string &mp3);
    // Takes out the encoders' information frames: what is left decodes to every sample, the
    // encoder's delay and padding too, as a decoder that passes over such a frame but trims
    // nothing by it plays the file. Unchanged where it cannot be read as a stream.
    static void removeInformationFrames(std::string &mp3);

    // The length the information frame it keeps up to date tells, in sample frames: all its
    // frames hold, and what a decoder gives once the encoder's delay and padding are dropped.
    struct Length
    {
        std::int64_t coded = 0;
        std::int64_t decoded = 0;
    };
    // Up to size bytes of the file from offset; fewer at its end or where it cannot be read.
    using ReadBytes = std::function<std::string(std::int64_t offset, std::size_t size)>;
    // Read where a demuxer reads it: the first frame after the ID3v2 tags, a layer III
    // frame whose "Xing" or "Info" tag counts its frames right after its side information.
    static std::optional<Length> length(const ReadBytes &read);
};

} // namespace core
