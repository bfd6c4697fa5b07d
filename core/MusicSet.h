// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SlotTable.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace core {

// A set of picks as an extended M3U playlist in UTF-8, which any music player opens: per
// picked slot an #EXTINF line, a line of ours naming the slot by its target file name, and
// the pick's path, relative to the set's folder when it lies below it. Two more lines of
// ours may carry a game music folder and a language (a hand-over between two copies of the
// program), and two whether Change matches the picks' loudness. Read leniently: CRLF or LF, a
// byte-order mark, blank lines, either separator.
struct MusicSet
{
    static constexpr std::string_view slotTag = "#VALDRUNE-SLOT:";
    static constexpr std::string_view folderTag = "#VALDRUNE-FOLDER:";
    static constexpr std::string_view languageTag = "#VALDRUNE-LANGUAGE:";
    // "match=1" or "=0", "mp3=1" or "=0"
    static constexpr std::string_view loudnessTag = "#VALDRUNE-LOUDNESS:";

    struct Pick
    {
        int slot = -1;
        std::filesystem::path file;
        double seconds = -1; // -1 where unknown
    };

    std::vector<Pick> picks;
    std::optional<std::string> gameFolder;
    std::optional<std::uint8_t> language;
    // The two loudness entries of the set menu; absent in a set saved before they were.
    std::optional<bool> matchLoudness;
    std::optional<bool> matchMp3;
    // What the reader passed over, one line each: "line N: why".
    std::vector<std::string> problems;

    // The playlist's bytes for a set saved in setFolder.
    std::string format(const std::filesystem::path &setFolder) const;
    static MusicSet parse(std::string_view text, const std::filesystem::path &setFolder);
    // Up to `largest` bytes of a set file; nothing where it is no regular file or cannot be
    // read. Never waits on a pipe or a device.
    static std::optional<std::string> readFile(const std::filesystem::path &file,
                                               std::size_t largest);
};

} // namespace core
