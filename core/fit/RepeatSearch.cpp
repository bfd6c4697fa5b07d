// SPDX-License-Identifier: GPL-3.0-or-later
#include "fit/RepeatSearch.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace core {

namespace {

// Contexts are close when the nearer is at most this and the other at most farther; a lone
// side must be as near as the nearer.
constexpr double nearer = 0.45;
constexpr double farther = 0.6;
// Pairs kept while searching: the best of every stretch of starts of every lag would be
// too many for a long piece.
constexpr std::size_t heldPairs = 2048;
constexpr std::size_t pooled = 2;
constexpr std::size_t sampledPairs = 4096;
// A unit chroma against a band level scaled to its spread: harmony tells a repeat from music
// that only sounds alike, and counts about as much as the bands' levels.
constexpr double chromaWeight = 4;

// The frames' scaled band levels and their harmony, a row for each.
std::vector<std::vector<float>> searchedRows(const FrameDistances &distances,
                                             const std::vector<Chroma> &chroma)
{
    std::vector<std::vector<float>> rows = distances.bandRows();
    const std::size_t frames = std::min(distances.size(), chroma.size());
    for (std::size_t pitch = 0; pitch < Chroma{}.size(); ++pitch)
        rows.emplace_back(frames);
    for (std::size_t frame = 0; frame < frames; ++frame) {
        double norm = 0;
        for (float value : chroma[frame])
            norm += double(value) * value;
        const double scale = norm > 0 ? chromaWeight / std::sqrt(norm) : 0;
        for (std::size_t pitch = 0; pitch < Chroma{}.size(); ++pitch)
            rows[distances.bandRows().size() + pitch][frame] = float(chroma[frame][pitch] * scale);
    }
    for (std::vector<float> &row : rows)
        row.resize(frames);
    return rows;
}

std::vector<std::vector<float>> pooledRows(const std::vector<std::vector<float>> &rows)
{
    std::vector<std::vector<float>> pooledRows;
    for (const std::vector<float> &row : rows) {
        std::vector<float> &pooledRow = pooledRows.emplace_back(row.size() / pooled);
        for (std::size_t i = 0; i < pooledRow.size(); ++i) {
            float sum = 0;
            for (std::size_t j = 0; j < pooled; ++j)
                sum += row[i * pooled + j];
            pooledRow[i] = sum / float(pooled);
        }
    }
    return pooledRows;
}

bool closerFirst(const FramePair &a, const FramePair &b)
{
    return a.closeness < b.closeness;
}

} // namespace

RepeatSearch::RepeatSearch(const FrameDistances &distances, const std::vector<Chroma> &chroma,
                           std::size_t contextFrames, std::size_t shortestSide,
                           std::size_t shortestLag)
    : pooledRows_(pooledRows(searchedRows(distances, chroma))),
      contextFrames_(std::max<std::size_t>(1, contextFrames / pooled)),
      shortestSide_(std::max<std::size_t>(1, shortestSide / pooled)),
      shortestLag_(std::max<std::size_t>(1, (shortestLag + pooled - 1) / pooled)),
      apart_(std::max<std::size_t>(1, contextFrames / pooled / 2))
{
    typical_ = typicalDistance();
}

// The median distance of pooled frames picked at random, in a fixed sequence.
double RepeatSearch::typicalDistance() const
{
    const std::size_t frames = pooledRows_.empty() ? 0 : pooledRows_.front().size();
    if (frames == 0)
        return 1;
    std::vector<double> distances;
    std::uint64_t state = 0x9E3779B97F4A7C15u;
    const auto next = [&] {
        state = state * 6364136223846793005u + 1442695040888963407u;
        return std::size_t((state >> 33) % frames);
    };
    for (std::size_t pair = 0; pair < sampledPairs; ++pair) {
        const std::size_t a = next();
        const std::size_t b = next();
        double sum = 0;
        for (const std::vector<float> &row : pooledRows_)
            sum += double(row[a] - row[b]) * (row[a] - row[b]);
        distances.push_back(std::sqrt(sum));
    }
    const auto middle = distances.begin() + std::ptrdiff_t(distances.size() / 2);
    std::nth_element(distances.begin(), middle, distances.end());
    return std::max(*middle, 1e-6);
}

double RepeatSearch::closeness(double before, double after)
{
    if (std::isnan(before))
        return after / nearer;
    if (std::isnan(after))
        return before / nearer;
    return std::max(std::min(before, after) / nearer, std::max(before, after) / farther);
}

std::vector<FramePair> RepeatSearch::closest(std::size_t count, std::stop_token stop) const
{
    std::vector<FramePair> held;
    const std::size_t frames = pooledRows_.empty() ? 0 : pooledRows_.front().size();
    for (std::size_t lag = shortestLag_; lag < frames; ++lag) {
        if (stop.stop_requested())
            return {};
        searchLag(lag, held);
    }
    std::sort(held.begin(), held.end(), closerFirst);
    const auto near = [this](std::size_t a, std::size_t b) {
        return (a > b ? a - b : b - a) < apart_;
    };
    std::vector<FramePair> chosen;
    for (const FramePair &pair : held) {
        if (chosen.size() == count)
            break;
        if (std::none_of(chosen.begin(), chosen.end(), [&](const FramePair &kept) {
                return near(kept.start, pair.start) && near(kept.lag, pair.lag);
            }))
            chosen.push_back(pair);
    }
    for (FramePair &pair : chosen) {
        pair.start = pair.start * pooled + pooled / 2;
        pair.lag *= pooled;
    }
    return chosen;
}

// Of each stretch of starts, only the closest pair is held: the same repeat a frame off
// says nothing new.
void RepeatSearch::searchLag(std::size_t lag, std::vector<FramePair> &held) const
{
    const std::size_t pairs = pooledRows_.front().size() - lag;
    std::vector<float> squares(pairs, 0.0F);
    for (const std::vector<float> &row : pooledRows_) {
        const float *early = row.data();
        const float *late = row.data() + lag;
        for (std::size_t t = 0; t < pairs; ++t) {
            const float step = early[t] - late[t];
            squares[t] += step * step;
        }
    }
    std::vector<double> running(pairs + 1, 0.0);
    for (std::size_t t = 0; t < pairs; ++t)
        running[t + 1] = running[t] + std::sqrt(squares[t]);
    const double scale = 1 / typical_;
    FramePair best{0, lag, HUGE_VAL};
    for (std::size_t start = 0; start <= pairs; ++start) {
        const std::size_t beforeCount = std::min(contextFrames_, start);
        const std::size_t afterCount = std::min(contextFrames_, pairs - start);
        const double before =
            beforeCount >= shortestSide_
                ? (running[start] - running[start - beforeCount]) / double(beforeCount) * scale
                : NAN;
        const double after =
            afterCount >= shortestSide_
                ? (running[start + afterCount] - running[start]) / double(afterCount) * scale
                : NAN;
        if (!std::isnan(before) || !std::isnan(after)) {
            const double close = closeness(before, after);
            if (close < best.closeness)
                best = {start, lag, close};
        }
        if ((start + 1) % apart_ != 0 && start != pairs)
            continue;
        if (best.closeness < HUGE_VAL)
            held.push_back(best);
        best = {0, lag, HUGE_VAL};
    }
    if (held.size() > 2 * heldPairs) {
        std::nth_element(held.begin(), held.begin() + std::ptrdiff_t(heldPairs), held.end(),
                         closerFirst);
        held.resize(heldPairs);
    }
}

} // namespace core
