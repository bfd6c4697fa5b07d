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
    static constexpr std::array<std::string_view, 13> extensions{
        "mp3", "flac", "ogg",  "oga", "opus", "m4a", "mp4",
        "wav", "aif",  "aiff", "wma", "mka",  "webm"};

    // True for a name ending in a known extension, in any letter case.
    static bool isMusicFileName(std::string_view fileName);
};

} // namespace core
