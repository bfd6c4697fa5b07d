// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "fit/SpectralFrames.h"

#include <cstddef>
#include <vector>

namespace core {

// A piece as the loop search sees it: averaged down to about 22 kHz and cut into frames.
struct PieceFrames
{
    std::vector<float> reduced; // the mono piece at rate
    int rate = 0;
    std::size_t factor = 1; // samples of the piece to one reduced sample
    FrameFeatures features;

    // The piece's samples from one long frame to the next.
    std::size_t frameSamples() const { return features.chromaHop * factor; }
};

} // namespace core
