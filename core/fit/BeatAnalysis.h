// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "fit/Chroma.h"

#include <cstddef>
#include <vector>

namespace core {

// A piece cut at its beats. Beat span n runs from beats[n] to beats[n + 1].
struct BeatAnalysis
{
    std::vector<std::size_t> beats; // sample positions, in order
    std::vector<Chroma> chroma;     // each beat span's, unit length; all zero where silent
    std::vector<double> loudness;   // each beat span's RMS level in dBFS
    double beatSamples = 0;         // the tempo's beat period

    std::size_t spans() const { return chroma.size(); }
    // The span that holds the sample, the first or last one beyond the beats.
    std::size_t spanAt(std::size_t sample) const;
};

} // namespace core
