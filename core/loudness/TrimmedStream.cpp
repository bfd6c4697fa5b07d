// SPDX-License-Identifier: GPL-3.0-or-later
#include "loudness/TrimmedStream.h"

#include <algorithm>

namespace core {

TrimmedStream::TrimmedStream(int sampleRate, int channels, std::int64_t start,
                             std::int64_t mostHeld, AudioDecoder::Sink sink)
    : gate_(sampleRate, channels), channels_(std::size_t(std::max(channels, 1))), start_(start),
      mostHeld_(mostHeld), sink_(std::move(sink)), passedOnTo_(start)
{
}

PickFit TrimmedStream::withoutSilence(const SilenceGate &gate)
{
    // The gate's own level stands in for the loudness no meter measures here.
    const SilenceGate::Ends silent = gate.ends(gate.integratedLevel());
    PickFit fit;
    fit.start = silent.leading;
    if (silent.trailing > 0)
        fit.end = gate.frames() - silent.trailing;
    return fit;
}

bool TrimmedStream::add(const float *samples, std::size_t frames)
{
    const std::int64_t blockStart = heard_;
    heard_ += std::int64_t(frames);
    gate_.add(samples, frames);
    const std::int64_t from = std::max(blockStart, start_);
    if (from < heard_)
        held_.insert(held_.end(), samples + std::size_t(from - blockStart) * channels_,
                     samples + frames * channels_);
    if (gate_.floorSoundEnd() > passedOnTo_ && !passOn(gate_.floorSoundEnd()))
        return false;
    // A long quiet stretch is passed on unheard out: finish() tells whether it was silence.
    if (heard_ - passedOnTo_ > mostHeld_)
        return passOn(heard_);
    return true;
}

bool TrimmedStream::finish()
{
    const PickFit exact = exactFit();
    const std::int64_t end = exact.end.value_or(heard_);
    if (exact.start != start_ || end < passedOnTo_)
        return false;
    if (end > passedOnTo_)
        passOn(end);
    written_ = true;
    return true;
}

bool TrimmedStream::passOn(std::int64_t upTo)
{
    const auto count = std::size_t(upTo - passedOnTo_);
    const bool more = sink_(held_.data() + passedOnInHeld_, count);
    passedOnInHeld_ += count * channels_;
    passedOnTo_ = upTo;
    if (2 * passedOnInHeld_ >= held_.size()) {
        held_.erase(held_.begin(), held_.begin() + std::ptrdiff_t(passedOnInHeld_));
        passedOnInHeld_ = 0;
    }
    return more;
}

} // namespace core
