// SPDX-License-Identifier: GPL-3.0-or-later
#include "fit/LoopFinder.h"

#include "fit/BeatPairSearch.h"
#include "fit/SeamAligner.h"

#include <algorithm>
#include <cmath>

namespace core {

namespace {

constexpr double zeroCrossingReachSeconds = 0.01;
// Once lined up, the end moves no further than this to a zero crossing.
constexpr double alignedCrossingReachSeconds = 0.001;
constexpr double longestCrossfadeSeconds = 0.05;

// The rising zero crossing nearest the sample, within reach; the sample itself where none is.
std::size_t nearestZeroCrossing(std::span<const float> mono, std::size_t sample, std::size_t reach)
{
    const auto rises = [&](std::size_t at) {
        return at > 0 && at < mono.size() && mono[at - 1] < 0 && mono[at] >= 0;
    };
    for (std::size_t distance = 0; distance <= reach; ++distance) {
        if (rises(sample - std::min(distance, sample)))
            return sample - std::min(distance, sample);
        if (rises(sample + distance))
            return sample + distance;
    }
    return sample;
}

} // namespace

LoopFinder::LoopFinder(BeatAnalyser::TransformFactory makeTransform) : analyser_(makeTransform) {}

std::vector<LoopCandidate> LoopFinder::find(std::span<const float> mono, int sampleRate,
                                            std::stop_token stop) const
{
    const std::optional<BeatAnalysis> analysis = analyser_.analyse(mono, sampleRate);
    if (!analysis || stop.stop_requested())
        return {};
    return find(mono, sampleRate, *analysis, stop);
}

std::vector<LoopCandidate> LoopFinder::find(std::span<const float> mono, int sampleRate,
                                            const BeatAnalysis &analysis,
                                            std::stop_token stop) const
{
    std::vector<LoopCandidate> candidates;
    const std::vector<BeatPair> pairs = BeatPairSearch(analysis, mono.size()).goodPairs(stop);
    for (const BeatPair &pair : distinctBest(pairs))
        candidates.push_back(candidate(pair, mono, sampleRate, analysis));
    return candidates;
}

// The best pairs, each far enough from the better ones to be a loop of its own rather than
// the same one a beat off.
std::vector<BeatPair> LoopFinder::distinctBest(std::vector<BeatPair> pairs)
{
    std::sort(pairs.begin(), pairs.end(),
              [](const BeatPair &a, const BeatPair &b) { return a.rank < b.rank; });
    std::vector<BeatPair> chosen;
    const auto near = [](std::size_t a, std::size_t b) {
        return (a > b ? a - b : b - a) < BeatPairSearch::matchedBeats;
    };
    for (const BeatPair &pair : pairs) {
        if (chosen.size() == mostCandidates)
            break;
        const bool same = std::any_of(chosen.begin(), chosen.end(), [&](const BeatPair &kept) {
            return near(kept.start, pair.start) && near(kept.end, pair.end);
        });
        if (!same)
            chosen.push_back(pair);
    }
    return chosen;
}

LoopCandidate LoopFinder::candidate(const BeatPair &pair, std::span<const float> mono,
                                    int sampleRate, const BeatAnalysis &analysis)
{
    const auto rate = double(sampleRate);
    LoopCandidate loop;
    loop.start = nearestZeroCrossing(mono, analysis.beats[pair.start],
                                     std::size_t(zeroCrossingReachSeconds * rate));
    const std::size_t lined = SeamAligner(mono, sampleRate)
                                  .alignedEnd(loop.start, analysis.beats[pair.end] + loop.start -
                                                              analysis.beats[pair.start]);
    loop.end =
        std::min(mono.size(),
                 nearestZeroCrossing(mono, lined, std::size_t(alignedCrossingReachSeconds * rate)));
    loop.score = std::clamp(1 - pair.rank, 0.0, 1.0);
    const auto longest = std::size_t(longestCrossfadeSeconds * sampleRate);
    const auto eighthBeat = std::size_t(analysis.beatSamples / 8);
    loop.crossfade = std::min({longest, eighthBeat, loop.start});
    return loop;
}

} // namespace core
