// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "files/AtomicFileWriter.h"
#include "files/FileError.h"
#include "files/WrittenFile.h"
#include "originals/OriginalsManifest.h"
#include "originals/OriginalsRecord.h"

#include <filesystem>
#include <optional>
#include <string_view>

namespace core {

// A replacement of a game file while it is under way: the original kept before it begins,
// the new content recorded as under way, and the record brought up to date as it is made,
// fails, or is never begun. Between the record's writes a kill leaves a file the record
// still tells: the old one, the new one, or for an overwrite in place, a beginning of it.
class UnderWayWrite
{
  public:
    explicit UnderWayWrite(OriginalsRecord &record);

    // See OriginalsFolder::keep.
    std::optional<FileError> keep(const AtomicFileWriter::Prepared &replacement,
                                  std::string_view targetName);
    void recordMade(std::string_view targetName, const WrittenFile &written);
    void recordNotBegun(std::string_view targetName);
    void recordFailed(std::string_view targetName, const std::filesystem::path &gameFile,
                      bool inPlace);
    // Puts the content about to be written in place beside the originals: a second name of
    // it, or a copy where the file system has none.
    std::optional<FileError> keepUnderWay(const std::filesystem::path &content,
                                          std::string_view targetName);

  private:
    // Keeps what the game file holds where its original is not kept yet, or is no longer
    // what the game put there; `entry` takes what is known of the file there now.
    std::optional<FileError> keepOriginal(const std::filesystem::path &gameFile,
                                          std::string_view targetName, bool inPlace,
                                          OriginalsManifest::Entry &entry);

    OriginalsRecord &record_;
    const OriginalsPlace &place_;
};

} // namespace core
