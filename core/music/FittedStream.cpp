// SPDX-License-Identifier: GPL-3.0-or-later
#include "music/FittedStream.h"

#include <algorithm>
#include <limits>

namespace core {

FittedStream::FittedStream(const PickFit &fit, int channels, AudioDecoder::Sink sink)
    : fit_(fit), channels_(std::size_t(std::max(channels, 1))), sink_(std::move(sink)),
      beforeStart_(std::size_t(fit.crossfade) * channels_, 0.0F)
{
}

bool FittedStream::add(const float *samples, std::size_t frames)
{
    const std::int64_t blockStart = position_;
    const std::int64_t blockEnd = position_ + std::int64_t(frames);
    position_ = blockEnd;
    const std::int64_t end = fit_.end.value_or(std::numeric_limits<std::int64_t>::max());
    keepBeforeStart(samples, blockStart, blockEnd);
    const std::int64_t from = std::max(blockStart, fit_.start);
    const std::int64_t to = std::min(blockEnd, end);
    if (from < to) {
        const float *kept = samples + std::size_t(from - blockStart) * channels_;
        const auto count = std::size_t(to - from);
        if (shapes(from, to)) {
            shaped_.assign(kept, kept + count * channels_);
            for (std::size_t frame = 0; frame < count; ++frame)
                shape(shaped_.data() + frame * channels_, from + std::int64_t(frame));
            kept = shaped_.data();
        }
        if (!sink_(kept, count))
            return false;
    }
    // Past the end: the rest of the file need not be decoded.
    return blockEnd < end;
}

void FittedStream::keepBeforeStart(const float *samples, std::int64_t blockStart,
                                   std::int64_t blockEnd)
{
    const std::int64_t from = std::max(blockStart, fit_.start - fit_.crossfade);
    const std::int64_t to = std::min(blockEnd, fit_.start);
    for (std::int64_t position = from; position < to; ++position)
        std::copy_n(
            samples + std::size_t(position - blockStart) * channels_, channels_,
            beforeStart_.begin() +
                std::ptrdiff_t(std::size_t(position - (fit_.start - fit_.crossfade)) * channels_));
}

bool FittedStream::shapes(std::int64_t from, std::int64_t to) const
{
    if (from < fit_.start + fit_.fadeIn)
        return true;
    return fit_.end && to > *fit_.end - std::max(fit_.fadeOut, fit_.crossfade);
}

void FittedStream::shape(float *frame, std::int64_t position) const
{
    float gain = 1;
    const std::int64_t offset = position - fit_.start;
    if (offset < fit_.fadeIn)
        gain = float(double(offset) + 0.5) / float(fit_.fadeIn);
    if (fit_.end) {
        const std::int64_t left = *fit_.end - position;
        if (left <= fit_.fadeOut)
            gain = std::min(gain, float((double(left) - 0.5) / double(fit_.fadeOut)));
        // At the end, the music that comes before the start: looped, the seam runs on.
        if (left <= fit_.crossfade) {
            const std::int64_t into = fit_.crossfade - left;
            const float weight = float((double(into) + 0.5) / double(fit_.crossfade));
            const float *before = beforeStart_.data() + std::size_t(into) * channels_;
            for (std::size_t channel = 0; channel < channels_; ++channel)
                frame[channel] = gain * ((1 - weight) * frame[channel] + weight * before[channel]);
            return;
        }
    }
    for (std::size_t channel = 0; channel < channels_; ++channel)
        frame[channel] *= gain;
}

} // namespace core
