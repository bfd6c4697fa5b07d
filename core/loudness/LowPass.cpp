// SPDX-License-Identifier: GPL-3.0-or-later
#include "loudness/LowPass.h"

#include <cmath>
#include <numbers>

namespace core {

LowPass::LowPass(int sampleRate, int channels, double frequency)
    : sections_(design(sampleRate, frequency)), states_(std::size_t(channels > 0 ? channels : 1))
{
}

std::array<LowPass::Section, LowPass::sectionCount> LowPass::design(int sampleRate,
                                                                    double frequency)
{
    // Four second-order sections, each with its pole pair's quality.
    std::array<Section, sectionCount> sections{};
    const double omega = 2 * std::numbers::pi * frequency / sampleRate;
    const double cosine = std::cos(omega);
    for (std::size_t k = 0; k < sectionCount; ++k) {
        const double quality =
            1 / (2 * std::cos(double(2 * k + 1) * std::numbers::pi / (4 * sectionCount)));
        const double alpha = std::sin(omega) / (2 * quality);
        const double a0 = 1 + alpha;
        sections[k] = {(1 - cosine) / 2 / a0, (1 - cosine) / a0, (1 - cosine) / 2 / a0,
                       -2 * cosine / a0, (1 - alpha) / a0};
    }
    return sections;
}

const float *LowPass::filter(const float *samples, std::size_t frames)
{
    const std::size_t channels = states_.size();
    filtered_.resize(frames * channels);
    for (std::size_t channel = 0; channel < channels; ++channel) {
        std::array<State, sectionCount> &states = states_[channel];
        for (std::size_t i = 0; i < frames; ++i) {
            double value = samples[i * channels + channel];
            for (std::size_t k = 0; k < sectionCount; ++k) {
                const Section &s = sections_[k];
                State &state = states[k];
                const double out = s.b0 * value + s.b1 * state.x1 + s.b2 * state.x2 -
                                   s.a1 * state.y1 - s.a2 * state.y2;
                state.x2 = state.x1;
                state.x1 = value;
                state.y2 = state.y1;
                state.y1 = out;
                value = out;
            }
            filtered_[i * channels + channel] = float(value);
        }
    }
    return filtered_.data();
}

} // namespace core
