// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "originals/OriginalsFolder.h"

#include <filesystem>
#include <functional>

class SharedState;
namespace core {
class SlotTable;
}

// Where the game's own files are kept for the game folder the settings name, as the
// features reach them; it follows the folder whenever the settings change it.
class KeptOriginals
{
  public:
    KeptOriginals(const SharedState &state, const core::SlotTable &slotTable);

    // The player's own data folder, where originals go when the game folder takes no folder.
    static std::filesystem::path dataFolder();
    // The kept originals of the game folder named now.
    core::OriginalsFolder folder() const;
    // The first slot, among those asked about, whose game file is a link (or a junction); -1
    // when none is.
    int firstLinkedTarget(const std::function<bool(int)> &asked) const;

  private:
    const SharedState &state_;
    const core::SlotTable &slotTable_;
};
