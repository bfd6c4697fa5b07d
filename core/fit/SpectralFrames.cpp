// SPDX-License-Identifier: GPL-3.0-or-later
#include "fit/SpectralFrames.h"

#include "music/AudioCodecs.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <complex>
#include <cstdint>
#include <numbers>

namespace core {

namespace {

// Below this, even the long frames' bins are too wide to tell one semitone from the next;
// above it, harmonics and cymbals say little about the harmony.
constexpr double lowestPitchHz = 80;
constexpr double highestPitchHz = 5000;
constexpr double lowestBandHz = 40;
constexpr double highestBandHz = 10000;
// A band's level never falls under this, so that digital silence compares as quiet music.
constexpr double floorEnergy = 1e-10;
// Compresses magnitudes so that a quiet instrument's onsets count beside a loud one's.
constexpr float onsetCompression = 1000;

// ln(1 + x) for x >= 0 to about 1e-4: the onset strength's compression, taken for every bin
// of every frame, where the library's exact logarithm was most of the search's time.
float approximateLog1p(float x)
{
    const auto bits = std::bit_cast<std::uint32_t>(1.0f + x);
    const auto exponent = float(int(bits >> 23) - 127);
    const float mantissa = std::bit_cast<float>((bits & 0x007FFFFFu) | 0x3F800000u) - 1.0f;
    // log2(1 + m) on [0, 1), fitted by least squares.
    const float log2Mantissa =
        mantissa *
        (1.4385454f + mantissa * (-0.6780715f + mantissa * (0.3236105f + mantissa * -0.0842732f)));
    return (exponent + log2Mantissa) * std::numbers::ln2_v<float>;
}

std::vector<float> hannWindow(std::size_t size)
{
    std::vector<float> window(size);
    for (std::size_t i = 0; i < size; ++i)
        window[i] = float(0.5 - 0.5 * std::cos(2 * std::numbers::pi * double(i) / double(size)));
    return window;
}

std::size_t frameCount(std::size_t samples, std::size_t frameSize, std::size_t hop)
{
    return samples < frameSize ? 0 : (samples - frameSize) / hop + 1;
}

// The windowed frame's spectrum.
void transformFrame(const float *start, const std::vector<float> &window, RealTransform &transform,
                    std::vector<float> &windowed, std::vector<std::complex<float>> &spectrum)
{
    for (std::size_t i = 0; i < window.size(); ++i)
        windowed[i] = start[i] * window[i];
    transform.forward(windowed.data(), spectrum.data());
}

} // namespace

std::size_t SpectralFrames::onsetHopFor(int sampleRate)
{
    std::size_t hop = 32;
    while (double(hop) * 2 / sampleRate <= 0.0116 * 1.5)
        hop *= 2;
    return hop;
}

SpectralFrames::SpectralFrames(int sampleRate, RealTransform &onsetTransform,
                               RealTransform &chromaTransform)
    : onsetTransform_(onsetTransform), chromaTransform_(chromaTransform),
      onsetWindow_(hannWindow(std::size_t(onsetTransform.size()))),
      chromaWindow_(hannWindow(std::size_t(chromaTransform.size())))
{
    buildPitchClassOfBins(sampleRate);
    buildBands(sampleRate);
}

// Triangles overlapping by half, their corners evenly spaced in log frequency.
void SpectralFrames::buildBands(int sampleRate)
{
    const std::size_t size = chromaWindow_.size();
    const double top = std::min(highestBandHz, sampleRate / 2.0);
    const std::size_t count = BandLevels{}.size();
    const auto corner = [&](std::size_t index) {
        return lowestBandHz * std::pow(top / lowestBandHz, double(index) / double(count + 1));
    };
    bandBins_.assign(count, {});
    for (std::size_t band = 0; band < count; ++band) {
        const double low = corner(band);
        const double middle = corner(band + 1);
        const double high = corner(band + 2);
        for (std::size_t bin = 1; bin <= size / 2; ++bin) {
            const double hertz = double(bin) * sampleRate / double(size);
            const double weight =
                hertz <= middle ? (hertz - low) / (middle - low) : (high - hertz) / (high - middle);
            if (weight > 0)
                bandBins_[band].emplace_back(bin, float(weight));
        }
        // A low band narrower than a bin takes the nearest bin.
        if (bandBins_[band].empty())
            bandBins_[band].emplace_back(
                std::max<std::size_t>(1,
                                      std::size_t(std::lround(middle * double(size) / sampleRate))),
                1.0F);
    }
}

void SpectralFrames::buildPitchClassOfBins(int sampleRate)
{
    const std::size_t size = chromaWindow_.size();
    pitchClassOfBin_.assign(size / 2 + 1, -1);
    for (std::size_t bin = 1; bin < pitchClassOfBin_.size(); ++bin) {
        const double hertz = double(bin) * sampleRate / double(size);
        if (hertz < lowestPitchHz || hertz > highestPitchHz)
            continue;
        // Semitones above C, taking A4 as 440 Hz.
        const long semitone = std::lround(12 * std::log2(hertz / 440.0)) + 9;
        pitchClassOfBin_[bin] = int(((semitone % 12) + 12) % 12);
    }
}

FrameFeatures SpectralFrames::analyse(std::span<const float> mono) const
{
    FrameFeatures features;
    features.onsetHop = onsetWindow_.size() / 4;
    features.onsetStrength = onsetStrength(mono);
    features.chromaHop = chromaWindow_.size() / 4;
    addLongFrames(mono, features);
    return features;
}

std::vector<float> SpectralFrames::onsetStrength(std::span<const float> mono) const
{
    const std::size_t size = onsetWindow_.size();
    const std::size_t hop = size / 4;
    const std::size_t frames = frameCount(mono.size(), size, hop);
    const std::size_t bins = size / 2 + 1;
    std::vector<float> windowed(size);
    std::vector<std::complex<float>> spectrum(bins);
    std::vector<float> compressed(bins, 0.0f);
    std::vector<float> previous(bins, 0.0f);
    std::vector<float> strength;
    strength.reserve(frames);
    for (std::size_t frame = 0; frame < frames; ++frame) {
        transformFrame(mono.data() + frame * hop, onsetWindow_, onsetTransform_, windowed,
                       spectrum);
        float flux = 0;
        for (std::size_t bin = 0; bin < bins; ++bin) {
            const float magnitude = std::sqrt(std::norm(spectrum[bin]));
            compressed[bin] = approximateLog1p(onsetCompression * magnitude);
            flux += std::max(0.0f, compressed[bin] - previous[bin]);
        }
        std::swap(compressed, previous);
        // The first frame has nothing before it to grow from.
        strength.push_back(frame == 0 ? 0.0f : flux / float(bins));
    }
    return strength;
}

void SpectralFrames::addLongFrames(std::span<const float> mono, FrameFeatures &features) const
{
    const std::size_t size = chromaWindow_.size();
    const std::size_t hop = size / 4;
    const std::size_t frames = frameCount(mono.size(), size, hop);
    std::vector<float> windowed(size);
    std::vector<std::complex<float>> spectrum(size / 2 + 1);
    std::vector<float> power(spectrum.size());
    features.chroma.assign(frames, Chroma{});
    features.bandLevels.assign(frames, BandLevels{});
    for (std::size_t frame = 0; frame < frames; ++frame) {
        transformFrame(mono.data() + frame * hop, chromaWindow_, chromaTransform_, windowed,
                       spectrum);
        for (std::size_t bin = 0; bin < spectrum.size(); ++bin)
            power[bin] = std::norm(spectrum[bin]);
        Chroma &chroma = features.chroma[frame];
        for (std::size_t bin = 0; bin < spectrum.size(); ++bin)
            if (pitchClassOfBin_[bin] >= 0)
                chroma[std::size_t(pitchClassOfBin_[bin])] += power[bin];
        for (std::size_t band = 0; band < bandBins_.size(); ++band) {
            double energy = floorEnergy;
            for (const auto &[bin, weight] : bandBins_[band])
                energy += double(weight) * power[bin];
            features.bandLevels[frame][band] = float(10 * std::log10(energy));
        }
    }
}

} // namespace core
