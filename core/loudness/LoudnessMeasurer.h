// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "music/AudioCodecs.h"
#include "music/PickFit.h"

#include <filesystem>
#include <functional>
#include <stop_token>
#include <string>
#include <variant>

namespace core {

// Measures music as the encoder receives it: decoded at the sample rate and channel count
// given, so that a stereo file for a mono slot is measured after its downmix.
class LoudnessMeasurer
{
  public:
    // Seconds of the file measured so far.
    using Progress = std::function<void(double seconds)>;

    // keptBelowHz: where not 0, what lies below it is measured too, as keptLufs.
    explicit LoudnessMeasurer(const AudioCodecs &codecs, int keptBelowHz = 0)
        : codecs_(codecs), keptBelowHz_(keptBelowHz)
    {
    }

    // The figures, or why the file cannot be measured; a stop request ends it as Cancelled.
    // Without truePeak, the true peak is bounded from the sample peak. fit: what of the file
    // is measured, in frames at sampleRate.
    std::variant<Loudness, Reason> measure(const std::filesystem::path &file, int sampleRate,
                                           int channels, bool truePeak = true,
                                           const Progress &progress = {}, std::stop_token stop = {},
                                           const PickFit &fit = {}) const;

  private:
    const AudioCodecs &codecs_;
    int keptBelowHz_ = 0;
};

} // namespace core
