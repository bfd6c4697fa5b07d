// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace core {

// Finds the silence at both ends of music as it is decoded: where the level of short blocks
// stays under both an absolute floor and a distance under the music's integrated loudness.
// Sound starts only where most of the following stretch sounds, so a lone click in the
// silence does not end it (nor, at the end, begin it again).
class SilenceGate
{
  public:
    static constexpr double floorDbfs = -60;
    static constexpr double belowIntegrated = 40;
    static constexpr double blockSeconds = 0.05;
    // Blocks that must mostly sound for sound to start: 400 ms.
    static constexpr std::size_t window = 8;

    struct Ends
    {
        std::int64_t leading = 0; // frames
        std::int64_t trailing = 0;
        bool operator==(const Ends &) const = default;
    };

    SilenceGate(int sampleRate, int channels);
    void add(const float *samples, std::size_t frames);
    std::int64_t frames() const { return frames_; }
    // The silent frames at each end for music of this integrated loudness (LUFS); none where
    // the music never sounds, which is refused or kept as it is elsewhere.
    Ends ends(double integratedLufs) const;
    // The music's integrated level from the blocks alone, gated as loudness is but without
    // its weighting, in dBFS: a stand-in for its loudness where no meter measured it, close
    // enough for a gate 40 dB under it.
    double integratedLevel() const;

    // What is known, of the music heard so far, to sound at the floor alone: a block is
    // known once the blocks of its window are heard. Whatever sounds at the floor sounds
    // under any gate, which lies at the floor or below it: the music starts no later than
    // floorSoundStart() and ends no earlier than floorSoundEnd() (frames; 0 where none).
    std::optional<std::int64_t> floorSoundStart() const;
    std::int64_t floorSoundEnd() const { return floorSoundEnd_; }

  private:
    std::vector<double> blockLevels() const;
    bool sounds(std::size_t block, const std::vector<bool> &loud) const;
    void closeBlock();
    void decideAtFloor();

    std::size_t channels_;
    std::int64_t blockFrames_;
    std::int64_t frames_ = 0;
    std::int64_t inBlock_ = 0;
    double sum_ = 0;
    std::vector<double> levels_;     // mean square of each block
    std::size_t decidedAtFloor_ = 0; // blocks whose sound at the floor is known
    std::optional<std::size_t> firstAtFloor_;
    std::int64_t floorSoundEnd_ = 0;
};

} // namespace core
