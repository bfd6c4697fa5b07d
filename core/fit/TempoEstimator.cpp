// SPDX-License-Identifier: GPL-3.0-or-later
#include "fit/TempoEstimator.h"

#include <algorithm>
#include <cmath>

namespace core {

namespace {

constexpr double slowestBeatsPerMinute = 40;
constexpr double fastestBeatsPerMinute = 240;
// The tempo most music sits near, and how far from it, in octaves, others are as likely.
constexpr double likeliestBeatsPerMinute = 120;
constexpr double tempoSpreadOctaves = 1;
// How much of the pulse's energy must come back one beat later for the music to have a beat;
// a drone's or a pad's flux repeats at no lag this well.
constexpr double leastPulseClarity = 0.15;
// The least deviation of the pulse, in the onset strength's units: a steady tone's spectrum
// still wavers a little from frame to frame, regularly, but far less than any struck note's.
constexpr double leastPulseDeviation = 0.03;
// The window, in seconds, of the local mean taken out of the onset strength.
constexpr double swellSeconds = 1;

} // namespace

TempoEstimator::TempoEstimator(double framesPerSecond) : framesPerSecond_(framesPerSecond) {}

std::vector<float> TempoEstimator::pulse(std::span<const float> onsetStrength) const
{
    const std::size_t count = onsetStrength.size();
    const std::size_t half =
        std::max<std::size_t>(1, std::size_t(swellSeconds * framesPerSecond_ / 2));
    std::vector<double> runningSum(count + 1, 0.0);
    for (std::size_t i = 0; i < count; ++i)
        runningSum[i + 1] = runningSum[i] + onsetStrength[i];
    std::vector<float> pulse(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t from = i > half ? i - half : 0;
        const std::size_t to = std::min(count, i + half + 1);
        const double localMean = (runningSum[to] - runningSum[from]) / double(to - from);
        pulse[i] = float(onsetStrength[i] - localMean);
    }
    return pulse;
}

std::vector<double> TempoEstimator::autocorrelation(std::span<const float> pulse,
                                                    std::size_t longestLag) const
{
    std::vector<double> correlation(longestLag + 1, 0.0);
    for (std::size_t lag = 0; lag <= longestLag && lag < pulse.size(); ++lag) {
        double sum = 0;
        for (std::size_t i = lag; i < pulse.size(); ++i)
            sum += double(pulse[i]) * pulse[i - lag];
        correlation[lag] = sum;
    }
    return correlation;
}

double TempoEstimator::tempoPreference(double lag) const
{
    const double beatsPerMinute = 60 * framesPerSecond_ / lag;
    const double octaves = std::log2(beatsPerMinute / likeliestBeatsPerMinute) / tempoSpreadOctaves;
    return std::exp(-0.5 * octaves * octaves);
}

std::optional<double> TempoEstimator::beatPeriod(std::span<const float> onsetStrength) const
{
    const auto shortestLag = std::size_t(std::floor(60 * framesPerSecond_ / fastestBeatsPerMinute));
    const auto longestLag = std::size_t(std::ceil(60 * framesPerSecond_ / slowestBeatsPerMinute));
    if (shortestLag < 1 || onsetStrength.size() < 4 * longestLag)
        return std::nullopt;
    const std::vector<double> correlation = autocorrelation(pulse(onsetStrength), longestLag + 1);
    if (std::sqrt(correlation[0] / double(onsetStrength.size())) < leastPulseDeviation)
        return std::nullopt;

    std::size_t best = 0;
    double bestWeighted = 0;
    for (std::size_t lag = shortestLag; lag <= longestLag; ++lag) {
        const double weighted = correlation[lag] * tempoPreference(double(lag));
        if (correlation[lag] > correlation[lag - 1] && correlation[lag] >= correlation[lag + 1] &&
            weighted > bestWeighted) {
            best = lag;
            bestWeighted = weighted;
        }
    }
    if (best == 0 || correlation[best] < leastPulseClarity * correlation[0])
        return std::nullopt;
    // The peak between frames, from the parabola through it and its neighbours.
    const double before = correlation[best - 1];
    const double at = correlation[best];
    const double after = correlation[best + 1];
    const double curvature = before - 2 * at + after;
    const double shift = curvature < 0 ? 0.5 * (before - after) / curvature : 0;
    return double(best) + std::clamp(shift, -0.5, 0.5);
}

} // namespace core
