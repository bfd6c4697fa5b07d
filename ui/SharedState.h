// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SlotFits.h"

#include <cstdint>
#include <string>

// The state the windows and the features beside them share. The main window holds it for
// the whole run; the settings store writes it, the others read it.
class SharedState
{
  public:
    // The folder without the separator the settings file stores behind it.
    std::string folderWithoutSeparator() const;

    std::uint8_t nyelv = 0;
    // As the settings file holds it: on Linux any bytes, which a QString would not keep.
    std::string utvonal;
    bool kapcs = false;
    // The stored settings were read: this is not a first start.
    bool settingsFound = false;
    // Started as administrator by another copy: it writes no settings, and in the game
    // folder only the slots' target names, never through a link, and the originals.
    bool handedOver = false;
    // What of each pick Change writes; the features that set a fit write this alone.
    SlotFits fits;
};
