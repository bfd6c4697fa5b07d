// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <string_view>

namespace core {

// The kinds of music file the program takes, known by their names: what a drop or the
// file chooser offers. What a file really holds is checked when it is read.
class MusicFormats
{
  public:
    static constexpr std::array<std::string_view, 1> extensions{"mp3"};

    // True for a name ending in a known extension, in any letter case.
    static bool isMusicFileName(std::string_view fileName);
};

} // namespace core
