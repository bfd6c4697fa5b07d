// SPDX-License-Identifier: GPL-3.0-or-later
#include "loudness/SilenceGate.h"

#include <algorithm>
#include <cmath>

namespace core {

SilenceGate::SilenceGate(int sampleRate, int channels)
    : channels_(std::size_t(std::max(channels, 1))),
      blockFrames_(std::max<std::int64_t>(1, std::llround(sampleRate * blockSeconds)))
{
}

void SilenceGate::add(const float *samples, std::size_t frames)
{
    for (std::size_t frame = 0; frame < frames; ++frame) {
        for (std::size_t channel = 0; channel < channels_; ++channel) {
            const double sample = samples[frame * channels_ + channel];
            sum_ += sample * sample;
        }
        if (++inBlock_ == blockFrames_)
            closeBlock();
    }
    frames_ += std::int64_t(frames);
}

void SilenceGate::closeBlock()
{
    levels_.push_back(sum_ / double(inBlock_ * std::int64_t(channels_)));
    sum_ = 0;
    inBlock_ = 0;
}

bool SilenceGate::sounds(std::size_t block, const std::vector<bool> &loud) const
{
    const std::size_t from = block >= window / 2 ? block - window / 2 : 0;
    const std::size_t to = std::min(loud.size(), from + window);
    const auto count =
        std::count(loud.begin() + std::ptrdiff_t(from), loud.begin() + std::ptrdiff_t(to), true);
    return loud[block] && 2 * std::size_t(count) >= to - from;
}

SilenceGate::Ends SilenceGate::ends(double integratedLufs) const
{
    std::vector<double> levels = levels_;
    if (inBlock_ > 0)
        levels.push_back(sum_ / double(inBlock_ * std::int64_t(channels_)));
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
