// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "files/AtomicFileWriter.h"
#include "files/FileSystem.h"
#include "files/RunLock.h"
#include "originals/OriginalsLock.h"
#include "originals/OriginalsRecord.h"
#include "report/RunResult.h"
#include "settings/SlotTable.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace core {

// The game's own music, kept the first time this program changes a game file, and what each
// caller asks of it: where it is kept (OriginalsPlace), the record of what this program wrote
// over each game file (OriginalsRecord), the steps of a replacement under way (UnderWayWrite),
// the lock (OriginalsLock) and the restore (OriginalsRestore). A restore puts back only what
// this program changed itself.
class OriginalsFolder
{
  public:
    // The folder of ours inside the game music folder.
    static constexpr std::string_view folderName = OriginalsPlace::folderName;

    using Check = OriginalsRecord::Check;
    using Writing = OriginalsLock::Writing;

    // musicFolder is the stored folder text that target names are glued to; dataFolder the
    // player's own data folder, where originals go when the game folder takes no folder
    // (empty: nowhere else).
    explicit OriginalsFolder(std::string_view musicFolder,
                             FileSystem &fileSystem = FileSystem::native(),
                             std::filesystem::path dataFolder = {});

    const std::filesystem::path &path() const { return record_.place().path(); }
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

    // The start of every write of the game folder: takes the lock, waiting up to `wait` for
    // another copy, reads the record again under it and clears what a killed run left; or
    // refuses the write, nothing written: Busy where another running copy holds the folder,
    // a failure of no slot where the lock cannot be had here or the folder is no folder of
    // ours. A game folder that is not there has nothing to lock, and is not refused.
    // `waiting`, where given, is called before a wait for another copy begins.
    Writing beginWriting(std::uint8_t language, std::chrono::milliseconds wait = RunLock::patience,
                         const std::function<void()> &waiting = {});
    // The clean-up at a start, unless another running copy holds the lock: removes the
    // temporary files a killed run left in the game folder and in this folder (those written
    // before olderThan where given), and, where the lock file is there to take, a second name
    // left kept as an original and an older version's lock. Makes no folder and no lock file.
    void cleanUpAfterKilledRun(std::optional<std::filesystem::file_time_type> olderThan = {});
    // At a start, under the lock unless another copy holds it (then nothing now): each game
    // file that a killed write in place left cut short is made whole from what was being
    // written, the kept original never touched. Reads only the game files that the record or
    // a content under way marks. Returns the target names of those it had to leave as they
    // were.
    std::vector<std::string> repairCutShortFiles();

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
    // every slot that failed. Counts only the files it put back. `waiting` as for
    // beginWriting.
    RunResult restore(const SlotTable &slots, const SlotTexts &labels, std::uint8_t language,
                      std::optional<int> onlySlot = std::nullopt,
                      const std::function<void()> &waiting = {});

  private:
    // Moves one copy beside the originals, its game file's original kept first.
    std::optional<FileError> takeInCopy(const StandIn &copy, const std::filesystem::path &aside);

    OriginalsRecord record_;
};

} // namespace core
