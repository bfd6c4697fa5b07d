// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "files/AtomicFileWriter.h"
#include "originals/OriginalsRecord.h"

#include <string>
#include <string_view>
#include <vector>

namespace core {

// A write in place that a kill cut short leaves a game file holding a beginning of what was
// being written, which the content kept under way beside the originals (or, for a restore,
// the kept original) still holds whole. At a start that write is finished from there, so
// that the game never plays half a file until the player presses Default.
class CutShortRepair
{
  public:
    explicit CutShortRepair(OriginalsRecord &record);

    // See OriginalsFolder::repairCutShortFiles.
    std::vector<std::string> repair();

  private:
    // The target names that the record or an under-way file marks: the only game files read.
    std::vector<std::string> markedUnderWay();
    // Finishes one cut-short write; false where the file had to be left as it was.
    // Whether the game file is not this program's write cut short; false also where it could
    // not be read to tell.
    bool isWhole(std::string_view targetName);
    bool repairOne(AtomicFileWriter &writer, std::string_view targetName);

    OriginalsRecord &record_;
    const OriginalsPlace &place_;
};

} // namespace core
