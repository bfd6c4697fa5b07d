// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace loopset {

struct Track
{
    std::string package;
    std::filesystem::path file;
    bool keptAside = false; // for the final figure only, never tuned on
    std::string name() const { return package + "/" + file.filename().string(); }
};

// The labelled set's music: what Debian's game data packages installed on this machine hold,
// found through the package manager's lists. No music is kept with the program. Five other
// game-music packages are left out altogether: they are kept for an outside judgement.
class MusicSet
{
  public:
    // Archived music is unpacked into scratch. Says on log which packages were found.
    static std::vector<Track> tracks(const std::filesystem::path &scratch, std::FILE *log);

  private:
    static std::vector<std::filesystem::path> listed(const std::string &package);
};

} // namespace loopset
