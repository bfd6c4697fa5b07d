// SPDX-License-Identifier: GPL-3.0-or-later
#include "fit/LoopFinder.h"

#include "fit/SeamAligner.h"

#include <algorithm>
#include <cmath>

namespace core {

namespace {

// A loud beat beside a quiet one is as unlike as two chords that share no note, at this
// many decibels.
constexpr double unlikeDecibels = 12;
constexpr double loudnessWeight = 0.5;
// The jump heard across the seam, from the beat before the end to the beat after the start,
// counts this much beside the likeness of what follows.
constexpr double seamWeight = 0.25;
// Between loops that match equally, the longer keeps more of the piece.
constexpr double shortnessWeight = 0.05;
// A pair must match at least this well, and clearly better than the piece's typical pair.
constexpr double mostDistance = 0.25;
constexpr double typicalShare = 0.5;
constexpr double zeroCrossingReachSeconds = 0.01;
// Once lined up, the end moves no further than this to a zero crossing.
constexpr double alignedCrossingReachSeconds = 0.001;
constexpr double longestCrossfadeSeconds = 0.05;

double beatDistance(const BeatAnalysis &analysis, std::size_t a, std::size_t b)
{
    const double loudness =
        std::min(1.0, std::abs(analysis.loudness[a] - analysis.loudness[b]) / unlikeDecibels);
    return chromaDistance(analysis.chroma[a], analysis.chroma[b]) + loudnessWeight * loudness;
}

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

std::vector<LoopCandidate> LoopFinder::find(std::span<const float> mono, int sampleRate) const
{
    const std::optional<BeatAnalysis> analysis = analyser_.analyse(mono, sampleRate);
    if (!analysis)
        return {};
    return find(mono, sampleRate, *analysis);
}

std::vector<LoopCandidate> LoopFinder::find(std::span<const float> mono, int sampleRate,
                                            const BeatAnalysis &analysis) const
{
    std::vector<LoopCandidate> candidates;
    for (const BeatPair &pair : distinctBest(goodPairs(scoredPairs(analysis, mono.size()))))
        candidates.push_back(candidate(pair, mono, sampleRate, analysis));
    return candidates;
}

std::vector<LoopFinder::BeatPair> LoopFinder::scoredPairs(const BeatAnalysis &analysis,
                                                          std::size_t totalSamples) const
{
    std::vector<BeatPair> pairs;
    const std::size_t spans = analysis.spans();
    if (spans <= matchedBeats || totalSamples == 0)
        return pairs;
    const std::size_t shortestLoop = totalSamples / 3;
    for (std::size_t start = 0; start + matchedBeats < spans; ++start) {
        for (std::size_t end = start + 1; end + matchedBeats <= spans; ++end) {
            const std::size_t length = analysis.beats[end] - analysis.beats[start];
            if (length < shortestLoop)
                continue;
            BeatPair pair{start, end, 0, 0};
            for (std::size_t beat = 0; beat < matchedBeats; ++beat)
                pair.following += beatDistance(analysis, start + beat, end + beat);
            pair.following /= double(matchedBeats);
            pair.rank = pair.following + seamWeight * beatDistance(analysis, end - 1, start) +
                        shortnessWeight * (1 - double(length) / double(totalSamples));
            pairs.push_back(pair);
        }
    }
    return pairs;
}

std::vector<LoopFinder::BeatPair> LoopFinder::goodPairs(std::vector<BeatPair> pairs)
{
    if (pairs.empty())
        return pairs;
    std::vector<double> following;
    for (const BeatPair &pair : pairs)
        following.push_back(pair.following);
    const auto middle = following.begin() + std::ptrdiff_t(following.size() / 2);
    std::nth_element(following.begin(), middle, following.end());
    const double bound = std::min(mostDistance, typicalShare * *middle);
    std::erase_if(pairs, [bound](const BeatPair &pair) { return pair.following > bound; });
    return pairs;
}

// The best pairs, each far enough from the better ones to be a loop of its own rather than
// the same one a beat off.
std::vector<LoopFinder::BeatPair> LoopFinder::distinctBest(std::vector<BeatPair> pairs)
{
    std::sort(pairs.begin(), pairs.end(),
              [](const BeatPair &a, const BeatPair &b) { return a.rank < b.rank; });
    std::vector<BeatPair> chosen;
    const auto near = [](std::size_t a, std::size_t b) {
        return (a > b ? a - b : b - a) < matchedBeats;
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
