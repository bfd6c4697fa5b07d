// SPDX-License-Identifier: GPL-3.0-or-later
#include "InMemoryFileSystem.h"
#include "LanguageCodes.h"
#include "SlotTextsForTests.h"
#include "files/AtomicFileWriter.h"
#include "originals/OriginalsFolder.h"
#include "originals/OriginalsManifest.h"
#include "report/RunMessages.h"
#include "report/RunTexts.h"
#include "run/ReplacementRun.h"

#include <QTest>

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace fs = std::filesystem;
using Fault = InMemoryFileSystem::Fault;
using languagecodes::english;

// The promise, as this simulation checks it after every step:
// (a) Every version of a game file that anyone but this program wrote (the game, a patcher,
//     the player by hand) and that was in the game folder when this program acted on that
//     file (kept it, replaced it, restored it, moved beside it) can still be had afterwards:
//     in the game folder, as the kept original, or under Superseded/. (Versions that others
//     overwrite or delete while the program never touches the file are theirs to lose.)
// (b) No restore (Default, a slot's restore, a set's restore) writes over a file that this
//     program did not write.
// (c) At rest (after any run, restore, move, failure or kill, and at every start), no kept
//     file is the same file as a game file (same device and inode; on Windows the same file
//     ID): a write to one must never change the other.
// (d) Every game file is a whole version of some writer, or this program's unfinished write
//     that Default puts back.
// (e) What the program says matches what happened: a restore counts only what it put back
//     and names what it could not restore, with the reason.
// (lock) No run, restore or move goes ahead without the lock.

namespace {

constexpr int simulatedSlots = 4;
constexpr int picks = 6;
const fs::path root = "/sim";
const fs::path game = "/sim/game";
const fs::path data = "/sim/data";
const std::string musicFolder = "/sim/game/";

int environmentNumber(const char *name, int fallback)
{
    const char *value = std::getenv(name);
    return value && *value ? std::atoi(value) : fallback;
}

// The oracle's own record of who wrote what: no code of the program's record is used.
class Oracle
{
  public:
    enum class Writer { Others, Program };
    void wrote(const std::string &bytes, Writer writer)
    {
        (writer == Writer::Others ? others_ : program_).insert(bytes);
    }
    bool byOthers(const std::optional<std::string> &bytes) const
    {
        return bytes && others_.count(*bytes);
    }
    // What a Change put into a slot's file is the program's there; moved elsewhere by the
    // player, it is the player's.
    void programWroteAt(int slot, const std::string &bytes) { programAt_.insert({slot, bytes}); }
    // The file the program last wrote into a slot, by identity and content: a file the player
    // moved there holds the program's bytes, but not its write to that slot.
    void lastWriteAt(int slot, const std::pair<std::uint64_t, std::string> &file)
    {
        lastWrite_[slot] = file;
    }
    // Put back by a restore: what the program wrote there is no longer its claim.
    void forgetLastWrite(int slot) { lastWrite_.erase(slot); }
    bool holdsLastWrite(int slot, const std::pair<std::uint64_t, std::string> &file) const
    {
        const auto found = lastWrite_.find(slot);
        return found != lastWrite_.end() && found->second == file;
    }
    bool byOthersAt(int slot, const std::optional<std::string> &bytes) const
    {
        return bytes && (others_.count(*bytes) || !programAt_.count({slot, *bytes}));
    }
    bool whole(const std::string &bytes) const
    {
        return others_.count(bytes) || program_.count(bytes);
    }
    bool prefixOfAny(const std::string &bytes) const
    {
        for (const auto *set : {&others_, &program_})
            for (const std::string &version : *set)
                if (version.size() > bytes.size() && version.compare(0, bytes.size(), bytes) == 0)
                    return true;
        return false;
    }
    const std::set<std::string> &everyOthers() const { return others_; }
    void mustKeep(const std::string &bytes) { mustKeep_.insert(bytes); }
    // Written over through a second name a kill left: gone by no doing of the program's.
    void lostToOthers(const std::string &bytes) { mustKeep_.erase(bytes); }
    const std::set<std::string> &mustKeep() const { return mustKeep_; }

  private:
    std::set<std::string> others_;
    std::set<std::string> program_;
    std::set<std::string> mustKeep_;
    std::set<std::pair<int, std::string>> programAt_;
    std::map<int, std::pair<std::uint64_t, std::string>> lastWrite_;
};

struct Outcome
{
    std::vector<std::string> violations;
    std::string steps;
};

class Simulation
{
  public:
    // Version 1 is the generator the regression seeds were found with; version 2 adds
    // power loss, game files that share a file or are links, and an unreadable record;
    // version 3 adds the start of the program, which makes whole what a kill cut short, the
    // power failing at a flush, and a record cut short while a game file is; version 4
    // strikes faults at a write as often as at any call, which cuts writes in place short;
    // version 5 has the player copy a pick into a game file by hand; version 6 lets the
    // game run before the program starts again after a kill, its patch writing in place
    // through a kept second name the kill left, and strikes that start with a kill early.
    static constexpr int newestVersion = 6;

    explicit Simulation(std::uint64_t seed, int version = newestVersion,
                        bool windows = windowsRules())
        : random_(seed), version_(version), windows_(windows)
    {
        fs_.setWindowsRules(windows);
        fs_.setCaseFolding(fileSystemIs("casefold"));
        if (fileSystemIs("coarse"))
            fs_.setTimeGranularity(2'000'000'000);
        if (fileSystemIs("fine"))
            fs_.setTimeGranularity(100);
        if (fileSystemIs("crossdevice")) {
            // The originals on another disk than the game, wherever the program puts them;
            // the VirtualStore on the data folder's disk.
            fs_.putDevice(game / std::string(core::OriginalsFolder::folderName), 2);
            fs_.putDevice(data, 3);
            fs_.putDevice(root / "vstore", 3);
        }
    }

    // VMC_SIM_FS is a comma-separated list of the file system's properties: crossdevice (the
    // originals on another file system than the game folder), casefold (names of any letter
    // case are one, the game's files named in capitals), coarse (times kept to 2 s) or fine
    // (to 100 ns).
    static bool fileSystemIs(const std::string &property)
    {
        const char *properties = std::getenv("VMC_SIM_FS");
        std::stringstream list(properties ? properties : "");
        for (std::string item; std::getline(list, item, ',');)
            if (item == property)
                return true;
        return false;
    }

    // VMC_SIM_RULES=windows plays every sequence under Windows' rules for files in use and
    // read-only files.
    static bool windowsRules()
    {
        const char *rules = std::getenv("VMC_SIM_RULES");
        return rules && std::string(rules) == "windows";
    }

    Outcome run(int steps)
    {
        setUp();
        outcome_.steps += "set-up: " + current_ + "\n";
        for (int step = 0; step < steps && outcome_.violations.empty(); ++step) {
            current_ = std::to_string(step) + ": ";
            this->step();
            outcome_.steps += current_ + "\n";
            if (std::getenv("VMC_SIM_DUMP")) {
                std::fprintf(stderr, "%s\n", current_.c_str());
                dump();
            }
            check();
        }
        return outcome_;
    }

    static inline std::array<std::uint64_t, InMemoryFileSystem::faultKinds> faults{};
    static inline std::uint64_t stepsRun = 0;

  private:
    using Snapshot = std::map<fs::path, std::pair<std::uint64_t, std::string>>;

    int below(int n) { return int(random_() % std::uint64_t(n)); }
    bool chance(int percent) { return below(100) < percent; }
    std::string bytes(std::size_t size, char tag)
    {
        std::string text(size, '\0');
        for (char &c : text)
            c = char('a' + below(26));
        text[0] = tag;
        return text;
    }
    fs::path gameFile(int slot) const { return game / slots_.targetFileName(slot); }
    fs::path pickFile(int pick) const
    {
        return root / "picks" / ("pick" + std::to_string(pick) + ".mp3");
    }
    void note(const std::string &text) { current_ += text + "; "; }
    void dump()
    {
        // The game folder's names as they are on disk, in the letter case they were made with.
        std::vector<fs::path> names;
        fs_.setQuiet(true);
        fs_.listFolder(game, names);
        fs_.setQuiet(false);
        std::string listed;
        for (const fs::path &name : names)
            listed += " [" + name.string() + "]";
        std::fprintf(stderr, "  game folder:%s\n", listed.c_str());
        for (const auto &[path, file] : snapshot())
            std::fprintf(
                stderr, "  %s inode %llu: %s\n", path.c_str(), (unsigned long long)file.first,
                (path.filename() == "manifest.txt" ? file.second : file.second.substr(0, 60))
                    .c_str());
    }

    void violation(const std::string &what)
    {
        outcome_.violations.push_back(current_ + " => " + what);
    }

    void setUp()
    {
        fs_.putFolder(game);
        fs_.putFolder(data);
        fs_.putFolder(root / "picks");
        fs_.putFolder(root / "vstore");
        std::error_code error;
        fs_.putFolder(fs::temp_directory_path(error));
        for (int slot = 0; slot < simulatedSlots; ++slot)
            if (slot == 0 || chance(80))
                othersWrite(gameFile(slot), false);
        for (int pick = 0; pick < picks; ++pick) {
            const std::string content = bytes(500 + below(3000), 'P');
            oracle_.wrote(content, Oracle::Writer::Program);
            fs_.put(pickFile(pick), content);
        }
        // A game folder that takes no new file: written in place, originals elsewhere.
        if (chance(30)) {
            fs_.setMode(game, 0555);
            note("game folder takes no new file");
        }
    }

    void othersWrite(const fs::path &file, bool byRename)
    {
        // What the player linked into the originals folder: an updater replaces the link.
        for (int slot = 0; slot < simulatedSlots; ++slot) {
            if (file == gameFile(slot) && linkedInto(slot))
                byRename = true;
            if (file == gameFile(slot) && !byRename)
                writeThroughKeptName(slot);
        }
        const std::string content = bytes(500 + below(3000), 'G');
        oracle_.wrote(content, Oracle::Writer::Others);
        // A game installed from Windows media names its files in capitals; on a file system
        // that folds case, the slot table's names find them.
        fs::path named = file;
        if (fileSystemIs("casefold") && file.parent_path() == game) {
            std::string capitals = file.filename().string();
            for (char &c : capitals)
                c = char(std::toupper(static_cast<unsigned char>(c)));
            named = game / capitals;
        }
        byRename ? fs_.putByRename(named, content) : fs_.put(named, content);
    }

    std::vector<fs::path> originalsFiles() const
    {
        std::vector<fs::path> files =
            fs_.filesUnder(game / std::string(core::OriginalsFolder::folderName));
        for (fs::path &file : fs_.filesUnder(data))
            files.push_back(std::move(file));
        return files;
    }
    std::vector<fs::path> manifests() const
    {
        std::vector<fs::path> found;
        for (const fs::path &file : originalsFiles())
            if (file.filename() == core::OriginalsManifest::fileName)
                found.push_back(file);
        return found;
    }

    Snapshot snapshot() const
    {
        Snapshot files;
        for (int slot = 0; slot < simulatedSlots; ++slot)
            if (auto status = fs_.peekStatus(gameFile(slot), true); status && status->isFile())
                files[gameFile(slot)] = {status->inode, *fs_.peek(gameFile(slot))};
        for (const fs::path &file : originalsFiles())
            files[file] = {fs_.peekStatus(file)->inode, *fs_.peek(file)};
        return files;
    }

    void step()
    {
        ++stepsRun;
        if (std::exchange(gameRunsFirst_, false)) {
            patchThroughKeptName();
            return;
        }
        // A program that was killed, or left a file cut short, is often started again at once;
        // once the game has run, the program's next action is its start.
        if (restartPending_ ||
            (version_ >= 3 && std::exchange(restartLikely_, false) && chance(50))) {
            startOfProgram();
            return;
        }
        if (version_ >= 3 && recordCutShort())
            return;
        if (std::exchange(restoreLikely_, false) && chance(60)) {
            restore(std::nullopt);
            return;
        }
        const int choice = below(version_ >= 3 ? 127 : version_ >= 2 ? 117 : 100);
        if (choice < 22)
            change();
        else if (choice < 30)
            restore(below(simulatedSlots));
        else if (choice < 40)
            restore(std::nullopt);
        else if (choice < 44)
            moveVirtualStore();
        else if (choice < 54)
            gameUpdate();
        else if (choice < 62)
            playerCopiesByHand();
        else if (choice < 66)
            playerSwaps();
        else if (choice < 72)
            playerChangesMode();
        else if (choice < 80)
            damageRecord();
        else if (choice < 85)
            lockFileOddity();
        else if (choice < 90)
            gameHoldsFile();
        else if (choice < 100)
            gameUpdate();
        else if (choice < 105)
            gameSharesAFile();
        else if (choice < 112)
            gameFileBecomesLink();
        else if (choice < 117)
            recordBecomesUnreadable();
        else
            startOfProgram();
    }

    // The program's actions, each in a fresh program over the disk as it was left.
    void programAction(const std::string &name, const std::function<core::RunResult()> &action,
                       const std::set<int> &involved, bool isRestore)
    {
        std::unique_ptr<core::RunLock> otherCopy;
        if (chance(5)) {
            fs_.setQuiet(true);
            otherCopy = core::OriginalsFolder(musicFolder, fs_, data)
                            .beginWriting(english, std::chrono::milliseconds(1))
                            .lock;
            if (otherCopy->outcome() != core::RunLock::Outcome::Held)
                otherCopy.reset();
            fs_.setQuiet(false);
            note(otherCopy ? "another copy holds the lock" : "another copy could not lock");
        }
        // Taken once the other copy holds the lock: what it cleared as it took it is its own.
        const Snapshot before = snapshot();
        fs_.setQuiet(true);
        const auto secondNamesBefore = keptSecondNames();
        fs_.setQuiet(false);
        const bool oddLock = lockIsOdd();
        const bool unreadableRecord = recordIsUnreadable();
        if (version_ >= 2)
            fs_.settle();
        std::optional<Fault> fault;
        // Version 4 cuts most restores short that must write in place: the rarest writes.
        const auto gameFolder = fs_.peekStatus(game);
        const bool inPlaceRestore =
            version_ >= 4 && isRestore && gameFolder && (gameFolder->mode & 0222) == 0;
        const bool startAfterGame = starting_ && std::exchange(restartPending_, false);
        // Then Default, often: does it tell what the patch took?
        restoreLikely_ = restoreLikely_ || startAfterGame;
        if (startAfterGame && chance(90)) {
            // The start drops the kept second name the patch wrote through: a kill between
            // its removal and the record's next save is what the record must survive.
            fault = Fault::Kill;
            const int writes = below(8);
            fs_.armAtWrite(*fault, writes);
            note("kill after " + std::to_string(writes) + " writes");
        } else if (chance(40) || (inPlaceRestore && chance(70))) {
            fault = Fault(below(InMemoryFileSystem::faultKinds));
            if (version_ >= 4 && chance(inPlaceRestore ? 90 : 50)) {
                // A kill, a full disk or an I/O error: what strikes a write.
                fault = Fault(inPlaceRestore && chance(60) ? 0 : below(3));
                const int writes = below(16);
                fs_.armAtWrite(*fault, writes);
                note("fault " + std::to_string(int(*fault)) + " after " + std::to_string(writes) +
                     " writes");
            } else {
                // Version 2 also reaches the late calls of a long run: its in-place writes.
                const int after = version_ >= 2 && chance(50) ? below(600) : below(120);
                fs_.arm(*fault, after);
                note("fault " + std::to_string(int(*fault)) + " after " + std::to_string(after));
            }
        }
        const bool gameTakesHold = version_ >= 2 && windows_ && chance(15);
        if (gameTakesHold) {
            const int after = below(200);
            fs_.armHold(after);
            note("the game opens a file it is about to lose, after " + std::to_string(after));
        }
        const bool powerCut = version_ >= 3 && armPowerCut();
        undisturbed_ = !fault && !powerCut;
        const auto struckBefore = fs_.faultsStruck();
        const core::RunResult result = action();
        const bool killed = fs_.killed();
        for (int kind = 0; kind < InMemoryFileSystem::faultKinds; ++kind)
            faults[std::size_t(kind)] +=
                fs_.faultsStruck()[std::size_t(kind)] - struckBefore[std::size_t(kind)];
        const bool heldElsewhere = otherCopy != nullptr;
        if (otherCopy) {
            fs_.setQuiet(true);
            otherCopy.reset();
            fs_.setQuiet(false);
        }
        fs_.revive();
        note(name + " -> outcome " + std::to_string(int(result.outcome)) + " count " +
             std::to_string(result.count) + (killed ? " KILLED" : "") + " msg[" + result.message +
             "]");
        // The power fails as the program dies, or a moment after it finished, before the
        // system wrote out what nobody flushed.
        const bool powerLost = (powerCut && killed) || (version_ >= 2 && chance(killed ? 35 : 4));
        if (powerLost) {
            fs_.losePower();
            note("the power is lost");
        }
        if ((killed || powerLost) && version_ >= 6 && chance(80) && patchableSecondName()) {
            // The player plays, and the game is patched, before the program starts again.
            restartPending_ = namesLeftByKill_ = gameRunsFirst_ = true;
            note("the game runs before the program starts again");
        } else if (killed || powerLost) {
            // The next start of the program, over the disk as the kill left it.
            core::OriginalsFolder(musicFolder, fs_, data).cleanUpAfterKilledRun();
            fs_.revive();
        }
        Snapshot after = snapshot();
        // A kept second name the start will drop, or a file of ours it will clean up, is no
        // keep of this action's.
        if (gameRunsFirst_) {
            for (const auto &[file, slot] : keptSecondNames())
                if (!copiedBeside(file))
                    after.erase(file);
            std::erase_if(after, [](const auto &file) {
                return core::AtomicFileWriter::isTemporaryFileName(file.first.filename().string());
            });
        }
        restartLikely_ = killed || !everyGameFileWhole();
        // A slot's original is kept anew once a kept file is no longer the game file itself.
        const auto secondNames = keptSecondNames();
        const auto keptAnew = [&](int slot) {
            return keptOriginalOf(after, slots_.targetFileName(slot)) &&
                   std::none_of(secondNames.begin(), secondNames.end(),
                                [slot](const auto &name) { return name.second == slot; });
        };
        std::erase_if(lostAt_, keptAnew);
        std::erase_if(writtenOver_, keptAnew);
        judge(before, after, involved, isRestore, result, killed);
        if (starting_)
            judgeStart(before, after, result, killed || powerLost,
                       heldElsewhere || oddLock || unreadableRecord);
        intended_.clear();
        // A full disk, a failing one, a refusal: what keeps a name in use by copy fails too.
        bool copyMayFail = false;
        for (int kind = 0; kind < InMemoryFileSystem::faultKinds; ++kind)
            copyMayFail = copyMayFail ||
                          (Fault(kind) != Fault::Kill &&
                           fs_.faultsStruck()[std::size_t(kind)] > struckBefore[std::size_t(kind)]);
        const bool hadEveryChance =
            undisturbed_ && !heldElsewhere && !oddLock && !unreadableRecord && !killed;
        noteNamesWithoutRoom(copyMayFail, hadEveryChance);
        namesLeftByKill_ = namesLeftByKill_ && !hadEveryChance;
        // (c) A second name that cannot go is kept by copy beside it only where something
        // struck the action: an undisturbed one keeps by copy what it could not replace.
        if (undisturbed_ && !gameTakesHold && !killed && !powerLost) {
            fs_.setQuiet(true);
            for (const auto &[file, slot] : keptSecondNames())
                if (!secondNamesBefore.count({file, slot}))
                    violation("(c) undisturbed, the action left kept " + file.string() +
                              " a second name of game file " + slots_.targetFileName(slot));
            fs_.setQuiet(false);
        }
        if ((heldElsewhere || oddLock) && gameFilesChanged(before, after))
            violation("(lock) a game file changed while the lock could not be had");
        if (unreadableRecord && gameFilesChanged(before, after))
            violation("(lock) a game file changed while the record could not be read");
    }

    bool recordIsUnreadable() const
    {
        for (const fs::path &record : manifests())
            if ((fs_.peekStatus(record)->mode & 0444) == 0)
                return true;
        return false;
    }

    // The lock lives with the originals, wherever the program puts them.
    fs::path lockFile()
    {
        fs_.setQuiet(true);
        const fs::path folder = core::OriginalsFolder(musicFolder, fs_, data).path();
        fs_.setQuiet(false);
        return folder / core::RunLock::fileName;
    }

    bool lockIsOdd()
    {
        const auto status = fs_.peekStatus(lockFile());
        return status && !status->isFile();
    }

    bool gameFilesChanged(const Snapshot &before, const Snapshot &after) const
    {
        for (int slot = 0; slot < simulatedSlots; ++slot) {
            const auto was = before.find(gameFile(slot));
            const auto is = after.find(gameFile(slot));
            if ((was == before.end()) != (is == after.end()) ||
                (was != before.end() && was->second != is->second))
                return true;
        }
        return false;
    }

    // Where a slot's kept original lies: not the game folder, nor beside the originals.
    static bool isKeptPlace(const fs::path &path)
    {
        const fs::path folder = path.parent_path();
        return folder != game && folder.filename() != "Superseded" &&
               folder.filename() != "VirtualStore copies";
    }

    static bool keptOriginalOf(const Snapshot &files, const std::string &target)
    {
        for (const auto &[path, file] : files) {
            const std::string name = path.filename().string();
            if ((name == target || name == target + ".absent") && isKeptPlace(path))
                return true;
        }
        return false;
    }

    static std::optional<std::string> keptContentOf(const Snapshot &files,
                                                    const std::string &target)
    {
        for (const auto &[path, file] : files)
            if (path.filename() == target && isKeptPlace(path))
                return file.second;
        return std::nullopt;
    }

    static int copiesOf(const Snapshot &files, const std::string &content)
    {
        int count = 0;
        for (const auto &[path, file] : files)
            count += file.second == content && path.parent_path() != game ? 1 : 0;
        return count;
    }

    void judge(const Snapshot &before, const Snapshot &after, const std::set<int> &involved,
               bool isRestore, const core::RunResult &result, bool killed)
    {
        int putBack = 0;
        // Refused as a whole (no lock, no folder of ours): its one reason stands for every file.
        const bool refusedWhole = result.outcome == core::RunResult::Outcome::Busy ||
                                  (result.outcome == core::RunResult::Outcome::Failed &&
                                   result.slot < 0 && !gameFilesChanged(before, after));
        for (int slot = 0; slot < simulatedSlots; ++slot) {
            // What the player's link into the originals shows is the originals' business.
            if (linkedInto(slot))
                continue;
            const auto was = before.find(gameFile(slot));
            const auto is = after.find(gameFile(slot));
            const std::optional<std::string> wasContent =
                was == before.end() ? std::nullopt : std::optional(was->second.second);
            const std::optional<std::string> isContent =
                is == after.end() ? std::nullopt : std::optional(is->second.second);
            const bool changed = wasContent != isContent;
            // More copies of the bytes a Change meant to write somewhere tell nothing of this
            // file: the player may have copied the same pick here by hand.
            const bool kept = wasContent && !isIntended(*wasContent) &&
                              copiesOf(after, *wasContent) > copiesOf(before, *wasContent);
            if ((changed || kept) && oracle_.byOthersAt(slot, wasContent))
                oracle_.mustKeep(*wasContent);
            // The same bytes written again are the program's write too.
            const bool rewritten =
                was != before.end() && is != after.end() && was->second.first != is->second.first;
            // What a Change meant to write into a slot is the program's there, written or not
            // (a pick whose bytes the file already held leaves no trace; a write cut off before
            // it began stays under way): a file holding those bytes reads as its write.
            const auto intended = intended_.find(slot);
            if (!isRestore && intended != intended_.end())
                oracle_.programWroteAt(slot, intended->second);
            if (!isRestore) {
                if ((changed || (rewritten && involved.count(slot))) && isContent &&
                    !oracle_.byOthers(isContent)) {
                    oracle_.programWroteAt(slot, *isContent);
                    oracle_.lastWriteAt(slot, is->second);
                }
                continue;
            }
            if (changed && oracle_.byOthersAt(slot, wasContent))
                violation("(b) a restore wrote over " + slots_.targetFileName(slot) +
                          ", which this program did not write");
            if (changed)
                oracle_.forgetLastWrite(slot);
            // A write cut short leaves no version of anyone's: nothing was put back, and the
            // bytes it left are the program's to restore over later.
            const bool cutShort = changed && isContent && !oracle_.whole(*isContent);
            if (cutShort)
                oracle_.programWroteAt(slot, *isContent);
            // A file put back is a version of the game's, or the absence the game left.
            // The kept original may hold bytes the program once wrote elsewhere, which the
            // player moved into this slot before it was kept.
            // One whose write the restore names as failed is not counted: its flush may be
            // what failed.
            const bool failed =
                result.message.find(
                    std::string(core::RunTexts::forLanguage(english).failurePrefix) +
                    labels_[slot] + ".mp3") != std::string::npos;
            if (changed && !cutShort && !failed &&
                (oracle_.byOthersAt(slot, isContent) || !isContent ||
                 isContent == keptContentOf(before, slots_.targetFileName(slot))))
                ++putBack;
            // Only a file whose original the program keeps is the program's to restore.
            const bool ours = wasContent && !oracle_.byOthersAt(slot, wasContent) &&
                              keptOriginalOf(before, slots_.targetFileName(slot));
            // A file that holds its kept original byte for byte is as good as put back.
            const bool asKept =
                isContent && keptContentOf(after, slots_.targetFileName(slot)) == isContent;
            forgetWriteFoundAsKept(slot, involved, asKept && !killed && !refusedWhole);
            if (involved.count(slot) && ours && isContent && !asKept &&
                !oracle_.byOthersAt(slot, isContent) && !killed && !refusedWhole &&
                result.message.find(labels_[slot]) == std::string::npos)
                violation("(e) the restore left " + slots_.targetFileName(slot) +
                          " (this program's write) without naming it");
        }
        if (isRestore && !killed && result.count != putBack)
            violation("(e) the restore counted " + std::to_string(result.count) +
                      " files put back, but put back " + std::to_string(putBack) +
                      " versions of the game's");
        judgeSettingAside(before, after);
        if (isRestore && !killed && !refusedWhole)
            judgeRestoreReasons(before, after, involved, result);
        if (isRestore && !killed && !refusedWhole && undisturbed_)
            judgeUnreadableNamed(before, involved, result);
    }

    // The reason a restore gives for a slot it left alone, as the player reads it.
    static bool named(const core::RunResult &result, const std::string &label,
                      std::string_view reason)
    {
        return result.message.find(label + ".mp3: " + std::string(reason)) != std::string::npos;
    }

    // (e) "Changed since" is said only of a file this program did not write, "lost" only where
    // a version of the game's is nowhere; after a restore every involved game file holds the
    // game's own version, or is named.
    void judgeRestoreReasons(const Snapshot &before, const Snapshot &after,
                             const std::set<int> &involved, const core::RunResult &result)
    {
        const core::RunTexts &texts = core::RunTexts::forLanguage(english);
        for (const int slot : involved) {
            if (linkedInto(slot))
                continue;
            const auto was = before.find(gameFile(slot));
            const auto is = after.find(gameFile(slot));
            const std::string &label = labels_[std::size_t(slot)];
            if (named(result, label, texts.leftAloneChangedSince) && was != before.end() &&
                oracle_.holdsLastWrite(slot, was->second))
                violation("(e) the restore said " + slots_.targetFileName(slot) +
                          " changed since this program wrote it, but it holds its write");
            if (lostAt_.count(slot) && !keptOriginalOf(before, slots_.targetFileName(slot)) &&
                !named(result, label, texts.leftAloneLost))
                violation("(e) the original of " + slots_.targetFileName(slot) +
                          " was written over through its kept name, and the restore did not "
                          "say it was lost");
            if (named(result, label, texts.leftAloneLost) && !versionGone() &&
                !writtenOver_.count(slot))
                violation("(e) the restore said the original of " + slots_.targetFileName(slot) +
                          " was lost, but every version of the game's is there");
            // A file that holds its kept original byte for byte is as good as put back; one
            // whose original was rightly set aside before has nothing to be put back.
            if (is != after.end() && oracle_.holdsLastWrite(slot, is->second) &&
                keptOriginalOf(before, slots_.targetFileName(slot)) &&
                keptContentOf(after, slots_.targetFileName(slot)) != is->second.second &&
                result.message.find(label) == std::string::npos)
                violation("(e) after the restore " + slots_.targetFileName(slot) +
                          " holds this program's write, and the restore did not name it");
        }
    }

    // A restore that finds a game file holding its kept original forgets what it wrote there,
    // as the program's record does: moved away and back, that file is the player's.
    void forgetWriteFoundAsKept(int slot, const std::set<int> &involved, bool foundAsKept)
    {
        if (foundAsKept && involved.count(slot))
            oracle_.forgetLastWrite(slot);
    }

    // (e) A game file the player made unreadable is left alone and named with the reason the
    // system gave, Access denied: not compared, so not taken as changed.
    void judgeUnreadableNamed(const Snapshot &before, const std::set<int> &involved,
                              const core::RunResult &result)
    {
        const core::RunTexts &texts = core::RunTexts::forLanguage(english);
        const std::string reason = std::string(texts.leftAloneUnreadable) +
                                   core::RunMessages::writeFailureReason(english, EACCES);
        for (const int slot : involved) {
            const auto status = fs_.peekStatus(gameFile(slot), true);
            if (linkedInto(slot) || !status || !status->isFile() || (status->mode & 0444) != 0 ||
                !keptOriginalOf(before, slots_.targetFileName(slot)))
                continue;
            if (!named(result, labels_[std::size_t(slot)], reason))
                violation("(e) the restore did not name the unreadable " +
                          slots_.targetFileName(slot) + " with its reason");
        }
    }

    // (a) A kept original goes to Superseded/ only when its game file holds a version that
    // this program never wrote: set aside for the program's own write, it is restorable no
    // more.
    void judgeSettingAside(const Snapshot &before, const Snapshot &after)
    {
        for (const auto &[path, file] : after) {
            if (path.parent_path().filename() != "Superseded" || before.count(path))
                continue;
            for (int slot = 0; slot < simulatedSlots; ++slot) {
                if (keptContentOf(before, slots_.targetFileName(slot)) != file.second)
                    continue;
                const auto was = before.find(gameFile(slot));
                if (was != before.end() && oracle_.holdsLastWrite(slot, was->second) &&
                    !keptOriginalOf(after, slots_.targetFileName(slot)))
                    violation("(a) the original of " + slots_.targetFileName(slot) +
                              " was set aside while its game file held this program's write");
                // Set aside, the slot's record forgets what the program wrote there: that
                // file, swapped away and back later, is the player's, unless written since.
                const auto is = after.find(gameFile(slot));
                if (keptContentOf(after, slots_.targetFileName(slot)) != file.second &&
                    (is == after.end() || !oracle_.holdsLastWrite(slot, is->second)))
                    oracle_.forgetLastWrite(slot);
            }
        }
    }

    bool versionGone()
    {
        const std::set<std::string> present = presentVersions();
        for (const std::string &version : oracle_.everyOthers())
            if (!present.count(version))
                return true;
        return false;
    }

    std::set<std::string> presentVersions()
    {
        fs_.setQuiet(true);
        std::set<std::string> present;
        for (const fs::path &file : originalsFiles())
            present.insert(*fs_.peek(file));
        for (int slot = 0; slot < simulatedSlots; ++slot)
            if (auto content = fs_.peek(gameFile(slot)))
                present.insert(*content);
        fs_.setQuiet(false);
        return present;
    }

    void change()
    {
        core::SlotTexts texts = runtexts::placeholders(english);
        std::set<int> chosen;
        std::string what = "Change";
        for (int slot = 0; slot < simulatedSlots; ++slot) {
            if (!chance(50) && !(slot == simulatedSlots - 1 && chosen.empty()))
                continue;
            const int pick = below(picks);
            texts[std::size_t(slot)] = pickFile(pick).string();
            intended_[slot] = *fs_.peek(pickFile(pick));
            chosen.insert(slot);
            what += " " + std::to_string(slot) + "<-p" + std::to_string(pick);
        }
        programAction(
            what,
            [&] {
                return core::ReplacementRun(slots_, fs_, data)
                    .run(texts, labels_, musicFolder, english);
            },
            chosen, false);
    }

    void restore(std::optional<int> slot)
    {
        std::set<int> involved;
        for (int i = 0; i < simulatedSlots; ++i)
            if (!slot || *slot == i)
                involved.insert(i);
        programAction(
            slot ? "restore slot " + std::to_string(*slot) : "Default",
            [&] {
                return core::OriginalsFolder(musicFolder, fs_, data)
                    .restore(slots_, labels_, english, slot);
            },
            involved, true);
    }

    // The program starts over the disk as it was left: the clean-up, then the repair of what a
    // killed write in place cut short. What it leaves as it was, it names.
    void startOfProgram()
    {
        std::set<int> every;
        for (int slot = 0; slot < simulatedSlots; ++slot)
            every.insert(slot);
        starting_ = true;
        programAction(
            "start of the program",
            [&] {
                core::OriginalsFolder(musicFolder, fs_, data).cleanUpAfterKilledRun();
                core::RunResult result;
                for (const std::string &name :
                     core::OriginalsFolder(musicFolder, fs_, data).repairCutShortFiles())
                    result.message += name + "\n";
                return result;
            },
            every, false);
        starting_ = false;
    }

    // The start writes only over this program's own unfinished writes, loses no kept original,
    // and leaves no game file cut short that it does not name.
    void judgeStart(const Snapshot &before, const Snapshot &after, const core::RunResult &result,
                    bool interrupted, bool refused)
    {
        std::set<std::string> afterContents;
        for (const auto &[path, file] : after)
            afterContents.insert(file.second);
        for (int slot = 0; slot < simulatedSlots; ++slot) {
            const std::string &target = slots_.targetFileName(slot);
            if (linkedInto(slot))
                continue;
            const auto was = before.find(gameFile(slot));
            const auto is = after.find(gameFile(slot));
            const std::optional<std::string> wasContent =
                was == before.end() ? std::nullopt : std::optional(was->second.second);
            const std::optional<std::string> isContent =
                is == after.end() ? std::nullopt : std::optional(is->second.second);
            if (wasContent != isContent && oracle_.byOthersAt(slot, wasContent))
                violation("(b) the start wrote over " + target +
                          ", which this program did not write");
            if (const auto kept = keptContentOf(before, target);
                kept && !afterContents.count(*kept))
                violation("(a) the start lost the kept original of " + target);
            if (!interrupted && !refused && isContent && !oracle_.whole(*isContent) &&
                result.message.find(target + "\n") == std::string::npos)
                violation("(d) after the start " + target +
                          " is cut short, and the start did not name it");
        }
    }

    void moveVirtualStore()
    {
        const int slot = below(simulatedSlots);
        const fs::path copy = root / "vstore" / slots_.targetFileName(slot);
        othersWrite(copy, false);
        programAction(
            "VirtualStore move " + std::to_string(slot),
            [&] {
                return core::OriginalsFolder(musicFolder, fs_, data)
                    .takeIn({{copy, slots_.targetFileName(slot)}}, english);
            },
            {slot}, false);
    }

    void gameUpdate()
    {
        const int slot = below(simulatedSlots);
        const int how = below(4);
        if (how == 3) {
            fs_.erase(gameFile(slot));
            note("game deletes " + std::to_string(slot));
            return;
        }
        othersWrite(gameFile(slot), how != 0);
        note(std::string("game updates ") + std::to_string(slot) +
             (how ? " by rename" : " in place"));
    }

    void playerCopiesByHand()
    {
        const int slot = below(simulatedSlots);
        const auto status = fs_.peekStatus(gameFile(slot), true);
        if (!status || !status->isFile() || (status->mode & 0222) == 0 ||
            (version_ >= 2 && status->size == 0))
            return;
        if (linkedInto(slot))
            return;
        // Same size, and often the exact time of what is there: what cp -p of a twin does.
        // Version 5 now and then copies in a pick: the music the program wrote into another
        // slot, or one the player has. The bytes are the player's only in this slot, and only
        // where the program never wrote them here.
        const bool aPick = version_ >= 5 && chance(40);
        const std::string content =
            aPick ? musicOfAnotherSlot(slot).value_or(*fs_.peek(pickFile(below(picks))))
                  : bytes(status->size, 'H');
        if (!aPick)
            oracle_.wrote(content, Oracle::Writer::Others);
        writeThroughKeptName(slot);
        fs_.put(gameFile(slot), content);
        const bool sameTime = chance(60);
        if (sameTime)
            fs_.setTimeOf(gameFile(slot), status->modified);
        note("player copies over " + std::to_string(slot) +
             (sameTime ? " same size and time" : ""));
    }

    bool isIntended(const std::string &bytes) const
    {
        return std::any_of(intended_.begin(), intended_.end(),
                           [&](const auto &slotAndBytes) { return slotAndBytes.second == bytes; });
    }

    std::optional<std::string> musicOfAnotherSlot(int slot)
    {
        const int first = below(simulatedSlots);
        for (int i = 0; i < simulatedSlots; ++i) {
            const int other = (first + i) % simulatedSlots;
            const auto content = fs_.peek(gameFile(other));
            if (other != slot && content && oracle_.whole(*content) && !oracle_.byOthers(content))
                return content;
        }
        return std::nullopt;
    }

    void playerSwaps()
    {
        const int a = below(simulatedSlots);
        const int b = below(simulatedSlots);
        if (a == b || (version_ >= 2 && !(isWholeOrAbsent(a) && isWholeOrAbsent(b))))
            return;
        fs_.swapNames(gameFile(a), gameFile(b));
        note("player swaps " + std::to_string(a) + " and " + std::to_string(b));
    }

    bool everyGameFileWhole() const
    {
        for (int slot = 0; slot < simulatedSlots; ++slot)
            if (!isWholeOrAbsent(slot))
                return false;
        return true;
    }

    // A file the program left cut short is not one the player moves to another slot.
    bool isWholeOrAbsent(int slot) const
    {
        const auto content = fs_.peek(gameFile(slot));
        return !content || oracle_.whole(*content);
    }

    void playerChangesMode()
    {
        const int slot = below(simulatedSlots);
        const std::uint32_t modes[] = {0644, 0444, 0000};
        const std::uint32_t mode = modes[below(3)];
        fs_.setMode(gameFile(slot), mode);
        note("player sets mode " + std::to_string(mode) + " on " + std::to_string(slot));
    }

    void damageRecord()
    {
        const std::vector<fs::path> records = manifests();
        if (records.empty())
            return;
        const fs::path record = records[std::size_t(below(int(records.size())))];
        std::string text = *fs_.peek(record);
        const int how = below(4);
        if (how == 0) {
            std::string crlf;
            for (char c : text)
                crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
            text = crlf;
        } else if (how == 1) {
            text = "\xEF\xBB\xBF" + text;
        } else if (how == 2) {
            text.resize(std::min<std::size_t>(text.size(), 20));
        } else {
            text += "junk line\n\tmore junk\n";
        }
        fs_.put(record, text);
        // A damaged record may have lost its "lost" lines.
        lostAt_.clear();
        const char *names[] = {"CRLF", "byte-order mark", "cut short", "junk lines"};
        note(std::string("player damages the record: ") + names[how]);
    }

    void lockFileOddity()
    {
        const fs::path lock = lockFile();
        const int how = below(3);
        const auto folder = fs_.peekStatus(lock.parent_path());
        if (!folder || !folder->isFolder())
            return;
        const auto folderMode = folder->mode;
        fs_.setMode(lock.parent_path(), 0755);
        fs_.erase(lock);
        if (how == 0)
            fs_.putFolder(lock);
        else if (how == 1)
            fs_.putLink(lock, "/sim/nowhere/lock");
        fs_.setMode(lock.parent_path(), folderMode);
        const char *names[] = {"a folder", "a dangling link", "gone"};
        note(std::string("lock file made ") + names[how]);
    }

    void gameHoldsFile()
    {
        const int slot = below(simulatedSlots);
        const bool busy = chance(60);
        fs_.setBusy(gameFile(slot), busy);
        note("the game " + std::string(busy ? "holds " : "lets go of ") + std::to_string(slot));
    }

    // A packager's deduplication: one game file becomes a second name of another.
    void gameSharesAFile()
    {
        const int a = below(simulatedSlots);
        const int b = below(simulatedSlots);
        const auto status = fs_.peekStatus(gameFile(a));
        if (a == b || !status || !status->isFile() || !sharesTheGamesOwn(a))
            return;
        fs_.setQuiet(true);
        fs_.erase(gameFile(b));
        fs_.hardLink(gameFile(a), gameFile(b));
        fs_.setQuiet(false);
        note("the game makes " + std::to_string(b) + " a second name of " + std::to_string(a));
    }

    // Version 3: what a packager deduplicates is the game's own music, never the program's.
    bool sharesTheGamesOwn(int slot) const
    {
        return version_ < 3 || oracle_.byOthers(fs_.peek(gameFile(slot)));
    }

    // The player moves a game file elsewhere and leaves a link to it, or links it to its kept
    // original as a restore by hand.
    void gameFileBecomesLink()
    {
        const int slot = below(simulatedSlots);
        const std::string name = slots_.targetFileName(slot);
        if (chance(50)) {
            const auto content = fs_.peek(gameFile(slot));
            if (!content || !oracle_.whole(*content))
                return;
            const fs::path moved = root / "elsewhere" / (name + "." + std::to_string(stepsRun));
            fs_.putFolder(root / "elsewhere");
            fs_.putByRename(moved, *content);
            fs_.putLink(gameFile(slot), moved.string());
            note("player moves " + std::to_string(slot) + " elsewhere behind a link");
            return;
        }
        // Version 5: a player tidying up links a game file to a file of the originals folder,
        // kept or set aside for another slot, that holds the same music.
        if (version_ >= 5 && chance(50)) {
            const auto content = fs_.peek(gameFile(slot));
            for (const fs::path &file : originalsFiles())
                if (content && oracle_.whole(*content) && file.extension() == ".mp3" &&
                    file.filename() != name && fs_.peek(file) == content) {
                    fs_.putLink(gameFile(slot), file.string());
                    note("player links " + std::to_string(slot) + " to the same music kept as " +
                         file.filename().string());
                    return;
                }
        }
        // Its own kept original, or now and then another slot's.
        const std::string linked = chance(70) ? name : slots_.targetFileName(below(simulatedSlots));
        for (const fs::path &file : originalsFiles())
            if (file.filename() == linked && isKeptPlace(file)) {
                fs_.putLink(gameFile(slot), file.string());
                note("player links " + std::to_string(slot) + " to the kept " + linked);
                return;
            }
    }

    // A kept second name that could not be removed (Windows keeps every name of a file the
    // game holds; a removal may fail) stays until a later lock, its data copied beside it.
    // The game may write through the name it holds: the copy still holds the original.
    bool copiedBeside(const fs::path &kept) const
    {
        const fs::path copy = kept.parent_path() / (kept.filename().string() + ".kept copy");
        const std::optional<std::string> copied = fs_.peek(copy);
        return copied && (copied == fs_.peek(kept) || oracle_.whole(*copied));
    }

    // A kept second name the game holds cannot go, and once a fault struck the action its
    // copy beside may not be made: it stays a second name, its identity in the record, until an
    // action that has room and its lock copies or removes it.
    void noteNamesWithoutRoom(bool copyMayFail, bool hadEveryChance)
    {
        if (hadEveryChance)
            withoutRoom_.clear();
        if (!copyMayFail)
            return;
        fs_.setQuiet(true);
        for (const fs::path &file : originalsFiles())
            if (fs_.inUse(file) && !copiedBeside(file))
                withoutRoom_.insert(file);
        fs_.setQuiet(false);
    }

    // The game file is the player's link into the originals folder.
    bool linkedInto(int slot)
    {
        fs::path target;
        fs_.setQuiet(true);
        const bool link = fs_.readLink(gameFile(slot), target) == 0;
        fs_.setQuiet(false);
        const std::string originals = (game / core::OriginalsFolder::folderName).string();
        return link && (target.string().rfind(originals, 0) == 0 ||
                        target.string().rfind(data.string(), 0) == 0);
    }

    void recordBecomesUnreadable()
    {
        const std::vector<fs::path> records = manifests();
        if (records.empty())
            return;
        const bool unreadable = chance(60);
        fs_.setMode(records.front(), unreadable ? 0 : 0644);
        note(unreadable ? "the record becomes unreadable" : "the record is readable again");
    }

    // Version 3: the power fails at one of the action's flushes.
    bool armPowerCut()
    {
        if (!chance(12))
            return false;
        const int syncs = below(8);
        fs_.armPowerCut(syncs);
        note("the power fails at flush " + std::to_string(syncs));
        return true;
    }

    // Version 3: the record is cut short, most of all while a game file is cut short, when
    // only the copy kept under way still tells the program's unfinished write. (Deleted, with
    // the lock file gone too, the folder looks like an older version's, which is adopted.)
    bool recordCutShort()
    {
        bool cutShortFile = false;
        for (int slot = 0; slot < simulatedSlots; ++slot)
            cutShortFile = cutShortFile || !isWholeOrAbsent(slot);
        const std::vector<fs::path> records = manifests();
        if (!chance(cutShortFile ? 30 : 3) || records.empty())
            return false;
        const fs::path &record = records.front();
        std::string text = *fs_.peek(record);
        text.resize(std::min<std::size_t>(text.size(), 20));
        fs_.put(record, text);
        lostAt_.clear();
        note("the record is cut short");
        return true;
    }

    // A kept second name with no copy beside, of a game file the player did not link.
    std::optional<std::pair<fs::path, int>> patchableSecondName()
    {
        fs_.setQuiet(true);
        std::optional<std::pair<fs::path, int>> found;
        for (const auto &[file, slot] : keptSecondNames())
            if (isKeptPlace(file) && !copiedBeside(file) && !linkedInto(slot))
                found = {file, slot};
        fs_.setQuiet(false);
        return found;
    }

    bool recordTellsSecondName(const std::string &target) const
    {
        for (const fs::path &record : manifests())
            if (fs_.peek(record)->find(target + "\tsecond name\t") != std::string::npos)
                return true;
        return false;
    }

    // Written in place by others, a kept second name is written over too: the version it held
    // is gone by no doing of the program's, which says so where its record told of the name.
    // Killed before that, the Change kept nothing, and the write went over the game's file as
    // it would have without it.
    void writeThroughKeptName(int slot)
    {
        fs_.setQuiet(true);
        for (const auto &[file, named] : keptSecondNames())
            if (named == slot && isKeptPlace(file) && !copiedBeside(file)) {
                oracle_.lostToOthers(*fs_.peek(file));
                if (recordTellsSecondName(slots_.targetFileName(slot))) {
                    lostAt_.insert(slot);
                    writtenOver_.insert(slot);
                }
            }
        fs_.setQuiet(false);
    }

    void patchThroughKeptName()
    {
        const auto name = patchableSecondName();
        if (!name)
            return;
        const int slot = name->second;
        othersWrite(gameFile(slot), false);
        note("a patch writes in place through " + slots_.targetFileName(slot) +
             ", a kept second name");
    }

    void check()
    {
        // (a)
        const std::set<std::string> present = presentVersions();
        fs_.setQuiet(true);
        for (const std::string &version : oracle_.mustKeep())
            if (!present.count(version))
                violation("(a) a version of the game's that the program acted on is nowhere");
        // (c)
        for (const auto &[file, slot] : keptSecondNames())
            // One whose original is already lost holds nothing to keep, whatever game file it
            // is a name of now: it goes once it can.
            if (!copiedBeside(file) && !withoutRoom_.count(file) && !namesLeftByKill_ &&
                std::none_of(writtenOver_.begin(), writtenOver_.end(), [&](int written) {
                    return slots_.targetFileName(written) == file.filename().string();
                }))
                violation("(c) kept " + file.string() + " is the same file as game file " +
                          slots_.targetFileName(slot));
        // (d), where the record can be read: the player's unreadable record stops the program.
        const bool recordReadable = !recordIsUnreadable();
        for (int slot = 0; slot < simulatedSlots && recordReadable; ++slot) {
            const auto content = fs_.peek(gameFile(slot));
            if (!content || oracle_.whole(*content))
                continue;
            // A game file the player made unreadable is judged as the program finds it once
            // it may read it again: until then a restore leaves it alone and says why (e).
            const auto status = fs_.peekStatus(gameFile(slot));
            const bool playersMode = status && (status->mode & 0444) == 0;
            std::optional<InMemoryFileSystem> readable;
            if (playersMode) {
                readable = fs_;
                readable->setMode(gameFile(slot), 0644);
            }
            const bool restorable =
                oracle_.prefixOfAny(*content) &&
                core::OriginalsFolder(musicFolder, readable ? *readable : fs_, data)
                    .isRestorable(slots_.targetFileName(slot),
                                  core::OriginalsFolder::Check::Content);
            if (!restorable)
                violation(
                    "(d) game file " + slots_.targetFileName(slot) +
                    " is no whole version and not this program's restorable unfinished write");
        }
        fs_.setQuiet(false);
    }

    // Each kept file that is the same file as a game file, with the slot. A symbolic link the
    // player made to the kept file is no second name: it is never written through.
    std::set<std::pair<fs::path, int>> keptSecondNames()
    {
        std::set<std::pair<fs::path, int>> found;
        for (const fs::path &file : originalsFiles()) {
            const auto keptStatus = fs_.peekStatus(file);
            for (int slot = 0; slot < simulatedSlots; ++slot) {
                const auto gameStatus = fs_.peekStatus(gameFile(slot), true);
                const auto linked = fs_.peekStatus(gameFile(slot), false);
                const bool playersLink =
                    linked && linked->type == core::FileStatus::Type::Link && linkedInto(slot);
                if (gameStatus && keptStatus && gameStatus->sameFileAs(*keptStatus) && !playersLink)
                    found.emplace(file, slot);
            }
        }
        return found;
    }

    using FileSystem = core::FileSystem;
    std::mt19937_64 random_;
    int version_;
    bool windows_;
    InMemoryFileSystem fs_;
    Oracle oracle_;
    const core::SlotTable slots_;
    const core::SlotTexts labels_ = runtexts::labels();
    Outcome outcome_;
    std::string current_;
    // The action under way is the start of the program.
    bool starting_ = false;
    // The last action was killed or left a game file cut short.
    bool restartLikely_ = false;
    // What the Change under way puts into each slot it was given.
    std::map<int, std::string> intended_;
    // No fault was armed in the action just played.
    bool undisturbed_ = true;
    std::set<fs::path> withoutRoom_;
    // Version 6: a kill left a kept second name, and the game runs before the program
    // starts again; the slots whose only version its patch wrote over, until one is kept.
    bool gameRunsFirst_ = false;
    bool restartPending_ = false;
    bool restoreLikely_ = false;
    // Kept second names a kill left stay until an action has every chance to drop them.
    bool namesLeftByKill_ = false;
    std::set<int> lostAt_;
    // The same slots whatever becomes of the record: the kept name held nothing to keep.
    std::set<int> writtenOver_;
};

int generatorVersion()
{
    return environmentNumber("VMC_SIM_VERSION", Simulation::newestVersion);
}

std::string report(std::uint64_t seed, const Outcome &outcome)
{
    std::ostringstream text;
    text << "seed " << seed << " (replay: VMC_SIM_SEED=" << seed
         << " VMC_SIM_VERSION=" << generatorVersion() << ")\n"
         << outcome.steps;
    for (const std::string &violation : outcome.violations)
        text << "VIOLATION " << violation << "\n";
    return text.str();
}

} // namespace

class TestOriginalsSimulation : public QObject
{
    Q_OBJECT

  private slots:
    void regressionSeedsKeepThePromise_data();
    void regressionSeedsKeepThePromise();
    void randomSequencesKeepThePromise();
};

void TestOriginalsSimulation::regressionSeedsKeepThePromise_data()
{
    QTest::addColumn<quint64>("seed");
    QTest::addColumn<int>("version");
    // The rules a sequence was found under; none: those of the run.
    QTest::addColumn<QString>("rules");
    // Seeds that found a fault of the program or of the simulation before it was mended:
    // each stays a case, under the generator and the rules it was found with.
    QTest::newRow("failed in-place write, then an update (661)") << quint64(661) << 1 << QString();
    QTest::newRow("kill in an in-place restore, then an update (702)")
        << quint64(702) << 1 << QString();
    QTest::newRow("update over a failed in-place write (124)") << quint64(124) << 1 << QString();
    QTest::newRow("Default over an update (407)") << quint64(407) << 1 << QString();
    QTest::newRow("kept name left a second name (3)") << quint64(3) << 1 << QString();
    QTest::newRow("damaged record (26)") << quint64(26) << 1 << QString();
    QTest::newRow("unreadable game file at a restore (496)") << quint64(496) << 1 << QString();
    QTest::newRow("hand copy with the same size and time (9)") << quint64(9) << 1 << QString();
    QTest::newRow("folder of this version adopted without its record (108996)")
        << quint64(108996) << 1 << QString();
    QTest::newRow("restore cut by a full disk (114346)") << quint64(114346) << 1 << QString();
    QTest::newRow("in-place restore cut short, then the record cut short (707890)")
        << quint64(707890) << 1 << QString();
    QTest::newRow("lost said of a second name a power loss took (8732)")
        << quint64(8732) << 2 << QString("posix");
    QTest::newRow("restore held by the game over a write cut short (9162)")
        << quint64(9162) << 2 << QString("windows");
    QTest::newRow("game writes through a kept name it holds, copy beside (6006)")
        << quint64(6006) << 2 << QString("windows");
    QTest::newRow("record unread as Default saves it before a write in place (7701172)")
        << quint64(7701172) << 3 << QString("posix");
    QTest::newRow("record saved in a restore before its put-back names were durable (15183)")
        << quint64(15183) << 3 << QString("posix");
    QTest::newRow("stale second-name line read as a new link's after a power loss (12633)")
        << quint64(12633) << 3 << QString("windows");
    QTest::newRow("held kept name, full disk: no room for its copy (15253)")
        << quint64(15253) << 3 << QString("windows");
    QTest::newRow("restore of a write set aside, then swapped back (29969)")
        << quint64(29969) << 3 << QString("posix");
    QTest::newRow("Default of a write set aside, then swapped back (23020)")
        << quint64(23020) << 3 << QString("windows");
    QTest::newRow("restore in place over our write cut short, full disk (22680)")
        << quint64(22680) << 3 << QString("posix");
    QTest::newRow("write cut short, then the player's unreadable mode (51164)")
        << quint64(51164) << 3 << QString("windows");
    QTest::newRow("restore in place whose flush failed told as put back (963)")
        << quint64(963) << 4 << QString("posix");
    QTest::newRow("killed Change's pick swapped into its slot by the player (8595)")
        << quint64(8595) << 4 << QString("posix");
    QTest::newRow("Change refused over our write cut short, then the record cut (2091)")
        << quint64(2091) << 4 << QString("windows");
    QTest::newRow("Change over a restore cut short, lost to a power cut (5580)")
        << quint64(5580) << 4 << QString("posix");
    QTest::newRow("Default through a link into a version set aside (1373)")
        << quint64(1373) << 5 << QString("posix");
    QTest::newRow("start whose record read fails names no write cut short (1006959)")
        << quint64(1006959) << 5 << QString("posix");
    QTest::newRow("record saved past a failed rename before the others were durable (1012776)")
        << quint64(1012776) << 5 << QString("posix");
    QTest::newRow("kept name written over, its record held: the loss untold (995)")
        << quint64(995) << 6 << QString("windows");
    QTest::newRow("copy beside set aside, its new name lost to a power cut (2104881)")
        << quint64(2104881) << 5 << QString("windows");
    // Not a fault found: the one sequence of 8,000 that reaches a restore in place over a
    // write cut short under a damaged record, since 22680 no longer does.
    QTest::newRow("restore in place over our write cut short, record in doubt (4557)")
        << quint64(4557) << 6 << QString("posix");
    QTest::newRow("player copies by hand through a held kept name without room (3008431)")
        << quint64(3008431) << 6 << QString("windows");
    QTest::newRow("game links a file to a kept name written over (7100887)")
        << quint64(7100887) << 6 << QString("windows");
    QTest::newRow("a kill's staged copy left for the start, the game run first (3038313)")
        << quint64(3038313) << 6 << QString("posix");
    QTest::newRow("lost said of a held second name with its copy beside (3056242)")
        << quint64(3056242) << 6 << QString("windows");
}

void TestOriginalsSimulation::regressionSeedsKeepThePromise()
{
    QFETCH(quint64, seed);
    QFETCH(int, version);
    QFETCH(QString, rules);
    const bool windows = rules.isEmpty() ? Simulation::windowsRules() : rules == "windows";
    const Outcome outcome = Simulation(seed, version, windows).run(30);
    QVERIFY2(outcome.violations.empty(), report(seed, outcome).c_str());
}

void TestOriginalsSimulation::randomSequencesKeepThePromise()
{
    const int steps = environmentNumber("VMC_SIM_STEPS", 30);
    if (const char *seed = std::getenv("VMC_SIM_SEED"); seed && *seed) {
        const Outcome outcome = Simulation(std::stoull(seed), generatorVersion()).run(steps);
        qInfo().noquote() << QString::fromStdString(report(std::stoull(seed), outcome));
        QVERIFY(outcome.violations.empty());
        return;
    }
    const int soakSeconds = environmentNumber("VMC_SOAK_SECONDS", 0);
    const int sequences = environmentNumber("VMC_SIM_SEQUENCES", 2000);
    const bool survey = environmentNumber("VMC_SIM_SURVEY", 0) != 0;
    const auto start = std::chrono::steady_clock::now();
    const auto deadline = start + std::chrono::seconds(soakSeconds);
    std::uint64_t seed = environmentNumber("VMC_SIM_FIRST_SEED", 1);
    std::uint64_t run = 0;
    std::uint64_t failing = 0;
    std::map<std::string, std::uint64_t> firstSeedOf;
    for (;; ++seed, ++run) {
        if (soakSeconds > 0 ? std::chrono::steady_clock::now() >= deadline : int(run) >= sequences)
            break;
        const Outcome outcome = Simulation(seed, generatorVersion()).run(steps);
        if (outcome.violations.empty())
            continue;
        ++failing;
        const std::string &first = outcome.violations.front();
        const std::string kind = first.substr(first.find("=> ") + 3, 3);
        if (!survey)
            QFAIL(report(seed, outcome).c_str());
        // A survey prints the first failing seed of each kind, or with 2 every one.
        if (firstSeedOf.emplace(kind, seed).second || environmentNumber("VMC_SIM_SURVEY", 0) > 1)
            qInfo().noquote() << QString::fromStdString(report(seed, outcome));
    }
    const auto seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::ostringstream figures;
    figures << run << " sequences, " << Simulation::stepsRun << " steps in " << seconds
            << " s; faults struck: kill " << Simulation::faults[0] << ", full disk "
            << Simulation::faults[1] << ", I/O error " << Simulation::faults[2] << ", failed read "
            << Simulation::faults[3] << ", in use " << Simulation::faults[4] << ", access denied "
            << Simulation::faults[5] << "; sequences with a violation " << failing;
    qInfo().noquote() << QString::fromStdString(figures.str());
    QCOMPARE(failing, std::uint64_t(0));
}

// A soak outlasts Qt Test's watchdog of five minutes a function: it is given the soak's length.
int main(int argc, char **argv)
{
    if (const int soak = environmentNumber("VMC_SOAK_SECONDS", 0); soak > 0)
        qputenv("QTEST_FUNCTION_TIMEOUT", QByteArray::number((qint64(soak) + 600) * 1000));
    QCoreApplication application(argc, argv);
    TestOriginalsSimulation test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_originalssimulation.moc"
