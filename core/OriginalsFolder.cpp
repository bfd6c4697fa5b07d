// SPDX-License-Identifier: GPL-3.0-or-later
#include "OriginalsFolder.h"

#include "FailureCodes.h"
#include "Platform.h"
#include "RunLock.h"

#include <system_error>

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
#else
constexpr SystemError unreadable = EIO;
#endif

bool isThere(const fs::path &path)
{
    std::error_code error;
    return fs::exists(fs::symlink_status(path, error));
}

bool isFolder(const fs::path &path)
{
    std::error_code error;
    return fs::is_directory(path, error);
}

bool sameFile(const fs::path &a, const fs::path &b)
{
    std::error_code error;
    return fs::equivalent(a, b, error);
}

} // namespace

OriginalsFolder::OriginalsFolder(std::string_view musicFolder, FileSystem &fileSystem,
                                 fs::path dataFolder)
    : fileSystem_(fileSystem), musicFolder_(musicFolder), dataFolder_(std::move(dataFolder)),
      folder_(gameFolder() / platform::pathFromText(folderName))
{
    if (!isFolder(folder_) && !dataFolder_.empty() && isFolder(dataFolderPlace()))
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
    std::error_code error;
    const fs::path folder = exact.parent_path().empty() ? "." : exact.parent_path();
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (platform::asciiLowerCase(it->path().filename().string()) != wanted)
            continue;
        if (!match.empty())
            return exact;
        match = exact.parent_path() / it->path().filename();
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
    std::error_code error;
    fs::path kept = keptFile(targetName);
    if (!fs::is_regular_file(kept, error))
        return std::nullopt;
    return kept;
}

OriginalsManifest &OriginalsFolder::manifest()
{
    if (!manifest_) {
        manifest_.emplace(folder_ / OriginalsManifest::fileName, fileSystem_);
        if (!manifest_->existed() && isFolder(folder_))
            adoptOlderFolder();
    }
    return *manifest_;
}

void OriginalsFolder::adoptOlderFolder()
{
    const SlotTable slots;
    for (int i = 0; i < slotCount; ++i) {
        const std::string &target = slots.targetFileName(i);
        const fs::path game = AtomicFileWriter::resolveLinks(gameFile(target));
        if (!isKept(target) || matchesKept(game, target))
            continue;
        if (std::optional<WrittenFile> written = WrittenFile::of(game))
            manifest_->setWritten(target, {*written});
    }
    manifest_->save();
}

std::optional<WrittenFile> OriginalsFolder::ourEntryFor(const fs::path &gameFile,
                                                        std::string_view targetName, Check check)
{
    const std::vector<WrittenFile> &written = manifest().written(std::string(targetName));
    const std::optional<WrittenFile> now = WrittenFile::statOf(gameFile);
    if (written.empty() || !now)
        return std::nullopt;
    bool sizeMatches = false;
    for (const WrittenFile &file : written) {
        if (check == Check::SizeAndTime && file.sameSizeAndTime(*now))
            return file;
        sizeMatches = sizeMatches || file.size == now->size;
    }
    if (!sizeMatches)
        return std::nullopt;
    const std::optional<WrittenFile> content = WrittenFile::of(gameFile);
    for (const WrittenFile &file : written) {
        if (content && file.hash == content->hash)
            return file;
    }
    return std::nullopt;
}

bool OriginalsFolder::matchesKept(const fs::path &gameFile, std::string_view targetName) const
{
    if (isThere(absentMarker(targetName)))
        return !isThere(gameFile);
    const std::optional<WrittenFile> kept = WrittenFile::statOf(keptFile(targetName));
    const std::optional<WrittenFile> game = WrittenFile::statOf(gameFile);
    if (!kept || !game || kept->size != game->size)
        return false;
    if (sameFile(keptFile(targetName), gameFile))
        return true;
    const std::optional<WrittenFile> keptContent = WrittenFile::of(keptFile(targetName));
    const std::optional<WrittenFile> gameContent = WrittenFile::of(gameFile);
    return keptContent && gameContent && keptContent->hash == gameContent->hash;
}

bool OriginalsFolder::isRestorable(std::string_view targetName, Check check)
{
    return isKept(targetName) &&
           ourEntryFor(AtomicFileWriter::resolveLinks(gameFile(targetName)), targetName, check);
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
        return std::nullopt;
    // A game folder the player may not write: the originals go to the player's own folder,
    // with a note naming the game folder they belong to.
    if (dataFolder_.empty() || folder_ == dataFolderPlace())
        return FileError::destination(error);
    const fs::path place = dataFolderPlace();
    std::error_code made;
    fs::create_directories(place, made);
    if (made)
        return FileError::destination(error);
    AtomicFileWriter writer(fileSystem_);
    if (std::optional<FileError> failure = writer.writeBytes(
            place / gameFolderNoteName, platform::textFromPath(gameFolder()) + "\n"))
        return failure;
    folder_ = place;
    manifest_.reset();
    return std::nullopt;
}

std::optional<FileError> OriginalsFolder::keep(const fs::path &gameFile,
                                               std::string_view targetName, bool inPlace,
                                               const fs::path &newContent)
{
    const std::optional<WrittenFile> fresh = WrittenFile::of(newContent);
    if (!fresh)
        return FileError::destination(unreadable);
    if (std::optional<FileError> failure = makeFolder())
        return failure;

    std::vector<WrittenFile> written;
    if (!isKept(targetName)) {
        if (std::optional<FileError> failure = keepNow(gameFile, targetName, inPlace))
            return failure;
    } else if (std::optional<WrittenFile> ours =
                   ourEntryFor(gameFile, targetName, Check::Content)) {
        written.push_back(*ours);
    } else if (!matchesKept(gameFile, targetName)) {
        // Neither the kept original nor ours: the game's own new file (an update).
        dropKept(targetName);
        if (std::optional<FileError> failure = keepNow(gameFile, targetName, inPlace))
            return failure;
    } else if (inPlace && sameFile(keptFile(targetName), gameFile)) {
        // A kept second name of the very file about to be overwritten in place would be
        // overwritten with it: it becomes a copy of its own first.
        if (std::optional<FileError> failure = keepCopy(gameFile, keptFile(targetName)))
            return failure;
    }
    // Both the file there now and the one about to replace it count as ours until the
    // replacement is done: a kill in between leaves either.
    written.push_back(*fresh);
    manifest().setWritten(std::string(targetName), std::move(written));
    return manifest().save();
}

std::optional<FileError> OriginalsFolder::keepNow(const fs::path &gameFile,
                                                  std::string_view targetName, bool inPlace)
{
    if (!isThere(gameFile)) {
        AtomicFileWriter writer(fileSystem_);
        return writer.writeBytes(absentMarker(targetName), {});
    }
    // A second name costs no copying; the new file then takes the game file's name by
    // rename, leaving the old data under the kept name.
    if (!inPlace && fileSystem_.hardLink(gameFile, keptFile(targetName)) == 0) {
        fileSystem_.syncFolder(folder_);
        return std::nullopt;
    }
    return keepCopy(gameFile, keptFile(targetName));
}

void OriginalsFolder::dropKept(std::string_view targetName)
{
    fileSystem_.remove(keptFile(targetName));
    fileSystem_.remove(absentMarker(targetName));
}

std::optional<FileError> OriginalsFolder::keepCopy(const fs::path &gameFile, const fs::path &kept)
{
    std::error_code error;
    const auto modified = fs::last_write_time(gameFile, error);
    {
        AtomicFileWriter writer(fileSystem_);
        if (std::optional<FileError> failure = writer.copyFile(gameFile, kept))
            return failure;
    }
    if (!error)
        fs::last_write_time(kept, modified, error);
    return std::nullopt;
}

void OriginalsFolder::removeLeftovers(std::optional<fs::file_time_type> olderThan)
{
    AtomicFileWriter writer(fileSystem_);
    writer.removeLeftovers(gameFolder(), olderThan);
    if (folder_ != gameFolder())
        writer.removeLeftovers(folder_, olderThan);
}

std::unique_ptr<RunLock>
OriginalsFolder::lockForWriting(std::optional<fs::file_time_type> olderThan)
{
    auto lock = std::make_unique<RunLock>(gameFolder());
    if (lock->outcome() != RunLock::Outcome::HeldElsewhere)
        removeLeftovers(olderThan);
    return lock;
}

std::optional<FileError> OriginalsFolder::takeIn(const fs::path &file, std::string_view targetName)
{
    if (std::optional<FileError> failure = makeFolder())
        return failure;
    fs::path destination = keptFile(targetName);
    if (isKept(targetName)) {
        const fs::path aside = folder_ / "VirtualStore copies";
        std::error_code made;
        fs::create_directories(aside, made);
        destination = aside / platform::pathFromText(targetName);
        for (int n = 2; isThere(destination); ++n)
            destination =
                aside / platform::pathFromText(std::to_string(n) + " " + std::string(targetName));
    }
    std::error_code error;
    fs::rename(file, destination, error);
    if (!error)
        return std::nullopt;
    // Another volume: copied whole, then the copy there removed.
    {
        AtomicFileWriter writer(fileSystem_);
        if (std::optional<FileError> failure = writer.copyFile(file, destination))
            return failure;
    }
    if (const SystemError removed = fileSystem_.remove(file))
        return FileError::destination(removed);
    return std::nullopt;
}

RunResult OriginalsFolder::restore(const SlotTable &slots, const SlotTexts &labels,
                                   std::uint8_t language, std::optional<int> onlySlot)
{
    RunResult result;
    if (!isFolder(folder_))
        return result;
    const std::unique_ptr<RunLock> lock = lockForWriting();
    AtomicFileWriter writer(fileSystem_);
    for (int i = 0; i < slotCount; ++i) {
        if (onlySlot && *onlySlot != i)
            continue;
        bool restored = false;
        if (const std::optional<FileError> error =
                restoreSlot(writer, slots.targetFileName(i), restored)) {
            const int code = failureCodeFor(*error);
            if (result.outcome != RunResult::Outcome::Failed) {
                result = {RunResult::Outcome::Failed, i, code, {}, result.count};
                result.systemError = error->systemError;
            } else {
                result.message += '\n';
            }
            result.message += ReplacementRun::failureMessage(language, labels[i], code);
        }
        result.count += restored ? 1 : 0;
    }
    manifest().save();
    return result;
}

std::optional<FileError> OriginalsFolder::restoreSlot(AtomicFileWriter &writer,
                                                      std::string_view targetName, bool &restored)
{
    if (!isKept(targetName))
        return std::nullopt;
    // A link stays: what it points to is the game file.
    const fs::path game = AtomicFileWriter::resolveLinks(gameFile(targetName));
    if (ourEntryFor(game, targetName, Check::Content)) {
        if (isThere(absentMarker(targetName))) {
            if (const SystemError error = fileSystem_.remove(game))
                return FileError::destination(error);
        } else if (std::optional<FileError> failure = writer.copyFile(keptFile(targetName), game)) {
            return failure;
        }
        restored = true;
        manifest().setWritten(std::string(targetName), {});
    } else if (!matchesKept(game, targetName)) {
        // The game, a patch or the player put something else there: the kept file is no
        // longer the original of what is there.
        dropKept(targetName);
        manifest().setWritten(std::string(targetName), {});
    }
    return std::nullopt;
}

} // namespace core
