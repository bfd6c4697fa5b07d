// SPDX-License-Identifier: GPL-3.0-or-later
#include "originals/KeptFiles.h"

#include "files/AtomicFileWriter.h"
#include "files/Platform.h"
#include "originals/OriginalsRecord.h"

namespace core {

namespace fs = std::filesystem;

KeptFiles::KeptFiles(const OriginalsPlace &place) : place_(place) {}

std::optional<FileError> KeptFiles::keep(const fs::path &gameFile, std::string_view targetName,
                                         bool inPlace) const
{
    FileSystem &fileSystem = place_.fileSystem();
    if (!place_.isThere(gameFile)) {
        AtomicFileWriter writer(fileSystem);
        return writer.writeBytes(place_.absentMarker(targetName), {});
    }
    // A second name costs no copying; the new file then takes the game file's name by
    // rename, leaving the old data under the kept name. The record's save syncs it.
    // A game file with other names (the game's files linked to each other) is copied: a
    // kept second name of it would change with them. So is one that the rename cannot
    // replace, read-only or held by the game: Windows would not let its kept second name go
    // either, and a patcher writing into the game file would write over the original.
    FileStatus status;
    const bool linkable = fileSystem.status(gameFile, status) == 0 && status.links == 1 &&
                          (status.mode & 0222) != 0 && !fileSystem.inUse(gameFile);
    if (!inPlace && linkable && fileSystem.hardLink(gameFile, place_.keptFile(targetName)) == 0)
        return std::nullopt;
    return copy(gameFile, place_.keptFile(targetName));
}

std::optional<FileError> KeptFiles::keepBeside(const fs::path &gameFile,
                                               std::string_view targetName) const
{
    if (!place_.isThere(gameFile))
        return std::nullopt;
    const fs::path aside =
        place_.path() / platform::pathFromText(OriginalsPlace::supersededFolderName);
    if (const SystemError error = place_.createDurableFolder(aside))
        return FileError::destination(error);
    const std::optional<fs::path> setAsideName = place_.supersededName(place_.keptFile(targetName));
    if (!setAsideName)
        return FileError::destination(OriginalsRecord::unreadable);
    return copy(gameFile, *setAsideName);
}

std::optional<FileError> KeptFiles::setAside(std::string_view targetName) const
{
    FileSystem &fileSystem = place_.fileSystem();
    const fs::path aside =
        place_.path() / platform::pathFromText(OriginalsPlace::supersededFolderName);
    if (const SystemError error = place_.createDurableFolder(aside))
        return FileError::destination(error);
    for (const fs::path &kept : {place_.keptFile(targetName), place_.absentMarker(targetName)}) {
        if (!place_.isThere(kept))
            continue;
        const std::optional<fs::path> setAsideName = place_.supersededName(kept);
        if (!setAsideName)
            return FileError::destination(OriginalsRecord::unreadable);
        if (const SystemError error = fileSystem.replace(kept, *setAsideName))
            return FileError::destination(error);
    }
    fileSystem.syncFolder(aside);
    fileSystem.syncFolder(place_.path());
    return std::nullopt;
}

std::optional<FileError> KeptFiles::copy(const fs::path &gameFile, const fs::path &kept) const
{
    FileSystem &fileSystem = place_.fileSystem();
    FileStatus game;
    const bool known = fileSystem.status(gameFile, game) == 0 && game.isFile();
    {
        AtomicFileWriter writer(fileSystem);
        if (std::optional<FileError> failure = writer.copyFile(gameFile, kept))
            return failure;
    }
    if (known)
        fileSystem.setModified(kept, game.modified);
    return std::nullopt;
}

} // namespace core
