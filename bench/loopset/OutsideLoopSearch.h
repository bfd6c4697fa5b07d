// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "LoopJudge.h"

#include <cstddef>
#include <vector>

namespace loopset {

struct Span
{
    std::size_t start = 0; // samples at the judge's rate
    std::size_t end = 0;
};

// The judge's own search for loops at least a third of the track long, so that a track's
// label does not hang on the program: every pair of frames a third of the track or more apart,
// ranked by how close the contexts before and after are, the best few of them far apart, and
// the whole track end to start with its silent ends left out.
class OutsideLoopSearch
{
  public:
    explicit OutsideLoopSearch(const LoopJudge &judge);

    std::vector<Span> closestContexts(std::size_t count) const;
    static Span wholeTrack(const std::vector<float> &mono);

  private:
    const LoopJudge &judge_;
};

} // namespace loopset
