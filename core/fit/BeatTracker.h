// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <span>
#include <vector>

namespace core {

// Places beats by dynamic programming: each beat on a strong onset, each gap near the beat
// period, the best chain of both over the whole piece.
class BeatTracker
{
  public:
    // period in frames; tightness is how dearly a gap off the period costs.
    explicit BeatTracker(double period, double tightness = 100);

    // The frames of the beats, in order.
    std::vector<std::size_t> track(std::span<const float> onsetStrength) const;

  private:
    std::vector<double> localScore(std::span<const float> onsetStrength) const;
    std::size_t lastBeat(const std::vector<double> &cumulative) const;
    static void trimWeakEnds(std::vector<std::size_t> &beats, const std::vector<double> &local);

    double period_;
    double tightness_;
};

} // namespace core
