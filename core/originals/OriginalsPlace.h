// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "files/FileSystem.h"
#include "originals/OriginalsManifest.h"
#include "originals/OriginalsRefusal.h"

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace core {

// Where the game's own music is kept: a folder of ours inside the game music folder (the
// game reads only its named files), or, where that folder cannot be made, a folder in the
// player's own data folder under a name drawn from the game folder. Names everything kept
// there: a kept file has the slot's target name; a game file that did not exist is kept as
// an empty marker named after it.
class OriginalsPlace
{
  public:
    static constexpr std::string_view folderName = "Originals (Music Changer)";
    static constexpr std::string_view absentSuffix = ".absent";
    static constexpr std::string_view underWaySuffix = ".under way";
    static constexpr std::string_view gameFolderNoteName = "game folder.txt";
    static constexpr std::string_view supersededFolderName = "Superseded";
    static constexpr std::string_view standInFolderName = "VirtualStore copies";

    // musicFolder is the stored folder text that target names are glued to; dataFolder the
    // player's own data folder, where originals go when the game folder takes no folder
    // (empty: nowhere else).
    OriginalsPlace(std::string_view musicFolder, FileSystem &fileSystem,
                   std::filesystem::path dataFolder);

    FileSystem &fileSystem() const { return fileSystem_; }
    const std::filesystem::path &path() const { return folder_; }
    const std::filesystem::path &dataFolder() const { return dataFolder_; }
    // The originals are kept there from now on.
    void moveTo(const std::filesystem::path &folder) { folder_ = folder; }
    // The folder the target names land in.
    std::filesystem::path gameFolder() const;
    // Where the originals go in the data folder: a name drawn from the game folder.
    std::filesystem::path dataFolderPlace() const;
    // The game's file of a target name: on Linux, where the exact name is absent, the one
    // file that has it in another letter case.
    std::filesystem::path gameFile(std::string_view targetName) const;
    std::filesystem::path keptFile(std::string_view targetName) const;
    std::filesystem::path absentMarker(std::string_view targetName) const;
    // The new content of an overwrite in place while it is under way, beside the originals:
    // a game file is this program's unfinished write only where it is a beginning of it.
    std::filesystem::path underWayFile(std::string_view targetName) const;
    // A copy of the original made where its kept second name could not be removed: it takes
    // the kept name once that name is gone.
    std::filesystem::path keptCopyFile(std::string_view targetName) const;
    // A free dated name in "Superseded" for a file of that name.
    // A name in Superseded/ that nothing has: none where a look-up fails, as a name that
    // cannot be looked up may hold a version set aside before.
    std::optional<std::filesystem::path> supersededName(const std::filesystem::path &kept) const;

    bool isKept(std::string_view targetName) const;
    // The kept original of a game file that existed, where one is kept.
    std::optional<std::filesystem::path> keptOriginal(std::string_view targetName) const;
    // A link, or the game folder itself under another name: never written through.
    std::optional<OriginalsRefusal> refusalOfFolder() const;
    // A game file whose links, followed, end inside this folder.
    bool leadsIntoOriginals(const std::filesystem::path &resolvedGameFile) const;
    // A game file with more than one name, one of them a file of this folder: a write in
    // place would write over that file too.
    bool sharesDataWithOriginals(const std::filesystem::path &gameFile) const;

    bool isThere(const std::filesystem::path &path) const;
    bool isFolder(const std::filesystem::path &path) const;
    bool sameFile(const std::filesystem::path &a, const std::filesystem::path &b) const;
    // What no program can set of a file: nothing where it is no file.
    std::optional<OriginalsManifest::Entry::Identity>
    identityOf(const std::filesystem::path &file) const;
    // Makes the folder and any missing folder above it.
    SystemError createFolders(const std::filesystem::path &folder) const;
    // Makes one folder whose name the folder above keeps through a power loss.
    SystemError createDurableFolder(const std::filesystem::path &folder) const;

  private:
    // This folder and the folders in it.
    std::array<std::filesystem::path, 3> originalsFolders() const;

    FileSystem &fileSystem_;
    std::string musicFolder_;
    std::filesystem::path dataFolder_;
    std::filesystem::path folder_;
};

} // namespace core
