// SPDX-License-Identifier: GPL-3.0-or-later
#include "originals/OriginalsFolder.h"

#include "files/FailureCodes.h"
#include "files/Platform.h"
#include "files/RunLock.h"
#include "report/RunMessages.h"
#include "report/RunTexts.h"

#include <ctime>
#include <system_error>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#endif

namespace core {

namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
constexpr SystemError unreadable = ERROR_READ_FAULT;
constexpr SystemError notThrough = ERROR_ACCESS_DENIED;
#else
constexpr SystemError unreadable = EIO;
constexpr SystemError notThrough = EPERM;
#endif

} // namespace

bool OriginalsFolder::isThere(const fs::path &path) const
{
    return fileSystem_.exists(path);
}

bool OriginalsFolder::isFolder(const fs::path &path) const
{
    return fileSystem_.isFolder(path);
}

std::optional<OriginalsManifest::Entry::Identity>
OriginalsFolder::identityOf(const fs::path &file) const
{
    FileStatus status;
    if (fileSystem_.status(file, status) != 0 || !status.isFile())
        return std::nullopt;
    return OriginalsManifest::Entry::Identity{status.device, status.inode, status.changed};
}

bool OriginalsFolder::sameFile(const fs::path &a, const fs::path &b) const
{
    return fileSystem_.sameFile(a, b);
}

OriginalsFolder::OriginalsFolder(std::string_view musicFolder, FileSystem &fileSystem,
                                 fs::path dataFolder)
    : fileSystem_(fileSystem), musicFolder_(musicFolder), dataFolder_(std::move(dataFolder)),
      folder_(gameFolder() / platform::pathFromText(folderName))
{
    // The data folder's place, where the game folder took no new file, stays the place while
    // it holds the record and the game folder's place holds none (an empty folder made since).
    if (dataFolder_.empty() || !isFolder(dataFolderPlace()))
        return;
    if (!isFolder(folder_) || (!isThere(folder_ / OriginalsManifest::fileName) &&
                               isThere(dataFolderPlace() / OriginalsManifest::fileName)))
        folder_ = dataFolderPlace();
}

fs::path OriginalsFolder::gameFolder() const
{
    return platform::pathFromText(musicFolder_ + "x").parent_path();
}

fs::path OriginalsFolder::dataFolderPlace() const
{
    std::error_code error;
    const fs::path canonical = fs::weakly_canonical(gameFolder(), error);
    const std::string name = platform::textFromPath(error ? gameFolder() : canonical);
    return dataFolder_ / "originals" / WrittenFile::hashOfBytes(name);
}

fs::path OriginalsFolder::gameFile(std::string_view targetName) const
{
    // The target name is glued to the folder text, as the replacement run does.
    const fs::path exact = platform::pathFromText(musicFolder_ + std::string(targetName));
#ifdef _WIN32
    return exact;
#else
    // Installs copied from Windows media carry other letter cases; Windows would replace
    // such a file, and so do we when it is the only one.
    if (isThere(exact))
        return exact;
    const std::string wanted = platform::asciiLowerCase(exact.filename().string());
    fs::path match;
    const fs::path folder = exact.parent_path().empty() ? "." : exact.parent_path();
    std::vector<fs::path> names;
    fileSystem_.listFolder(folder, names);
    for (const fs::path &name : names) {
        if (platform::asciiLowerCase(name.string()) != wanted)
            continue;
        if (!match.empty())
            return exact;
        match = exact.parent_path() / name;
    }
    return match.empty() ? exact : match;
#endif
}

fs::path OriginalsFolder::keptFile(std::string_view targetName) const
{
    return folder_ / platform::pathFromText(targetName);
}

fs::path OriginalsFolder::absentMarker(std::string_view targetName) const
{
    return folder_ / platform::pathFromText(std::string(targetName) + std::string(absentSuffix));
}

bool OriginalsFolder::isKept(std::string_view targetName) const
{
    return isThere(keptFile(targetName)) || isThere(absentMarker(targetName));
}

std::optional<fs::path> OriginalsFolder::keptOriginal(std::string_view targetName) const
{
    fs::path kept = keptFile(targetName);
    FileStatus status;
    if (fileSystem_.status(kept, status) != 0 || !status.isFile())
        return std::nullopt;
    return kept;
}

OriginalsManifest &OriginalsFolder::manifest()
{
    if (!manifest_) {
        manifest_.emplace(folder_ / OriginalsManifest::fileName, fileSystem_);
        // Nothing is written through a folder that is not ours.
        if (!manifest_->existed() && isFolder(folder_) && !refusalOfFolder() &&
            !madeByThisVersion())
            adoptOlderFolder();
        else if (!manifest_->trustworthy() && manifest_->readError() == 0)
            markDoubtful();
    }
    return *manifest_;
}

void OriginalsFolder::adoptOlderFolder()
{
    const SlotTable slots;
    for (int i = 0; i < slotCount; ++i) {
        const std::string &target = slots.targetFileName(i);
        const fs::path game = AtomicFileWriter::resolveLinks(gameFile(target), fileSystem_);
        if (!isKept(target) || matchesKept(game, target))
            continue;
        if (std::optional<WrittenFile> written = WrittenFile::of(game, fileSystem_))
            manifest_->setWritten(target, {*written});
    }
    manifest_->save();
}

bool OriginalsFolder::leadsIntoOriginals(const fs::path &resolvedGameFile) const
{
    return sameFile(resolvedGameFile.parent_path(), folder_);
}

bool OriginalsFolder::madeByThisVersion() const
{
    // Older versions kept their lock in the game folder: a lock file in this folder from
    // before this lock was taken shows a folder of this version, whose record is missing;
    // so does anything else only this version makes there. A missing record is never
    // evidence that a game file is ours.
    if (lockTakenHere_ ? lockFileWasThere_ : isThere(folder_ / RunLock::fileName))
        return true;
    for (const std::string_view name :
         {supersededFolderName, standInFolderName, gameFolderNoteName})
        if (isThere(folder_ / platform::pathFromText(std::string(name))))
            return true;
    std::vector<fs::path> names;
    fileSystem_.listFolder(folder_, names);
    for (const fs::path &name : names) {
        const std::string text = platform::textFromPath(name.filename());
        if (text.ends_with(absentSuffix) || text.ends_with(".under way"))
            return true;
    }
    return false;
}

void OriginalsFolder::markDoubtful()
{
    const SlotTable slots;
    for (int i = 0; i < slotCount; ++i) {
        const std::string &target = slots.targetFileName(i);
        OriginalsManifest::Entry entry = manifest_->entry(target);
        if (entry.doubtful || !isKept(target))
            continue;
        entry.doubtful = true;
        manifest_->setEntry(target, std::move(entry));
    }
}

std::optional<WrittenFile> OriginalsFolder::ourEntryFor(const fs::path &gameFile,
                                                        std::string_view targetName, Check check)
{
    const OriginalsManifest::Entry &entry = manifest().entry(std::string(targetName));
    const std::optional<WrittenFile> now = WrittenFile::statOf(gameFile, fileSystem_);
    if (entry.empty() || !now)
        return std::nullopt;
    // A file put there by hand with the same size and time is not the same file.
    FileStatus status;
    const bool sameIdentity = entry.identity && fileSystem_.status(gameFile, status) == 0 &&
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
    const bool mayBeUnderWay = entry.overwrittenInPlace
                                   ? !holds(*entry.overwrittenInPlace)
                                   : entry.doubtful && isThere(underWayFile(targetName));
    if (mayBeUnderWay && !matchesKept(gameFile, targetName) &&
        (beginsWith(underWayFile(targetName), gameFile) ||
         beginsWith(keptFile(targetName), gameFile))) {
        // Neither what the file held, nor what was written over it, nor the original put
        // back, but a beginning of what was being written: our own write, cut short.
        if (!content)
            content = contentOf(gameFile);
        return content ? *content : *now;
    }
    return std::nullopt;
}

fs::path OriginalsFolder::underWayFile(std::string_view targetName) const
{
    return folder_ / platform::pathFromText(std::string(targetName) + ".under way");
}

std::optional<FileError> OriginalsFolder::keepUnderWay(const fs::path &content,
                                                       std::string_view targetName)
{
    const fs::path underWay = underWayFile(targetName);
    fileSystem_.remove(underWay);
    if (fileSystem_.hardLink(content, underWay) == 0)
        return std::nullopt;
    return keepCopy(content, underWay);
}

bool OriginalsFolder::beginsWith(const fs::path &whole, const fs::path &part) const
{
    std::string wholeBytes;
    std::string partBytes;
    if (!isThere(whole))
        return false;
    if (fileSystem_.readWhole(whole, wholeBytes) != 0 ||
        fileSystem_.readWhole(part, partBytes) != 0) {
        comparisonFailed_ = true;
        return false;
    }
    return partBytes.size() <= wholeBytes.size() &&
           wholeBytes.compare(0, partBytes.size(), partBytes) == 0;
}

std::optional<WrittenFile> OriginalsFolder::contentOf(const fs::path &file) const
{
    std::optional<WrittenFile> content = WrittenFile::of(file, fileSystem_);
    if (!content && isThere(file))
        comparisonFailed_ = true;
    return content;
}

bool OriginalsFolder::matchesKept(const fs::path &gameFile, std::string_view targetName) const
{
    if (isThere(absentMarker(targetName)))
        return !isThere(gameFile);
    const std::optional<WrittenFile> kept = WrittenFile::statOf(keptFile(targetName), fileSystem_);
    const std::optional<WrittenFile> game = WrittenFile::statOf(gameFile, fileSystem_);
    if (!kept || !game || kept->size != game->size)
        return false;
    if (sameFile(keptFile(targetName), gameFile))
        return true;
    const std::optional<WrittenFile> keptContent = contentOf(keptFile(targetName));
    const std::optional<WrittenFile> gameContent = contentOf(gameFile);
    return keptContent && gameContent && keptContent->hash == gameContent->hash;
}

bool OriginalsFolder::isRestorable(std::string_view targetName, Check check)
{
    return isKept(targetName) &&
           ourEntryFor(AtomicFileWriter::resolveLinks(gameFile(targetName), fileSystem_),
                       targetName, check);
}

int OriginalsFolder::restorableCount(const SlotTable &slots, Check check)
{
    if (!isFolder(folder_))
        return 0;
    int count = 0;
    for (int i = 0; i < slotCount; ++i)
        count += isRestorable(slots.targetFileName(i), check) ? 1 : 0;
    return count;
}

std::optional<FileError> OriginalsFolder::makeFolder()
{
    if (isFolder(folder_))
        return std::nullopt;
    const SystemError error = fileSystem_.createFolder(folder_);
    if (error == 0)
        return recordNewFolder(folder_);
    // A game folder the player may not write: the originals go to the player's own folder,
    // with a note naming the game folder they belong to.
    if (dataFolder_.empty() || folder_ == dataFolderPlace())
        return FileError::destination(error);
    if (makeDataFolderPlace())
        return FileError::destination(error);
    return std::nullopt;
}

std::optional<FileError> OriginalsFolder::recordNewFolder(const fs::path &folder)
{
    // Made with its record, so that only a folder older than the record is adopted. Made
    // before the lock is taken, the record waits for it: another copy may be writing one.
    if (recordUnderLock_) {
        recordPending_ = true;
        return std::nullopt;
    }
    AtomicFileWriter writer(fileSystem_);
    return writer.writeBytes(folder / OriginalsManifest::fileName, OriginalsManifest::format({}));
}

std::optional<FileError> OriginalsFolder::makeDataFolderPlace()
{
    const fs::path place = dataFolderPlace();
    if (const SystemError error = createFolders(place))
        return FileError::destination(error);
    AtomicFileWriter writer(fileSystem_);
    if (!isThere(place / gameFolderNoteName)) {
        if (std::optional<FileError> failure = writer.writeBytes(
                place / gameFolderNoteName, platform::textFromPath(gameFolder()) + "\n"))
            return failure;
    }
    if (!isThere(place / OriginalsManifest::fileName)) {
        if (std::optional<FileError> failure = recordNewFolder(place))
            return failure;
    }
    folder_ = place;
    manifest_.reset();
    return std::nullopt;
}

std::optional<FileError> OriginalsFolder::keep(const AtomicFileWriter::Prepared &replacement,
                                               std::string_view targetName)
{
    if (std::optional<FileError> failure = makeFolder())
        return failure;
    const fs::path &gameFile = replacement.target;
    const bool inPlace = replacement.inPlace;
    // A game file that is a link into the originals folder would be written through.
    if (leadsIntoOriginals(gameFile))
        return FileError::destination(notThrough);

    OriginalsManifest::Entry entry;
    comparisonFailed_ = false;
    const bool kept = isKept(targetName);
    const std::optional<WrittenFile> ours =
        kept ? ourEntryFor(gameFile, targetName, Check::SizeAndTime) : std::nullopt;
    const bool original = kept && !ours && matchesKept(gameFile, targetName);
    // What cannot be compared is kept as nothing and replaced by nothing.
    if (comparisonFailed_)
        return FileError::destination(unreadable);
    if (!kept) {
        if (std::optional<FileError> failure = keepNow(gameFile, targetName, inPlace))
            return failure;
    } else if (ours) {
        if (!ours->hash.empty())
            entry.written.push_back(*ours);
    } else if (!original) {
        if (manifest().entry(std::string(targetName)).doubtful) {
            // What this program last wrote there is not known: the file there is kept beside
            // the original, which stays the original.
            if (std::optional<FileError> failure = keepBeside(gameFile, targetName))
                return failure;
            // Until the replacement is made, what is there is still not known to be ours.
            entry.doubtful = true;
        } else {
            // Neither the kept original nor ours, nor our write cut short: the game's own new
            // file (an update). The older kept file is set aside, never deleted.
            if (std::optional<FileError> failure = setKeptAside(targetName))
                return failure;
            if (std::optional<FileError> failure = keepNow(gameFile, targetName, inPlace))
                return failure;
        }
    } else if (inPlace && sameFile(keptFile(targetName), gameFile)) {
        // A kept second name of the very file about to be overwritten in place would be
        // overwritten with it: it becomes a copy of its own first.
        if (std::optional<FileError> failure = keepCopy(gameFile, keptFile(targetName)))
            return failure;
    }
    if (inPlace && isThere(gameFile)) {
        // What the file holds as the overwrite begins: the write is never begun unrecorded.
        entry.overwrittenInPlace =
            entry.written.empty() ? WrittenFile::of(gameFile, fileSystem_) : entry.written.front();
        if (!entry.overwrittenInPlace)
            return FileError::destination(unreadable);
        // What is about to be written stays beside the originals until it is whole.
        if (std::optional<FileError> failure = keepUnderWay(replacement.content, targetName))
            return failure;
    }
    // Kept under a second name of the game file: what it is now tells, after a kill, whether
    // another program wrote over both names before the new file took the game file's name.
    if (!inPlace && sameFile(keptFile(targetName), gameFile))
        entry.secondName = identityOf(gameFile);
    // Both the file there now and the one about to replace it count as ours until the
    // replacement is done: a kill in between leaves either.
    entry.written.push_back(replacement.written);
    manifest().setEntry(std::string(targetName), std::move(entry));
    return std::nullopt;
}

std::optional<FileError> OriginalsFolder::saveRecord()
{
    // The manifest's own writer syncs this folder, and with it the kept names made here.
    return manifest().save();
}

void OriginalsFolder::recordMade(std::string_view targetName, const WrittenFile &written)
{
    OriginalsManifest::Entry entry;
    entry.written = {written};
    entry.identity =
        identityOf(AtomicFileWriter::resolveLinks(gameFile(targetName), fileSystem_));
    manifest().setEntry(std::string(targetName), std::move(entry));
    fileSystem_.remove(underWayFile(targetName));
}

void OriginalsFolder::recordFailed(std::string_view targetName, const fs::path &gameFile,
                                   bool inPlace)
{
    const OriginalsManifest::Entry &entry = manifest().entry(std::string(targetName));
    if (inPlace && entry.overwrittenInPlace) {
        const std::optional<WrittenFile> now = WrittenFile::of(gameFile, fileSystem_);
        if (!now || now->hash != entry.overwrittenInPlace->hash)
            return;
    }
    recordNotBegun(targetName);
}

void OriginalsFolder::dropSecondName(std::string_view targetName)
{
    const fs::path kept = keptFile(targetName);
    const fs::path game = AtomicFileWriter::resolveLinks(gameFile(targetName), fileSystem_);
    // A symbolic link to the kept file is no second name of it: the kept file is the data.
    if (!sameFile(kept, game) || leadsIntoOriginals(game))
        return;
    const std::optional<OriginalsManifest::Entry::Identity> was =
        manifest().entry(std::string(targetName)).secondName;
    // Never kept, then: the next Change keeps what the game file holds. Where the original
    // was written over through the game file's name, the record says so, before the name
    // goes, so that a kill in between still tells it. A record that cannot be written (a
    // full disk) does not keep the name: a second name at rest is worse than a stale line.
    OriginalsManifest::Entry entry;
    entry.lost = (was && identityOf(game) != was) ||
                 manifest().entry(std::string(targetName)).lost;
    manifest().setEntry(std::string(targetName), std::move(entry));
    manifest().save();
    if (fileSystem_.remove(kept) != 0)
        return;
    fileSystem_.syncFolder(folder_);
}

void OriginalsFolder::recordNotBegun(std::string_view targetName)
{
    fileSystem_.remove(underWayFile(targetName));
    dropSecondName(targetName);
    OriginalsManifest::Entry entry = manifest().entry(std::string(targetName));
    if (!entry.written.empty())
        entry.written.pop_back();
    entry.overwrittenInPlace.reset();
    manifest().setEntry(std::string(targetName), std::move(entry));
}

std::optional<FileError> OriginalsFolder::keepNow(const fs::path &gameFile,
                                                  std::string_view targetName, bool inPlace)
{
    if (!isThere(gameFile)) {
        AtomicFileWriter writer(fileSystem_);
        return writer.writeBytes(absentMarker(targetName), {});
    }
    // A second name costs no copying; the new file then takes the game file's name by
    // rename, leaving the old data under the kept name. The record's save syncs it.
    // A game file with other names (the game's files linked to each other) is copied: a
    // kept second name of it would change with them.
    FileStatus status;
    const bool single = fileSystem_.status(gameFile, status) == 0 && status.links == 1;
    if (!inPlace && single && fileSystem_.hardLink(gameFile, keptFile(targetName)) == 0)
        return std::nullopt;
    return keepCopy(gameFile, keptFile(targetName));
}

fs::path OriginalsFolder::supersededName(const fs::path &kept) const
{
    const fs::path aside = folder_ / platform::pathFromText(supersededFolderName);
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    char date[16];
    std::strftime(date, sizeof date, "%Y-%m-%d", &local);
    // "Water 2026-12-08.mp3": it still plays, and a second one that day gets a number.
    const std::string stem = platform::textFromPath(kept.stem());
    const std::string extension = platform::textFromPath(kept.extension());
    fs::path destination = aside / platform::pathFromText(stem + " " + date + extension);
    for (int n = 2; isThere(destination); ++n)
        destination = aside / platform::pathFromText(stem + " " + date + " (" + std::to_string(n) +
                                                     ")" + extension);
    return destination;
}

std::optional<FileError> OriginalsFolder::keepBeside(const fs::path &gameFile,
                                                     std::string_view targetName)
{
    if (!isThere(gameFile))
        return std::nullopt;
    const fs::path aside = folder_ / platform::pathFromText(supersededFolderName);
    if (const SystemError error = fileSystem_.createFolder(aside))
        return FileError::destination(error);
    return keepCopy(gameFile, supersededName(keptFile(targetName)));
}

std::optional<FileError> OriginalsFolder::setKeptAside(std::string_view targetName)
{
    const fs::path aside = folder_ / platform::pathFromText(supersededFolderName);
    if (const SystemError error = fileSystem_.createFolder(aside))
        return FileError::destination(error);
    for (const fs::path &kept : {keptFile(targetName), absentMarker(targetName)}) {
        if (!isThere(kept))
            continue;
        if (const SystemError error = fileSystem_.replace(kept, supersededName(kept)))
            return FileError::destination(error);
    }
    fileSystem_.syncFolder(aside);
    fileSystem_.syncFolder(folder_);
    return std::nullopt;
}

std::optional<FileError> OriginalsFolder::keepCopy(const fs::path &gameFile, const fs::path &kept)
{
    FileStatus game;
    const bool known = fileSystem_.status(gameFile, game) == 0 && game.isFile();
    {
        AtomicFileWriter writer(fileSystem_);
        if (std::optional<FileError> failure = writer.copyFile(gameFile, kept))
            return failure;
    }
    if (known)
        fileSystem_.setModified(kept, game.modified);
    return std::nullopt;
}

SystemError OriginalsFolder::createFolders(const fs::path &folder)
{
    if (folder.empty() || isFolder(folder))
        return 0;
    if (folder.has_relative_path() && folder.parent_path() != folder) {
        if (const SystemError error = createFolders(folder.parent_path()))
            return error;
    }
    return fileSystem_.createFolder(folder);
}

void OriginalsFolder::removeLeftovers(std::optional<fs::file_time_type> olderThan)
{
    AtomicFileWriter writer(fileSystem_);
    writer.removeLeftovers(gameFolder(), olderThan);
    if (isFolder(folder_) && !refusalOfFolder())
        writer.removeLeftovers(folder_, olderThan);
}

std::optional<OriginalsRefusal> OriginalsFolder::refusalOfFolder() const
{
    FileStatus status;
    if (fileSystem_.status(folder_, status, false) == 0 && status.type == FileStatus::Type::Link)
        return OriginalsRefusal{OriginalsRefusal::Kind::FolderIsLink, folder_};
    if (sameFile(folder_, gameFolder()))
        return OriginalsRefusal{OriginalsRefusal::Kind::FolderIsGameFolder, folder_};
    return std::nullopt;
}

std::unique_ptr<RunLock> OriginalsFolder::takeLock(std::chrono::milliseconds wait)
{
    const auto none = [this] {
        return std::make_unique<RunLock>(std::vector<fs::path>{}, std::chrono::milliseconds(0),
                                         true, fileSystem_);
    };
    // Nothing to write into: the run's first copy fails as it always has. A folder text
    // with no folder in it names the current folder.
    const fs::path game = gameFolder().empty() ? fs::path(".") : gameFolder();
    if (!isFolder(game) && !isFolder(folder_))
        return none();
    if ((refusal_ = refusalOfFolder()))
        return none();
    const fs::path lockFile = folder_ / RunLock::fileName;
    recordUnderLock_ = true;
    const std::optional<FileError> failure = makeFolder();
    recordUnderLock_ = false;
    if (failure) {
        refusal_ = {OriginalsRefusal::Kind::LockNotTaken, lockFile, failure->systemError};
        return none();
    }
    // The folder made may be the data folder's place, and that may be a link too.
    if ((refusal_ = refusalOfFolder()))
        return none();
    lockFileWasThere_ = isThere(lockFile);
    lockTakenHere_ = true;
    auto lock = std::make_unique<RunLock>(folder_, wait, true, fileSystem_);
    if (lock->outcome() == RunLock::Outcome::Unavailable)
        refusal_ = {OriginalsRefusal::Kind::LockNotTaken, folder_ / RunLock::fileName,
                    lock->error()};
    // A record that cannot be written now fails the first write that needs it.
    if (std::exchange(recordPending_, false) && lock->outcome() == RunLock::Outcome::Held &&
        !isThere(folder_ / OriginalsManifest::fileName))
        recordNewFolder(folder_);
    return lock;
}

std::unique_ptr<RunLock> OriginalsFolder::lockForWriting(std::chrono::milliseconds wait)
{
    refusal_.reset();
    std::unique_ptr<RunLock> lock = takeLock(wait);
    if (lock->outcome() != RunLock::Outcome::HeldElsewhere && !refusal_)
        readRecordAgain(*lock);
    return lock;
}

bool OriginalsFolder::readRecordAgain(const RunLock &lock)
{
    // Another copy may have changed the record since it was read.
    manifest_.reset();
    if (lock.outcome() == RunLock::Outcome::Held && isFolder(folder_)) {
        // A record that cannot be read is no evidence of anything: nothing goes ahead on it.
        if (const SystemError error = manifest().readError()) {
            refusal_ = {OriginalsRefusal::Kind::RecordUnreadable,
                        folder_ / OriginalsManifest::fileName, error};
            return false;
        }
    }
    return true;
}

void OriginalsFolder::clearWhatAKilledRunLeft(const RunLock &lock,
                                              std::optional<fs::file_time_type> olderThan)
{
    removeLeftovers(olderThan);
    if (lock.outcome() != RunLock::Outcome::Held)
        return;
    // Where earlier versions kept the lock: the game folder holds nothing of ours now but
    // the originals folder.
    const fs::path older = gameFolder() / RunLock::fileName;
    FileStatus status;
    if (fileSystem_.status(older, status, false) == 0 && status.isFile())
        fileSystem_.remove(older);
    if (isFolder(folder_)) {
        const SlotTable slots;
        for (int i = 0; i < slotCount; ++i)
            dropSecondName(slots.targetFileName(i));
        manifest().save();
    }
}

OriginalsFolder::Writing OriginalsFolder::beginWriting(std::uint8_t language,
                                                       std::chrono::milliseconds wait)
{
    Writing writing{lockForWriting(wait), std::nullopt};
    if (writing.lock->outcome() == RunLock::Outcome::HeldElsewhere)
        writing.refused = {RunResult::Outcome::Busy, -1, 0,
                           std::string(RunTexts::forLanguage(language).anotherCopyIsChanging)};
    else if (refusal_)
        writing.refused = refusal_->result(language);
    else
        clearWhatAKilledRunLeft(*writing.lock, {});
    return writing;
}

void OriginalsFolder::cleanUpAfterKilledRun(std::optional<fs::file_time_type> olderThan)
{
    refusal_.reset();
    // Nothing is made where nothing was: no copy holds a lock file that is not there, and a
    // run that starts meanwhile writes nothing older than olderThan.
    std::vector<fs::path> folders;
    if (isFolder(folder_) && !refusalOfFolder())
        folders.push_back(folder_);
    const RunLock lock(folders, std::chrono::milliseconds(0), false, fileSystem_);
    if (lock.outcome() != RunLock::Outcome::HeldElsewhere && readRecordAgain(lock))
        clearWhatAKilledRunLeft(lock, olderThan);
}

RunResult OriginalsFolder::takeIn(const std::vector<StandIn> &copies, std::uint8_t language)
{
    const Writing writing = beginWriting(language);
    if (writing.refused)
        return *writing.refused;
    RunResult result;
    const auto fail = [&](const FileError &error) {
        return RunResult{RunResult::Outcome::Failed, -1, failureCodeFor(error), {}, result.count};
    };
    if (std::optional<FileError> failure = makeFolder())
        return fail(*failure);
    const fs::path aside = folder_ / platform::pathFromText(standInFolderName);
    for (const StandIn &copy : copies) {
        // The game folder's file is the game's own, whatever the game played instead.
        const fs::path game =
            AtomicFileWriter::resolveLinks(gameFile(copy.targetName), fileSystem_);
        if (!isKept(copy.targetName)) {
            // Kept by copy: the game file stays, and a second name of it would change with it.
            if (std::optional<FileError> failure = keepNow(game, copy.targetName, true))
                return fail(*failure);
        }
        if (const SystemError error = fileSystem_.createFolder(aside))
            return fail(FileError::destination(error));
        fs::path destination = aside / platform::pathFromText(copy.targetName);
        for (int n = 2; isThere(destination); ++n)
            destination = aside / platform::pathFromText(std::to_string(n) + " " + copy.targetName);
        if (fileSystem_.rename(copy.file, destination) != 0) {
            // Another volume: copied whole, then the copy there removed.
            AtomicFileWriter writer(fileSystem_);
            if (std::optional<FileError> failure = writer.copyFile(copy.file, destination))
                return fail(*failure);
            if (const SystemError removed = fileSystem_.remove(copy.file))
                return fail(FileError::destination(removed));
        }
        manifest().addMovedIn(
            {copy.targetName,
             platform::textFromPath(fs::path(platform::pathFromText(standInFolderName)) /
                                    destination.filename()),
             platform::textFromPath(copy.file)});
        if (std::optional<FileError> failure = manifest().save())
            return fail(*failure);
        ++result.count;
    }
    return result;
}

RunResult OriginalsFolder::restore(const SlotTable &slots, const SlotTexts &labels,
                                   std::uint8_t language, std::optional<int> onlySlot)
{
    RunResult result;
    if (!isFolder(folder_))
        return result;
    const Writing writing = beginWriting(language);
    if (writing.refused)
        return *writing.refused;
    AtomicFileWriter writer(fileSystem_);
    // A copy staged for an overwrite in place is ours to clean up after a kill.
    writer.setStagingFolder(folder_);
    const RunTexts &texts = RunTexts::forLanguage(language);
    std::string leftAloneLines;
    for (int i = 0; i < slotCount; ++i) {
        if (onlySlot && *onlySlot != i)
            continue;
        bool restored = false;
        LeftAlone leftAlone;
        if (const std::optional<FileError> error =
                restoreSlot(writer, slots.targetFileName(i), restored, leftAlone)) {
            const int code = failureCodeFor(*error);
            if (result.outcome != RunResult::Outcome::Failed) {
                result = {RunResult::Outcome::Failed, i, code, {}, result.count};
                result.systemError = error->systemError;
            } else {
                result.message += '\n';
            }
            result.message += RunMessages::failure(language, labels[i], code) + "\n" +
                              RunMessages::writeFailureReason(language, error->systemError);
        }
        result.count += restored ? 1 : 0;
        if (leftAlone.why == LeftAlone::Why::None)
            continue;
        leftAloneLines.append("\n").append(labels[i]).append(".mp3: ");
        if (leftAlone.why == LeftAlone::Why::ChangedSince)
            leftAloneLines.append(texts.leftAloneChangedSince);
        else if (leftAlone.why == LeftAlone::Why::NoRecord)
            leftAloneLines.append(texts.leftAloneNoRecord);
        else if (leftAlone.why == LeftAlone::Why::Lost)
            leftAloneLines.append(texts.leftAloneLost);
        else
            leftAloneLines.append(texts.leftAloneUnreadable)
                .append(RunMessages::writeFailureReason(language, leftAlone.error));
    }
    if (!leftAloneLines.empty()) {
        if (!result.message.empty())
            result.message += '\n';
        result.message.append(texts.restoreLeftAlone).append(leftAloneLines);
    }
    // The files put back are durable before the record forgets them.
    writer.syncFolders();
    manifest().save();
    return result;
}

std::optional<FileError> OriginalsFolder::restoreSlot(AtomicFileWriter &writer,
                                                      std::string_view targetName, bool &restored,
                                                      LeftAlone &leftAlone)
{
    if (!isKept(targetName)) {
        if (manifest().entry(std::string(targetName)).lost)
            leftAlone.why = LeftAlone::Why::Lost;
        return std::nullopt;
    }
    // A link stays: what it points to is the game file.
    const fs::path game = AtomicFileWriter::resolveLinks(gameFile(targetName), fileSystem_);
    if (isThere(game)) {
        // A file that cannot be read cannot be compared: it, its record and its kept
        // original stay as they are.
        FileSystem::Handle handle = 0;
        if (const SystemError error = fileSystem_.openForReading(game, handle)) {
            leftAlone = {LeftAlone::Why::Unreadable, error};
            return std::nullopt;
        }
        fileSystem_.close(handle);
    }
    comparisonFailed_ = false;
    const bool original = matchesKept(game, targetName);
    const bool ours = !original && ourEntryFor(game, targetName, Check::Content);
    if (comparisonFailed_) {
        leftAlone = {LeftAlone::Why::Unreadable, unreadable};
        return std::nullopt;
    }
    if (manifest().entry(std::string(targetName)).doubtful && !original && !ours) {
        // What this program wrote there is not known: nothing to restore over.
        leftAlone.why = LeftAlone::Why::NoRecord;
        return std::nullopt;
    }
    if (original) {
        // The original is there already (a restore cut short after its write).
        manifest().setWritten(std::string(targetName), {});
    } else if (ours) {
        if (isThere(absentMarker(targetName))) {
            if (const SystemError error = fileSystem_.remove(game))
                return FileError::destination(error);
            restored = true;
        } else {
            bool underWayMade = false;
            const auto recordInPlace =
                [&](const AtomicFileWriter::Prepared &replacement) -> std::optional<FileError> {
                if (!replacement.inPlace)
                    return std::nullopt;
                // Put back in place: a file cut short here stays ours and restorable.
                OriginalsManifest::Entry entry = manifest().entry(std::string(targetName));
                if (!entry.overwrittenInPlace) {
                    entry.overwrittenInPlace = WrittenFile::of(game, fileSystem_);
                    if (!entry.overwrittenInPlace)
                        return FileError::destination(unreadable);
                    manifest().setEntry(std::string(targetName), std::move(entry));
                }
                // What is put back stays under way beside the originals until it is whole,
                // which tells a write cut short even where the record is damaged since.
                if (std::optional<FileError> failure =
                        keepUnderWay(keptFile(targetName), targetName))
                    return failure;
                underWayMade = true;
                return manifest().save();
            };
            if (std::optional<FileError> failure =
                    writer.copyFile(keptFile(targetName), game, recordInPlace))
                return failure;
            if (underWayMade)
                fileSystem_.remove(underWayFile(targetName));
            restored = true;
        }
        manifest().setWritten(std::string(targetName), {});
    } else {
        // The game, a patch or the player put something else there: the kept file is no
        // longer the original of what is there, and is set aside.
        if (std::optional<FileError> failure = setKeptAside(targetName))
            return failure;
        manifest().setWritten(std::string(targetName), {});
        leftAlone.why = LeftAlone::Why::ChangedSince;
    }
    return std::nullopt;
}

} // namespace core
