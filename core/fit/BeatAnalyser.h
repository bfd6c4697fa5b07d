// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "fit/BeatAnalysis.h"
#include "fit/PieceFrames.h"

#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace core {

class RealTransform;

// Finds a piece's tempo and beats and describes each beat by its harmony and loudness.
class BeatAnalyser
{
  public:
    using TransformFactory = std::unique_ptr<RealTransform> (*)(int size);

    explicit BeatAnalyser(TransformFactory makeTransform);

    // Nothing where the music has no steady beat (a drone, ambient music) or the transform
    // cannot be made.
    std::optional<BeatAnalysis> analyse(std::span<const float> mono, int sampleRate) const;
    // The two halves of that: the piece's frames, nothing where the transform cannot be
    // made; then its beats, from the frames and the piece itself.
    std::optional<PieceFrames> frames(std::span<const float> mono, int sampleRate) const;
    static std::optional<BeatAnalysis> beats(const PieceFrames &piece, std::span<const float> mono);

  private:
    static std::vector<float> decimated(std::span<const float> mono, std::size_t factor);
    static std::vector<Chroma> beatChroma(const std::vector<Chroma> &frames, std::size_t hop,
                                          const std::vector<std::size_t> &beats);
    static std::vector<double> beatLoudness(std::span<const float> mono,
                                            const std::vector<std::size_t> &beats);

    TransformFactory makeTransform_;
};

} // namespace core
