// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "AudioCodecs.h"

#include <QString>

#include <cmath>
#include <filesystem>
#include <vector>

// The committed audio fixtures, and what a decoded file sounds like.
namespace audiofixtures {

inline QString path(const QString &name)
{
    return QStringLiteral(VMC_AUDIO_FIXTURES "/") + name;
}

struct Heard
{
    double seconds = 0;
    double frequency = 0; // the tone's, from its zero crossings
};

// Decodes the file at its own rate and channel count as the first channel's tone.
inline Heard listen(const std::filesystem::path &file, int sampleRate, int channels)
{
    const auto decoder = core::AudioCodecs::builtIn().makeDecoder();
    std::size_t frames = 0;
    int crossings = 0;
    float previous = 0;
    decoder->decode(file, sampleRate, channels, [&](const float *samples, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) {
            const float now = samples[i * std::size_t(channels)];
            crossings += (previous < 0) != (now < 0) ? 1 : 0;
            previous = now;
        }
        frames += count;
        return true;
    });
    const double seconds = double(frames) / sampleRate;
    return {seconds, seconds > 0 ? crossings / 2.0 / seconds : 0};
}

} // namespace audiofixtures
