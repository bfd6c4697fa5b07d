// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/GameMusicFolder.h"

#include "files/Platform.h"
#include "settings/SlotTable.h"

#include <set>
#include <string>
#include <system_error>

namespace core {

namespace {

const std::set<std::string> &targetNames()
{
    static const std::set<std::string> names = [] {
        std::set<std::string> all;
        const SlotTable slots;
        for (int i = 0; i < slotCount; ++i)
            all.insert(platform::asciiLowerCase(slots.targetFileName(i)));
        return all;
    }();
    return names;
}

} // namespace

bool GameMusicFolder::holdsGameMusic(const std::filesystem::path &folder)
{
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        if (targetNames().count(platform::asciiLowerCase(it->path().filename().string())) != 0)
            return true;
    }
    return false;
}

} // namespace core
