// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "files/FileSystem.h"
#include "music/PickFit.h"
#include "music/Reason.h"
#include "settings/SlotTable.h"

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
    // Before a pick's path: the file is a copy that saving the set with its music made.
    static constexpr std::string_view copyTag = "#VALDRUNE-COPY";
    // "match=1" or "=0", "mp3=1" or "=0"
    static constexpr std::string_view loudnessTag = "#VALDRUNE-LOUDNESS:";
    // Right after a slot's line, what of its pick is written: start, end (empty for the
    // pick's end), fade-in, fade-out and the seam's crossfade, in frames at the pick's rate.
    static constexpr std::string_view fitTag = "#VALDRUNE-FIT:";
    // After the fit's line: its ends are a loop found in the music.
    static constexpr std::string_view foundLoopTag = "#VALDRUNE-LOOP-FOUND";

    struct Pick
    {
        int slot = -1;
        std::filesystem::path file;
        double seconds = -1; // -1 where unknown
        bool copied = false;
        PickFit fit = {};
        int fitLine = 0; // the fit's line in the set read, 0 where none
    };

    std::vector<Pick> picks;
    std::optional<std::string> gameFolder;
    std::optional<std::uint8_t> language;
    // The two loudness entries of the set menu; absent in a set saved before they were.
    std::optional<bool> matchLoudness;
    std::optional<bool> matchMp3;
    // A line the reader passed over, and why; worded by the window in its language.
    struct Problem
    {
        enum class Kind {
            UnknownSlot, // detail: the name given
            NotALanguage,
            NotALoudnessChoice,
            FileWithoutSlot,
            NotAPlaylist, // the whole file: line 0
            FitWithoutSlot,
            NotAFit,
            ImpossibleFit, // reason: why
        };
        Kind kind = Kind::NotAPlaylist;
        int line = 0;
        std::string detail;
        Reason reason = {};
    };
    std::vector<Problem> problems;

    // Why a set file could not be read.
    struct ReadFailure
    {
        enum class Kind { NotAFile, TooLarge, System };
        Kind kind = Kind::System;
        SystemError systemError = 0;
    };
    // No music set is anywhere near this long; a longer file is refused, not read in part.
    static constexpr std::size_t largestFile = 1 << 20;

    // Reads a whole set file. Only a regular file is read, and opening never waits (a pipe or
    // a device is no set).
    static std::optional<ReadFailure> readFile(const std::filesystem::path &file,
                                               std::string &bytes);
    // The playlist's bytes for a set saved in setFolder. A pick whose name no line holds as
    // it is (a line break in it, a blank at its end) is left out.
    std::string format(const std::filesystem::path &setFolder) const;
    static MusicSet parse(std::string_view text, const std::filesystem::path &setFolder);
    static std::string formatFit(const PickFit &fit);
    // The fit of a fit line's text after its tag; nothing where it is no fit.
    static std::optional<PickFit> parseFit(std::string_view text);
};

} // namespace core
