// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "files/FileError.h"
#include "originals/OriginalsPlace.h"

#include <filesystem>
#include <optional>
#include <string_view>

namespace core {

// The files kept beside the originals: what a game file holds kept as its original, and kept
// files set aside into "Superseded", dated, never deleted.
class KeptFiles
{
  public:
    explicit KeptFiles(const OriginalsPlace &place);

    // Keeps what the game file holds as the slot's original: a second name of it where it
    // is about to be replaced by a rename, else a copy; a marker where it is not there.
    std::optional<FileError> keep(const std::filesystem::path &gameFile,
                                  std::string_view targetName, bool inPlace) const;
    // Copies the game file into "Superseded", dated, beside a kept original that stays.
    std::optional<FileError> keepBeside(const std::filesystem::path &gameFile,
                                        std::string_view targetName) const;
    // Moves the kept file (or marker) aside into "Superseded", the date in its name.
    std::optional<FileError> setAside(std::string_view targetName) const;
    // A copy of the file that keeps its time.
    std::optional<FileError> copy(const std::filesystem::path &gameFile,
                                  const std::filesystem::path &kept) const;

  private:
    const OriginalsPlace &place_;
};

} // namespace core
