// SPDX-License-Identifier: GPL-3.0-or-later
#include "fit/WholePickJoin.h"

#include "loudness/SilenceGate.h"

#include <algorithm>
#include <cmath>

namespace core {

namespace {

constexpr double mostChange = 1;
constexpr double mostLevelStepDecibels = 4;
constexpr double mostQuietnessDecibels = 12;
constexpr double ownChangeShare = 0.8;

double distanceOf(const std::vector<float> &a, const std::vector<float> &b)
{
    double sum = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        sum += double(a[i] - b[i]) * (a[i] - b[i]);
    return std::sqrt(sum);
}

double share(std::vector<double> values, double part)
{
    if (values.empty())
        return 0;
    const auto at = values.begin() + std::ptrdiff_t(part * double(values.size() - 1));
    std::nth_element(values.begin(), at, values.end());
    return *at;
}

} // namespace

WholePickJoin::WholePickJoin(std::span<const float> mono, int sampleRate, const PieceFrames &piece,
                             const FrameDistances &distances)
    : mono_(mono), sampleRate_(sampleRate), piece_(piece), distances_(distances)
{
}

bool WholePickJoin::joinsWell(const WholeJoin &join)
{
    return join.change <= mostChange && join.levelStep <= mostLevelStepDecibels &&
           join.quietness <= mostQuietnessDecibels;
}

std::optional<WholeJoin> WholePickJoin::measure() const
{
    SilenceGate gate(sampleRate_, 1);
    gate.add(mono_.data(), mono_.size());
    const SilenceGate::Ends ends = gate.ends(gate.integratedLevel());
    WholeJoin join;
    join.start = std::size_t(ends.leading);
    join.end = mono_.size() - std::size_t(ends.trailing);
    const std::size_t frameSamples = piece_.frameSamples();
    const std::size_t second = frameSamples == 0 ? 0 : std::size_t(sampleRate_) / frameSamples;
    // A frame is heard about its middle, two hops in.
    const auto frameAt = [&](std::size_t sample) {
        return std::min(distances_.size(), std::max<std::size_t>(sample / frameSamples, 2) - 2);
    };
    const std::size_t afterStart = frameAt(join.start);
    const std::size_t atEnd = frameAt(join.end);
    if (second == 0 || atEnd < afterStart + 4 * second)
        return std::nullopt;
    join.change = distanceOf(meanFrame(atEnd - second, second), meanFrame(afterStart, second)) /
                  std::max(ownChange(), 1e-9);
    const auto half = std::size_t(sampleRate_ / 2);
    const double beforeJoin = levelDecibels(join.end - half, half);
    const double afterJoin = levelDecibels(join.start, half);
    if (std::min(beforeJoin, afterJoin) < SilenceGate::floorDbfs)
        return std::nullopt;
    join.levelStep = std::abs(beforeJoin - afterJoin);
    join.quietness = medianLevel() - std::min(beforeJoin, afterJoin);
    return join;
}

std::vector<float> WholePickJoin::meanFrame(std::size_t from, std::size_t count) const
{
    std::vector<float> mean;
    for (const std::vector<float> &row : distances_.bandRows()) {
        double sum = 0;
        for (std::size_t k = from; k < from + count && k < row.size(); ++k)
            sum += row[k];
        mean.push_back(float(sum / double(count)));
    }
    return mean;
}

// The change between each second of the piece and the next, at the share that most
// moments do not pass.
double WholePickJoin::ownChange() const
{
    const std::size_t second = std::size_t(sampleRate_) / piece_.frameSamples();
    const std::vector<std::vector<float>> &rows = distances_.bandRows();
    const std::size_t frames = distances_.size();
    if (frames < 2 * second + 1)
        return 1;
    std::vector<std::vector<double>> running(rows.size(), std::vector<double>(frames + 1, 0));
    for (std::size_t band = 0; band < rows.size(); ++band)
        for (std::size_t t = 0; t < frames; ++t)
            running[band][t + 1] = running[band][t] + rows[band][t];
    std::vector<double> changes;
    for (std::size_t t = second; t + second <= frames; ++t) {
        double sum = 0;
        for (const std::vector<double> &band : running) {
            const double step =
                (band[t + second] - 2 * band[t] + band[t - second]) / double(second);
            sum += step * step;
        }
        changes.push_back(std::sqrt(sum));
    }
    return share(std::move(changes), ownChangeShare);
}

double WholePickJoin::levelDecibels(std::size_t from, std::size_t length) const
{
    double sum = 0;
    const std::size_t to = std::min(mono_.size(), from + length);
    for (std::size_t i = from; i < to; ++i)
        sum += double(mono_[i]) * mono_[i];
    return 10 * std::log10(sum / double(std::max<std::size_t>(1, to - from)) + 1e-12);
}

double WholePickJoin::medianLevel() const
{
    const auto half = std::size_t(sampleRate_ / 2);
    std::vector<double> levels;
    for (std::size_t at = 0; at + half <= mono_.size(); at += half)
        levels.push_back(levelDecibels(at, half));
    return share(std::move(levels), 0.5);
}

} // namespace core
