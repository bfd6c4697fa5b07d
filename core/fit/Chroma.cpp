// SPDX-License-Identifier: GPL-3.0-or-later
#include "fit/Chroma.h"

#include <cmath>

namespace core {

double chromaDistance(const Chroma &a, const Chroma &b)
{
    double dot = 0;
    double normA = 0;
    double normB = 0;
    for (std::size_t pitch = 0; pitch < a.size(); ++pitch) {
        dot += double(a[pitch]) * b[pitch];
        normA += double(a[pitch]) * a[pitch];
        normB += double(b[pitch]) * b[pitch];
    }
    if (normA <= 0 || normB <= 0)
        return 1;
    return 1 - dot / std::sqrt(normA * normB);
}

} // namespace core
