// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "originals/OriginalsRecord.h"

#include <filesystem>
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
    // to one must never change the other. A name that cannot go yet (Windows keeps every
    // name of a file the game holds) is copied beside, and the copy takes its place later.
    void drop(std::string_view targetName);

  private:
    // A kept file that another game file's name has come to share (the player moved it) is
    // made a file of its own, or copied beside while that file is held.
    void separate(std::string_view targetName);
    // The copy beside takes the kept name once it is free, or is set aside where the kept
    // file is whole without it.
    void takeInCopy(std::string_view targetName);
    bool hasOtherNames(const std::filesystem::path &file) const;

    OriginalsRecord &record_;
};

} // namespace core
