// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "originals/OriginalsRecord.h"

#include <string_view>

namespace core {

// A game file's original is kept under a second name of it where the new file takes the game
// file's name by a rename: the old data then stays under the kept name. Between the link and
// the rename both names are one file, which nothing may write through.
class SecondNames
{
  public:
    explicit SecondNames(OriginalsRecord &record);

    // Where the kept name of a slot is a second name of its game file (a run stopped between
    // the link and the rename), the kept name goes: the data is the game file's, and a write
    // to one must never change the other.
    void drop(std::string_view targetName);

  private:
    OriginalsRecord &record_;
};

} // namespace core
