// SPDX-License-Identifier: GPL-3.0-or-later
// Times the search for Wine prefixes and the game in them on a home folder of 10,000
// folders: a few prefixes of each launcher, full of installed programs, the game in one.
//
//   wineprefix_bench [folders=10000] [work folder=/tmp]

#include "wine/WinePrefixFinder.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

int main(int argc, char **argv)
{
    const int folders = argc > 1 ? std::atoi(argv[1]) : 10000;
    const fs::path home = fs::path(argc > 2 ? argv[2] : "/tmp") / "vmc-prefix-bench";
    fs::remove_all(home);
    const fs::path prefixes[] = {home / ".wine",
                                 home / ".local/share/wineprefixes/a",
                                 home / "Games/one",
                                 home / "Games/two",
                                 home / ".local/share/bottles/bottles/b",
                                 home / "Games/Heroic/Prefixes/h",
                                 home / ".local/share/Steam/steamapps/compatdata/1/pfx"};
    int made = 0;
    for (int i = 0; made < folders; ++i) {
        const fs::path &prefix = prefixes[i % std::size(prefixes)];
        const fs::path program = prefix / "drive_c/Program Files" /
                                 ("Vendor" + std::to_string(i / 50)) /
                                 ("Program" + std::to_string(i)) / "data";
        fs::create_directories(program);
        made += 3;
    }
    const fs::path game = home / "Games/two/drive_c/GOG Games/Valdrune 3/Mp3";
    fs::create_directories(game);
    std::ofstream(game / "Dirt.mp3") << "mp3";

    const auto start = std::chrono::steady_clock::now();
    const auto found = core::WinePrefixFinder(home).find();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    int withGame = 0;
    for (const auto &prefix : found)
        withGame += prefix.musicFolder.empty() ? 0 : 1;
    std::printf("%d folders: %zu prefixes, %d with the game, found in %.1f ms\n", made,
                found.size(), withGame, seconds * 1000);
    fs::remove_all(home);
    return withGame == 1 ? 0 : 1;
}
