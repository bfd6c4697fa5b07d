// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "loudness/LoudnessCache.h"
#include "loudness/LoudnessGain.h"
#include "loudness/LoudnessOptions.h"
#include "loudness/LoudnessReference.h"
#include "music/MusicConverter.h"
#include "music/SeamFraming.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>

namespace core {

// A pick made as loud as the game's music of its slot: measured (once a session), then
// converted with the gain that matches, or for an MP3 pick, copied with its global gain
// moved in whole steps.
class MatchedConversion
{
  public:
    // An MP3 pick larger than this is not held in memory to be changed: it goes as it is.
    static constexpr std::uintmax_t largestAdjustedMp3 = std::uintmax_t(512) << 20;
    // Seconds of music worked through: measuring counts as much as converting.
    using Progress = std::function<void(double seconds)>;
    struct Outcome
    {
        std::optional<ConversionFailure> failure; // as MusicConverter's
        GainPlan plan;
    };

    // fileSystem: what the pick is read and the result written through while converting.
    MatchedConversion(const AudioCodecs &codecs, LoudnessCache &cache,
                      LoudnessReference &references, LoudnessOptions options = {},
                      FileSystem &fileSystem = FileSystem::native());

    // What Change will do to the pick's loudness: measures the pick (decoded as settings say,
    // or as it is for an MP3 without a fit) and the slot's reference where not measured yet.
    // fit: what of the pick is written, in frames at its own rate; the pick's figure is that
    // of the fitted part. A whole pick's figure tells the silence left out at its ends.
    GainPlan plan(int slot, const std::filesystem::path &source, const Mp3Settings &settings,
                  const Progress &progress = {}, std::stop_token stop = {},
                  const PickFit &fit = {});
    // Whether plan for the pick needs no measuring of the pick.
    bool isMeasured(const std::filesystem::path &source, const Mp3Settings &settings,
                    const PickFit &fit = {}) const;

    // Converts the pick into output at its matched gain: its fit, or where it has none, the
    // pick without the silence at its ends. A converted result that decodes above the
    // decoded ceiling is lowered in whole steps.
    Outcome convert(int slot, const std::filesystem::path &source, const Mp3Settings &settings,
                    const std::filesystem::path &output, const Progress &progress = {},
                    std::stop_token stop = {}, const PickFit &fit = {});
    // What of a whole pick is written: all but the silence its figure found at its ends, in
    // frames at sampleRate.
    static PickFit withoutSilence(const std::optional<Loudness> &pick, int sampleRate);
    // The pick's fit in frames at the rate it is converted at, a seam's end where the file
    // turns in whole frames.
    static PickFit decodedFit(const PickFit &fit, const AudioInfo &pick,
                              const SeamFraming &framing);
    // The same for the pick the decoder probes, whose length is counted by decoding it where
    // the fit runs to or near its end and the probe could not tell that end to the frame: a
    // fit's end past its music is brought back to it. Nothing where the pick cannot be read.
    static std::optional<PickFit> decodedFit(AudioDecoder &decoder,
                                             const std::filesystem::path &source,
                                             const PickFit &fit, const SeamFraming &framing);
    // Writes the MP3 pick into output with its global gain moved to match; as it is where
    // matching does not apply or the stream cannot be changed.
    Outcome adjustMp3(int slot, const std::filesystem::path &source,
                      const std::filesystem::path &output, const Progress &progress = {},
                      std::stop_token stop = {});

  private:
    // plan with the fit in frames as converted, found already.
    GainPlan planFitted(int slot, const std::filesystem::path &source, const Mp3Settings &settings,
                        const Progress &progress, std::stop_token stop, const PickFit &fit,
                        const PickFit &decoded);
    std::optional<AudioInfo> probe(const std::filesystem::path &source) const;
    std::optional<PickFit> decodedFit(const std::filesystem::path &source,
                                      const Mp3Settings &settings, const PickFit &fit) const;
    // The frequency above which the encoder keeps nothing in this format; 0 where it keeps
    // all it can.
    int encoderLowpass(const Mp3Settings &settings) const;
    // Lowers the result's decoded peak in whole steps; plan's gain takes the steps applied.
    std::optional<ConversionFailure> lowerDecodedPeak(const std::filesystem::path &output,
                                                      const Mp3Settings &settings,
                                                      GainPlan &plan) const;

    const AudioCodecs &codecs_;
    LoudnessCache &cache_;
    LoudnessReference &references_;
    LoudnessOptions options_;
    FileSystem &fileSystem_;
};

} // namespace core
