// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "fit/BeatAnalyser.h"
#include "fit/BeatPairSearch.h"
#include "fit/LoopCandidate.h"
#include "fit/RepeatMeasure.h"
#include "fit/WholePickJoin.h"

#include <cstddef>
#include <optional>
#include <span>
#include <stop_token>
#include <vector>

namespace core {

// Finds where a piece repeats itself: places at least a third of the piece apart where the
// music truly repeats on both sides, each a loop from the first to the second; and the whole
// piece end to start where it joins well. Places are proposed by beats whose following beats
// sound alike in harmony and loudness, and, for music whose beat is unsteady or missing, by
// frames whose surrounding seconds sound alike; each is kept only where its waveform repeats.
class LoopFinder
{
  public:
    static constexpr std::size_t mostCandidates = 5;

    explicit LoopFinder(BeatAnalyser::TransformFactory makeTransform);

    // Up to five loops, best first; none where nothing repeats well enough, or once stop is
    // asked.
    std::vector<LoopCandidate> find(std::span<const float> mono, int sampleRate,
                                    std::stop_token stop = {}) const;

  private:
    struct Found
    {
        LoopCandidate loop;
    };

    static bool repeatsWell(const Repeat &repeat);
    static double score(const Repeat &repeat);
    static std::vector<BeatPair> distinctBest(std::vector<BeatPair> pairs, std::size_t count);
    static std::vector<Found> distinctBest(std::vector<Found> found, std::size_t apart);
    static std::optional<Found> wholePick(std::span<const float> mono, int sampleRate,
                                          const PieceFrames &piece,
                                          const FrameDistances &distances);

    BeatAnalyser analyser_;
};

} // namespace core
