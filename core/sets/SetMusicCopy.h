// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "files/FileSystem.h"
#include "sets/MusicSet.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <stop_token>

namespace core {

// Saves a set with copies of its music in a folder beside the set file. A new folder is
// filled beside the old one and the two change places only once the set file names the new
// one's files; a stopped or failed save leaves the old folder and set file as they were.
// Afterwards only copies that earlier saves of this set made (the set marks them) and that
// the new set no longer names are removed; a file the player put there is carried over.
class SetMusicCopy
{
  public:
    struct Failure
    {
        enum class Kind {
            NotAFile,    // a pick that is no regular file: a folder, a device, a pipe
            Source,      // a pick that could not be read
            Destination, // the folder or the set file could not be written
            Stopped,
        };
        Kind kind = Kind::Destination;
        std::filesystem::path file;
        SystemError systemError = 0;
    };

    // Called before each file is copied: how many are done, of how many, and which.
    using Progress = std::function<void(std::size_t done, std::size_t total,
                                        const std::filesystem::path &source)>;

    explicit SetMusicCopy(FileSystem &fileSystem = FileSystem::native());

    // Copies set's picks into a folder beside setFile, points the picks at the copies and
    // writes the set file. The folder is the one the set file there already names, or else
    // newFolderName.
    std::optional<Failure> save(MusicSet &set, const std::filesystem::path &setFile,
                                const std::filesystem::path &newFolderName, std::stop_token stop,
                                const Progress &progress = {});

  private:
    class Saving;

    std::optional<Failure> copy(const std::filesystem::path &source,
                                const std::filesystem::path &target, const std::stop_token &stop);

    FileSystem &fileSystem_;
};

} // namespace core
