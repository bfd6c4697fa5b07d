// SPDX-License-Identifier: GPL-3.0-or-later
#include "ToolkitTexts.h"

namespace {

// The file dialogs' Type column, and its Windows and macOS names for the same things.
constexpr ToolkitText hungarianTexts[] = {
    {"QAbstractFileIconProvider", "Folder", "Mappa"},
    {"QAbstractFileIconProvider", "File Folder", "Fájlmappa"},
    {"QAbstractFileIconProvider", "Drive", "Meghajtó"},
    {"QAbstractFileIconProvider", "File", "Fájl"},
    {"QAbstractFileIconProvider", "Shortcut", "Parancsikon"},
    {"QAbstractFileIconProvider", "Alias", "Álnév"},
    {"QAbstractFileIconProvider", "Unknown", "Ismeretlen"},
};

} // namespace

std::span<const ToolkitText> toolkittexts::hungarian()
{
    return hungarianTexts;
}
