// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "files/FileSystem.h"

#include <array>
#include <filesystem>
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

    // What is left to judge a file by where the audio part is missing: true where the bytes
    // begin with an ID3 tag or an MPEG layer III frame header.
    static bool beginsLikeMp3(std::string_view firstBytes);
    // The same for a regular file's first bytes; false for anything else or where they
    // cannot be read. Never waits on a pipe or a device.
    static bool fileBeginsLikeMp3(const std::filesystem::path &file,
                                  FileSystem &fileSystem = FileSystem::native());
};

} // namespace core
