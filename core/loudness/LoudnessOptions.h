// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace core {

// Whether Change makes the picks as loud as the game's music of their slots.
struct LoudnessOptions
{
    bool matchLoudness = true; // converted picks: gain before the encoder
    bool matchMp3 = false;     // MP3 picks too, in whole global gain steps; else byte for byte
};

} // namespace core
