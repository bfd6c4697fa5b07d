// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "fit/BeatAnalyser.h"
#include "fit/BeatPairSearch.h"
#include "fit/LoopCandidate.h"

#include <cstddef>
#include <span>
#include <stop_token>
#include <vector>

namespace core {

// Finds where a piece repeats itself: pairs of beats at least a third of the piece apart whose
// following beats sound alike in harmony and loudness, each a loop from the first beat to the
// second.
class LoopFinder
{
  public:
    static constexpr std::size_t mostCandidates = 5;

    explicit LoopFinder(BeatAnalyser::TransformFactory makeTransform);

    // Up to five loops, best first; none where the piece has no steady beat or nothing that
    // repeats well enough, or once stop is asked.
    std::vector<LoopCandidate> find(std::span<const float> mono, int sampleRate,
                                    std::stop_token stop = {}) const;
    // The same from a piece already analysed.
    std::vector<LoopCandidate> find(std::span<const float> mono, int sampleRate,
                                    const BeatAnalysis &analysis, std::stop_token stop = {}) const;

  private:
    static std::vector<BeatPair> distinctBest(std::vector<BeatPair> pairs);
    static LoopCandidate candidate(const BeatPair &pair, std::span<const float> mono,
                                   int sampleRate, const BeatAnalysis &analysis);

    BeatAnalyser analyser_;
};

} // namespace core
