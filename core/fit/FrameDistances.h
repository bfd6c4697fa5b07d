// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "fit/SpectralFrames.h"

#include <cstddef>
#include <vector>

namespace core {

// How unlike a piece's frames sound: the distance of their band levels, each band scaled to
// its spread over the piece, against the distance of two frames picked at random.
class FrameDistances
{
  public:
    explicit FrameDistances(const std::vector<BandLevels> &levels);

    std::size_t size() const { return frames_.size(); }
    double distance(std::size_t a, std::size_t b) const;
    // The median distance of two frames picked at random: what unrelated moments differ by.
    double typical() const { return typical_; }
    // The mean distance of count frames from a to as many from b, over the typical one:
    // 0 where the music is the same, about 1 where the two are unrelated.
    double context(std::size_t a, std::size_t b, std::size_t count) const;
    // The scaled levels band by band, for a search down the diagonals.
    const std::vector<std::vector<float>> &bandRows() const { return bandRows_; }

  private:
    std::vector<BandLevels> frames_;
    std::vector<std::vector<float>> bandRows_;
    double typical_ = 1;
};

} // namespace core
