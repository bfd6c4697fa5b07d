// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "fit/BeatAnalyser.h"
#include "fit/LoopCandidate.h"

#include <cstddef>
#include <span>
#include <vector>

namespace core {

// Finds where a piece repeats itself: pairs of beats at least a third of the piece apart whose
// following beats sound alike in harmony and loudness, each a loop from the first beat to the
// second.
class LoopFinder
{
  public:
    static constexpr std::size_t mostCandidates = 5;
    // The beats compared after each beat of a pair: four bars of common time.
    static constexpr std::size_t matchedBeats = 16;

    explicit LoopFinder(BeatAnalyser::TransformFactory makeTransform);

    // Up to five loops, best first; none where the piece has no steady beat or nothing that
    // repeats well enough.
    std::vector<LoopCandidate> find(std::span<const float> mono, int sampleRate) const;
    // The same from a piece already analysed.
    std::vector<LoopCandidate> find(std::span<const float> mono, int sampleRate,
                                    const BeatAnalysis &analysis) const;

  private:
    struct BeatPair
    {
        std::size_t start = 0; // beat spans
        std::size_t end = 0;
        double following = 0; // how unlike the beats after each are
        double rank = 0;      // lower is better
    };

    std::vector<BeatPair> scoredPairs(const BeatAnalysis &analysis, std::size_t totalSamples) const;
    static std::vector<BeatPair> goodPairs(std::vector<BeatPair> pairs);
    static std::vector<BeatPair> distinctBest(std::vector<BeatPair> pairs);
    static LoopCandidate candidate(const BeatPair &pair, std::span<const float> mono,
                                   int sampleRate, const BeatAnalysis &analysis);

    BeatAnalyser analyser_;
};

} // namespace core
