// SPDX-License-Identifier: GPL-3.0-or-later
#include "InMemoryFileSystem.h"
#include "LanguageCodes.h"
#include "SlotTextsForTests.h"
#include "originals/OriginalsFolder.h"
#include "originals/OriginalsManifest.h"
#include "run/ReplacementRun.h"

#include <QTest>

#include <cerrno>
#include <cstdlib>
#include <set>

using core::OriginalsFolder;
using core::OriginalsManifest;
using core::RunResult;
using Fault = InMemoryFileSystem::Fault;
using languagecodes::english;
namespace fs = std::filesystem;

namespace {

// Every call is a fault point; the sanitizers' build tries every few.
int faultStride()
{
    const char *stride = std::getenv("VMC_FAULT_STRIDE");
    return stride && std::atoi(stride) > 0 ? std::atoi(stride) : 1;
}
const fs::path game = "/g";
const fs::path kept = "/g/Originals (Music Changer)";
const std::string original = "game's own Water";

} // namespace

// The ways to lose a kept original that the simulation and a hostile review found, each as a
// case of its own on the in-memory file system: a failure is a hole.
class TestOriginalsPromise : public QObject
{
    Q_OBJECT

  private slots:
    void init();
    void damagedRecordIsReadOrDistrusted_data();
    void damagedRecordIsReadOrDistrusted();
    void pickIsNeverKeptAsOriginalAfterRecordIsCut();
    void beginningOfOriginalIsLeftAloneAfterRecordIsCut();
    void unreadableGameFileIsLeftAloneAndNamed_data();
    void unreadableGameFileIsLeftAloneAndNamed();
    void failedInPlaceOpenLeavesUpdateAlone();
    void failedChangeLeavesNoSecondName();
    void handCopyWithSameSizeAndTimeIsKept();
    void readFailingAnywhereInDefaultKeepsTheOriginal();
    void unreadableRecordStopsChangeAndDefault();
    void originalWrittenOverUnderSecondNameIsToldLost();
    void recordCutInsideAnEntryNeverKeepsPickAsOriginal();
    void forgedLostLineDoesNotBelieARestore();
    void deletedRecordNeverLetsDefaultWriteOverAnUpdate();
    void hardLinkedGameFilesNeverShareAKeptOriginal();
    void gameHoldingItsFileKeepsTheOriginalUnderWindowsRules_data();
    void gameHoldingItsFileKeepsTheOriginalUnderWindowsRules();
    void gameFileLinkedToKeptOriginalIsNeverWrittenThrough();
    void faultAnywhereInChangeOverCutRecord();
    void killWhileDroppingSecondNameStillTellsLost();
    void originalsInDataFolderOutliveAnEmptyGameFolderPlace();
    void faultAnywhereInSecondChangeKeepsOriginal_data();
    void faultAnywhereInSecondChangeKeepsOriginal();
    void faultAnywhereInDefaultKeepsOriginal_data();
    void faultAnywhereInDefaultKeepsOriginal();
    void killInAnInPlaceWriteIsRepairedAtNextStart_data();
    void killInAnInPlaceWriteIsRepairedAtNextStart();
    void defaultNeverWritesThroughALinkIntoTheOriginals();
    void noWriteReachesAVersionSetAside_data();
    void noWriteReachesAVersionSetAside();
    void recordUnreadAtASaveForgetsNoFile();

  private:
    int slotOf(const std::string &name) const
    {
        for (int i = 0; i < core::slotCount; ++i)
            if (slots_.targetFileName(i) == name)
                return i;
        return -1;
    }
    RunResult change(const std::string &pick, const fs::path &dataFolder = {})
    {
        fs_->setQuiet(true);
        fs_->put("/m/" + pick, "pick " + pick);
        fs_->setQuiet(false);
        core::SlotTexts texts = runtexts::placeholders(english);
        texts[std::size_t(slotOf("Water.mp3"))] = "/m/" + pick;
        return core::ReplacementRun(slots_, *fs_, dataFolder)
            .run(texts, runtexts::labels(), "/g/", english);
    }
    RunResult restoreAll(const fs::path &dataFolder = {}, std::uint8_t language = english)
    {
        return OriginalsFolder("/g/", *fs_, dataFolder)
            .restore(slots_, runtexts::labels(), language);
    }
    std::string record() { return *fs_->peek(kept / "manifest.txt"); }
    // The original is somewhere: in the game folder, kept, or set aside.
    bool originalSurvives(const fs::path &dataFolder = {}) const
    {
        std::vector<fs::path> files = fs_->filesUnder(game);
        if (!dataFolder.empty())
            for (const fs::path &file : fs_->filesUnder(dataFolder))
                files.push_back(file);
        for (const fs::path &file : files)
            if (fs_->peek(file) == original)
                return true;
        return false;
    }
    bool keptIsSecondNameOfGameFile() const
    {
        const auto gameFile = fs_->peekStatus(game / "Water.mp3");
        const auto keptFile = fs_->peekStatus(kept / "Water.mp3");
        return gameFile && keptFile && keptFile->sameFileAs(*gameFile);
    }
    // A fresh disk whose Water was changed once; in place where the game folder takes no
    // new file, with the originals in the data folder "/d".
    void changedOnce(bool inPlace)
    {
        init();
        if (inPlace) {
            fs_->putFolder("/d");
            fs_->setMode(game, 0555);
        }
        QCOMPARE(change("a", inPlace ? fs::path("/d") : fs::path()).outcome,
                 RunResult::Outcome::Completed);
    }
    // Runs until a kill leaves the kept name a second name of the game file, recorded.
    bool leaveSecondName()
    {
        for (int after = 0; after < 1000; ++after) {
            init();
            fs_->arm(Fault::Kill, after);
            change("a");
            fs_->revive();
            if (keptIsSecondNameOfGameFile() && fs_->peek(kept / "manifest.txt") &&
                record().find("\tsecond name\t") != std::string::npos)
                return true;
        }
        return false;
    }

    const core::SlotTable slots_;
    std::unique_ptr<InMemoryFileSystem> fs_;
};

void TestOriginalsPromise::init()
{
    fs_ = std::make_unique<InMemoryFileSystem>();
    fs_->putFolder(game);
    fs_->putFolder("/m");
    std::error_code error;
    fs_->putFolder(fs::temp_directory_path(error));
    fs_->put(game / "Water.mp3", "game's own Water");
    fs_->put(game / "Dirt.mp3", "game's own Dirt");
}

void TestOriginalsPromise::damagedRecordIsReadOrDistrusted_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<bool>("entryRead");
    QTest::addColumn<bool>("trustworthy");
    QTest::newRow("CRLF line ends") << "crlf" << true << true;
    QTest::newRow("byte-order mark") << "bom" << true << true;
    QTest::newRow("junk lines") << "junk" << true << true;
    QTest::newRow("longer than 64 KiB") << "long" << true << true;
    QTest::newRow("cut to 20 bytes") << "cut" << false << false;
}

void TestOriginalsPromise::damagedRecordIsReadOrDistrusted()
{
    QFETCH(QString, damage);
    QFETCH(bool, entryRead);
    QFETCH(bool, trustworthy);
    QCOMPARE(change("a").outcome, RunResult::Outcome::Completed);
    std::string text = record();
    if (damage == "crlf") {
        std::string crlf;
        for (const char c : text)
            crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
        text = crlf;
    } else if (damage == "bom") {
        text = "\xEF\xBB\xBF" + text;
    } else if (damage == "junk") {
        text += "junk\n\tmore junk\n";
    } else if (damage == "long") {
        const std::size_t firstEnd = text.find('\n') + 1;
        text.insert(firstEnd, std::string(70 * 1024, 'x') + "\n");
    } else {
        text.resize(20);
    }
    fs_->put(kept / "manifest.txt", text);
    const OriginalsManifest manifest(kept / "manifest.txt", *fs_);
    QCOMPARE(!manifest.written("Water.mp3").empty(), entryRead);
    QCOMPARE(manifest.trustworthy(), trustworthy);
}

void TestOriginalsPromise::pickIsNeverKeptAsOriginalAfterRecordIsCut()
{
    QCOMPARE(change("a").outcome, RunResult::Outcome::Completed);
    fs_->put(kept / "manifest.txt", record().substr(0, 20));
    QCOMPARE(change("b").outcome, RunResult::Outcome::Completed);
    QCOMPARE(*fs_->peek(kept / "Water.mp3"), std::string("game's own Water"));
    // The first pick is kept beside the original, and Default puts back the original.
    bool pickKept = false;
    for (const fs::path &file : fs_->filesUnder(kept / "Superseded"))
        pickKept = pickKept || *fs_->peek(file) == "pick a";
    QVERIFY(pickKept);
    QCOMPARE(restoreAll().count, 1);
    QCOMPARE(*fs_->peek(game / "Water.mp3"), std::string("game's own Water"));
}

void TestOriginalsPromise::unreadableGameFileIsLeftAloneAndNamed_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("said");
    QTest::newRow("English") << int(english) << ".mp3: it could not be read: Access denied";
    QTest::newRow("Hungarian") << 1 << ".mp3: nem olvasható: Hozzáférés megtagadva";
}

void TestOriginalsPromise::unreadableGameFileIsLeftAloneAndNamed()
{
    QFETCH(int, language);
    QFETCH(QString, said);
    QCOMPARE(change("a").outcome, RunResult::Outcome::Completed);
    const std::string recordBefore = record();
    fs_->setMode(game / "Water.mp3", 0);
    const RunResult result = restoreAll({}, std::uint8_t(language));
    QCOMPARE(result.count, 0);
    QCOMPARE(*fs_->peek(kept / "Water.mp3"), std::string("game's own Water"));
    QCOMPARE(record(), recordBefore);
    const std::string label = runtexts::labels()[std::size_t(slotOf("Water.mp3"))];
    QVERIFY2(result.message.find(label + said.toStdString()) != std::string::npos,
             result.message.c_str());
}

void TestOriginalsPromise::failedInPlaceOpenLeavesUpdateAlone()
{
    // The game folder takes no new file: the run writes in place, and the game holds the file.
    fs_->putFolder("/d");
    fs_->setMode(game, 0555);
    fs_->setBusy(game / "Water.mp3", true);
    fs_->put("/m/a", "pick a");
    core::SlotTexts texts = runtexts::placeholders(english);
    texts[std::size_t(slotOf("Water.mp3"))] = "/m/a";
    const RunResult failed =
        core::ReplacementRun(slots_, *fs_, "/d").run(texts, runtexts::labels(), "/g/", english);
    QCOMPARE(failed.outcome, RunResult::Outcome::Failed);
    // The file is in use, which no elevation mends.
    QCOMPARE(failed.systemError, EBUSY);
    QCOMPARE(*fs_->peek(game / "Water.mp3"), std::string("game's own Water"));
    fs_->setBusy(game / "Water.mp3", false);
    fs_->put(game / "Water.mp3", "update's Water");
    const RunResult result =
        OriginalsFolder("/g/", *fs_, "/d").restore(slots_, runtexts::labels(), english);
    QCOMPARE(result.count, 0);
    QCOMPARE(*fs_->peek(game / "Water.mp3"), std::string("update's Water"));
}

void TestOriginalsPromise::failedChangeLeavesNoSecondName()
{
    // Renames over the game file fail once the kept name is made.
    fs_->setMode(game / "Water.mp3", 0444);
    QCOMPARE(change("a").outcome, RunResult::Outcome::Failed);
    const auto gameFile = fs_->peekStatus(game / "Water.mp3");
    const auto keptFile = fs_->peekStatus(kept / "Water.mp3");
    QVERIFY(gameFile);
    QVERIFY(!keptFile || !keptFile->sameFileAs(*gameFile));
}

void TestOriginalsPromise::handCopyWithSameSizeAndTimeIsKept()
{
    QCOMPARE(change("a").outcome, RunResult::Outcome::Completed);
    const auto written = fs_->peekStatus(game / "Water.mp3");
    fs_->put(game / "Water.mp3", "hand a");
    fs_->setTimeOf(game / "Water.mp3", written->modified);
    QCOMPARE(change("b").outcome, RunResult::Outcome::Completed);
    QCOMPARE(*fs_->peek(kept / "Water.mp3"), std::string("hand a"));
}

void TestOriginalsPromise::readFailingAnywhereInDefaultKeepsTheOriginal()
{
    // A file that could not be read is no different from what was recorded, only unread.
    for (int after = 0; after < 120; after += faultStride()) {
        init();
        QCOMPARE(change("a").outcome, RunResult::Outcome::Completed);
        fs_->arm(InMemoryFileSystem::Fault::ReadFails, after);
        const RunResult result = restoreAll();
        fs_->disarm();
        const bool putBack = *fs_->peek(game / "Water.mp3") == "game's own Water";
        QVERIFY2(putBack || fs_->peek(kept / "Water.mp3") == "game's own Water",
                 qPrintable(QString("read failing after %1 calls").arg(after)));
        QVERIFY2(putBack || !result.message.empty(),
                 qPrintable(QString("read failing after %1 calls").arg(after)));
    }
}

void TestOriginalsPromise::unreadableRecordStopsChangeAndDefault()
{
    QCOMPARE(change("a").outcome, RunResult::Outcome::Completed);
    const std::string recordBefore = record();
    fs_->setMode(kept / "manifest.txt", 0);
    for (const RunResult &result : {change("b"), restoreAll()}) {
        QCOMPARE(result.outcome, RunResult::Outcome::Failed);
        QVERIFY2(result.message.find("manifest.txt, cannot be read: Access denied") !=
                     std::string::npos,
                 result.message.c_str());
    }
    QCOMPARE(*fs_->peek(game / "Water.mp3"), std::string("pick a"));
    QCOMPARE(*fs_->peek(kept / "Water.mp3"), std::string("game's own Water"));
    QCOMPARE(record(), recordBefore);
}

void TestOriginalsPromise::originalWrittenOverUnderSecondNameIsToldLost()
{
    QVERIFY(leaveSecondName());
    // A patcher writes the game file in place before the program starts again.
    fs_->put(game / "Water.mp3", "patch's Water");
    OriginalsFolder("/g/", *fs_).cleanUpAfterKilledRun();
    QVERIFY(!fs_->peekStatus(kept / "Water.mp3"));
    const RunResult result = restoreAll();
    QCOMPARE(*fs_->peek(game / "Water.mp3"), std::string("patch's Water"));
    QVERIFY2(result.message.find(".mp3: its original was lost") != std::string::npos,
             result.message.c_str());
}

void TestOriginalsPromise::beginningOfOriginalIsLeftAloneAfterRecordIsCut()
{
    // The player cut the end off the game's file (a tag stripped); the record is damaged.
    QCOMPARE(change("a").outcome, RunResult::Outcome::Completed);
    QCOMPARE(restoreAll().count, 1);
    fs_->put(game / "Water.mp3", "game's own Wat");
    fs_->put(kept / "manifest.txt", record().substr(0, 20));
    QCOMPARE(restoreAll().count, 0);
    QCOMPARE(*fs_->peek(game / "Water.mp3"), std::string("game's own Wat"));
}

void TestOriginalsPromise::recordCutInsideAnEntryNeverKeepsPickAsOriginal()
{
    // The record as it stood with a replacement under way ("pick a" there, "pick b" coming),
    // cut inside the second line; the replacement itself was made.
    QCOMPARE(change("a").outcome, RunResult::Outcome::Completed);
    const std::string afterA = record();
    const std::size_t lineStart = afterA.find("\nWater.mp3\t") + 1;
    const std::string lineA =
        afterA.substr(lineStart, afterA.find('\n', lineStart) + 1 - lineStart);
    QCOMPARE(change("b").outcome, RunResult::Outcome::Completed);
    fs_->put(kept / "manifest.txt",
             std::string(core::OriginalsManifest::firstLine) + "\n" + lineA + "Water.mp3\t1");
    QCOMPARE(change("c").outcome, RunResult::Outcome::Completed);
    const std::string keptNow = *fs_->peek(kept / "Water.mp3");
    const RunResult result = restoreAll();
    QVERIFY2(keptNow == original && *fs_->peek(game / "Water.mp3") == original,
             qPrintable(QString::fromStdString(
                 "kept after Change: " + keptNow + "; after Default the game file holds: " +
                 *fs_->peek(game / "Water.mp3") + "; said: '" + result.message + "'")));
}

void TestOriginalsPromise::forgedLostLineDoesNotBelieARestore()
{
    QCOMPARE(change("a").outcome, RunResult::Outcome::Completed);
    fs_->put(kept / "manifest.txt", record() + "Water.mp3\tlost\n");
    const RunResult result = restoreAll();
    QCOMPARE(result.count, 1);
    QCOMPARE(*fs_->peek(game / "Water.mp3"), original);
    QVERIFY2(result.message.find("lost") == std::string::npos, result.message.c_str());
}

void TestOriginalsPromise::deletedRecordNeverLetsDefaultWriteOverAnUpdate()
{
    // A folder of this version (its lock file is in it) whose record is gone; the game's
    // updater has since replaced the file.
    QCOMPARE(change("a").outcome, RunResult::Outcome::Completed);
    fs_->putByRename(game / "Water.mp3", "update's Water");
    fs_->erase(kept / "manifest.txt");
    const RunResult result = restoreAll();
    QVERIFY2(*fs_->peek(game / "Water.mp3") == "update's Water" && result.count == 0,
             qPrintable(QString::fromStdString(
                 "game file: " + *fs_->peek(game / "Water.mp3") +
                 "; put back: " + std::to_string(result.count) + "; update still anywhere: " +
                 (fs_->filesUnder(kept).size() &&
                          [&] {
                              for (const fs::path &file : fs_->filesUnder(game))
                                  if (fs_->peek(file) == "update's Water")
                                      return true;
                              return false;
                          }()
                      ? "yes"
                      : "no"))));
}

void TestOriginalsPromise::killWhileDroppingSecondNameStillTellsLost()
{
    QVERIFY(leaveSecondName());
    fs_->put(game / "Water.mp3", "patch's Water");
    const InMemoryFileSystem written = *fs_;
    for (int after = 0; after < 300; ++after) {
        *fs_ = written;
        fs_->arm(Fault::Kill, after);
        OriginalsFolder("/g/", *fs_).beginWriting(english, std::chrono::milliseconds(1));
        fs_->revive();
        fs_->disarm();
        const RunResult result = restoreAll();
        QVERIFY2(result.message.find("its original was lost") != std::string::npos,
                 qPrintable(QString("killed after %1 calls; said '%2'; record: %3")
                                .arg(after)
                                .arg(QString::fromStdString(result.message))
                                .arg(QString::fromStdString(record()))));
    }
    // Nor where the record cannot be saved as the name goes, nor while the game holds it.
    *fs_ = written;
    fs_->setFreeBytes(0);
    QVERIFY(restoreAll().message.find("its original was lost") != std::string::npos);
    *fs_ = written;
    fs_->setWindowsRules(true);
    fs_->setBusy(game / "Water.mp3", true);
    QCOMPARE(change("b").systemError, core::OriginalsRecord::inUse);
    for (const bool held : {true, false}) {
        fs_->setBusy(game / "Water.mp3", held);
        QVERIFY(restoreAll().message.find("its original was lost") != std::string::npos);
    }
}

void TestOriginalsPromise::gameFileLinkedToKeptOriginalIsNeverWrittenThrough()
{
    // The player "restores" by hand: the game file becomes a link to the kept original.
    QCOMPARE(change("a").outcome, RunResult::Outcome::Completed);
    fs_->putLink(game / "Water.mp3", "Originals (Music Changer)/Water.mp3");
    const RunResult result = change("b");
    QVERIFY2(fs_->peek(kept / "Water.mp3") == original && originalSurvives(),
             qPrintable(QString::fromStdString(
                 "Change said '" + result.message +
                 "'; kept Water holds: " + fs_->peek(kept / "Water.mp3").value_or("-") +
                 "; original anywhere: " + (originalSurvives() ? "yes" : "no"))));
}

void TestOriginalsPromise::faultAnywhereInChangeOverCutRecord()
{
    for (int kind = 0; kind < InMemoryFileSystem::faultKinds; ++kind) {
        for (int after = 0; after < 300; after += faultStride()) {
            init();
            QCOMPARE(change("a").outcome, RunResult::Outcome::Completed);
            fs_->put(kept / "manifest.txt", record().substr(0, 20));
            fs_->arm(Fault(kind), after);
            change("b");
            fs_->revive();
            fs_->disarm();
            const QString where = QString("fault %1 after %2 calls").arg(kind).arg(after);
            QVERIFY2(!keptIsSecondNameOfGameFile(), qPrintable(where));
            QVERIFY2(fs_->peek(kept / "Water.mp3") == original, qPrintable(where));
            // Where the record is damaged, a pick it cannot vouch for stays, and is named.
            const RunResult result = restoreAll();
            QVERIFY2(*fs_->peek(game / "Water.mp3") == original || !result.message.empty(),
                     qPrintable(where + ": " +
                                QString::fromStdString(*fs_->peek(game / "Water.mp3") + " / " +
                                                       result.message)));
        }
    }
}

void TestOriginalsPromise::hardLinkedGameFilesNeverShareAKeptOriginal()
{
    // The game ships one track under two names (a packager's deduplication).
    fs_->erase(game / "Dirt.mp3");
    QCOMPARE(fs_->hardLink(game / "Water.mp3", game / "Dirt.mp3"), 0);
    QCOMPARE(change("a").outcome, RunResult::Outcome::Completed);
    const auto dirt = fs_->peekStatus(game / "Dirt.mp3");
    const auto keptWater = fs_->peekStatus(kept / "Water.mp3");
    QVERIFY(dirt && keptWater);
    const bool shared = keptWater->sameFileAs(*dirt);
    // A patcher then writes the other name in place.
    fs_->put(game / "Dirt.mp3", "patch's Dirt");
    QVERIFY2(!shared && originalSurvives(),
             qPrintable(QString::fromStdString(
                 std::string(shared ? "kept Water is the same file as game Dirt; " : "") +
                 "kept Water now holds: " + *fs_->peek(kept / "Water.mp3"))));
}

void TestOriginalsPromise::gameHoldingItsFileKeepsTheOriginalUnderWindowsRules_data()
{
    QTest::addColumn<bool>("heldAfterKill");
    // Held as Change begins: no second name may be made. Held once a kill has left one: it
    // cannot go until the game lets go.
    QTest::newRow("held at Change") << false;
    QTest::newRow("held after a kill") << true;
}

void TestOriginalsPromise::gameHoldingItsFileKeepsTheOriginalUnderWindowsRules()
{
    QFETCH(bool, heldAfterKill);
    if (heldAfterKill) {
        QVERIFY(leaveSecondName());
        fs_->setWindowsRules(true);
        fs_->setBusy(game / "Water.mp3", true);
        OriginalsFolder("/g/", *fs_).cleanUpAfterKilledRun();
    } else {
        fs_->setWindowsRules(true);
        fs_->setBusy(game / "Water.mp3", true);
        QCOMPARE(change("a").outcome, RunResult::Outcome::Failed);
        QVERIFY(!keptIsSecondNameOfGameFile());
    }
    // The game lets go, and a patcher writes into its file before the program starts again.
    fs_->setBusy(game / "Water.mp3", false);
    fs_->put(game / "Water.mp3", "patch's Water");
    OriginalsFolder("/g/", *fs_).cleanUpAfterKilledRun();
    QVERIFY(!keptIsSecondNameOfGameFile());
    QCOMPARE(fs_->peek(kept / "Water.mp3"), std::optional<std::string>("game's own Water"));
    QVERIFY(restoreAll().message.find("lost") == std::string::npos);
}

void TestOriginalsPromise::originalsInDataFolderOutliveAnEmptyGameFolderPlace()
{
    // The game folder takes no new file: the original goes to the data folder.
    fs_->putFolder("/d");
    fs_->setMode(game, 0555);
    QCOMPARE(change("a", "/d").outcome, RunResult::Outcome::Completed);
    QCOMPARE(*fs_->peek(game / "Water.mp3"), std::string("pick a"));
    // Later the game folder is writable and holds an empty folder of our name (another
    // user's copy, a backup put back, the player).
    fs_->setMode(game, 0755);
    fs_->putFolder(kept);
    QCOMPARE(change("b", "/d").outcome, RunResult::Outcome::Completed);
    const RunResult result = restoreAll("/d");
    QVERIFY2(*fs_->peek(game / "Water.mp3") == original,
             qPrintable(QString::fromStdString(
                 "game file after Default: " + *fs_->peek(game / "Water.mp3") + "; kept in " +
                 "the game folder: " + fs_->peek(kept / "Water.mp3").value_or("-") + "; said: '" +
                 result.message + "'")));
}

void TestOriginalsPromise::faultAnywhereInSecondChangeKeepsOriginal_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<bool>("inPlace");
    const char *names[] = {"kill", "disk full", "io error", "read fails", "busy", "denied"};
    for (int fault = 0; fault < InMemoryFileSystem::faultKinds; ++fault) {
        QTest::newRow(names[fault]) << fault << false;
        QTest::newRow((std::string(names[fault]) + " in place").c_str()) << fault << true;
    }
}

void TestOriginalsPromise::faultAnywhereInSecondChangeKeepsOriginal()
{
    QFETCH(int, fault);
    QFETCH(bool, inPlace);
    const fs::path data = inPlace ? fs::path("/d") : fs::path();
    for (int after = 0; after < 400; after += faultStride()) {
        changedOnce(inPlace);
        fs_->arm(Fault(fault), after);
        change("b", data);
        fs_->revive();
        fs_->disarm();
        const QString where = QString("fault after %1 calls").arg(after);
        QVERIFY2(!keptIsSecondNameOfGameFile() || OriginalsFolder("/g/", *fs_, data).path() != kept,
                 qPrintable(where));
        const RunResult result = restoreAll(data);
        QVERIFY2(originalSurvives(data), qPrintable(where));
        QVERIFY2(*fs_->peek(game / "Water.mp3") == original,
                 qPrintable(where + ": " + QString::fromStdString(*fs_->peek(game / "Water.mp3")) +
                            " / " + QString::fromStdString(result.message)));
    }
}

void TestOriginalsPromise::faultAnywhereInDefaultKeepsOriginal_data()
{
    faultAnywhereInSecondChangeKeepsOriginal_data();
}

void TestOriginalsPromise::faultAnywhereInDefaultKeepsOriginal()
{
    QFETCH(int, fault);
    QFETCH(bool, inPlace);
    const fs::path data = inPlace ? fs::path("/d") : fs::path();
    for (int after = 0; after < 400; after += faultStride()) {
        changedOnce(inPlace);
        fs_->arm(Fault(fault), after);
        const RunResult first = restoreAll(data);
        const bool killed = fs_->killed();
        fs_->revive();
        fs_->disarm();
        const QString where = QString("fault after %1 calls").arg(after);
        const bool putBack = *fs_->peek(game / "Water.mp3") == original;
        // A restore counts only what it put back (a fault at its last read or flush may leave
        // a whole original it does not count, and says so), and names what it could not.
        QVERIFY2(killed || first.count <= (putBack ? 1 : 0),
                 qPrintable(where + QString(": counted %1, game file holds %2, said '%3'")
                                        .arg(first.count)
                                        .arg(QString::fromStdString(*fs_->peek(game / "Water.mp3")))
                                        .arg(QString::fromStdString(first.message))));
        QVERIFY2(killed || putBack || !first.message.empty(), qPrintable(where));
        QVERIFY2(originalSurvives(data), qPrintable(where));
        // Whatever the first Default left, a second one without faults finishes it.
        const RunResult second = restoreAll(data);
        QVERIFY2(*fs_->peek(game / "Water.mp3") == original,
                 qPrintable(where + ": " + QString::fromStdString(*fs_->peek(game / "Water.mp3")) +
                            " / " + QString::fromStdString(first.message) + " / " +
                            QString::fromStdString(second.message)));
    }
}

void TestOriginalsPromise::killInAnInPlaceWriteIsRepairedAtNextStart_data()
{
    QTest::addColumn<bool>("isDefault");
    QTest::newRow("second Change") << false;
    QTest::newRow("Default") << true;
}

void TestOriginalsPromise::killInAnInPlaceWriteIsRepairedAtNextStart()
{
    QFETCH(bool, isDefault);
    const fs::path data = "/d";
    const std::set<std::string> whole = {original, "pick a", "pick b"};
    int cutShort = 0;
    // Every call: the write in place is a few calls long, and a stride would step over it.
    // Default's comes last, some 460 calls in.
    for (int after = 0; after < 500; ++after) {
        changedOnce(true);
        fs_->arm(Fault::Kill, after);
        isDefault ? restoreAll(data) : change("b", data);
        fs_->revive();
        fs_->disarm();
        cutShort += whole.count(*fs_->peek(game / "Water.mp3")) ? 0 : 1;
        // The next start.
        OriginalsFolder("/g/", *fs_, data).cleanUpAfterKilledRun();
        const std::vector<std::string> left =
            OriginalsFolder("/g/", *fs_, data).repairCutShortFiles();
        const QString where = QString("kill after %1 calls").arg(after);
        QVERIFY2(left.empty(), qPrintable(where));
        QVERIFY2(whole.count(*fs_->peek(game / "Water.mp3")),
                 qPrintable(where + ": " + QString::fromStdString(*fs_->peek(game / "Water.mp3"))));
        QVERIFY2(originalSurvives(data), qPrintable(where));
        // What it made whole is this program's write still: Default puts the original back.
        restoreAll(data);
        QVERIFY2(*fs_->peek(game / "Water.mp3") == original, qPrintable(where));
    }
    QVERIFY(cutShort > 0);
}

void TestOriginalsPromise::defaultNeverWritesThroughALinkIntoTheOriginals()
{
    // Dirt's original is the pick the player once copied there; Water, which the program set
    // to that pick, becomes a link to it: its content says it is the program's write.
    QCOMPARE(change("a").outcome, RunResult::Outcome::Completed);
    fs_->put(game / "Dirt.mp3", "pick a");
    fs_->put(kept / "Dirt.mp3", "pick a");
    fs_->putLink(game / "Water.mp3", "Originals (Music Changer)/Dirt.mp3");
    const RunResult result = restoreAll();
    QVERIFY2(fs_->peek(kept / "Dirt.mp3") == std::string("pick a") &&
                 fs_->peek(kept / "Water.mp3") == original,
             result.message.c_str());
}

void TestOriginalsPromise::noWriteReachesAVersionSetAside_data()
{
    // How Water, which the program set to pick a, reaches a version set aside that holds the
    // same music: a link through a folder link, or a second name written in place.
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("hardLink");
    QTest::addColumn<bool>("byChange");
    QTest::newRow("Default, folder link to Superseded") << "Superseded" << false << false;
    QTest::newRow("Default, folder link to stand-ins") << "VirtualStore copies" << false << false;
    QTest::newRow("Default, second name in place") << "Superseded" << true << false;
    QTest::newRow("Change, second name in place") << "Superseded" << true << true;
}

void TestOriginalsPromise::noWriteReachesAVersionSetAside()
{
    QFETCH(QString, folder);
    QFETCH(bool, hardLink);
    QFETCH(bool, byChange);
    QCOMPARE(change("a").outcome, RunResult::Outcome::Completed);
    const fs::path aside = kept / folder.toStdString() / "Dirt 2020-01-01.mp3";
    fs_->putFolder(aside.parent_path());
    fs_->put(aside, "pick a");
    if (hardLink) {
        fs_->erase(game / "Water.mp3");
        QCOMPARE(fs_->hardLink(aside, game / "Water.mp3"), 0);
        fs_->setMode(game, 0555); // written in place
    } else {
        fs_->putLink(game / "Old music", "Originals (Music Changer)/" + folder.toStdString());
        fs_->putLink(game / "Water.mp3", "Old music/Dirt 2020-01-01.mp3");
    }
    const RunResult result = byChange ? change("b") : restoreAll();
    QVERIFY2(fs_->peek(aside) == std::string("pick a") && originalSurvives(),
             result.message.c_str());
}

void TestOriginalsPromise::recordUnreadAtASaveForgetsNoFile()
{
    // Default saves the record before it puts a file back in place. Where that reading of the
    // record fails, the next slots' files must still be known as this program's writes, or
    // their originals are set aside as though the game had changed them.
    const std::string hash(32, 'a');
    fs_->putFolder(kept);
    fs_->put(kept / "manifest.txt", std::string(core::OriginalsManifest::firstLine) +
                                        "\nWater.mp3\t5\t7\t" + hash + "\nInfernoTown.mp3\t6\t8\t" +
                                        hash + "\n");
    OriginalsManifest manifest(kept / "manifest.txt", *fs_);
    QCOMPARE(manifest.entry("InfernoTown.mp3").written.size(), std::size_t(1));
    manifest.setWritten("Water.mp3", {});
    fs_->arm(Fault::ReadFails, 0);
    QVERIFY(manifest.save());
    fs_->disarm();
    QCOMPARE(manifest.entry("InfernoTown.mp3").written.size(), std::size_t(1));
    QVERIFY(!manifest.save());
    QVERIFY(record().find("Water.mp3") == std::string::npos);
    QVERIFY(record().find("InfernoTown.mp3") != std::string::npos);
}

QTEST_GUILESS_MAIN(TestOriginalsPromise)
#include "tst_originalspromise.moc"
