// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "AudioCodecs.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>

namespace core {

// The MP3 a converted file is written as: the sample rate and channels of the game's own
// file of the slot (its reference), at its bit rate, as MPEG allows it.
struct Mp3Settings
{
    int sampleRate = 44100;
    int channels = 2;
    int kbps = 192;

    // No reference (the game has no file for the slot): 44.1 kHz stereo at 192 kbit/s.
    static Mp3Settings forReference(const std::optional<AudioInfo> &reference);
};

// Turns music of any format the decoder reads into the game's MP3 format.
class MusicConverter
{
  public:
    // Seconds of the source converted so far.
    using Progress = std::function<void(double seconds)>;

    // gain: what the decoded samples are multiplied by before the encoder.
    explicit MusicConverter(const AudioCodecs &codecs, float gain = 1)
        : codecs_(codecs), gain_(gain)
    {
    }

    // Writes the MP3 to output, whole and flushed; the reason where it fails. A stop request
    // ends it with the reason "cancelled" and no output.
    std::optional<std::string> convert(const std::filesystem::path &source,
                                       const Mp3Settings &settings,
                                       const std::filesystem::path &output,
                                       const Progress &progress = {},
                                       std::stop_token stop = {}) const;

  private:
    const AudioCodecs &codecs_;
    float gain_;
};

} // namespace core
