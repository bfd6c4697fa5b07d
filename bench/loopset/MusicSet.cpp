// SPDX-License-Identifier: GPL-3.0-or-later
#include "MusicSet.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <fstream>

namespace loopset {

namespace {

struct Source
{
    const char *package;
    const char *folder;  // a music file's path holds this
    const char *archive; // where the music lies in an archive: its path in the package
    bool keptAside;
};

// Chosen by size before any tuning: the kept-aside packages hold about a third of the tracks.
constexpr std::array sources{
    Source{"supertuxkart-data", "/data/music/", nullptr, false},
    Source{"0ad-data", "audio/music/", "/usr/share/games/0ad/mods/public/public.zip", false},
    Source{"hedgewars-data", "/Data/Music/", nullptr, false},
    Source{"extremetuxracer-data", "/etr/music/", nullptr, false},
    Source{"supertux-data", "/supertux2/music/", nullptr, true},
    Source{"freedroidrpg-data", "/sound/music/", nullptr, true},
    Source{"megaglest-data", "/music/", nullptr, true},
};

bool isMusic(const std::filesystem::path &file)
{
    return file.extension() == ".ogg";
}

std::vector<std::filesystem::path> unpacked(const Source &source,
                                            const std::filesystem::path &scratch)
{
    const std::filesystem::path folder = scratch / source.package;
    std::filesystem::create_directories(folder);
    const std::string command = std::string("unzip -qq -o -j '") + source.archive + "' '" +
                                source.folder + "*.ogg' -d '" + folder.string() + "'";
    if (std::system(command.c_str()) != 0)
        return {};
    std::vector<std::filesystem::path> files;
    for (const auto &entry : std::filesystem::directory_iterator(folder))
        if (isMusic(entry.path()))
            files.push_back(entry.path());
    return files;
}

} // namespace

std::vector<std::filesystem::path> MusicSet::listed(const std::string &package)
{
    std::vector<std::filesystem::path> files;
    for (const std::string &name : {package, package + ":all"}) {
        std::ifstream list("/var/lib/dpkg/info/" + name + ".list");
        for (std::string line; std::getline(list, line);)
            files.emplace_back(line);
    }
    return files;
}

std::vector<Track> MusicSet::tracks(const std::filesystem::path &scratch, std::FILE *log)
{
    std::vector<Track> tracks;
    for (const Source &source : sources) {
        const std::vector<std::filesystem::path> files = listed(source.package);
        std::vector<std::filesystem::path> music;
        if (source.archive && !files.empty())
            music = unpacked(source, scratch);
        for (const std::filesystem::path &file : files)
            if (!source.archive && isMusic(file) &&
                file.string().find(source.folder) != std::string::npos)
                music.push_back(file);
        std::sort(music.begin(), music.end());
        std::fprintf(log, "%-22s %s, %zu tracks%s\n", source.package,
                     files.empty() ? "not installed" : "found", music.size(),
                     source.keptAside ? ", kept aside" : "");
        for (const std::filesystem::path &file : music)
            tracks.push_back({source.package, file, source.keptAside});
    }
    return tracks;
}

} // namespace loopset
