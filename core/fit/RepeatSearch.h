// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "fit/FrameDistances.h"

#include <cstddef>
#include <stop_token>
#include <vector>

namespace core {

// Two frames of a piece, lag apart, around which the music may repeat.
struct FramePair
{
    std::size_t start = 0;
    std::size_t lag = 0;
    // How far the contexts before and after are from close: 1 where just close enough,
    // lower where closer.
    double closeness = 0;
};

// Finds where a piece repeats itself whether or not it has a beat: every two frames at
// least shortestLag apart, compared by the frames of some seconds before and after each.
// Each lag is one diagonal of the frames' distances, summed as it runs. Frames are searched
// in pairs, averaged, which a context of seconds hardly notices.
class RepeatSearch
{
  public:
    // Contexts shorter than shortestSide frames are not compared.
    RepeatSearch(const FrameDistances &distances, const std::vector<Chroma> &chroma,
                 std::size_t contextFrames, std::size_t shortestSide, std::size_t shortestLag);

    // The closest pairs, best first, no two of the same repeat; nothing once stop is asked.
    std::vector<FramePair> closest(std::size_t count, std::stop_token stop = {}) const;
    // The closeness of contexts, each over its bound; a missing side is NaN.
    static double closeness(double before, double after);

  private:
    void searchLag(std::size_t lag, std::vector<FramePair> &held) const;
    double typicalDistance() const;

    std::vector<std::vector<float>> pooledRows_;
    double typical_ = 1;
    std::size_t contextFrames_;
    std::size_t shortestSide_;
    std::size_t shortestLag_;
    std::size_t apart_;
};

} // namespace core
