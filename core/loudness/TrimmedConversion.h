// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "music/MusicConverter.h"

#include <filesystem>
#include <optional>
#include <stop_token>

namespace core {

class SilenceGate;

// Converts a pick without the silence at its ends: the MP3 a reading that finds the ends and
// a conversion of what lies between them would write, nearly always in one reading of the
// pick and a short one of its start. The pick is written again, from its exact ends, where
// that one reading could not tell them while it encoded (see TrimmedStream).
class TrimmedConversion
{
  public:
    // Longest stretch after the last known sound held back from the encoder: 30 s.
    static constexpr double mostHeldSeconds = 30;

    TrimmedConversion(const AudioCodecs &codecs, FileSystem &fileSystem = FileSystem::native())
        : codecs_(codecs), fileSystem_(fileSystem)
    {
    }

    // As MusicConverter::convert; progress: seconds of the pick read.
    std::optional<ConversionFailure> convert(const std::filesystem::path &source,
                                             const Mp3Settings &settings,
                                             const std::filesystem::path &output,
                                             const MusicConverter::Progress &progress = {},
                                             std::stop_token stop = {}) const;

  private:
    // Reads the pick until it is known to sound at the gate's floor; false where it failed.
    bool readHead(const std::filesystem::path &source, const Mp3Settings &settings,
                  SilenceGate &gate, const MusicConverter::Progress &progress,
                  std::stop_token stop) const;

    const AudioCodecs &codecs_;
    FileSystem &fileSystem_;
};

} // namespace core
