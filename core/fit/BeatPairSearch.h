// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "fit/BeatAnalysis.h"

#include <cstddef>
#include <stop_token>
#include <vector>

namespace core {

// Two beat spans of a piece that might be a loop's start and end.
struct BeatPair
{
    std::size_t start = 0;
    std::size_t end = 0;
    double following = 0; // how unlike the beats after each are: 0 for alike
    double rank = 0;      // that, with the seam's jump and the loop's shortness: lower is better
};

// Scores every pair of beats at least a third of the piece apart by how alike the beats after
// each are in harmony and loudness. Each lag is one diagonal of the beats' likeness, summed
// as a sliding window, so that each two beats are compared once.
class BeatPairSearch
{
  public:
    // The beats compared after each beat of a pair: four bars of common time.
    static constexpr std::size_t matchedBeats = 16;

    BeatPairSearch(const BeatAnalysis &analysis, std::size_t totalSamples);

    // The pairs that match well, and clearly better than the piece's typical pair; of a long
    // piece that repeats much, only some thousands of the best. Nothing once stop is asked.
    std::vector<BeatPair> goodPairs(std::stop_token stop = {}) const;

  private:
    // How often each amount of unlikeness occurs, for the typical pair's.
    class Tally;

    double beatDistance(std::size_t a, std::size_t b) const;
    void scoreLag(std::size_t lag, std::vector<BeatPair> &kept, Tally &tally) const;
    BeatPair scored(std::size_t start, std::size_t lag, double following) const;

    const BeatAnalysis &analysis_;
    std::size_t totalSamples_;
};

} // namespace core
