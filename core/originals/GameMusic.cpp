// SPDX-License-Identifier: GPL-3.0-or-later
#include "originals/GameMusic.h"

#include "files/Platform.h"

#include <system_error>

namespace core {

std::optional<std::filesystem::path> GameMusic::fileFor(const OriginalsFolder &originals,
                                                        std::string_view targetName)
{
    if (std::optional<std::filesystem::path> kept = originals.keptOriginal(targetName))
        return kept;
    // Kept without an original: the game had no file there, and what is there is ours.
    if (originals.isKept(targetName))
        return std::nullopt;
    const std::filesystem::path gameFile = originals.gameFile(targetName);
    std::error_code error;
    if (!std::filesystem::is_regular_file(gameFile, error))
        return std::nullopt;
    return gameFile;
}

GameMusic::Files GameMusic::filesFor(const OriginalsFolder &originals, const SlotTable &slots)
{
    Files files;
    for (int slot = 0; slot < slotCount; ++slot)
        files[std::size_t(slot)] = fileFor(originals, slots.targetFileName(slot));
    return files;
}

std::vector<std::filesystem::path> GameMusic::formatSources(const OriginalsFolder &originals,
                                                            std::string_view targetName)
{
    return {originals.path() / platform::pathFromText(targetName), originals.gameFile(targetName)};
}

} // namespace core
