// SPDX-License-Identifier: GPL-3.0-or-later
#include "wine/WinePrefixFinder.h"

#include "files/Platform.h"
#include "settings/GameMusicFolder.h"
#include "wine/SteamLibraryFile.h"

#include <algorithm>
#include <fstream>
#include <set>
#include <system_error>

namespace core {

namespace fs = std::filesystem;

namespace {

bool isFolder(const fs::path &path)
{
    std::error_code error;
    return fs::is_directory(path, error);
}

fs::path canonicalOrSame(const fs::path &path)
{
    std::error_code error;
    const fs::path canonical = fs::canonical(path, error);
    return error ? path : canonical;
}

} // namespace

WinePrefixFinder::WinePrefixFinder(fs::path home, fs::path winePrefix, std::size_t entryBudget)
    : home_(std::move(home)), winePrefix_(std::move(winePrefix)), entriesLeft_(entryBudget)
{
}

std::vector<WinePrefix> WinePrefixFinder::find(std::stop_token stop)
{
    stop_ = std::move(stop);
    found_.clear();
    knownDrives_.clear();
    gameFolderSearches_.clear();
    if (!winePrefix_.empty())
        addPrefix("Wine", winePrefix_);
    addPrefix("Wine", home_ / ".wine");
    addPrefixesIn("Wine", home_ / ".local/share/wineprefixes");
    addPrefixesIn("Lutris", home_ / "Games");
    addPrefixesIn("Bottles", home_ / ".local/share/bottles/bottles");
    addPrefixesIn("Bottles", home_ / ".var/app/com.usebottles.bottles/data/bottles/bottles");
    addPrefixesIn("Heroic", home_ / "Games/Heroic/Prefixes");
    addSteamPrefixes();
    return found_;
}

std::vector<fs::path> WinePrefixFinder::steamLibraries(const fs::path &vdf)
{
    return SteamLibraryFile::libraries(vdf);
}

void WinePrefixFinder::addPrefix(const std::string &launcher, const fs::path &root,
                                 const fs::path &extraGameFolder)
{
    const fs::path driveC = root / "drive_c";
    if (!isFolder(driveC))
        return;
    if (!knownDrives_.insert(canonicalOrSame(driveC).string()).second)
        return;
    // A Steam prefix is the "pfx" folder of its game's app id.
    const fs::path named = root.filename() == "pfx" ? root.parent_path() : root;
    found_.push_back(
        {launcher, named.filename().string(), driveC, findMusicFolder(driveC, extraGameFolder)});
}

void WinePrefixFinder::addPrefixesIn(const std::string &launcher, const fs::path &folder)
{
    for (const fs::path &prefix : subfolders(folder, Links::Follow))
        addPrefix(launcher, prefix);
}

void WinePrefixFinder::addSteamPrefixes()
{
    const std::vector<fs::path> steamRoots = {
        home_ / ".steam/steam", home_ / ".local/share/Steam",
        home_ / ".var/app/com.valvesoftware.Steam/.local/share/Steam",
        home_ / ".var/app/com.valvesoftware.Steam/data/Steam"};
    std::vector<fs::path> libraries;
    for (const fs::path &root : steamRoots) {
        if (!isFolder(root))
            continue;
        libraries.push_back(root);
        for (const fs::path &library : steamLibraries(root / "steamapps/libraryfolders.vdf"))
            libraries.push_back(library);
    }
    std::set<fs::path> seen;
    for (const fs::path &library : libraries) {
        if (!seen.insert(canonicalOrSame(library)).second)
            continue;
        for (const fs::path &game : subfolders(library / "steamapps/compatdata", Links::Follow))
            addPrefix("Steam", game / "pfx", library / "steamapps/common");
    }
}

fs::path WinePrefixFinder::findMusicFolder(const fs::path &driveC, const fs::path &extraGameFolder)
{
    constexpr int searchDepth = 4;
    for (const char *programFiles : {"Program Files", "Program Files (x86)"}) {
        const fs::path standard = driveC / programFiles / "Korvex/Valdrune3/Mp3";
        if (isFolder(standard) && GameMusicFolder::holdsGameMusic(standard))
            return standard;
    }
    for (const char *installs : {"Program Files", "Program Files (x86)", "GOG Games"}) {
        if (fs::path found = searchMp3(driveC / installs, searchDepth); !found.empty())
            return found;
    }
    if (extraGameFolder.empty())
        return {};
    // Every prefix of a Steam library shares its games' folder: searched once.
    const auto [cached, isNew] = gameFolderSearches_.try_emplace(extraGameFolder.string());
    if (isNew) {
        for (const fs::path &game : subfolders(extraGameFolder)) {
            if (fs::path found = searchMp3(game, searchDepth); !found.empty()) {
                cached->second = found;
                break;
            }
        }
    }
    return cached->second;
}

fs::path WinePrefixFinder::searchMp3(const fs::path &folder, int levelsLeft)
{
    for (const fs::path &sub : subfolders(folder)) {
        if (platform::asciiLowerCase(sub.filename().string()) == "mp3" &&
            GameMusicFolder::holdsGameMusic(sub))
            return sub;
        if (levelsLeft > 1) {
            if (fs::path found = searchMp3(sub, levelsLeft - 1); !found.empty())
                return found;
        }
    }
    return {};
}

std::vector<fs::path> WinePrefixFinder::subfolders(const fs::path &folder, Links links)
{
    // Linked folders are passed over while searching: a link may lead back up and round for
    // ever. A prefix itself may be a link to another disk.
    std::vector<fs::path> folders;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (entriesLeft_ == 0 || stop_.stop_requested())
            break;
        --entriesLeft_;
        const bool linked = it->is_symlink(error);
        if ((!linked || links == Links::Follow) && it->is_directory(error))
            folders.push_back(it->path());
    }
    std::sort(folders.begin(), folders.end());
    return folders;
}

} // namespace core
