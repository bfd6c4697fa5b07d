// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "music/Loudness.h"

#include <optional>

namespace core {

// Why a pick gets the gain it gets.
enum class GainReason {
    Matched,         // as loud as the game's music of its slot
    PeakLimited,     // quieter than that, held back by the true-peak limit
    Off,             // matching is off: the pick goes as it is
    NoReference,     // nothing to match: the game's file is this program's own, or none
    SilentReference, // the game's music has no loudness (silence, under 0.4 s)
    SilentPick,      // the pick has no loudness (silence, under 0.4 s)
    NotMeasured,     // the pick or the game's music could not be read to the end
    FreeFormatMp3,   // an MP3 of a bit rate of its own: copied as it is
    OtherLayerMp3,   // MPEG audio layer I or II named .mp3: copied as it is
    // An MP3 moved fewer steps than would match: a granule's gain would leave its range.
    Mp3RangeLimited,
    // The written result measures quieter than planned: the slot's format (its rate or the
    // encoder) did not carry all of the pick's sound.
    FormatLimited,
};

// What Change does to a pick's loudness, and why.
struct GainPlan
{
    GainReason reason = GainReason::Off;
    double gain = 0;     // dB applied; 0 unless matched or peak limited
    double heldBack = 0; // dB the true-peak limit, or an MP3's gain range, took off a match
    std::optional<Loudness> pick;
    std::optional<Loudness> reference;
    int mp3Steps = 0;       // of global gain, for an MP3 pick
    bool madeAgain = false; // converted twice: the encoder's loss passed the tolerance
    // The game has no music of the slot: the reference is the median of its other slots.
    bool medianReference = false;
    // The encoder's low-pass for the slot's format, in Hz; 0 for none or an MP3 pick.
    int keptBelowHz = 0;
    // More than half the pick's weighted energy lies above that low-pass: the format cannot
    // carry its sound, so its gain matches the pick as it is, not what the encoder keeps.
    bool beyondFormat = false;
    // dB the encoded result was lowered by, in whole steps, where its decoded peak passed the
    // decoded ceiling: as many steps as its granules took; heldBack counts it, gain
    // (the encoder's) does not.
    double loweredAfterEncoding = 0;
    // What the converted result measures, where it was measured after encoding.
    std::optional<double> resultLufs;

    bool applies() const
    {
        return reason == GainReason::Matched || reason == GainReason::PeakLimited ||
               reason == GainReason::Mp3RangeLimited;
    }
};

} // namespace core
