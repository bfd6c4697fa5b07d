// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "loudness/GainPlan.h"
#include "loudness/LoudnessOptions.h"
#include "music/AudioCodecs.h"

#include <optional>

namespace core {

// The gain that makes a pick as loud as its reference without clipping.
class LoudnessGain
{
  public:
    // The encoder's input stays at or below this true peak, or the reference's own where
    // that is higher, never above 0 dBTP.
    static constexpr double peakCeiling = -1.5;
    // A converted result decoded again stays at or below this true peak.
    static constexpr double decodedCeiling = -0.5;
    // A converted result whose loudness misses its aim by more is made again.
    static constexpr double encodingTolerance = 0.4;
    // At this bit rate a channel and above, the encoder takes little beyond its low-pass,
    // which the pick is measured through: its result is not decoded again for its loudness.
    // Measured: a joint stereo result at 96 kbit/s a channel within 0.3 LU, a mono one at 96
    // up to 0.45 LU under, so mono needs more.
    static constexpr int faithfulKbpsPerChannel = 96;
    static constexpr int faithfulMonoKbps = 128;
    // More of the pick's weighted energy than this above the low-pass, in dB of loudness
    // lost (half the energy), and the format cannot carry its sound.
    static constexpr double beyondFormatLoss = 3.0103;
    // How far encoding may push a peak up.
    static constexpr double encodingOvershoot = 1.5;

    static double ceilingFor(const Loudness &reference);
    // The plan as the measured result has it: a result short of its reference by more than
    // the encoder's tolerance beyond what the plan held back is told as it is.
    static GainPlan withResult(GainPlan plan);
    // The pick's loudness as the encoder will leave it: what lies below its low-pass, unless
    // that is less than half of it.
    static double keptLoudness(const Loudness &pick);
    // For music converted to MP3: any gain.
    static GainPlan forConversion(const std::optional<Loudness> &pick,
                                  const std::optional<Loudness> &reference);
    // For an MP3 pick: whole steps of global gain, rounded toward quieter where the nearest
    // step would pass the ceiling.
    static GainPlan forMp3(const std::optional<Loudness> &pick,
                           const std::optional<Loudness> &reference);
    // The plan for an MP3 whose granules take only steps of the planned: what is short of a
    // match is held back.
    static GainPlan withMp3Steps(GainPlan plan, int steps);
    // The plan as the player's choice has it: where matching of the pick's kind is off, the
    // pick goes as it is, its figures kept.
    static GainPlan asChosen(GainPlan plan, bool mp3, const LoudnessOptions &options);
    // Whether the pick's true peak, where only bounded from its sample peak, could hold the
    // gain back: then it is to be measured.
    static bool needsTruePeak(const std::optional<Loudness> &pick,
                              const std::optional<Loudness> &reference);
    // Whether a result converted by plan at this bit rate is decoded again: to check the
    // loudness the encoder took, or a peak the encoding may have pushed past the ceiling.
    static bool resultNeedsCheck(const GainPlan &plan, int kbps, int channels);
    // Whether a decoded result of this sample peak could have a true peak above the decoded
    // ceiling: then its true peak is measured.
    static bool mayPassDecodedCeiling(double decodedSamplePeak);
    // Steps that bring a decoded true peak to the decoded ceiling; 0 where it is below.
    static int stepsBelowDecodedCeiling(double truePeak);
};

} // namespace core
