// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <vector>

namespace core {

// An eighth-order Butterworth low-pass for interleaved samples: what lies above its
// frequency, as an encoder's low-pass drops it, falls by 48 dB an octave.
class LowPass
{
  public:
    LowPass(int sampleRate, int channels, double frequency);

    // The filtered samples, valid until the next call.
    const float *filter(const float *samples, std::size_t frames);

    struct Section
    {
        double b0, b1, b2, a1, a2;
    };
    static constexpr std::size_t sectionCount = 4;
    // The filter's second-order sections, by the bilinear transform.
    static std::array<Section, sectionCount> design(int sampleRate, double frequency);

  private:
    struct State
    {
        double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    };

    std::array<Section, sectionCount> sections_{};
    std::vector<std::array<State, sectionCount>> states_; // a channel each
    std::vector<float> filtered_;
};

} // namespace core
