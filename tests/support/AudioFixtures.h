// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "music/AudioCodecs.h"

#include <QFile>
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

// A 440 Hz tone as a 16-bit mono WAV at 22.05 kHz, as long as a test needs it.
inline bool writeToneWav(const QString &path, double seconds)
{
    constexpr std::uint32_t rate = 22050;
    const auto frames = std::uint32_t(seconds * rate);
    QByteArray wav;
    const auto put = [&](std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            wav.append(char((value >> (8 * i)) & 0xFF));
    };
    wav.append("RIFF");
    put(36 + frames * 2, 4);
    wav.append("WAVEfmt ");
    put(16, 4);
    put(1 | 1 << 16, 4); // PCM, mono
    put(rate, 4);
    put(rate * 2, 4);
    put(2 | 16 << 16, 4); // two bytes a frame, 16 bits
    wav.append("data");
    put(frames * 2, 4);
    for (std::uint32_t i = 0; i < frames; ++i)
        put(std::uint16_t(std::int16_t(8000 * std::sin(2 * M_PI * 440.0 * i / rate))), 2);
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(wav) == wav.size();
}

} // namespace audiofixtures
