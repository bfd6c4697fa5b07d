// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "music/AudioCodecs.h"

#include <optional>
#include <string>

namespace core {

class OriginalsFolder;

// How the game plays a slot's music, told by the length of its own: a short jingle played
// once, or music it loops.
struct SlotRole
{
    enum class Kind { Jingle, Loop };
    static constexpr double shortestLoop = 30; // seconds

    Kind kind = Kind::Loop;
    double seconds = 0; // of the game's own music

    static SlotRole forSeconds(double seconds);
    // The role of the slot whose game file is targetName, from the kept original, else the
    // game file; nothing where neither can be read.
    static std::optional<SlotRole> forGameMusic(AudioDecoder &decoder,
                                                const OriginalsFolder &originals,
                                                const std::string &targetName);
};

} // namespace core
