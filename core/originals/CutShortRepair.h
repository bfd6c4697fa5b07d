// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "files/AtomicFileWriter.h"
#include "files/FileError.h"
#include "originals/OriginalsRecord.h"

#include <optional>
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
    // Finishes one game file's write cut short, if it is one, before another write in place
    // there takes the room beside the originals that tells it is ours: a write refused before
    // it begins would otherwise leave a beginning of a file that nothing names as ours.
    std::optional<FileError> finish(std::string_view targetName);

  private:
    // The target names that the record or an under-way file marks: the only game files read.
    std::vector<std::string> markedUnderWay();
    // Whether the game file is not this program's write cut short; false also where it could
    // not be read to tell.
    bool isWhole(std::string_view targetName);
    bool holdsUnderWayOrKept(const std::filesystem::path &game, std::string_view targetName);
    // Finishes one cut-short write; a failure where the file had to be left as it was.
    std::optional<FileError> repairOne(AtomicFileWriter &writer, std::string_view targetName);

    OriginalsRecord &record_;
    const OriginalsPlace &place_;
};

} // namespace core
