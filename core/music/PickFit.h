// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "music/Reason.h"

#include <compare>
#include <cstdint>
#include <optional>

namespace core {

// What of a pick is written for its slot: from start to end, faded in and out, and the seam
// where the game loops the file joined by a crossfade with the music just before the start.
// In sample frames at the rate it is given for (the pick's own where kept in a set); the
// default is the whole pick.
struct PickFit
{
    std::int64_t start = 0;
    std::optional<std::int64_t> end; // none: to the pick's end
    std::int64_t fadeIn = 0;
    std::int64_t fadeOut = 0;
    std::int64_t crossfade = 0;
    // The ends are a loop found in the music, kept to the sample, with or without a crossfade.
    bool found = false;

    // The longest crossfade a seam takes: 50 ms.
    static constexpr std::int64_t longestCrossfade(int sampleRate) { return sampleRate / 20; }

    bool isWhole() const { return *this == PickFit{}; }
    // Kept before the mark existed, a found loop was told by its crossfade alone.
    bool isFoundLoop() const { return found || crossfade > 0; }
    // Why no pick can be written so, and where the pick's rate and length are known, why this
    // one cannot; nothing where it can.
    std::optional<Reason> problem(std::optional<int> sampleRate = {},
                                  std::optional<std::int64_t> pickFrames = {}) const;
    // The same fit at another sample rate.
    PickFit at(int fromRate, int toRate) const;

    auto operator<=>(const PickFit &) const = default;
};

} // namespace core
