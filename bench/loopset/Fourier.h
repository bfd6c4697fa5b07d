// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <complex>
#include <vector>

namespace loopset {

// A plain radix-2 transform of the judge's own, so that the judge shares no code with what
// it judges.
class Fourier
{
  public:
    // In place; the size must be a power of two. Inverse is unscaled.
    static void transform(std::vector<std::complex<double>> &values, bool inverse = false);
    static std::size_t powerOfTwoAtLeast(std::size_t count);
};

} // namespace loopset
