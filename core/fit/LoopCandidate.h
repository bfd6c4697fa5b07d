// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>

namespace core {

// A stretch of a piece that loops without a seam heard: played from start up to end, then
// from start again, the last crossfade samples before end faded into the crossfade samples
// before start.
struct LoopCandidate
{
    std::size_t start = 0; // the first sample of the loop
    std::size_t end = 0;   // one past its last sample
    double score = 0;      // 1 for a seam that cannot be told from the music; 0 for a poor one
    std::size_t crossfade = 0;
};

} // namespace core
