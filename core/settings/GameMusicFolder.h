// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>

namespace core {

// What tells the game's music folder from any other: the slots' target files.
class GameMusicFolder
{
  public:
    // The folder holds at least one of the slots' target files, in any letter case.
    static bool holdsGameMusic(const std::filesystem::path &folder);
};

} // namespace core
