// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace core {

// How the game plays a slot's music, told by the length of its own: a short jingle played
// once, or music it loops.
struct SlotRole
{
    enum class Kind { Jingle, Loop };
    static constexpr double shortestLoop = 30; // seconds

    Kind kind = Kind::Loop;
    double seconds = 0; // of the game's own music

    static SlotRole forSeconds(double seconds);
};

} // namespace core
