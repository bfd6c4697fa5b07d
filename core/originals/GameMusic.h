// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "originals/OriginalsFolder.h"
#include "settings/SlotTable.h"

#include <array>
#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

namespace core {

// Where the game's own music of a slot is read, now that this program may have written over
// its game file: from its kept original, else from its game file. Reads no music file.
class GameMusic
{
  public:
    // The game's own music of every slot, where it has any.
    using Files = std::array<std::optional<std::filesystem::path>, slotCount>;

    // The kept original where one is kept, else the game file unless the game had none.
    static std::optional<std::filesystem::path> fileFor(const OriginalsFolder &originals,
                                                        std::string_view targetName);
    static Files filesFor(const OriginalsFolder &originals, const SlotTable &slots);
    // Where the slot's format is read from, the first that reads as music: the place of its
    // kept original, then its game file.
    static std::vector<std::filesystem::path> formatSources(const OriginalsFolder &originals,
                                                            std::string_view targetName);
};

} // namespace core
