// SPDX-License-Identifier: GPL-3.0-or-later
#include "loudness/LoudnessGain.h"

#include "audio/Mp3Gain.h"

#include <algorithm>
#include <cmath>

namespace core {

namespace {

bool usable(const Loudness &loudness)
{
    return std::isfinite(loudness.lufs);
}

// The plan's figures, and where matching stops before any gain is worked out, why:
// Matched where it goes on.
GainPlan started(const std::optional<Loudness> &pick, const std::optional<Loudness> &reference)
{
    GainPlan plan;
    plan.pick = pick;
    plan.reference = reference;
    if (!reference)
        plan.reason = GainReason::NoReference;
    else if (!usable(*reference))
        plan.reason = GainReason::SilentReference;
    else if (!pick)
        plan.reason = GainReason::NotMeasured;
    else if (!usable(*pick))
        plan.reason = GainReason::SilentPick;
    else
        plan.reason = GainReason::Matched;
    return plan;
}

bool isBeyondFormat(const Loudness &pick)
{
    return pick.keptBelowHz > 0 && !(pick.lufs - pick.keptLufs <= LoudnessGain::beyondFormatLoss);
}

} // namespace

double LoudnessGain::ceilingFor(const Loudness &reference)
{
    return std::min(0.0, std::max(peakCeiling, reference.truePeak));
}

double LoudnessGain::keptLoudness(const Loudness &pick)
{
    return pick.keptBelowHz > 0 && !isBeyondFormat(pick) ? pick.keptLufs : pick.lufs;
}

GainPlan LoudnessGain::withResult(GainPlan plan)
{
    if (!plan.resultLufs || !plan.reference || plan.beyondFormat ||
        (plan.reason != GainReason::Matched && plan.reason != GainReason::PeakLimited))
        return plan;
    // What the peak limit took, before the encoder and after it, is told already.
    const double shortBy = plan.reference->lufs - *plan.resultLufs;
    if (shortBy - plan.heldBack > encodingTolerance) {
        plan.reason = GainReason::FormatLimited;
        plan.heldBack = shortBy;
    }
    return plan;
}

GainPlan LoudnessGain::forConversion(const std::optional<Loudness> &pick,
                                     const std::optional<Loudness> &reference)
{
    GainPlan plan = started(pick, reference);
    if (plan.reason != GainReason::Matched)
        return plan;
    plan.keptBelowHz = pick->keptBelowHz;
    plan.beyondFormat = isBeyondFormat(*pick);
    const double wanted = reference->lufs - keptLoudness(*pick);
    const double allowed = ceilingFor(*reference) - pick->truePeak;
    plan.gain = std::min(wanted, allowed);
    plan.heldBack = wanted - plan.gain;
    plan.reason = plan.heldBack > 0 ? GainReason::PeakLimited : GainReason::Matched;
    return plan;
}

GainPlan LoudnessGain::forMp3(const std::optional<Loudness> &pick,
                              const std::optional<Loudness> &reference)
{
    GainPlan plan = started(pick, reference);
    if (plan.reason != GainReason::Matched)
        return plan;
    const double wanted = reference->lufs - pick->lufs;
    const double ceiling = ceilingFor(*reference);
    const int matching = int(std::lround(wanted / Mp3Gain::stepDecibels));
    int steps = matching;
    if (pick->truePeak + steps * Mp3Gain::stepDecibels > ceiling)
        steps = int(std::floor((ceiling - pick->truePeak) / Mp3Gain::stepDecibels));
    plan.mp3Steps = steps;
    plan.gain = steps * Mp3Gain::stepDecibels;
    // Within half a step is as matched as whole steps allow; held back, the result misses by
    // all that the limit took.
    plan.heldBack = steps < matching ? wanted - plan.gain : 0;
    plan.reason = plan.heldBack > 0 ? GainReason::PeakLimited : GainReason::Matched;
    return plan;
}

GainPlan LoudnessGain::withMp3Steps(GainPlan plan, int steps)
{
    if (steps == plan.mp3Steps || !plan.applies())
        return plan;
    const double wanted = plan.reference->lufs - plan.pick->lufs;
    plan.mp3Steps = steps;
    plan.gain = steps * Mp3Gain::stepDecibels;
    plan.heldBack = std::abs(wanted - plan.gain);
    plan.reason = GainReason::Mp3RangeLimited;
    return plan;
}

GainPlan LoudnessGain::asChosen(GainPlan plan, bool mp3, const LoudnessOptions &options)
{
    if (options.matchLoudness && (!mp3 || options.matchMp3))
        return plan;
    plan.reason = GainReason::Off;
    plan.gain = 0;
    plan.heldBack = 0;
    plan.mp3Steps = 0;
    return plan;
}

bool LoudnessGain::needsTruePeak(const std::optional<Loudness> &pick,
                                 const std::optional<Loudness> &reference)
{
    if (started(pick, reference).reason != GainReason::Matched || pick->truePeakMeasured)
        return false;
    // Half a step more for an MP3, whose gain may round up.
    const double wanted = reference->lufs - keptLoudness(*pick) + Mp3Gain::stepDecibels / 2;
    return pick->truePeak + wanted > ceilingFor(*reference);
}

bool LoudnessGain::resultNeedsCheck(const GainPlan &plan, int kbps, int channels)
{
    if (!plan.applies() || !plan.pick)
        return false;
    const int faithful = channels > 1 ? faithfulKbpsPerChannel * channels : faithfulMonoKbps;
    return kbps < faithful || plan.pick->truePeak + plan.gain > decodedCeiling - encodingOvershoot;
}

bool LoudnessGain::mayPassDecodedCeiling(double decodedSamplePeak)
{
    return decodedSamplePeak + Loudness::intersampleMargin > decodedCeiling;
}

int LoudnessGain::stepsBelowDecodedCeiling(double truePeak)
{
    if (!(truePeak > decodedCeiling))
        return 0;
    return -int(std::ceil((truePeak - decodedCeiling) / Mp3Gain::stepDecibels));
}

} // namespace core
