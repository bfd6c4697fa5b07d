// SPDX-License-Identifier: GPL-3.0-or-later
#include "music/SlotRole.h"

#include "files/Platform.h"
#include "originals/OriginalsFolder.h"

namespace core {

SlotRole SlotRole::forSeconds(double seconds)
{
    return {seconds < shortestLoop ? Kind::Jingle : Kind::Loop, seconds};
}

std::optional<SlotRole> SlotRole::forGameMusic(AudioDecoder &decoder,
                                               const OriginalsFolder &originals,
                                               const std::string &targetName)
{
    for (const std::filesystem::path &candidate :
         {originals.path() / platform::pathFromText(targetName), originals.gameFile(targetName)}) {
        std::error_code error;
        if (!std::filesystem::is_regular_file(candidate, error))
            continue;
        auto probed = decoder.probe(candidate);
        if (const auto *info = std::get_if<AudioInfo>(&probed))
            return forSeconds(info->seconds);
    }
    return std::nullopt;
}

} // namespace core
