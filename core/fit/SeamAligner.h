// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <span>
#include <vector>

namespace core {

// Each step samples' mean, one value a step: the coarse searches compare these.
std::vector<float> boxAveraged(std::span<const float> samples, std::size_t step);

// Lines a loop's end up with its start to the sample: beats are only placed to an onset
// frame, and a repeat joined a few milliseconds off is heard as a stumble.
class SeamAligner
{
  public:
    static constexpr double defaultReachSeconds = 0.06;

    SeamAligner(std::span<const float> mono, int sampleRate,
                double reachSeconds = defaultReachSeconds);

    // The end moved, within the reach, to where the music after it is most
    // like the music after the start: where a repeat of the start truly begins.
    std::size_t alignedEnd(std::size_t start, std::size_t end) const;

  private:
    // The first of the possible ends from..to found by a coarse search, at averages of a step's
    // samples, to be refined by a fine one beside it.
    std::size_t coarseEnd(std::size_t start, std::size_t from, std::size_t to) const;
    std::size_t fineEnd(std::size_t start, std::size_t from, std::size_t to) const;

    std::span<const float> mono_;
    std::size_t reach_;
    std::size_t window_;
    std::size_t coarseStep_;
};

} // namespace core
