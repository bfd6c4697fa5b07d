// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "run/ConversionPool.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <stop_token>
#include <variant>
#include <vector>

namespace core {

// What the game plays where the file written for a slot turns: the file's last seconds
// followed by its first, written as Change writes it (the slot's format, the matched gain,
// the fit's fades and crossfade, a loop's framing) and decoded every sample.
class WrittenJoin
{
  public:
    struct Audio
    {
        std::vector<float> samples; // interleaved, -1 to 1
        int sampleRate = 0;
        int channels = 0;
        std::size_t turnAt = 0; // the frame where the file starts again
    };
    // Seconds of the pick worked through, measuring and converting.
    using Progress = std::function<void(double seconds)>;

    // job: as Change runs it for the slot. The file is written into the scratch folder and
    // removed again; it takes as long as Change takes for the pick. seconds: on each side of
    // the turn, all of the file where it is shorter.
    static std::variant<Audio, ConversionFailure>
    render(const AudioCodecs &codecs, const ConversionPool::Job &job, double seconds,
           const std::filesystem::path &scratch, const Progress &progress = {},
           std::stop_token stop = {});
};

} // namespace core
