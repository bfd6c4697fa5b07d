// SPDX-License-Identifier: GPL-3.0-or-later
#include "originals/OriginalsPlace.h"

#include "files/Platform.h"
#include "files/WrittenFile.h"

#include <ctime>
#include <system_error>
#include <utility>
#include <vector>

namespace core {

namespace fs = std::filesystem;

OriginalsPlace::OriginalsPlace(std::string_view musicFolder, FileSystem &fileSystem,
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

bool OriginalsPlace::isThere(const fs::path &path) const
{
    return fileSystem_.exists(path);
}

bool OriginalsPlace::isFolder(const fs::path &path) const
{
    return fileSystem_.isFolder(path);
}

std::optional<OriginalsManifest::Entry::Identity>
OriginalsPlace::identityOf(const fs::path &file) const
{
    FileStatus status;
    if (fileSystem_.status(file, status) != 0 || !status.isFile())
        return std::nullopt;
    return OriginalsManifest::Entry::Identity{status.device, status.inode, status.changed};
}

bool OriginalsPlace::sameFile(const fs::path &a, const fs::path &b) const
{
    return fileSystem_.sameFile(a, b);
}

fs::path OriginalsPlace::gameFolder() const
{
    return platform::pathFromText(musicFolder_ + "x").parent_path();
}

fs::path OriginalsPlace::dataFolderPlace() const
{
    std::error_code error;
    const fs::path canonical = fs::weakly_canonical(gameFolder(), error);
    const std::string name = platform::textFromPath(error ? gameFolder() : canonical);
    return dataFolder_ / "originals" / WrittenFile::hashOfBytes(name);
}

fs::path OriginalsPlace::gameFile(std::string_view targetName) const
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

fs::path OriginalsPlace::keptFile(std::string_view targetName) const
{
    return folder_ / platform::pathFromText(targetName);
}

fs::path OriginalsPlace::absentMarker(std::string_view targetName) const
{
    return folder_ / platform::pathFromText(std::string(targetName) + std::string(absentSuffix));
}

fs::path OriginalsPlace::keptCopyFile(std::string_view targetName) const
{
    return folder_ / platform::pathFromText(std::string(targetName) + ".kept copy");
}

fs::path OriginalsPlace::underWayFile(std::string_view targetName) const
{
    return folder_ / platform::pathFromText(std::string(targetName) + std::string(underWaySuffix));
}

std::optional<fs::path> OriginalsPlace::supersededName(const fs::path &kept) const
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
    for (int n = 2;; ++n) {
        FileStatus status;
        if (fileSystem_.status(destination, status, false) != 0)
            return std::nullopt;
        if (!status.exists())
            return destination;
        destination = aside / platform::pathFromText(stem + " " + date + " (" + std::to_string(n) +
                                                     ")" + extension);
    }
}

bool OriginalsPlace::isKept(std::string_view targetName) const
{
    return isThere(keptFile(targetName)) || isThere(absentMarker(targetName));
}

std::optional<fs::path> OriginalsPlace::keptOriginal(std::string_view targetName) const
{
    fs::path kept = keptFile(targetName);
    FileStatus status;
    if (fileSystem_.status(kept, status) != 0 || !status.isFile())
        return std::nullopt;
    return kept;
}

std::optional<OriginalsRefusal> OriginalsPlace::refusalOfFolder() const
{
    FileStatus status;
    if (fileSystem_.status(folder_, status, false) == 0 && status.type == FileStatus::Type::Link)
        return OriginalsRefusal{OriginalsRefusal::Kind::FolderIsLink, folder_};
    if (sameFile(folder_, gameFolder()))
        return OriginalsRefusal{OriginalsRefusal::Kind::FolderIsGameFolder, folder_};
    return std::nullopt;
}

bool OriginalsPlace::leadsIntoOriginals(const fs::path &resolvedGameFile) const
{
    // Anywhere inside: the versions set aside lie in folders below the kept files, which a
    // folder link on the way may reach under another name.
    const std::array<fs::path, 3> inside = originalsFolders();
    for (fs::path folder = resolvedGameFile.parent_path();; folder = folder.parent_path()) {
        for (const fs::path &ours : inside)
            if (sameFile(folder, ours))
                return true;
        if (!folder.has_relative_path())
            return false;
    }
}

bool OriginalsPlace::sharesDataWithOriginals(const fs::path &gameFile) const
{
    FileStatus status;
    if (fileSystem_.status(gameFile, status) != 0 || status.links < 2)
        return false;
    for (const fs::path &folder : originalsFolders()) {
        std::vector<fs::path> names;
        fileSystem_.listFolder(folder, names);
        for (const fs::path &name : names)
            if (sameFile(gameFile, folder / name))
                return true;
    }
    return false;
}

std::array<fs::path, 3> OriginalsPlace::originalsFolders() const
{
    return {folder_, folder_ / platform::pathFromText(supersededFolderName),
            folder_ / platform::pathFromText(standInFolderName)};
}

SystemError OriginalsPlace::createDurableFolder(const fs::path &folder) const
{
    if (isFolder(folder))
        return 0;
    if (const SystemError error = fileSystem_.createFolder(folder))
        return error;
    // Its name outlives a power loss before anything is kept in it.
    fileSystem_.syncFolder(folder.parent_path());
    return 0;
}

SystemError OriginalsPlace::createFolders(const fs::path &folder) const
{
    if (folder.empty() || isFolder(folder))
        return 0;
    if (folder.has_relative_path() && folder.parent_path() != folder) {
        if (const SystemError error = createFolders(folder.parent_path()))
            return error;
    }
    return createDurableFolder(folder);
}

} // namespace core
