// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>

namespace core {

// The energy of each of the twelve pitch classes, C first.
using Chroma = std::array<float, 12>;

// 1 minus the cosine of the angle between the two: 0 for the same harmony, 1 for none shared;
// 1 where either is silent.
double chromaDistance(const Chroma &a, const Chroma &b);

} // namespace core
