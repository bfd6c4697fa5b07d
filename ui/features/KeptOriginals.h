// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "originals/OriginalsFolder.h"
#include "report/RunResult.h"
#include "settings/SlotTable.h"

#include <filesystem>
#include <functional>
#include <optional>

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
    // Handed over as administrator, a link planted in the game folder would lead a write
    // anywhere: what Change and a restore are refused with, before anything is written, at
    // the first slot among those asked about whose game file is a link; nothing where none
    // is, or where this copy was not handed over. labels: as the window shows them.
    std::optional<core::RunResult> linkedTargetRefusal(const core::SlotTexts &labels,
                                                       const std::function<bool(int)> &asked) const;

  private:
    // The first slot, among those asked about, whose game file is a link (or a junction); -1
    // when none is.
    int firstLinkedTarget(const std::function<bool(int)> &asked) const;

    const SharedState &state_;
    const core::SlotTable &slotTable_;
};
