// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "OriginalsFolder.h"

#include <filesystem>
#include <string>

// Where the game's own files are kept for the game folder the settings name.
namespace keptoriginals {

// The player's own data folder, where originals go when the game folder takes no folder.
std::filesystem::path dataFolder();
core::OriginalsFolder of(const std::string &gameFolder);

} // namespace keptoriginals
