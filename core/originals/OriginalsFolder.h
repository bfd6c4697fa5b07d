// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "files/AtomicFileWriter.h"
#include "files/FileSystem.h"
#include "files/RunLock.h"
#include "originals/OriginalsManifest.h"
#include "originals/OriginalsRefusal.h"
#include "report/RunResult.h"
#include "settings/SlotTable.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace core {

// The game's own music, kept the first time this program changes a game file, in a folder of
// ours inside the game music folder (the game reads only its named files), or, where that
// folder cannot be made, in the player's own data folder under a name drawn from the game
// folder. A kept file has the slot's target name; a game file that did not exist is kept as
// an empty marker named after it. A manifest records what this program wrote over each game
// file, so that a restore puts back only what it changed itself.
class OriginalsFolder
{
  public:
    static constexpr std::string_view folderName = "Originals (Music Changer)";
    static constexpr std::string_view absentSuffix = ".absent";
    static constexpr std::string_view gameFolderNoteName = "game folder.txt";
    static constexpr std::string_view supersededFolderName = "Superseded";
    static constexpr std::string_view standInFolderName = "VirtualStore copies";

    // How closely a game file is compared with what this program wrote: the recorded size
    // and time alone (reads no music file), or the content where they disagree.
    enum class Check { SizeAndTime, Content };

    // musicFolder is the stored folder text that target names are glued to; dataFolder the
    // player's own data folder, where originals go when the game folder takes no folder
    // (empty: nowhere else).
    explicit OriginalsFolder(std::string_view musicFolder,
                             FileSystem &fileSystem = FileSystem::native(),
                             std::filesystem::path dataFolder = {});

    const std::filesystem::path &path() const { return folder_; }
    // The folder the target names land in.
    std::filesystem::path gameFolder() const;
    // The game's file of a target name: on Linux, where the exact name is absent, the one
    // file that has it in another letter case.
    std::filesystem::path gameFile(std::string_view targetName) const;
    bool isKept(std::string_view targetName) const;
    // The kept original of a game file that existed, where one is kept.
    std::optional<std::filesystem::path> keptOriginal(std::string_view targetName) const;
    // Its original is kept and its game file is still what this program last wrote there.
    bool isRestorable(std::string_view targetName, Check check = Check::SizeAndTime);
    int restorableCount(const SlotTable &slots, Check check = Check::SizeAndTime);

    // The replacement's step before a game file changes, made for many files before any of
    // them changes: keeps what the game file holds now, unless its original is kept already
    // (a file that is neither the kept original nor what this program wrote is the game's
    // own new file: it is kept and the older kept file set aside), and records the new
    // content as under way, in memory until saveRecord(). An overwrite in place also records
    // what the file holds as it begins, so that a file left neither old nor new is known as
    // this program's unfinished write: restorable, and never kept as an original.
    std::optional<FileError> keep(const AtomicFileWriter::Prepared &replacement,
                                  std::string_view targetName);
    // Writes the record, over whatever another copy wrote meanwhile, and makes the kept
    // files durable with it.
    std::optional<FileError> saveRecord();
    // After a replacement is made: the game file holds `written` and nothing is under way.
    void recordMade(std::string_view targetName, const WrittenFile &written);
    // A kept step whose replacement was never begun: its new content leaves the record.
    void recordNotBegun(std::string_view targetName);
    // Where the kept name of a slot is a second name of its game file (a run stopped between
    // the link and the rename), the kept name goes: the data is the game file's, and a write
    // to one must never change the other.
    void dropSecondName(std::string_view targetName);
    // A replacement that failed: where the game file is still what it held (a rename that
    // failed, an overwrite in place that never began), it was never begun; else it stays
    // under way.
    void recordFailed(std::string_view targetName, const std::filesystem::path &gameFile,
                      bool inPlace);

    // What a write of the game folder holds to its end: the lock, or why the write is refused.
    struct Writing
    {
        std::unique_ptr<RunLock> lock;
        std::optional<RunResult> refused;
    };
    // The start of every write of the game folder: takes the lock (see lockForWriting) and
    // clears under it what a killed run left; or refuses the write, nothing written: Busy
    // where another running copy holds the folder, a failure of no slot where the lock cannot
    // be had here. A game folder that is not there has nothing to lock, and is not refused.
    Writing beginWriting(std::uint8_t language, std::chrono::milliseconds wait = RunLock::patience);
    // The clean-up at a start, unless another running copy holds the lock: removes the
    // temporary files a killed run left in the game folder and in this folder (those written
    // before olderThan where given), and, where the lock file is there to take, a second name
    // left kept as an original and an older version's lock. Makes no folder and no lock file.
    void cleanUpAfterKilledRun(std::optional<std::filesystem::file_time_type> olderThan = {});

    // A copy of a game file that stood for it elsewhere (Windows' VirtualStore).
    struct StandIn
    {
        std::filesystem::path file;
        std::string targetName;
    };
    // Takes in such copies under the lock: the game folder's own file is kept as the slot's
    // original (as at a first Change), and each copy is moved beside the originals, into
    // "VirtualStore copies", with a record of where it was. Moved, never deleted. Busy where
    // another copy of the program holds the folder; a failure names no slot.
    RunResult takeIn(const std::vector<StandIn> &copies, std::uint8_t language);

    // Puts back the original of every restorable slot, or of the one slot given, in slot
    // order, under the lock. A game file that changed since this program wrote it is left
    // alone and its kept original set aside. Goes on past a failure; the message names
    // every slot that failed. Counts only the files it put back.
    RunResult restore(const SlotTable &slots, const SlotTexts &labels, std::uint8_t language,
                      std::optional<int> onlySlot = std::nullopt);

  private:
    // Takes the run lock for as long as the lock lives, waiting up to `wait` for another
    // copy. The lock lives with the originals: this folder is made first where it is not
    // there yet (in the player's data folder where the game folder takes no new file), and
    // the lock file is taken inside it. Where it cannot be taken there, or this folder is no
    // folder of ours, refusal_ says why and the lock holds nothing. The record is read again
    // under the lock.
    std::unique_ptr<RunLock> lockForWriting(std::chrono::milliseconds wait);
    // Takes the lock in this folder, made where it is not there yet, or records why not.
    std::unique_ptr<RunLock> takeLock(std::chrono::milliseconds wait);
    // Forgets the record read before the lock, and refuses to go on where it cannot be read
    // again under the lock held; false then.
    bool readRecordAgain(const RunLock &lock);
    // What a killed run left: its temporary files, and under the lock held, a second name
    // kept as an original and an older version's lock file.
    void clearWhatAKilledRunLeft(const RunLock &lock,
                                 std::optional<std::filesystem::file_time_type> olderThan);
    // A link, or the game folder itself under another name: never written through.
    std::optional<OriginalsRefusal> refusalOfFolder() const;
    void removeLeftovers(std::optional<std::filesystem::file_time_type> olderThan);
    std::filesystem::path keptFile(std::string_view targetName) const;
    std::filesystem::path absentMarker(std::string_view targetName) const;
    std::filesystem::path dataFolderPlace() const;
    OriginalsManifest &manifest();
    // Makes the folder, in the game folder or else in the data folder.
    std::optional<FileError> makeFolder();
    // The manifest's line for what the game file holds, where this program wrote it.
    std::optional<WrittenFile> ourEntryFor(const std::filesystem::path &gameFile,
                                           std::string_view targetName, Check check);
    bool matchesKept(const std::filesystem::path &gameFile, std::string_view targetName) const;
    std::optional<FileError> keepNow(const std::filesystem::path &gameFile,
                                     std::string_view targetName, bool inPlace);
    // Moves the kept file (or marker) aside into "Superseded", the date in its name.
    std::optional<FileError> setKeptAside(std::string_view targetName);
    std::optional<FileError> makeDataFolderPlace();
    // Writes the empty record of a folder just made, or leaves it for the lock's holder.
    std::optional<FileError> recordNewFolder(const std::filesystem::path &folder);
    std::optional<FileError> keepCopy(const std::filesystem::path &gameFile,
                                      const std::filesystem::path &kept);
    // Why a slot's file was left as it is, for the restore's message; empty where it was not.
    struct LeftAlone
    {
        enum class Why { None, ChangedSince, NoRecord, Unreadable, Lost };
        Why why = Why::None;
        SystemError error = 0;
    };
    std::optional<FileError> restoreSlot(AtomicFileWriter &writer, std::string_view targetName,
                                         bool &restored, LeftAlone &leftAlone);
    // The new content of an overwrite in place while it is under way, beside the originals:
    // a game file is this program's unfinished write only where it is a beginning of it.
    std::filesystem::path underWayFile(std::string_view targetName) const;
    // Puts the content about to be written in place beside the originals: a second name of
    // it, or a copy where the file system has none.
    std::optional<FileError> keepUnderWay(const std::filesystem::path &content,
                                          std::string_view targetName);
    bool beginsWith(const std::filesystem::path &whole, const std::filesystem::path &part) const;
    // The content of a file compared with what is known of it; a file that is there but
    // cannot be read sets comparisonFailed_, since "unread" must never count as "different".
    std::optional<WrittenFile> contentOf(const std::filesystem::path &file) const;
    // A record found damaged: every kept original it says nothing of is marked doubtful.
    void markDoubtful();
    // The folder was made by this version, not an older one without a record.
    bool madeByThisVersion() const;
    // A game file whose links, followed, end inside this folder.
    bool leadsIntoOriginals(const std::filesystem::path &resolvedGameFile) const;
    // Copies the game file into "Superseded", dated, beside a kept original that stays.
    std::optional<FileError> keepBeside(const std::filesystem::path &gameFile,
                                        std::string_view targetName);
    // A free dated name in "Superseded" for a file of that name.
    std::filesystem::path supersededName(const std::filesystem::path &kept) const;
    // Kept originals from before the manifest: their game files are taken as ours once.
    void adoptOlderFolder();
    bool isThere(const std::filesystem::path &path) const;
    bool isFolder(const std::filesystem::path &path) const;
    bool sameFile(const std::filesystem::path &a, const std::filesystem::path &b) const;
    // What no program can set of a file: nothing where it is no file.
    std::optional<OriginalsManifest::Entry::Identity>
    identityOf(const std::filesystem::path &file) const;
    // Makes the folder and any missing folder above it.
    SystemError createFolders(const std::filesystem::path &folder);

    FileSystem &fileSystem_;
    std::string musicFolder_;
    std::filesystem::path dataFolder_;
    std::filesystem::path folder_;
    std::optional<OriginalsManifest> manifest_;
    std::optional<OriginalsRefusal> refusal_;
    bool recordUnderLock_ = false;
    bool recordPending_ = false;
    mutable bool comparisonFailed_ = false;
    bool lockTakenHere_ = false;
    bool lockFileWasThere_ = false;
};

} // namespace core
