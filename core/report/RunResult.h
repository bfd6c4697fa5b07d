// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "files/FileError.h"
#include "files/FileSystem.h"
#include "loudness/GainPlan.h"
#include "settings/SlotTable.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace core {

// What a Change, a restore or a move of copies into the originals came to, for the window to
// show. A Change stops at its first failure; a restore goes on past one.
struct RunResult
{
    enum class Outcome {
        Completed, // nothing failed; a restore's message names the files it left alone
        Refused,   // a Change without a game music folder; nothing was written
        Failed,    // `slot` (-1: none) failed with `code`: a Change tried no later slot, a
                   // restore tried every one and its message names each that failed
        Cancelled, // a Change stopped by the player; the slots before `slot` were changed
        Busy,      // another running copy is changing the folder; nothing was written
    };

    Outcome outcome = Outcome::Completed;
    int slot = -1;
    int code = 0;
    std::string message;         // what the player is shown; empty where there is nothing to say
    int count = 0;               // the files a restore put back, or the copies a move took in
    SystemError systemError = 0; // the failed call's own error, where one failed
    // A Change's alone, from here on.
    bool refusedBeforeWriting = false; // failed at `slot` before any game file was written
    // Cancelled: the picks that went over their game files, and those that did not.
    int picksPutIn = 0;
    int picksNotPutIn = 0;
    // What matching did to each converted pick that went over its game file, as its result
    // measured.
    std::array<std::optional<GainPlan>, slotCount> written = {};
    // Failed at a copy: which side of it failed and how, for the window to name the file.
    std::optional<FileError> failure = std::nullopt;
    // Refused before writing: every slot whose pick is no music the program reads.
    std::vector<int> refusedSlots = {};
};

} // namespace core
