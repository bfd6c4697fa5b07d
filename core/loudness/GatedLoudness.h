// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace core {

// Integrated loudness to ITU-R BS.1770-4 of interleaved samples as they come: K-weighted,
// in 400 ms blocks every 100 ms, gated at -70 LUFS and 10 LU under the blocks above that.
// Every channel weighs 1, as a stereo or mono stream's do. Measured here rather than by the
// loudness library, whose every meter filters the samples again: a pick is measured whole
// and through the encoder's low-pass in one reading, and its own filtering is most of the
// reading's cost.
class GatedLoudness
{
  public:
    GatedLoudness(int sampleRate, int channels);
    void add(const float *samples, std::size_t frames);
    // LUFS; minus infinity for silence or under 400 ms.
    double lufs() const;
    // The highest sample of any channel, as a factor of full scale.
    double samplePeak() const { return peak_; }

  private:
    struct Section
    {
        double b0, b1, b2, a1, a2;
    };
    struct State
    {
        double z1 = 0, z2 = 0;
    };
    void closeHop();

    std::array<Section, 2> sections_{}; // the head's shelf, then the high-pass
    std::vector<std::array<State, 2>> states_; // a channel each
    std::size_t hopFrames_;
    std::size_t inHop_ = 0;
    double hopSum_ = 0;
    std::vector<double> hops_;   // the sum of squares of each 100 ms, every channel's
    std::vector<double> blocks_; // the mean square of each 400 ms block above -70 LUFS
    double peak_ = 0;
};

} // namespace core
