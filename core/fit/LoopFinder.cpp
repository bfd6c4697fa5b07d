// SPDX-License-Identifier: GPL-3.0-or-later
#include "fit/LoopFinder.h"

#include "fit/BeatPairSearch.h"
#include "fit/FrameDistances.h"
#include "fit/RepeatSearch.h"

#include <algorithm>
#include <cmath>

namespace core {

namespace {

constexpr double zeroCrossingReachSeconds = 0.01;
// Once lined up, the end moves no further than this to a zero crossing.
constexpr double alignedCrossingReachSeconds = 0.001;
constexpr double longestCrossfadeSeconds = 0.05;
constexpr double wholePickCrossfadeSeconds = 0.01;
// A beat pair's end is only placed to an onset frame: the repeat is looked for around it.
constexpr double beatReachSeconds = 0.06;
// Places proposed by each search, of which the best that repeat well are offered.
constexpr std::size_t beatProposals = 8;
constexpr std::size_t frameProposals = 40;
// A loop scored under this is not offered, whatever else it has.
constexpr double leastScore = 0.35;
constexpr double oneSideShare = 0.8;
// Between loops that repeat about as well, one that turns on a beat turns where the music
// itself moves on.
constexpr double onBeatPreference = 0.02;
// Loops whose ends both lie nearer than this to a better one's are the same loop.
constexpr double sameLoopSeconds = 2;

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

bool measured(double value)
{
    return !std::isnan(value);
}

} // namespace

LoopFinder::LoopFinder(BeatAnalyser::TransformFactory makeTransform) : analyser_(makeTransform) {}

// The waveform repeats on both sides of the join, or the sound around both ends is close and
// the waveform repeats on one side; a loop with one side only must repeat there plainly.
// Whichever holds, the weaker side must still carry some of the waveform.
bool LoopFinder::repeatsWell(const Repeat &repeat)
{
    const bool before = measured(repeat.waveBefore);
    const bool after = measured(repeat.waveAfter);
    bool repeats = false;
    if (before && after) {
        const bool wavesRepeat = std::min(repeat.waveBefore, repeat.waveAfter) >= 0.5;
        const bool contextsClose = std::min(repeat.contextBefore, repeat.contextAfter) <= 0.45 &&
                                   std::max(repeat.contextBefore, repeat.contextAfter) <= 0.6 &&
                                   std::max(repeat.waveBefore, repeat.waveAfter) >= 0.3;
        repeats = wavesRepeat || contextsClose;
    } else if (before) {
        repeats = repeat.waveBefore >= 0.5 && repeat.contextBefore <= 0.45;
    } else if (after) {
        repeats = repeat.waveAfter >= 0.5 && repeat.contextAfter <= 0.45;
    }
    return repeats && score(repeat) >= leastScore;
}

// The weaker side's waveform likeness counts most: a loop is only as good as its worse side.
// A loop with one side measured is the less certain.
double LoopFinder::score(const Repeat &repeat)
{
    const bool bothSides = measured(repeat.waveBefore) && measured(repeat.waveAfter);
    const double before = measured(repeat.waveBefore) ? repeat.waveBefore : repeat.waveAfter;
    const double after = measured(repeat.waveAfter) ? repeat.waveAfter : repeat.waveBefore;
    const double contextBefore =
        measured(repeat.contextBefore) ? repeat.contextBefore : repeat.contextAfter;
    const double contextAfter =
        measured(repeat.contextAfter) ? repeat.contextAfter : repeat.contextBefore;
    const double context = std::min(1.0, (contextBefore + contextAfter) / 2);
    const double score = 0.8 * std::min(before, after) + 0.2 * (1 - context);
    return std::clamp(bothSides ? score : oneSideShare * score, 0.0, 1.0);
}

std::vector<LoopCandidate> LoopFinder::find(std::span<const float> mono, int sampleRate,
                                            std::stop_token stop) const
{
    const std::optional<PieceFrames> piece = analyser_.frames(mono, sampleRate);
    if (!piece || piece->frameSamples() == 0 || stop.stop_requested())
        return {};
    const FrameDistances distances(piece->features.bandLevels);
    const RepeatMeasure measure(*piece, distances, mono, sampleRate);
    std::vector<Proposal> proposals = byBeats(*piece, mono, sampleRate, stop);
    const std::vector<Proposal> framed =
        byFrames(*piece, distances, measure, mono, sampleRate, stop);
    proposals.insert(proposals.end(), framed.begin(), framed.end());
    std::vector<LoopCandidate> found;
    for (const Proposal &proposal : proposals)
        if (const std::optional<LoopCandidate> loop = offered(proposal, measure, mono, sampleRate))
            found.push_back(*loop);
    if (const std::optional<LoopCandidate> whole = wholePick(mono, sampleRate, *piece, distances))
        found.push_back(*whole);
    if (stop.stop_requested())
        return {};
    return distinctBest(std::move(found), std::size_t(sameLoopSeconds * sampleRate));
}

std::vector<LoopFinder::Proposal> LoopFinder::byBeats(const PieceFrames &piece,
                                                      std::span<const float> mono, int sampleRate,
                                                      std::stop_token stop)
{
    const std::optional<BeatAnalysis> beats = BeatAnalyser::beats(piece, mono);
    if (!beats)
        return {};
    const auto rate = double(sampleRate);
    const std::vector<std::size_t> &at = beats->beats;
    const std::size_t crossfade =
        std::min(std::size_t(longestCrossfadeSeconds * rate), std::size_t(beats->beatSamples / 8));
    std::vector<Proposal> proposals;
    for (const BeatPair &pair :
         distinctBest(BeatPairSearch(*beats, mono.size()).goodPairs(stop), beatProposals)) {
        const std::size_t start =
            nearestZeroCrossing(mono, at[pair.start], std::size_t(zeroCrossingReachSeconds * rate));
        proposals.push_back({start, at[pair.end] + start - at[pair.start],
                             std::size_t(beatReachSeconds * rate), crossfade, true});
    }
    return proposals;
}

std::vector<LoopFinder::Proposal> LoopFinder::byFrames(const PieceFrames &piece,
                                                       const FrameDistances &distances,
                                                       const RepeatMeasure &measure,
                                                       std::span<const float> mono, int sampleRate,
                                                       std::stop_token stop)
{
    const std::size_t frameSamples = piece.frameSamples();
    const RepeatSearch search(distances, piece.features.chroma, measure.contextFrames(),
                              measure.shortestSideFrames(), (distances.size() + 2) / 3);
    const auto reach = std::size_t(zeroCrossingReachSeconds * sampleRate);
    const auto crossfade = std::size_t(longestCrossfadeSeconds * sampleRate);
    std::vector<Proposal> proposals;
    for (const FramePair &pair : search.closest(frameProposals, stop)) {
        // A frame is heard about its middle, two hops in.
        const std::size_t start = nearestZeroCrossing(mono, (pair.start + 2) * frameSamples, reach);
        proposals.push_back(
            {start, start + pair.lag * frameSamples, frameSamples * 3 / 2, crossfade, false});
    }
    return proposals;
}

// The proposal's loop, lined up, where it is long enough and repeats well.
std::optional<LoopCandidate> LoopFinder::offered(const Proposal &proposal,
                                                 const RepeatMeasure &measure,
                                                 std::span<const float> mono, int sampleRate)
{
    const Repeat repeat = measure.measure(proposal.start, proposal.roughEnd, proposal.reach);
    if (repeat.end < repeat.start + mono.size() / 3 || !repeatsWell(repeat))
        return std::nullopt;
    LoopCandidate loop;
    loop.start = repeat.start;
    loop.end = std::min(mono.size(),
                        nearestZeroCrossing(mono, repeat.end,
                                            std::size_t(alignedCrossingReachSeconds * sampleRate)));
    loop.score = std::min(1.0, score(repeat) + (proposal.onBeat ? onBeatPreference : 0));
    loop.crossfade = std::min(proposal.crossfade, loop.start);
    return loop;
}

std::optional<LoopCandidate> LoopFinder::wholePick(std::span<const float> mono, int sampleRate,
                                                   const PieceFrames &piece,
                                                   const FrameDistances &distances)
{
    const std::optional<WholeJoin> join =
        WholePickJoin(mono, sampleRate, piece, distances).measure();
    if (!join || !WholePickJoin::joinsWell(*join))
        return std::nullopt;
    const auto reach = std::size_t(zeroCrossingReachSeconds * sampleRate);
    // The start goes in by a short crossfade, which brings the music's first sound back in
    // over the end: a join crossfaded like any other loop's, whose written turn runs on into
    // its start.
    const auto crossfade = std::size_t(wholePickCrossfadeSeconds * sampleRate);
    LoopCandidate loop;
    loop.start = nearestZeroCrossing(mono, join->start + crossfade, reach);
    loop.end = nearestZeroCrossing(mono, join->end, reach);
    loop.score = std::clamp(0.5 + 0.4 * (1 - join->change), 0.0, 1.0);
    loop.crossfade = std::min(crossfade, loop.start);
    return loop;
}

// The best pairs, each far enough from the better ones to be a loop of its own rather than
// the same one a beat off.
std::vector<BeatPair> LoopFinder::distinctBest(std::vector<BeatPair> pairs, std::size_t count)
{
    std::sort(pairs.begin(), pairs.end(),
              [](const BeatPair &a, const BeatPair &b) { return a.rank < b.rank; });
    std::vector<BeatPair> chosen;
    const auto near = [](std::size_t a, std::size_t b) {
        return (a > b ? a - b : b - a) < BeatPairSearch::matchedBeats;
    };
    for (const BeatPair &pair : pairs) {
        if (chosen.size() == count)
            break;
        const bool same = std::any_of(chosen.begin(), chosen.end(), [&](const BeatPair &kept) {
            return near(kept.start, pair.start) && near(kept.end, pair.end);
        });
        if (!same)
            chosen.push_back(pair);
    }
    return chosen;
}

std::vector<LoopCandidate> LoopFinder::distinctBest(std::vector<LoopCandidate> found,
                                                    std::size_t apart)
{
    std::stable_sort(
        found.begin(), found.end(),
        [](const LoopCandidate &a, const LoopCandidate &b) { return a.score > b.score; });
    const auto near = [apart](std::size_t a, std::size_t b) {
        return (a > b ? a - b : b - a) < apart;
    };
    std::vector<LoopCandidate> chosen;
    for (const LoopCandidate &candidate : found) {
        if (chosen.size() == mostCandidates)
            break;
        const bool same = std::any_of(chosen.begin(), chosen.end(), [&](const LoopCandidate &kept) {
            return near(kept.start, candidate.start) && near(kept.end, candidate.end);
        });
        if (!same)
            chosen.push_back(candidate);
    }
    return chosen;
}

} // namespace core
