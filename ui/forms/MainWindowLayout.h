// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <array>

// The main window's boxes in twips, shared by the window and the layout scale.
namespace mainwindowlayout {

inline constexpr int slotCellWidth = 2520;
inline constexpr int slotCellHeight = 840;
inline constexpr int slotLabelHeight = 255;
inline constexpr int browseWidth = 1095;
inline constexpr int browseHeight = 255;
inline constexpr int buttonLeft = 7920;
inline constexpr int buttonWidth = 1215;
inline constexpr int buttonHeight = 375;

// Labels beside which the browse button sits closer.
inline constexpr int slotLabelWidth(int index)
{
    constexpr std::array narrow{14, 15, 16, 17, 20, 22, 24, 25, 26, 29,
                                30, 31, 33, 34, 35, 36, 37, 38, 39};
    return std::find(narrow.begin(), narrow.end(), index) != narrow.end() ? 975 : 1215;
}

} // namespace mainwindowlayout
