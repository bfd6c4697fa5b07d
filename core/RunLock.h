// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

namespace core {

// A lock of ours in a game folder, held while a run or a restore writes there, so that
// another running copy of the program leaves the temporary files of that run alone.
class RunLock
{
  public:
    static constexpr const char *fileName = ".vmc3-run.lock";

    enum class Outcome { Held, HeldElsewhere, Unavailable };

    // Held: this process now holds it. HeldElsewhere: another process does. Unavailable:
    // no lock file can be made there (a folder that cannot be written).
    explicit RunLock(const std::filesystem::path &folder);
    ~RunLock();
    RunLock(const RunLock &) = delete;
    RunLock &operator=(const RunLock &) = delete;

    Outcome outcome() const { return outcome_; }

  private:
    std::filesystem::path file_;
    Outcome outcome_ = Outcome::Unavailable;
    std::intptr_t handle_ = -1;
};

} // namespace core
