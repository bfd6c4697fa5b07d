// SPDX-License-Identifier: GPL-3.0-or-later
#include "originals/OriginalsFolder.h"

#include "files/FailureCodes.h"
#include "files/Platform.h"
#include "originals/CutShortRepair.h"
#include "originals/KeptFiles.h"
#include "originals/OriginalsRestore.h"
#include "originals/SecondNames.h"
#include "originals/UnderWayWrite.h"

#include <utility>

namespace core {

namespace fs = std::filesystem;

OriginalsFolder::OriginalsFolder(std::string_view musicFolder, FileSystem &fileSystem,
                                 fs::path dataFolder)
    : record_(musicFolder, fileSystem, std::move(dataFolder))
{
}

fs::path OriginalsFolder::gameFolder() const
{
    return record_.place().gameFolder();
}

fs::path OriginalsFolder::gameFile(std::string_view targetName) const
{
    return record_.place().gameFile(targetName);
}

bool OriginalsFolder::isKept(std::string_view targetName) const
{
    return record_.place().isKept(targetName);
}

std::optional<fs::path> OriginalsFolder::keptOriginal(std::string_view targetName) const
{
    return record_.place().keptOriginal(targetName);
}

bool OriginalsFolder::isRestorable(std::string_view targetName, Check check)
{
    const OriginalsPlace &place = record_.place();
    return place.isKept(targetName) &&
           record_.ourEntryFor(
               AtomicFileWriter::resolveLinks(place.gameFile(targetName), place.fileSystem()),
               targetName, check);
}

int OriginalsFolder::restorableCount(const SlotTable &slots, Check check)
{
    if (!record_.place().isFolder(record_.place().path()))
        return 0;
    int count = 0;
    for (int i = 0; i < slotCount; ++i)
        count += isRestorable(slots.targetFileName(i), check) ? 1 : 0;
    return count;
}

std::optional<FileError> OriginalsFolder::keep(const AtomicFileWriter::Prepared &replacement,
                                               std::string_view targetName)
{
    return UnderWayWrite(record_).keep(replacement, targetName);
}

std::optional<FileError> OriginalsFolder::saveRecord()
{
    // The manifest's own writer syncs this folder, and with it the kept names made here.
    return record_.manifest().save();
}

void OriginalsFolder::recordMade(std::string_view targetName, const WrittenFile &written)
{
    UnderWayWrite(record_).recordMade(targetName, written);
}

void OriginalsFolder::recordNotBegun(std::string_view targetName)
{
    UnderWayWrite(record_).recordNotBegun(targetName);
}

void OriginalsFolder::dropSecondName(std::string_view targetName)
{
    SecondNames(record_).drop(targetName);
}

void OriginalsFolder::recordFailed(std::string_view targetName, const fs::path &gameFile,
                                   bool inPlace)
{
    UnderWayWrite(record_).recordFailed(targetName, gameFile, inPlace);
}

OriginalsFolder::Writing OriginalsFolder::beginWriting(std::uint8_t language,
                                                       std::chrono::milliseconds wait,
                                                       const std::function<void()> &waiting)
{
    return OriginalsLock(record_).beginWriting(language, wait, waiting);
}

void OriginalsFolder::cleanUpAfterKilledRun(std::optional<fs::file_time_type> olderThan)
{
    OriginalsLock(record_).cleanUpAfterKilledRun(olderThan);
}

std::vector<std::string> OriginalsFolder::repairCutShortFiles()
{
    return CutShortRepair(record_).repair();
}

RunResult OriginalsFolder::restore(const SlotTable &slots, const SlotTexts &labels,
                                   std::uint8_t language, std::optional<int> onlySlot,
                                   const std::function<void()> &waiting)
{
    return OriginalsRestore(record_).restore(slots, labels, language, onlySlot, waiting);
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
    if (std::optional<FileError> failure = record_.makeFolder())
        return fail(*failure);
    const fs::path aside =
        record_.place().path() / platform::pathFromText(OriginalsPlace::standInFolderName);
    for (const StandIn &copy : copies) {
        if (std::optional<FileError> failure = takeInCopy(copy, aside))
            return fail(*failure);
        ++result.count;
    }
    return result;
}

std::optional<FileError> OriginalsFolder::takeInCopy(const StandIn &copy, const fs::path &aside)
{
    const OriginalsPlace &place = record_.place();
    FileSystem &fileSystem = place.fileSystem();
    // The game folder's file is the game's own, whatever the game played instead.
    const fs::path game =
        AtomicFileWriter::resolveLinks(place.gameFile(copy.targetName), fileSystem);
    if (!place.isKept(copy.targetName)) {
        // Kept by copy: the game file stays, and a second name of it would change with it.
        if (std::optional<FileError> failure = KeptFiles(place).keep(game, copy.targetName, true))
            return failure;
    }
    if (const SystemError error = place.createDurableFolder(aside))
        return FileError::destination(error);
    fs::path destination = aside / platform::pathFromText(copy.targetName);
    for (int n = 2; place.isThere(destination); ++n)
        destination = aside / platform::pathFromText(std::to_string(n) + " " + copy.targetName);
    if (fileSystem.rename(copy.file, destination) != 0) {
        // Another volume: copied whole, then the copy there removed.
        AtomicFileWriter writer(fileSystem);
        if (std::optional<FileError> failure = writer.copyFile(copy.file, destination))
            return failure;
        if (const SystemError removed = fileSystem.remove(copy.file))
            return FileError::destination(removed);
    }
    OriginalsManifest &manifest = record_.manifest();
    manifest.addMovedIn({copy.targetName,
                         platform::textFromPath(
                             fs::path(platform::pathFromText(OriginalsPlace::standInFolderName)) /
                             destination.filename()),
                         platform::textFromPath(copy.file)});
    return manifest.save();
}

} // namespace core
