// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "files/RunLock.h"
#include "originals/OriginalsRecord.h"
#include "originals/OriginalsRefusal.h"
#include "report/RunResult.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

namespace core {

// The run lock of a game folder as its writers take it: it lives with the originals, so that
// this folder is made first where it is not there yet (in the player's data folder where the
// game folder takes no new file), and the lock file is taken inside it. What a killed run
// left is cleared under it, or at a start where no other copy holds it.
class OriginalsLock
{
  public:
    // What a write of the game folder holds to its end: the lock, or why the write is refused.
    struct Writing
    {
        std::unique_ptr<RunLock> lock;
        std::optional<RunResult> refused;
    };

    explicit OriginalsLock(OriginalsRecord &record);

    // See OriginalsFolder::beginWriting.
    Writing beginWriting(std::uint8_t language, std::chrono::milliseconds wait,
                         const std::function<void()> &waiting);
    // See OriginalsFolder::cleanUpAfterKilledRun.
    void cleanUpAfterKilledRun(std::optional<std::filesystem::file_time_type> olderThan);

  private:
    // Takes the run lock for as long as the lock lives, waiting up to `wait` for another
    // copy. Where it cannot be taken in this folder, or this folder is no folder of ours,
    // refusal_ says why and the lock holds nothing. The record is read again under the lock.
    std::unique_ptr<RunLock> lockForWriting(std::chrono::milliseconds wait);
    // Takes the lock in this folder, made where it is not there yet, or records why not.
    std::unique_ptr<RunLock> takeLock(std::chrono::milliseconds wait);
    // Forgets the record read before the lock, and refuses to go on where it cannot be read
    // again under the lock held; false then.
    bool readRecordAgain(const RunLock &lock);
    // What a killed run left: its temporary files, and under the lock held, a second name
    // kept as an original and an older version's lock file.
    void clearWhatAKilledRunLeft(const RunLock &lock,
                                 std::optional<std::filesystem::file_time_type> olderThan);
    void removeLeftovers(std::optional<std::filesystem::file_time_type> olderThan);

    OriginalsRecord &record_;
    OriginalsPlace &place_;
    std::optional<OriginalsRefusal> refusal_;
};

} // namespace core
