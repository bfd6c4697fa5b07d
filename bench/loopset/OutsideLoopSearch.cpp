// SPDX-License-Identifier: GPL-3.0-or-later
#include "OutsideLoopSearch.h"

#include <algorithm>
#include <cmath>
#include <queue>

namespace loopset {

namespace {

constexpr std::size_t contextFrames = 4 * LoopJudge::rate / LoopJudge::frameSamples;
constexpr std::size_t secondFrames = LoopJudge::rate / LoopJudge::frameSamples;
// Candidates nearer than this to a better one, in both start and length, are the same loop.
constexpr std::size_t apartFrames = 2 * secondFrames;
constexpr std::size_t heldPairs = 4096;
// -50 dBFS.
constexpr float soundLevel = 0.00316F;

struct Pair
{
    double closeness = 0; // the contexts over their bounds: 1 where just close enough
    std::size_t start = 0;
    std::size_t lag = 0;
    bool operator<(const Pair &other) const { return closeness < other.closeness; }
};

double closenessOf(double before, bool hasBefore, double after, bool hasAfter)
{
    if (hasBefore && hasAfter)
        return std::max(std::min(before, after) / 0.45, std::max(before, after) / 0.6);
    return (hasBefore ? before : after) / 0.45;
}

} // namespace

OutsideLoopSearch::OutsideLoopSearch(const LoopJudge &judge) : judge_(judge) {}

std::vector<Span> OutsideLoopSearch::closestContexts(std::size_t count) const
{
    const std::vector<LoopJudge::Frame> &frames = judge_.frames();
    const std::size_t total = frames.size();
    std::vector<std::vector<float>> bandRows(LoopJudge::bands, std::vector<float>(total));
    for (std::size_t t = 0; t < total; ++t)
        for (std::size_t band = 0; band < LoopJudge::bands; ++band)
            bandRows[band][t] = frames[t][band];
    std::priority_queue<Pair> best; // the worst held on top
    std::vector<float> squares(total);
    std::vector<double> running(total + 1);
    for (std::size_t lag = (total + 2) / 3; lag < total; ++lag) {
        const std::size_t pairs = total - lag;
        std::fill_n(squares.begin(), pairs, 0.0F);
        for (const std::vector<float> &row : bandRows)
            for (std::size_t t = 0; t < pairs; ++t) {
                const float step = row[t] - row[t + lag];
                squares[t] += step * step;
            }
        for (std::size_t t = 0; t < pairs; ++t)
            running[t + 1] = running[t] + std::sqrt(double(squares[t]));
        // Of each stretch of starts, its best alone: the same loop a frame off is no news.
        Pair blockBest{HUGE_VAL, 0, lag};
        for (std::size_t start = 0; start <= pairs; ++start) {
            const std::size_t beforeCount = std::min(contextFrames, start);
            const std::size_t afterCount = std::min(contextFrames, pairs - start);
            const bool hasBefore = beforeCount >= secondFrames;
            const bool hasAfter = afterCount >= secondFrames;
            if (hasBefore || hasAfter) {
                const double scale = judge_.medianDistance();
                const double before = hasBefore ? (running[start] - running[start - beforeCount]) /
                                                      double(beforeCount) / scale
                                                : 0;
                const double after = hasAfter ? (running[start + afterCount] - running[start]) /
                                                    double(afterCount) / scale
                                              : 0;
                const Pair pair{closenessOf(before, hasBefore, after, hasAfter), start, lag};
                blockBest = std::min(blockBest, pair);
            }
            if ((start + 1) % apartFrames != 0 && start != pairs)
                continue;
            if (blockBest.closeness == HUGE_VAL)
                ;
            else if (best.size() < heldPairs)
                best.push(blockBest);
            else if (blockBest < best.top()) {
                best.pop();
                best.push(blockBest);
            }
            blockBest = Pair{HUGE_VAL, 0, lag};
        }
    }
    std::vector<Pair> ranked;
    for (; !best.empty(); best.pop())
        ranked.push_back(best.top());
    std::reverse(ranked.begin(), ranked.end());
    const auto near = [](std::size_t a, std::size_t b) {
        return (a > b ? a - b : b - a) < apartFrames;
    };
    std::vector<Span> chosen;
    std::vector<Pair> kept;
    for (const Pair &pair : ranked) {
        if (kept.size() == count)
            break;
        if (std::any_of(kept.begin(), kept.end(), [&](const Pair &other) {
                return near(other.start, pair.start) && near(other.lag, pair.lag);
            }))
            continue;
        kept.push_back(pair);
        chosen.push_back({pair.start * LoopJudge::frameSamples,
                          (pair.start + pair.lag) * LoopJudge::frameSamples});
    }
    return chosen;
}

Span OutsideLoopSearch::wholeTrack(const std::vector<float> &mono)
{
    const auto sounds = [](float sample) { return std::abs(sample) > soundLevel; };
    const auto first = std::find_if(mono.begin(), mono.end(), sounds);
    const auto last = std::find_if(mono.rbegin(), mono.rend(), sounds);
    if (first == mono.end())
        return {};
    return {std::size_t(first - mono.begin()), std::size_t(mono.rend() - last)};
}

} // namespace loopset
