// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "fit/FrameDistances.h"
#include "fit/PieceFrames.h"

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

namespace core {

// The whole of a pick looped from its last sound back to its first.
struct WholeJoin
{
    std::size_t start = 0;
    std::size_t end = 0;
    // How the second before the end and the second after the start differ in sound, over
    // the change that the piece's own seconds make at its 80th percentile: at most 1 where
    // the join changes no more than most moments of the music do.
    double change = 0;
    double levelStep = 0; // decibels between the half seconds either side of the join
    double quietness = 0; // decibels the quieter of them lies under the piece's median
};

// Whether a piece joins well end to start: a piece written to repeat whole does, a piece that
// fades out, or ends on a held chord and starts on a beat, does not.
class WholePickJoin
{
  public:
    WholePickJoin(std::span<const float> mono, int sampleRate, const PieceFrames &piece,
                  const FrameDistances &distances);

    // Nothing where the pick is too short to judge, or silent at either side of the join.
    std::optional<WholeJoin> measure() const;
    static bool joinsWell(const WholeJoin &join);

  private:
    std::vector<float> meanFrame(std::size_t from, std::size_t count) const;
    double ownChange() const;
    double levelDecibels(std::size_t from, std::size_t length) const;
    double medianLevel() const;

    std::span<const float> mono_;
    int sampleRate_;
    const PieceFrames &piece_;
    const FrameDistances &distances_;
};

} // namespace core
