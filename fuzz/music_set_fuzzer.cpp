// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the music set reader: never a crash, and whatever it reads saves
// and reads back to the same picks, with the same fits.

#include "sets/MusicSet.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    const std::filesystem::path folder = "/sets";
    const core::MusicSet set = core::MusicSet::parse(text, folder);
    const core::MusicSet again = core::MusicSet::parse(set.format(folder), folder);
    if (again.picks.size() != set.picks.size())
        std::abort();
    for (std::size_t i = 0; i < set.picks.size(); ++i) {
        if (again.picks[i].slot != set.picks[i].slot || again.picks[i].fit != set.picks[i].fit)
            std::abort();
    }
    return 0;
}
