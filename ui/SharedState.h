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

    // Language code: the interface's language as the settings file stores it (languageFromCode
    // reads it); 0 until the settings are read.
    std::uint8_t nyelv = 0;
    // Game music folder: with the separator the settings file stores behind it, which Change
    // puts the slots' file names after; empty until the settings are read. As the file holds
    // it: on Linux any bytes, which a QString would not keep.
    std::string utvonal;
    // Options used: true once the settings window was opened from the main window; never
    // reset. Until then each activation reads the settings, and leaving the settings window
    // without OK ends the program.
    bool kapcs = false;
    // The stored settings were read: this is not a first start.
    bool settingsFound = false;
    // Started as administrator by another copy: it writes no settings, and in the game
    // folder only the slots' target names, never through a link, and the originals.
    bool handedOver = false;
    // What of each pick Change writes; the features that set a fit write this alone.
    SlotFits fits;
};
