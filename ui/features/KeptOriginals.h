// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "originals/OriginalsFolder.h"

#include <filesystem>
#include <functional>
#include <string>

// Where the game's own files are kept for the game folder the settings name.
namespace keptoriginals {

// The player's own data folder, where originals go when the game folder takes no folder.
std::filesystem::path dataFolder();
core::OriginalsFolder of(const std::string &gameFolder);
// The first slot, among those asked about, whose game file is a link (or a junction); -1
// when none is.
int firstLinkedTarget(const std::string &gameFolder, const core::SlotTable &slotTable,
                      const std::function<bool(int)> &asked);

} // namespace keptoriginals
