// SPDX-License-Identifier: GPL-3.0-or-later
#include "originals/OriginalsLock.h"

#include "files/AtomicFileWriter.h"
#include "originals/SecondNames.h"
#include "report/RunTexts.h"
#include "settings/SlotTable.h"

#include <string>
#include <vector>

namespace core {

namespace fs = std::filesystem;

OriginalsLock::OriginalsLock(OriginalsRecord &record) : record_(record), place_(record.place()) {}

OriginalsLock::Writing OriginalsLock::beginWriting(std::uint8_t language,
                                                   std::chrono::milliseconds wait,
                                                   const std::function<void()> &waiting)
{
    // Tried at once first, so that a wait for another copy is told before it begins.
    std::unique_ptr<RunLock> lock = lockForWriting(waiting ? std::chrono::milliseconds(0) : wait);
    if (waiting && wait.count() > 0 && lock->outcome() == RunLock::Outcome::HeldElsewhere) {
        lock.reset();
        waiting();
        lock = lockForWriting(wait);
    }
    Writing writing{std::move(lock), std::nullopt};
    if (writing.lock->outcome() == RunLock::Outcome::HeldElsewhere)
        writing.refused = {RunResult::Outcome::Busy, -1, 0,
                           std::string(RunTexts::forLanguage(language).anotherCopyIsChanging)};
    else if (refusal_)
        writing.refused = refusal_->result(language);
    else
        clearWhatAKilledRunLeft(*writing.lock, {});
    return writing;
}

void OriginalsLock::cleanUpAfterKilledRun(std::optional<fs::file_time_type> olderThan)
{
    refusal_.reset();
    // Nothing is made where nothing was: no copy holds a lock file that is not there, and a
    // run that starts meanwhile writes nothing older than olderThan.
    std::vector<fs::path> folders;
    if (place_.isFolder(place_.path()) && !place_.refusalOfFolder())
        folders.push_back(place_.path());
    const RunLock lock(folders, std::chrono::milliseconds(0), false, place_.fileSystem());
    if (lock.outcome() != RunLock::Outcome::HeldElsewhere && readRecordAgain(lock))
        clearWhatAKilledRunLeft(lock, olderThan);
}

std::unique_ptr<RunLock> OriginalsLock::lockForWriting(std::chrono::milliseconds wait)
{
    refusal_.reset();
    std::unique_ptr<RunLock> lock = takeLock(wait);
    if (lock->outcome() != RunLock::Outcome::HeldElsewhere && !refusal_)
        readRecordAgain(*lock);
    return lock;
}

std::unique_ptr<RunLock> OriginalsLock::takeLock(std::chrono::milliseconds wait)
{
    const auto none = [this] {
        return std::make_unique<RunLock>(std::vector<fs::path>{}, std::chrono::milliseconds(0),
                                         true, place_.fileSystem());
    };
    // Nothing to write into: the run's first copy fails as it always has. A folder text
    // with no folder in it names the current folder.
    const fs::path game = place_.gameFolder().empty() ? fs::path(".") : place_.gameFolder();
    if (!place_.isFolder(game) && !place_.isFolder(place_.path()))
        return none();
    if ((refusal_ = place_.refusalOfFolder()))
        return none();
    const fs::path lockFile = place_.path() / RunLock::fileName;
    const std::optional<FileError> failure =
        record_.makeFolder(OriginalsRecord::NewRecord::UnderLock);
    if (failure) {
        refusal_ = {OriginalsRefusal::Kind::LockNotTaken, lockFile, failure->systemError};
        return none();
    }
    // The folder made may be the data folder's place, and that may be a link too.
    if ((refusal_ = place_.refusalOfFolder()))
        return none();
    record_.noteLockTakenHere(place_.isThere(lockFile));
    auto lock = std::make_unique<RunLock>(place_.path(), wait, true, place_.fileSystem());
    if (lock->outcome() == RunLock::Outcome::Unavailable)
        refusal_ = {OriginalsRefusal::Kind::LockNotTaken, place_.path() / RunLock::fileName,
                    lock->error()};
    record_.recordFolderMadeUnder(*lock);
    return lock;
}

bool OriginalsLock::readRecordAgain(const RunLock &lock)
{
    // Another copy may have changed the record since it was read.
    record_.forget();
    if (lock.outcome() == RunLock::Outcome::Held && place_.isFolder(place_.path())) {
        // A record that cannot be read is no evidence of anything: nothing goes ahead on it.
        if (const SystemError error = record_.manifest().readError()) {
            refusal_ = {OriginalsRefusal::Kind::RecordUnreadable,
                        place_.path() / OriginalsManifest::fileName, error};
            return false;
        }
    }
    return true;
}

void OriginalsLock::clearWhatAKilledRunLeft(const RunLock &lock,
                                            std::optional<fs::file_time_type> olderThan)
{
    removeLeftovers(olderThan);
    if (lock.outcome() != RunLock::Outcome::Held)
        return;
    // Where earlier versions kept the lock: the game folder holds nothing of ours now but
    // the originals folder.
    const fs::path older = place_.gameFolder() / RunLock::fileName;
    FileStatus status;
    if (place_.fileSystem().status(older, status, false) == 0 && status.isFile())
        place_.fileSystem().remove(older);
    if (place_.isFolder(place_.path())) {
        const SlotTable slots;
        SecondNames secondNames(record_);
        for (int i = 0; i < slotCount; ++i)
            secondNames.drop(slots.targetFileName(i));
        record_.manifest().save();
    }
}

void OriginalsLock::removeLeftovers(std::optional<fs::file_time_type> olderThan)
{
    AtomicFileWriter writer(place_.fileSystem());
    writer.removeLeftovers(place_.gameFolder(), olderThan);
    if (place_.isFolder(place_.path()) && !place_.refusalOfFolder())
        writer.removeLeftovers(place_.path(), olderThan);
}

} // namespace core
