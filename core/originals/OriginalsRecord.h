// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "files/FileError.h"
#include "files/RunLock.h"
#include "files/WrittenFile.h"
#include "originals/OriginalsManifest.h"
#include "originals/OriginalsPlace.h"

#include <filesystem>
#include <optional>
#include <string_view>

namespace core {

// The record of what this program wrote over each game file, kept with the originals and read
// at first need, and what a game file is by it: the kept original, what this program wrote,
// or neither. The folder is made with its record, so that only a folder older than the
// record is taken for one of a version without it.
class OriginalsRecord
{
  public:
    // The system's error where a file cannot be read to be compared.
    static const SystemError unreadable;
    // Why a game file that links into the originals is not written through.
    static const SystemError notThrough;
    // A file another program holds open, as the system tells it.
    static const SystemError inUse;

    // How closely a game file is compared with what this program wrote: the recorded size
    // and time alone (reads no music file), or the content where they disagree.
    enum class Check { SizeAndTime, Content };
    // A new folder's empty record is written at once, or left to the holder of the lock
    // about to be taken: another copy may be writing one.
    enum class NewRecord { Now, UnderLock };

    OriginalsRecord(std::string_view musicFolder, FileSystem &fileSystem,
                    std::filesystem::path dataFolder);

    OriginalsPlace &place() { return place_; }
    const OriginalsPlace &place() const { return place_; }
    OriginalsManifest &manifest();
    // Another copy may have changed the record since it was read: it is read again at next
    // need.
    void forget() { manifest_.reset(); }

    // The manifest's line for what the game file holds, where this program wrote it.
    std::optional<WrittenFile> ourEntryFor(const std::filesystem::path &gameFile,
                                           std::string_view targetName, Check check);
    bool matchesKept(const std::filesystem::path &gameFile, std::string_view targetName);
    bool beginsWith(const std::filesystem::path &whole, const std::filesystem::path &part);
    // The content of a file compared with what is known of it; a file that is there but
    // cannot be read counts as a failed comparison, since "unread" must never count as
    // "different".
    std::optional<WrittenFile> contentOf(const std::filesystem::path &file);
    // Comparisons from here on start with none failed.
    void startComparing() { comparisonFailed_ = false; }
    bool comparisonFailed() const { return comparisonFailed_; }

    // Makes the folder, in the game folder or else in the data folder.
    std::optional<FileError> makeFolder(NewRecord newRecord = NewRecord::Now);
    // The lock is taken in this folder, where its lock file was there before or not.
    void noteLockTakenHere(bool lockFileWasThere) { lockFileWasThere_ = lockFileWasThere; }
    // The record of a folder made for the lock, written where the lock is held and no other
    // copy wrote one meanwhile. A record that cannot be written now fails the first write
    // that needs it.
    void recordFolderMadeUnder(const RunLock &lock);

  private:
    // A record found damaged: every kept original it says nothing of is marked doubtful.
    void markDoubtful();
    // The folder was made by this version, not an older one without a record.
    bool madeByThisVersion() const;
    // Kept originals from before the manifest: their game files are taken as ours once.
    void adoptOlderFolder();
    std::optional<FileError> makeDataFolderPlace(NewRecord newRecord);
    // Writes the empty record of a folder just made, or leaves it for the lock's holder.
    std::optional<FileError> recordNewFolder(const std::filesystem::path &folder,
                                             NewRecord newRecord);

    OriginalsPlace place_;
    std::optional<OriginalsManifest> manifest_;
    bool comparisonFailed_ = false;
    // Where the lock was taken in this folder: whether its file was there before.
    std::optional<bool> lockFileWasThere_;
    bool recordPending_ = false;
};

} // namespace core
