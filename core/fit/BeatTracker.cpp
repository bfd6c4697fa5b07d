// SPDX-License-Identifier: GPL-3.0-or-later
#include "fit/BeatTracker.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace core {

BeatTracker::BeatTracker(double period, double tightness) : period_(period), tightness_(tightness)
{
}

// The onset strength, scaled to unit deviation and smoothed over a small part of a beat, so
// that a beat lands on an onset's peak rather than a lone spike beside it.
std::vector<double> BeatTracker::localScore(std::span<const float> onsetStrength) const
{
    const std::size_t count = onsetStrength.size();
    double mean = 0;
    for (float value : onsetStrength)
        mean += value;
    mean /= double(count);
    double variance = 0;
    for (float value : onsetStrength)
        variance += (value - mean) * (value - mean);
    const double deviation = std::sqrt(variance / double(count));
    const double scale = deviation > 0 ? 1 / deviation : 0;

    const double width = std::max(1.0, period_ / 32);
    const auto reach = std::ptrdiff_t(std::ceil(3 * width));
    std::vector<double> kernel;
    for (std::ptrdiff_t offset = -reach; offset <= reach; ++offset)
        kernel.push_back(std::exp(-0.5 * std::pow(double(offset) / width, 2)));

    std::vector<double> score(count, 0.0);
    for (std::size_t i = 0; i < count; ++i) {
        double sum = 0;
        for (std::ptrdiff_t offset = -reach; offset <= reach; ++offset) {
            const std::ptrdiff_t at = std::ptrdiff_t(i) + offset;
            if (at >= 0 && at < std::ptrdiff_t(count))
                sum += kernel[std::size_t(offset + reach)] * onsetStrength[std::size_t(at)];
        }
        score[i] = sum * scale;
    }
    return score;
}

// The last beat: the last peak of the cumulative score that stands out from the others, so
// that a fade or silence at the end is not filled with beats.
std::size_t BeatTracker::lastBeat(const std::vector<double> &cumulative) const
{
    std::vector<double> peaks;
    for (std::size_t i = 1; i + 1 < cumulative.size(); ++i)
        if (cumulative[i] > cumulative[i - 1] && cumulative[i] >= cumulative[i + 1])
            peaks.push_back(cumulative[i]);
    if (peaks.empty())
        return cumulative.size() - 1;
    std::nth_element(peaks.begin(), peaks.begin() + std::ptrdiff_t(peaks.size() / 2), peaks.end());
    const double threshold = 0.5 * peaks[peaks.size() / 2];
    for (std::size_t i = cumulative.size() - 2; i > 0; --i)
        if (cumulative[i] > cumulative[i - 1] && cumulative[i] >= cumulative[i + 1] &&
            cumulative[i] > threshold)
            return i;
    return cumulative.size() - 1;
}

std::vector<std::size_t> BeatTracker::track(std::span<const float> onsetStrength) const
{
    if (onsetStrength.size() < 3 || period_ < 1)
        return {};
    const std::vector<double> local = localScore(onsetStrength);
    const std::size_t count = local.size();
    std::vector<double> cumulative(count);
    std::vector<std::ptrdiff_t> previousBeat(count, -1);
    const auto nearest = std::ptrdiff_t(std::round(period_ / 2));
    const auto farthest = std::ptrdiff_t(std::round(period_ * 2));
    std::vector<double> offTempoCost(std::size_t(farthest) + 1, 0.0);
    for (std::ptrdiff_t gap = std::max<std::ptrdiff_t>(nearest, 1); gap <= farthest; ++gap)
        offTempoCost[std::size_t(gap)] = tightness_ * std::pow(std::log(double(gap) / period_), 2);
    for (std::size_t t = 0; t < count; ++t) {
        double best = -std::numeric_limits<double>::infinity();
        std::ptrdiff_t bestFrom = -1;
        for (std::ptrdiff_t gap = std::max<std::ptrdiff_t>(nearest, 1);
             gap <= farthest && gap <= std::ptrdiff_t(t); ++gap) {
            const double candidate =
                cumulative[t - std::size_t(gap)] - offTempoCost[std::size_t(gap)];
            if (candidate > best) {
                best = candidate;
                bestFrom = std::ptrdiff_t(t) - gap;
            }
        }
        // A chain that costs more than it earns starts afresh here.
        if (bestFrom >= 0 && best > 0) {
            cumulative[t] = local[t] + best;
            previousBeat[t] = bestFrom;
        } else {
            cumulative[t] = local[t];
        }
    }

    std::vector<std::size_t> beats;
    for (std::ptrdiff_t beat = std::ptrdiff_t(lastBeat(cumulative)); beat >= 0;
         beat = previousBeat[std::size_t(beat)])
        beats.push_back(std::size_t(beat));
    std::reverse(beats.begin(), beats.end());
    trimWeakEnds(beats, local);
    return beats;
}

// A chain runs on into the silence or the floor of onsets before the music's first beat and
// after its last; beats there, on no real onset, are dropped.
void BeatTracker::trimWeakEnds(std::vector<std::size_t> &beats, const std::vector<double> &local)
{
    if (beats.empty())
        return;
    double sumOfSquares = 0;
    for (std::size_t beat : beats)
        sumOfSquares += local[beat] * local[beat];
    const double threshold = 0.5 * std::sqrt(sumOfSquares / double(beats.size()));
    const auto weak = [&](std::size_t beat) { return local[beat] < threshold; };
    while (!beats.empty() && weak(beats.back()))
        beats.pop_back();
    const auto firstStrong = std::find_if_not(beats.begin(), beats.end(), weak);
    beats.erase(beats.begin(), firstStrong);
}

} // namespace core
