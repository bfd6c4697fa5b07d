// SPDX-License-Identifier: GPL-3.0-or-later
#include "loudness/SilenceGate.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace core {

SilenceGate::SilenceGate(int sampleRate, int channels)
    : channels_(std::size_t(std::max(channels, 1))),
      blockFrames_(std::max<std::int64_t>(1, std::llround(sampleRate * blockSeconds)))
{
}

void SilenceGate::add(const float *samples, std::size_t frames)
{
    frames_ += std::int64_t(frames);
    // A block's stretch at a time: a loop the compiler keeps free of the block's bounds.
    while (frames > 0) {
        const auto take = std::min(frames, std::size_t(blockFrames_ - inBlock_));
        double sum = 0;
        for (std::size_t i = 0; i < take * channels_; ++i)
            sum += double(samples[i]) * samples[i];
        sum_ += sum;
        inBlock_ += std::int64_t(take);
        samples += take * channels_;
        frames -= take;
        if (inBlock_ == blockFrames_)
            closeBlock();
    }
}

void SilenceGate::closeBlock()
{
    levels_.push_back(sum_ / double(inBlock_ * std::int64_t(channels_)));
    sum_ = 0;
    inBlock_ = 0;
    decideAtFloor();
}

void SilenceGate::decideAtFloor()
{
    // A block's window starts half a window before it: it is whole once the blocks up to
    // half a window after it are heard.
    if (levels_.size() < window)
        return;
    const double floor = std::pow(10.0, floorDbfs / 10);
    for (; decidedAtFloor_ + window / 2 <= levels_.size(); ++decidedAtFloor_) {
        const std::size_t block = decidedAtFloor_;
        const std::size_t from = block >= window / 2 ? block - window / 2 : 0;
        std::size_t loud = 0;
        for (std::size_t i = from; i < from + window; ++i)
            loud += levels_[i] > floor ? 1 : 0;
        if (levels_[block] <= floor || 2 * loud < window)
            continue;
        if (!firstAtFloor_)
            firstAtFloor_ = block;
        floorSoundEnd_ = std::int64_t(block + 1) * blockFrames_;
    }
}

std::optional<std::int64_t> SilenceGate::floorSoundStart() const
{
    if (!firstAtFloor_)
        return std::nullopt;
    return std::int64_t(*firstAtFloor_) * blockFrames_;
}

bool SilenceGate::sounds(std::size_t block, const std::vector<bool> &loud) const
{
    const std::size_t from = block >= window / 2 ? block - window / 2 : 0;
    const std::size_t to = std::min(loud.size(), from + window);
    const auto count =
        std::count(loud.begin() + std::ptrdiff_t(from), loud.begin() + std::ptrdiff_t(to), true);
    return loud[block] && 2 * std::size_t(count) >= to - from;
}

std::vector<double> SilenceGate::blockLevels() const
{
    std::vector<double> levels = levels_;
    if (inBlock_ > 0)
        levels.push_back(sum_ / double(inBlock_ * std::int64_t(channels_)));
    return levels;
}

double SilenceGate::integratedLevel() const
{
    // 400 ms blocks every 100 ms, under an absolute gate of -70 and then one 10 dB under
    // the mean of those above it, as loudness is gated.
    const std::vector<double> levels = blockLevels();
    std::vector<double> blocks;
    for (std::size_t at = 0; at + window <= levels.size(); at += 2) {
        double sum = 0;
        for (std::size_t i = at; i < at + window; ++i)
            sum += levels[i];
        blocks.push_back(sum / window);
    }
    const auto gatedMean = [&](double threshold) {
        double sum = 0;
        std::size_t count = 0;
        for (const double block : blocks) {
            if (block > threshold) {
                sum += block;
                ++count;
            }
        }
        return count ? sum / double(count) : 0.0;
    };
    const double absolute = gatedMean(std::pow(10.0, -7.0));
    if (absolute <= 0)
        return -std::numeric_limits<double>::infinity();
    const double relative = gatedMean(absolute / 10);
    return 10 * std::log10(relative);
}

SilenceGate::Ends SilenceGate::ends(double integratedLufs) const
{
    const std::vector<double> levels = blockLevels();
    // Music too short or too quiet for an integrated loudness is gated by the floor alone.
    const double thresholdDb = std::isfinite(integratedLufs)
                                   ? std::min(floorDbfs, integratedLufs - belowIntegrated)
                                   : floorDbfs;
    const double threshold = std::pow(10.0, thresholdDb / 10);
    std::vector<bool> loud(levels.size());
    for (std::size_t block = 0; block < levels.size(); ++block)
        loud[block] = levels[block] > threshold;
    std::size_t first = 0;
    while (first < levels.size() && !sounds(first, loud))
        ++first;
    if (first == levels.size())
        return {};
    std::size_t last = levels.size() - 1;
    while (!sounds(last, loud))
        --last;
    const std::int64_t soundEnd = std::min(frames_, std::int64_t(last + 1) * blockFrames_);
    return {std::int64_t(first) * blockFrames_, frames_ - soundEnd};
}

} // namespace core
