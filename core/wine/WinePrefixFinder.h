// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "settings/SlotTable.h"

#include <cstddef>
#include <filesystem>
#include <stop_token>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace core {

// A Wine prefix the player is likely to run the game in, and the game music folder found
// in it, if any.
struct WinePrefix
{
    std::string launcher; // "Wine", "Lutris", "Bottles", "Heroic" or "Steam"
    std::string name;     // the prefix's folder name (a Steam prefix: its app id)
    std::filesystem::path driveC;
    std::filesystem::path musicFolder; // empty where the game was not found
};

// Lists the Wine prefixes of the usual launchers below a home folder, in the order a player
// most likely means: $WINEPREFIX, ~/.wine, ~/.local/share/wineprefixes, Lutris, Bottles
// (also its Flatpak), Heroic, then Steam's Proton prefixes in every Steam library. It only
// reads, follows a folder link only where it is a prefix, never while searching, and stops after a
// bounded number of folder entries.
class WinePrefixFinder
{
  public:
    static constexpr std::size_t defaultEntryBudget = 200000;

    WinePrefixFinder(std::filesystem::path home, std::filesystem::path winePrefix = {},
                     std::size_t entryBudget = defaultEntryBudget);

    // A stop request ends the search early with what was found so far.
    std::vector<WinePrefix> find(std::stop_token stop = {});

    // The Steam libraries listed in a libraryfolders.vdf.
    static std::vector<std::filesystem::path> steamLibraries(const std::filesystem::path &vdf);

  private:
    void addPrefix(const std::string &launcher, const std::filesystem::path &root,
                   const std::filesystem::path &extraGameFolder = {});
    void addPrefixesIn(const std::string &launcher, const std::filesystem::path &folder);
    void addSteamPrefixes();
    std::filesystem::path findMusicFolder(const std::filesystem::path &driveC,
                                          const std::filesystem::path &extraGameFolder);
    std::filesystem::path searchMp3(const std::filesystem::path &folder, int levelsLeft);
    enum class Links { Skip, Follow };
    std::vector<std::filesystem::path> subfolders(const std::filesystem::path &folder,
                                                  Links links = Links::Skip);

    std::filesystem::path home_;
    std::filesystem::path winePrefix_;
    std::size_t entriesLeft_;
    std::stop_token stop_;
    std::vector<WinePrefix> found_;
    std::unordered_set<std::string> knownDrives_;
    std::unordered_map<std::string, std::filesystem::path> gameFolderSearches_;
};

} // namespace core
