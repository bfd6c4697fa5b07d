// SPDX-License-Identifier: GPL-3.0-or-later
#include "Fourier.h"

#include <cmath>
#include <numbers>
#include <utility>

namespace loopset {

void Fourier::transform(std::vector<std::complex<double>> &values, bool inverse)
{
    const std::size_t size = values.size();
    for (std::size_t i = 1, j = 0; i < size; ++i) {
        std::size_t bit = size >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(values[i], values[j]);
    }
    for (std::size_t length = 2; length <= size; length <<= 1) {
        const double angle = 2 * std::numbers::pi / double(length) * (inverse ? 1 : -1);
        const std::complex<double> step(std::cos(angle), std::sin(angle));
        for (std::size_t from = 0; from < size; from += length) {
            std::complex<double> turn(1);
            for (std::size_t k = 0; k < length / 2; ++k) {
                const std::complex<double> even = values[from + k];
                const std::complex<double> odd = values[from + k + length / 2] * turn;
                values[from + k] = even + odd;
                values[from + k + length / 2] = even - odd;
                turn *= step;
            }
        }
    }
}

std::size_t Fourier::powerOfTwoAtLeast(std::size_t count)
{
    std::size_t size = 1;
    while (size < count)
        size <<= 1;
    return size;
}

} // namespace loopset
