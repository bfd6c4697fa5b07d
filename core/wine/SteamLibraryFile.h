// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <filesystem>
#include <string_view>
#include <vector>

namespace core {

// Steam's libraryfolders.vdf, read for the library folders it lists: the current form
// ("N" { "path" "…" }) and the older one ("N" "…"). A hand-written scanner over a size-capped
// read: the file may be half-written or huge, and reading it must never end the program.
class SteamLibraryFile
{
  public:
    static constexpr std::size_t maximumSize = std::size_t(1) << 20;

    // Nothing for a file that is missing, not a regular file, or over the size cap.
    static std::vector<std::filesystem::path> libraries(const std::filesystem::path &vdf);
    // A malformed entry is skipped; a malformed rest of the file ends the list.
    static std::vector<std::filesystem::path> parse(std::string_view text);
};

} // namespace core
