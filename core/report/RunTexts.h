// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string_view>

namespace core {

// The texts of a replacement run in one language, chosen by the language code.
struct RunTexts
{
    std::string_view placeholder;
    std::string_view notFoundPrefix;
    std::string_view notFoundSuffix;
    std::string_view failurePrefix;
    std::string_view failureSuffix;
    std::string_view noMusicFolder;
    // A pick that is no music the program reads: prefix, the slot's label, suffix, reason.
    std::string_view notMusicPrefix;
    std::string_view notMusicSuffix;
    // The run refused before writing anything: this line, then "<pick's file name>
    // (<label>): <reason>" for every pick that is no music the program reads, one a line.
    std::string_view picksRefused;
    // The reason where the audio part cannot be loaded: prefix, where it was looked for, suffix.
    std::string_view audioMissingPrefix;
    std::string_view audioMissingSuffix;
    // Why a converted file could not be written, for the failures players meet.
    std::string_view reasonAccessDenied;
    std::string_view reasonReadOnly;
    std::string_view reasonDiskFull;
    std::string_view reasonNotFound;
    std::string_view reasonInUse;
    // Another running copy held the game folder for longer than a copy waits.
    std::string_view anotherCopyIsChanging;
    // A restore's files left as they are: this line, then "<label>.mp3: <why>" for each.
    std::string_view restoreLeftAlone;
    std::string_view leftAloneChangedSince;
    std::string_view leftAloneNoRecord;
    // Followed by the reason.
    std::string_view leftAloneUnreadable;
    std::string_view leftAloneLost;
    // picksRefused for a single pick.
    std::string_view picksRefusedOne;

    // The texts of a stored language code (see languageFromCode).
    static const RunTexts &forLanguage(std::uint8_t language);
};

} // namespace core
