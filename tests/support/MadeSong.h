// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <numbers>
#include <vector>

// Songs made from tones and clicks, whose repeats are known: plain C++, for tests and benches.
namespace madesong {

struct Song
{
    std::vector<float> samples; // mono
    int sampleRate = 0;
    std::size_t patternSamples = 0; // one pattern: four bars of four beats
};

inline double midiHertz(int note)
{
    return 440.0 * std::pow(2.0, (note - 69) / 12.0);
}

// A chord held for the bar, with a bass note an octave under its root and a click on each
// beat, the first louder. Bars of the same chord and level are the same to the sample.
inline void addBar(std::vector<float> &out, int rate, std::size_t from, std::size_t beatSamples,
                   const std::vector<int> &notes, double level)
{
    const std::size_t barSamples = 4 * beatSamples;
    std::vector<double> radiansPerSample;
    for (int note : notes)
        radiansPerSample.push_back(2 * std::numbers::pi * midiHertz(note) / rate);
    const double bassRadians = 2 * std::numbers::pi * midiHertz(notes.front() - 12) / rate;
    std::uint32_t noise = 12345;
    for (std::size_t i = 0; i < barSamples; ++i) {
        // Each bar starts its tones afresh, so that a pattern repeats to the sample.
        const auto at = double(i);
        double sample = 0;
        for (double radians : radiansPerSample)
            sample += 0.08 * std::sin(radians * at);
        sample += 0.1 * std::sin(bassRadians * at);
        const std::size_t inBeat = i % beatSamples;
        const double clickSeconds = double(inBeat) / rate;
        if (clickSeconds < 0.03) {
            noise = noise * 1664525u + 1013904223u;
            const double white = double(noise >> 8) / double(1u << 24) * 2 - 1;
            const double accent = i < beatSamples ? 0.6 : 0.35;
            sample += accent * white * std::exp(-clickSeconds * 150);
        }
        out[from + i] = float(level * sample);
    }
}

// An intro of two bars, a pattern of four bars with four different chords played four times,
// and an outro of two bars that fades; 120 beats a minute, the patterns padded to fill the
// length asked for where it is longer.
inline Song song(int rate, double seconds = 40)
{
    const std::size_t beatSamples = std::size_t(rate) / 2;
    const std::size_t barSamples = 4 * beatSamples;
    const std::vector<std::vector<int>> pattern{
        {60, 64, 67}, {57, 60, 64}, {65, 69, 72}, {67, 71, 74}}; // C, Am, F, G
    const auto bars = std::size_t(seconds / 2);
    const std::size_t patternBars = bars > 4 ? (bars - 4) / 4 * 4 : 16;
    Song made{std::vector<float>((patternBars + 4) * barSamples), rate, 4 * barSamples};
    std::size_t at = 0;
    for (int bar = 0; bar < 2; ++bar, at += barSamples)
        addBar(made.samples, rate, at, beatSamples, {62, 65, 69, 72}, 1.0); // Dm7
    for (std::size_t bar = 0; bar < patternBars; ++bar, at += barSamples)
        addBar(made.samples, rate, at, beatSamples, pattern[bar % 4], 1.0);
    for (int bar = 0; bar < 2; ++bar, at += barSamples)
        addBar(made.samples, rate, at, beatSamples, {64, 68, 71}, 0.7 - 0.3 * bar); // E
    return made;
}

// Bars of a beat whose chord climbs a semitone each bar: a steady beat, and no two bars
// alike.
inline std::vector<float> climbingSong(int rate, double seconds)
{
    const std::size_t beatSamples = std::size_t(rate) / 2;
    const auto bars = std::size_t(seconds / 2);
    std::vector<float> samples(bars * 4 * beatSamples);
    for (std::size_t bar = 0; bar < bars; ++bar) {
        const int root = 45 + int(bar);
        addBar(samples, rate, bar * 4 * beatSamples, beatSamples, {root, root + 4, root + 7}, 1.0);
    }
    return samples;
}

// A chord held throughout, swelling and ebbing slowly: no beat anywhere, and every ten
// seconds the same.
inline std::vector<float> drone(int rate, double seconds)
{
    std::vector<float> samples(std::size_t(seconds * rate));
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const double time = double(i) / rate;
        const double swell = 0.6 + 0.4 * std::sin(2 * std::numbers::pi * 0.1 * time);
        double sample = 0;
        for (int note : {48, 55, 60, 64})
            sample += 0.1 * std::sin(2 * std::numbers::pi * midiHertz(note) * time);
        samples[i] = float(swell * sample);
    }
    return samples;
}

// White noise at an even level: onsets everywhere, a beat nowhere.
inline std::vector<float> noise(int rate, double seconds)
{
    std::vector<float> samples(std::size_t(seconds * rate));
    std::uint32_t state = 2463534242u;
    for (float &sample : samples) {
        state = state * 1664525u + 1013904223u;
        sample = float(0.3 * (double(state >> 8) / double(1u << 24) * 2 - 1));
    }
    return samples;
}

} // namespace madesong
