// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "loudness/LowPass.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace core {

// Integrated loudness to ITU-R BS.1770-4 of interleaved samples as they come: K-weighted,
// in 400 ms blocks every 100 ms, gated at -70 LUFS and 10 LU under the blocks above that.
// Every channel weighs 1, as a stereo or mono stream's do. Where keptBelowHz is not 0, the
// loudness of what an encoder's low-pass at that frequency keeps is measured beside it, off
// the same weighting. Measured here rather than by the loudness library, whose every meter
// filters the samples again: filtering is most of a measuring reading's cost.
class GatedLoudness
{
  public:
    GatedLoudness(int sampleRate, int channels, double keptBelowHz = 0);
    void add(const float *samples, std::size_t frames);
    // LUFS; minus infinity for silence or under 400 ms.
    double lufs() const { return whole_.lufs(); }
    double keptLufs() const { return kept_.lufs(); }
    // The highest sample of any channel, as a factor of full scale.
    double samplePeak() const { return peak_; }

  private:
    using Section = LowPass::Section;
    // Two weighting stages, then the low-pass's four.
    static constexpr std::size_t stageCount = 2 + LowPass::sectionCount;
    using States = std::array<std::array<double, 2>, stageCount>;

    class Gating
    {
      public:
        void closeHop(double sum, std::size_t hopFrames);
        double lufs() const;

      private:
        std::vector<double> hops_;   // the sum of squares of each 100 ms, every channel's
        std::vector<double> blocks_; // the mean square of each block above -70 LUFS
    };

    template <std::size_t Channels, bool Keeps>
    void filter(const float *samples, std::size_t frames, std::size_t stride, States *states,
                double &whole, double &kept);

    std::array<Section, stageCount> stages_{};
    bool keeps_;
    std::vector<States> states_; // a channel each
    std::size_t hopFrames_;
    std::size_t inHop_ = 0;
    double wholeSum_ = 0;
    double keptSum_ = 0;
    Gating whole_;
    Gating kept_;
    double peak_ = 0;
};

} // namespace core
