// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "files/FileSystem.h"
#include "report/RunResult.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace core {

// Why a run, a restore or a move of copies into the originals stopped before writing
// anything: the originals folder is no folder of ours, or the lock cannot be taken in it.
struct OriginalsRefusal
{
    enum class Kind {
        LockNotTaken,       // file is the lock file; systemError says why, where a call failed
        FolderIsLink,       // file is the originals folder
        FolderIsGameFolder, // file is the originals folder
        RecordUnreadable,   // file is the record of the originals; systemError says why
    };

    Kind kind = Kind::LockNotTaken;
    std::filesystem::path file;
    SystemError systemError = 0;

    // What the player is told: the file and why, nothing having changed.
    std::string message(std::uint8_t language) const;
    // A failure of no slot; it carries the system's error only where a call was refused, so
    // that a protected folder's refusal still offers a start as administrator.
    RunResult result(std::uint8_t language) const;

  private:
    std::string reason(std::uint8_t language) const;
};

} // namespace core
