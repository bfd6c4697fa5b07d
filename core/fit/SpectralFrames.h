// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "fit/Chroma.h"

#include <array>
#include <cstddef>
#include <span>
#include <vector>

namespace core {

class RealTransform;

// The level of each of 24 bands spaced evenly in pitch from 40 Hz to 10 kHz, in decibels:
// how a frame sounds, whatever its harmony.
using BandLevels = std::array<float, 24>;

// What beat tracking and loop matching use of a signal's short-time spectra. Frame n of each
// series starts at sample n times its hop.
struct FrameFeatures
{
    std::size_t onsetHop = 0;
    std::vector<float> onsetStrength; // spectral flux: how much louder a frame's bins got, on
                                      // average, in the log of their magnitude
    std::size_t chromaHop = 0;
    std::vector<Chroma> chroma;         // each frame's pitch-class energy
    std::vector<BandLevels> bandLevels; // each chroma frame's
};

// Cuts a mono signal into overlapping Hann-windowed frames and reduces each frame's spectrum
// to its onset strength (short frames, to place a beat) and its chroma (long frames, to tell
// one semitone from the next, and its band levels).
class SpectralFrames
{
  public:
    // The onset hop for a rate: a power of two near 11.6 ms. The onset transform spans four
    // hops; the chroma transform sixteen, four hops apart.
    static std::size_t onsetHopFor(int sampleRate);

    SpectralFrames(int sampleRate, RealTransform &onsetTransform, RealTransform &chromaTransform);
    FrameFeatures analyse(std::span<const float> mono) const;

  private:
    std::vector<float> onsetStrength(std::span<const float> mono) const;
    void addLongFrames(std::span<const float> mono, FrameFeatures &features) const;
    void buildPitchClassOfBins(int sampleRate);
    void buildBands(int sampleRate);

    RealTransform &onsetTransform_;
    RealTransform &chromaTransform_;
    std::vector<float> onsetWindow_;
    std::vector<float> chromaWindow_;
    std::vector<int> pitchClassOfBin_; // of the chroma transform; -1 outside the notes kept
    // Of each band, the chroma transform's bins in it and their weights.
    std::vector<std::vector<std::pair<std::size_t, float>>> bandBins_;
};

} // namespace core
