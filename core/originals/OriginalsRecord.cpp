// SPDX-License-Identifier: GPL-3.0-or-later
#include "originals/OriginalsRecord.h"

#include "files/AtomicFileWriter.h"
#include "files/Platform.h"
#include "settings/SlotTable.h"

#include <string>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#endif

namespace core {

namespace fs = std::filesystem;

#ifdef _WIN32
const SystemError OriginalsRecord::unreadable = ERROR_READ_FAULT;
const SystemError OriginalsRecord::notThrough = ERROR_ACCESS_DENIED;
const SystemError OriginalsRecord::inUse = ERROR_SHARING_VIOLATION;
#else
const SystemError OriginalsRecord::unreadable = EIO;
const SystemError OriginalsRecord::notThrough = EPERM;
const SystemError OriginalsRecord::inUse = EBUSY;
#endif

OriginalsRecord::OriginalsRecord(std::string_view musicFolder, FileSystem &fileSystem,
                                 fs::path dataFolder)
    : place_(musicFolder, fileSystem, std::move(dataFolder))
{
}

OriginalsManifest &OriginalsRecord::manifest()
{
    if (!manifest_) {
        manifest_.emplace(place_.path() / OriginalsManifest::fileName, place_.fileSystem());
        // Nothing is written through a folder that is not ours.
        if (!manifest_->existed() && place_.isFolder(place_.path()) && !place_.refusalOfFolder() &&
            !madeByThisVersion())
            adoptOlderFolder();
        else if (!manifest_->trustworthy() && manifest_->readError() == 0)
            markDoubtful();
    }
    return *manifest_;
}

void OriginalsRecord::adoptOlderFolder()
{
    const SlotTable slots;
    for (int i = 0; i < slotCount; ++i) {
        const std::string &target = slots.targetFileName(i);
        const fs::path game =
            AtomicFileWriter::resolveLinks(place_.gameFile(target), place_.fileSystem());
        if (!place_.isKept(target) || matchesKept(game, target))
            continue;
        if (std::optional<WrittenFile> written = WrittenFile::of(game, place_.fileSystem()))
            manifest_->setWritten(target, {*written});
    }
    manifest_->save();
}

bool OriginalsRecord::madeByThisVersion() const
{
    // Older versions kept their lock in the game folder: a lock file in this folder from
    // before this lock was taken shows a folder of this version, whose record is missing;
    // so does anything else only this version makes there. A missing record is never
    // evidence that a game file is ours.
    const fs::path &folder = place_.path();
    if (lockFileWasThere_ ? *lockFileWasThere_ : place_.isThere(folder / RunLock::fileName))
        return true;
    for (const std::string_view name :
         {OriginalsPlace::supersededFolderName, OriginalsPlace::standInFolderName,
          OriginalsPlace::gameFolderNoteName})
        if (place_.isThere(folder / platform::pathFromText(std::string(name))))
            return true;
    std::vector<fs::path> names;
    place_.fileSystem().listFolder(folder, names);
    for (const fs::path &name : names) {
        const std::string text = platform::textFromPath(name.filename());
        if (text.ends_with(OriginalsPlace::absentSuffix) ||
            text.ends_with(OriginalsPlace::underWaySuffix))
            return true;
    }
    return false;
}

void OriginalsRecord::markDoubtful()
{
    const SlotTable slots;
    for (int i = 0; i < slotCount; ++i) {
        const std::string &target = slots.targetFileName(i);
        OriginalsManifest::Entry entry = manifest_->entry(target);
        if (entry.doubtful || !place_.isKept(target))
            continue;
        entry.doubtful = true;
        manifest_->setEntry(target, std::move(entry));
    }
}

std::optional<WrittenFile> OriginalsRecord::ourEntryFor(const fs::path &gameFile,
                                                        std::string_view targetName, Check check)
{
    const OriginalsManifest::Entry &entry = manifest().entry(std::string(targetName));
    const std::optional<WrittenFile> now = WrittenFile::statOf(gameFile, place_.fileSystem());
    if (entry.empty() || !now)
        return std::nullopt;
    // A file put there by hand with the same size and time is not the same file.
    FileStatus status;
    const bool sameIdentity = entry.identity && place_.fileSystem().status(gameFile, status) == 0 &&
                              *entry.identity == OriginalsManifest::Entry::Identity{
                                                     status.device, status.inode, status.changed};
    std::optional<WrittenFile> content; // read once, where a size agrees
    const auto holds = [&](const WrittenFile &recorded) {
        if (recorded.size != now->size)
            return false;
        if (check == Check::SizeAndTime && sameIdentity && recorded.sameSizeAndTime(*now))
            return true;
        if (!content)
            content = contentOf(gameFile);
        return content && content->hash == recorded.hash;
    };
    for (const WrittenFile &file : entry.written) {
        if (holds(file))
            return file;
    }
    // A damaged record no longer tells of an overwrite in place under way, which may have
    // been cut short as it was damaged: the content left under way beside the originals
    // still does. Without it, a beginning of the original may be the player's own (a tag
    // cut off), never ours to write over.
    const fs::path underWay = place_.underWayFile(targetName);
    const bool mayBeUnderWay = entry.overwrittenInPlace
                                   ? !holds(*entry.overwrittenInPlace)
                                   : entry.doubtful && place_.isThere(underWay);
    if (mayBeUnderWay && !matchesKept(gameFile, targetName) &&
        (beginsWith(underWay, gameFile) || beginsWith(place_.keptFile(targetName), gameFile))) {
        // Neither what the file held, nor what was written over it, nor the original put
        // back, but a beginning of what was being written: our own write, cut short.
        if (!content)
            content = contentOf(gameFile);
        return content ? *content : *now;
    }
    return std::nullopt;
}

bool OriginalsRecord::beginsWith(const fs::path &whole, const fs::path &part)
{
    std::string wholeBytes;
    std::string partBytes;
    if (!place_.isThere(whole))
        return false;
    if (place_.fileSystem().readWhole(whole, wholeBytes) != 0 ||
        place_.fileSystem().readWhole(part, partBytes) != 0) {
        comparisonFailed_ = true;
        return false;
    }
    return partBytes.size() <= wholeBytes.size() &&
           wholeBytes.compare(0, partBytes.size(), partBytes) == 0;
}

std::optional<WrittenFile> OriginalsRecord::contentOf(const fs::path &file)
{
    std::optional<WrittenFile> content = WrittenFile::of(file, place_.fileSystem());
    if (!content && place_.isThere(file))
        comparisonFailed_ = true;
    return content;
}

bool OriginalsRecord::matchesKept(const fs::path &gameFile, std::string_view targetName)
{
    if (place_.isThere(place_.absentMarker(targetName)))
        return !place_.isThere(gameFile);
    const fs::path kept = place_.keptFile(targetName);
    const std::optional<WrittenFile> keptNow = WrittenFile::statOf(kept, place_.fileSystem());
    const std::optional<WrittenFile> game = WrittenFile::statOf(gameFile, place_.fileSystem());
    if (!keptNow || !game || keptNow->size != game->size)
        return false;
    if (place_.sameFile(kept, gameFile))
        return true;
    const std::optional<WrittenFile> keptContent = contentOf(kept);
    const std::optional<WrittenFile> gameContent = contentOf(gameFile);
    return keptContent && gameContent && keptContent->hash == gameContent->hash;
}

std::optional<FileError> OriginalsRecord::makeFolder(NewRecord newRecord)
{
    const fs::path &folder = place_.path();
    if (place_.isFolder(folder))
        return std::nullopt;
    const SystemError error = place_.createDurableFolder(folder);
    if (error == 0)
        return recordNewFolder(folder, newRecord);
    // A game folder the player may not write: the originals go to the player's own folder,
    // with a note naming the game folder they belong to.
    if (place_.dataFolder().empty() || folder == place_.dataFolderPlace())
        return FileError::destination(error);
    if (makeDataFolderPlace(newRecord))
        return FileError::destination(error);
    return std::nullopt;
}

std::optional<FileError> OriginalsRecord::recordNewFolder(const fs::path &folder,
                                                          NewRecord newRecord)
{
    // Made with its record, so that only a folder older than the record is adopted. Made
    // before the lock is taken, the record waits for it: another copy may be writing one.
    if (newRecord == NewRecord::UnderLock) {
        recordPending_ = true;
        return std::nullopt;
    }
    AtomicFileWriter writer(place_.fileSystem());
    return writer.writeBytes(folder / OriginalsManifest::fileName, OriginalsManifest::format({}));
}

std::optional<FileError> OriginalsRecord::makeDataFolderPlace(NewRecord newRecord)
{
    const fs::path place = place_.dataFolderPlace();
    if (const SystemError error = place_.createFolders(place))
        return FileError::destination(error);
    AtomicFileWriter writer(place_.fileSystem());
    if (!place_.isThere(place / OriginalsPlace::gameFolderNoteName)) {
        if (std::optional<FileError> failure =
                writer.writeBytes(place / OriginalsPlace::gameFolderNoteName,
                                  platform::textFromPath(place_.gameFolder()) + "\n"))
            return failure;
    }
    if (!place_.isThere(place / OriginalsManifest::fileName)) {
        if (std::optional<FileError> failure = recordNewFolder(place, newRecord))
            return failure;
    }
    place_.moveTo(place);
    manifest_.reset();
    return std::nullopt;
}

void OriginalsRecord::recordFolderMadeUnder(const RunLock &lock)
{
    if (std::exchange(recordPending_, false) && lock.outcome() == RunLock::Outcome::Held &&
        !place_.isThere(place_.path() / OriginalsManifest::fileName))
        recordNewFolder(place_.path(), NewRecord::Now);
}

} // namespace core
