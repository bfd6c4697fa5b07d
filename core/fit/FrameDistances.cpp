// SPDX-License-Identifier: GPL-3.0-or-later
#include "fit/FrameDistances.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace core {

namespace {

constexpr std::size_t sampledPairs = 4096;
// A band that hardly moves is not stretched into noise.
constexpr double leastSpreadDecibels = 0.5;

} // namespace

FrameDistances::FrameDistances(const std::vector<BandLevels> &levels)
    : frames_(levels), bandRows_(BandLevels{}.size())
{
    if (frames_.empty())
        return;
    const auto count = double(frames_.size());
    for (std::size_t band = 0; band < bandRows_.size(); ++band) {
        double sum = 0;
        double square = 0;
        for (const BandLevels &frame : frames_) {
            sum += frame[band];
            square += double(frame[band]) * frame[band];
        }
        const double mean = sum / count;
        const double spread =
            std::max(leastSpreadDecibels, std::sqrt(std::max(0.0, square / count - mean * mean)));
        std::vector<float> &row = bandRows_[band];
        row.reserve(frames_.size());
        for (BandLevels &frame : frames_) {
            frame[band] = float((frame[band] - mean) / spread);
            row.push_back(frame[band]);
        }
    }
    // A fixed sequence of pairs: the same piece always gets the same scale.
    std::vector<double> distances;
    std::uint64_t state = 0x9E3779B97F4A7C15u;
    const auto next = [&] {
        state = state * 6364136223846793005u + 1442695040888963407u;
        return std::size_t((state >> 33) % frames_.size());
    };
    for (std::size_t pair = 0; pair < sampledPairs; ++pair) {
        const std::size_t a = next();
        distances.push_back(distance(a, next()));
    }
    const auto middle = distances.begin() + std::ptrdiff_t(distances.size() / 2);
    std::nth_element(distances.begin(), middle, distances.end());
    typical_ = std::max(*middle, 1e-6);
}

double FrameDistances::distance(std::size_t a, std::size_t b) const
{
    double sum = 0;
    for (std::size_t band = 0; band < bandRows_.size(); ++band) {
        const double step = double(frames_[a][band]) - frames_[b][band];
        sum += step * step;
    }
    return std::sqrt(sum);
}

double FrameDistances::context(std::size_t a, std::size_t b, std::size_t count) const
{
    count = std::min({count, frames_.size() - std::min(a, frames_.size()),
                      frames_.size() - std::min(b, frames_.size())});
    if (count == 0)
        return 1;
    double sum = 0;
    for (std::size_t k = 0; k < count; ++k)
        sum += distance(a + k, b + k);
    return sum / double(count) / typical_;
}

} // namespace core
