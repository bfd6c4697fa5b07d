// SPDX-License-Identifier: GPL-3.0-or-later
#include "fit/BeatPairSearch.h"

#include <algorithm>
#include <array>
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
// The best pairs kept while searching: room for every near copy of the best few loops.
constexpr std::size_t keptPairs = 4096;

bool ranksBefore(const BeatPair &a, const BeatPair &b)
{
    return a.rank < b.rank;
}

} // namespace

class BeatPairSearch::Tally
{
  public:
    void add(double distance)
    {
        ++counts_[std::min(counts_.size() - 1, std::size_t(distance * binsPerUnit))];
        ++total_;
    }

    double median() const
    {
        std::size_t seen = 0;
        for (std::size_t bin = 0; bin < counts_.size(); ++bin) {
            seen += counts_[bin];
            if (2 * seen >= total_)
                return (double(bin) + 0.5) / binsPerUnit;
        }
        return 0;
    }

  private:
    // Distances run from 0 to 1 + loudnessWeight.
    static constexpr double binsPerUnit = 512;
    std::array<std::size_t, 1024> counts_{};
    std::size_t total_ = 0;
};

BeatPairSearch::BeatPairSearch(const BeatAnalysis &analysis, std::size_t totalSamples)
    : analysis_(analysis), totalSamples_(totalSamples)
{
}

double BeatPairSearch::beatDistance(std::size_t a, std::size_t b) const
{
    const double loudness =
        std::min(1.0, std::abs(analysis_.loudness[a] - analysis_.loudness[b]) / unlikeDecibels);
    return chromaDistance(analysis_.chroma[a], analysis_.chroma[b]) + loudnessWeight * loudness;
}

std::vector<BeatPair> BeatPairSearch::goodPairs(std::stop_token stop) const
{
    std::vector<BeatPair> kept;
    const std::size_t spans = analysis_.spans();
    if (spans <= matchedBeats || totalSamples_ == 0)
        return kept;
    Tally tally;
    for (std::size_t lag = 1; lag + matchedBeats <= spans; ++lag) {
        if (stop.stop_requested())
            return {};
        scoreLag(lag, kept, tally);
    }
    const double bound = std::min(mostDistance, typicalShare * tally.median());
    std::erase_if(kept, [bound](const BeatPair &pair) { return pair.following > bound; });
    return kept;
}

void BeatPairSearch::scoreLag(std::size_t lag, std::vector<BeatPair> &kept, Tally &tally) const
{
    const std::size_t shortestLoop = totalSamples_ / 3;
    const std::size_t spans = analysis_.spans();
    const std::size_t lastStart = spans - lag - matchedBeats;
    std::size_t longest = 0;
    for (std::size_t start = 0; start <= lastStart; ++start)
        longest = std::max(longest, analysis_.beats[start + lag] - analysis_.beats[start]);
    if (longest < shortestLoop)
        return;
    // The beats after start compared with those after start + lag, a window sliding down the
    // diagonal.
    double window = 0;
    for (std::size_t beat = 0; beat < matchedBeats; ++beat)
        window += beatDistance(beat, beat + lag);
    for (std::size_t start = 0;; ++start) {
        if (analysis_.beats[start + lag] - analysis_.beats[start] >= shortestLoop) {
            const BeatPair pair = scored(start, lag, window / double(matchedBeats));
            tally.add(pair.following);
            if (pair.following <= mostDistance)
                kept.push_back(pair);
        }
        if (start == lastStart)
            break;
        window += beatDistance(start + matchedBeats, start + matchedBeats + lag) -
                  beatDistance(start, start + lag);
    }
    if (kept.size() > 2 * keptPairs) {
        std::nth_element(kept.begin(), kept.begin() + std::ptrdiff_t(keptPairs), kept.end(),
                         ranksBefore);
        kept.resize(keptPairs);
    }
}

BeatPair BeatPairSearch::scored(std::size_t start, std::size_t lag, double following) const
{
    const std::size_t end = start + lag;
    const double length = double(analysis_.beats[end] - analysis_.beats[start]);
    const double rank = following + seamWeight * beatDistance(end - 1, start) +
                        shortnessWeight * (1 - length / double(totalSamples_));
    return {start, end, following, rank};
}

} // namespace core
