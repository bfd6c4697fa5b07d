// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "fit/FrameDistances.h"
#include "fit/PieceFrames.h"

#include <cstddef>
#include <span>
#include <vector>

namespace core {

// How well a piece repeats on both sides of a loop's join. A side with too little music
// beside either end is not measured (NaN).
struct Repeat
{
    std::size_t start = 0;
    std::size_t end = 0;
    // The correlation of the waveform over some seconds before the start with as much
    // before the end, and after each, at the loop's own length: 1 for the same music.
    double waveBefore = 0;
    double waveAfter = 0;
    // The frames' distance there, over the piece's typical: 0 for the same sound.
    double contextBefore = 0;
    double contextAfter = 0;
};

// Lines a loop's end up with its start and measures how truly the music repeats there.
class RepeatMeasure
{
  public:
    static constexpr double waveSeconds = 3;
    static constexpr double contextSeconds = 4;
    // A side shorter than this is not measured.
    static constexpr double shortestSideSeconds = 1;

    RepeatMeasure(const PieceFrames &piece, const FrameDistances &distances,
                  std::span<const float> mono, int sampleRate);

    // The end moved within reach samples to where the music around it best matches the music
    // around the start, and the repeat measured there.
    Repeat measure(std::size_t start, std::size_t roughEnd, std::size_t reach) const;
    std::size_t contextFrames() const;
    std::size_t shortestSideFrames() const;

  private:
    std::size_t coarseEnd(std::size_t start, std::size_t roughEnd, std::size_t reach) const;
    std::size_t reducedEnd(std::size_t start, std::size_t roughEnd, std::size_t reach) const;
    double wave(std::size_t fromA, std::size_t fromB, std::size_t length) const;
    void measureSides(Repeat &repeat) const;

    const PieceFrames &piece_;
    const FrameDistances &distances_;
    std::span<const float> mono_;
    int sampleRate_;
    std::vector<float> coarse_; // the reduced piece averaged down further, for a first search
};

} // namespace core
