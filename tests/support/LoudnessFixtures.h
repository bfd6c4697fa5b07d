// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "loudness/LoudnessMeasurer.h"
#include "music/AudioCodecs.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <numbers>
#include <vector>

// Music of a known loudness, written as 32-bit float WAV, and what a file measures.
namespace loudnessfixtures {

// The left and right samples at a time in seconds; a mono file takes the left.
using Signal = std::function<std::array<float, 2>(double seconds)>;

inline void writeWav(const std::filesystem::path &file, int sampleRate, int channels,
                     double seconds, const Signal &signal)
{
    const auto frames = std::uint32_t(seconds * sampleRate);
    std::vector<float> samples(std::size_t(frames) * std::size_t(channels));
    for (std::uint32_t i = 0; i < frames; ++i) {
        const std::array<float, 2> frame = signal(double(i) / sampleRate);
        for (int channel = 0; channel < channels; ++channel)
            samples[std::size_t(i) * std::size_t(channels) + std::size_t(channel)] =
                frame[std::size_t(channel % 2)];
    }
    const auto dataSize = std::uint32_t(samples.size() * sizeof(float));
    std::ofstream out(file, std::ios::binary);
    const auto put32 = [&](std::uint32_t value) { out.write(reinterpret_cast<char *>(&value), 4); };
    const auto put16 = [&](std::uint16_t value) { out.write(reinterpret_cast<char *>(&value), 2); };
    out.write("RIFF", 4);
    put32(36 + dataSize);
    out.write("WAVEfmt ", 8);
    put32(16);
    put16(3); // IEEE float
    put16(std::uint16_t(channels));
    put32(std::uint32_t(sampleRate));
    put32(std::uint32_t(sampleRate * channels * 4));
    put16(std::uint16_t(channels * 4));
    put16(32);
    out.write("data", 4);
    put32(dataSize);
    out.write(reinterpret_cast<const char *>(samples.data()), std::streamsize(dataSize));
}

// A sine of the amplitude given in dBFS, alike in every channel; at 1 kHz, where the
// loudness weighting is flat, one channel of it measures its level - 3.01 LUFS.
inline Signal tone(double decibels, double frequency = 1000)
{
    const double amplitude = std::pow(10.0, decibels / 20);
    return [=](double t) {
        const auto value = float(amplitude * std::sin(2 * std::numbers::pi * frequency * t));
        return std::array<float, 2>{value, value};
    };
}

// A tone of a different pitch in each channel: the channels are uncorrelated, so that their
// mono downmix is 3 dB quieter than a correlated one.
inline Signal uncorrelated(double decibels)
{
    const double amplitude = std::pow(10.0, decibels / 20);
    return [=](double t) {
        return std::array<float, 2>{float(amplitude * std::sin(2 * std::numbers::pi * 1000 * t)),
                                    float(amplitude * std::sin(2 * std::numbers::pi * 1330 * t))};
    };
}

// White noise of the RMS level given in dBFS, unlike in each channel: much of it is what an
// encoder at a low bit rate leaves out.
inline Signal noise(double decibels)
{
    const double amplitude = std::pow(10.0, decibels / 20) * std::sqrt(3.0);
    auto state = std::make_shared<std::uint32_t>(12345);
    return [=](double) {
        const auto next = [&] {
            *state = *state * 1664525u + 1013904223u;
            return float(amplitude * (double(*state >> 8) / double(1 << 24) * 2 - 1));
        };
        const float left = next();
        return std::array<float, 2>{left, next()};
    };
}

// Noise rising 3 dB an octave, unlike in each channel: white noise through the inverse of a
// pinking filter. Much of its loudness lies near the top of the band, where encoders cut.
inline Signal brightNoise(double decibels)
{
    const Signal white = noise(decibels - 12);
    struct Filter
    {
        std::array<double, 4> x{}, y{};
        double step(double in)
        {
            // Numerator and denominator of the pinking filter, swapped.
            constexpr std::array<double, 4> b{1, -2.494956002, 2.017265875, -0.522189400};
            constexpr std::array<double, 4> a{0.049922035, -0.095993537, 0.050612699, -0.004408786};
            x = {in, x[0], x[1], x[2]};
            const double out = (b[0] * x[0] + b[1] * x[1] + b[2] * x[2] + b[3] * x[3] -
                                a[1] * y[0] - a[2] * y[1] - a[3] * y[2]) /
                               a[0];
            y = {out, y[0], y[1], y[2]};
            return out;
        }
    };
    auto filters = std::make_shared<std::array<Filter, 2>>();
    return [=](double t) {
        const std::array<float, 2> in = white(t);
        return std::array<float, 2>{float((*filters)[0].step(in[0]) * 0.05),
                                    float((*filters)[1].step(in[1]) * 0.05)};
    };
}

// Two tones, one quiet in the middle and one loud near the top of the band.
inline Signal highHiss(double decibels, double frequency)
{
    const Signal high = tone(decibels, frequency);
    const Signal low = tone(decibels - 30, 1000);
    return [=](double t) {
        const std::array<float, 2> a = high(t);
        const std::array<float, 2> b = low(t);
        return std::array<float, 2>{a[0] + b[0], a[1] + b[1]};
    };
}

// A quiet tone with a short full-scale burst each second: low loudness, a peak near 0 dBFS.
inline Signal quietWithBursts(double decibels)
{
    const Signal quiet = tone(decibels);
    const Signal loud = tone(-0.05);
    return [=](double t) { return (t - std::floor(t) < 0.005 ? loud : quiet)(t); };
}

inline core::Loudness measure(const std::filesystem::path &file, int sampleRate, int channels)
{
    const auto measured =
        core::LoudnessMeasurer(core::AudioCodecs::builtIn()).measure(file, sampleRate, channels);
    if (const auto *loudness = std::get_if<core::Loudness>(&measured))
        return *loudness;
    return {-1000, -1000};
}

} // namespace loudnessfixtures
