// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace core {

inline constexpr int slotCount = 40;

// A text for every slot, in slot order: the slot boxes' texts, or the slots' captions.
using SlotTexts = std::array<std::string, slotCount>;

// One piece of game music the program can replace.
struct MusicSlot
{
    std::string_view label;   // English in both languages
    std::string_view tooltip; // empty where the slot has none
    std::string_view targetFileName;
};

// Where a slot's row stands: page 1 or 2, column 0..2, row 0..7.
struct SlotPlace
{
    int page;
    int column;
    int row;
};

// The fixed table of the 40 music slots. An index outside 0..39 is a programming
// error and throws std::out_of_range; nothing is ever read past the end.
class SlotTable
{
  public:
    // Fills the target file names in index order.
    SlotTable();

    const std::string &targetFileName(int index) const;

    static const MusicSlot &slot(int index);
    static SlotPlace place(int index);

  private:
    std::array<std::string, slotCount> targetFileNames_;
};

} // namespace core
