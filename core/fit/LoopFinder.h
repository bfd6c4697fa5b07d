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
    // A place to look for a loop: from start to about roughEnd, within reach.
    struct Proposal
    {
        std::size_t start = 0;
        std::size_t roughEnd = 0;
        std::size_t reach = 0;
        std::size_t crossfade = 0;
        bool onBeat = false;
    };

    static std::vector<Proposal> byBeats(const PieceFrames &piece, std::span<const float> mono,
                                         int sampleRate, std::stop_token stop);
    static std::vector<Proposal> byFrames(const PieceFrames &piece, const FrameDistances &distances,
                                          const RepeatMeasure &measure, std::span<const float> mono,
                                          int sampleRate, std::stop_token stop);
    static std::optional<LoopCandidate> offered(const Proposal &proposal,
                                                const RepeatMeasure &measure,
                                                std::span<const float> mono, int sampleRate);
    static std::optional<LoopCandidate> wholePick(std::span<const float> mono, int sampleRate,
                                                  const PieceFrames &piece,
                                                  const FrameDistances &distances);
    static bool repeatsWell(const Repeat &repeat);
    static double score(const Repeat &repeat);
    static std::vector<BeatPair> distinctBest(std::vector<BeatPair> pairs, std::size_t count);
    static std::vector<LoopCandidate> distinctBest(std::vector<LoopCandidate> found,
                                                   std::size_t apart);

    BeatAnalyser analyser_;
};

} // namespace core
