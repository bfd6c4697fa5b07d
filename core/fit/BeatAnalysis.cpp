// SPDX-License-Identifier: GPL-3.0-or-later
#include "fit/BeatAnalysis.h"

#include <algorithm>

namespace core {

std::size_t BeatAnalysis::spanAt(std::size_t sample) const
{
    if (spans() == 0)
        return 0;
    const auto after = std::upper_bound(beats.begin(), beats.end(), sample);
    const auto span = std::size_t(std::max<std::ptrdiff_t>(0, after - beats.begin() - 1));
    return std::min(span, spans() - 1);
}

} // namespace core
