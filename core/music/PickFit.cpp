// SPDX-License-Identifier: GPL-3.0-or-later
#include "music/PickFit.h"

#include <algorithm>
#include <cmath>

namespace core {

namespace {

std::int64_t rescaled(std::int64_t frames, int fromRate, int toRate)
{
    return std::llround(double(frames) * toRate / fromRate);
}

} // namespace

std::optional<Reason> PickFit::problem(std::optional<int> sampleRate,
                                       std::optional<std::int64_t> pickFrames) const
{
    if (start < 0 || fadeIn < 0 || fadeOut < 0 || crossfade < 0 || (end && *end < 0))
        return Reason{Reason::Code::FitNegative, {}};
    if (end && *end <= start)
        return Reason{Reason::Code::FitEndBeforeStart, {}};
    if (pickFrames && (start >= *pickFrames || (end && *end > *pickFrames)))
        return Reason{Reason::Code::FitPastEnd, {}};
    const std::optional<std::int64_t> stop = end ? end : pickFrames;
    if (stop && fadeIn + fadeOut > *stop - start)
        return Reason{Reason::Code::FitFadesTooLong, {}};
    // The crossfade mixes in the music before the start, and is short by design.
    if (crossfade > start || (sampleRate && crossfade > longestCrossfade(*sampleRate)) ||
        (stop && crossfade > *stop - start))
        return Reason{Reason::Code::FitCrossfadeTooLong, {}};
    return std::nullopt;
}

PickFit PickFit::at(int fromRate, int toRate) const
{
    if (fromRate == toRate || fromRate <= 0)
        return *this;
    PickFit fit;
    fit.found = found;
    fit.start = rescaled(start, fromRate, toRate);
    if (end)
        fit.end = rescaled(*end, fromRate, toRate);
    fit.fadeIn = rescaled(fadeIn, fromRate, toRate);
    fit.fadeOut = rescaled(fadeOut, fromRate, toRate);
    // Never past what the start leaves before it, nor the longest a seam takes.
    fit.crossfade =
        std::min({rescaled(crossfade, fromRate, toRate), fit.start, longestCrossfade(toRate)});
    return fit;
}

} // namespace core
