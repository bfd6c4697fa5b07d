// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "files/FileSystem.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <vector>

namespace core {

// A lock of ours for a game folder, held for the whole length of a run, a restore or a move
// of files into the originals, so that two running copies of the program never change the
// folder or its record at once. The lock file stays where it is when released: removing it
// would let one copy lock the old file and another a new one.
class RunLock
{
  public:
    static constexpr const char *fileName = ".vmc3-run.lock";
    // How long a copy waits for another to finish before it gives up.
    static constexpr std::chrono::milliseconds patience{3000};

    enum class Outcome { Held, HeldElsewhere, Unavailable };

    // Takes the lock file of every folder given that takes one, in order, waiting up to
    // `wait` for another process to let go of it. Held: this object holds at least one and
    // no other process holds any. HeldElsewhere: another process holds one, and this object
    // holds none. Unavailable: no lock file can be made in any of them.
    // Without `create`, a folder that has no lock file yet counts as one that takes none:
    // no other process can hold a lock file that is not there.
    explicit RunLock(const std::filesystem::path &folder,
                     std::chrono::milliseconds wait = std::chrono::milliseconds(0),
                     bool create = true, FileSystem &fileSystem = FileSystem::native());
    RunLock(const std::vector<std::filesystem::path> &folders, std::chrono::milliseconds wait,
            bool create = true, FileSystem &fileSystem = FileSystem::native());
    ~RunLock();
    RunLock(const RunLock &) = delete;
    RunLock &operator=(const RunLock &) = delete;

    Outcome outcome() const { return outcome_; }
    // Where Unavailable: the system's error of the last lock file that could not be taken
    // (errno, or GetLastError() on Windows).
    int error() const { return error_; }

  private:
    // Held, HeldElsewhere (still held when the deadline came) or Unavailable.
    Outcome lockFile(const std::filesystem::path &file,
                     std::chrono::steady_clock::time_point deadline, bool create);
    void release();

    FileSystem &fileSystem_;
    Outcome outcome_ = Outcome::Unavailable;
    int error_ = 0;
    std::vector<FileSystem::Handle> handles_;
};

} // namespace core
