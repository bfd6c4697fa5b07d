// SPDX-License-Identifier: GPL-3.0-or-later
#include "FaultyFileSystem.h"
#include "LanguageCodes.h"
#include "ScratchMount.h"
#include "SlotTextsForTests.h"
#include "TestFiles.h"
#include "files/RunLock.h"
#include "originals/OriginalsFolder.h"
#include "report/RunTexts.h"
#include "run/ReplacementRun.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <unistd.h>

using core::OriginalsFolder;
using core::ReplacementRun;
using core::RunResult;
using core::SlotTexts;
using languagecodes::english;
using runtexts::labels;
using runtexts::placeholders;
using testfiles::entries;
using testfiles::readBytes;
using testfiles::writeBytes;
using Call = FaultyFileSystem::Call;

class TestOriginalsFolder : public QObject
{
    Q_OBJECT

  private slots:
    void init();
    void originalIsKeptOnceAcrossRuns_data();
    void originalIsKeptOnceAcrossRuns();
    void overwriteInPlaceKeepsRealCopy();
    void missingGameFileIsRemovedOnRestore();
    void restoreAfterPartialRunRestoresChangedFilesOnly();
    void failureWhileKeepingStopsWithGameFileUntouched();
    void restoreGoesOnPastFailures();
    void restorePutsBackOnlyWhatThisProgramWrote();
    void gameUpdateBecomesKeptOriginalAtChange();
    void originalsGoToDataFolderWhereGameFolderTakesNone();
    void danglingLinkIsRestoredThroughItsTarget();
    void leftoversOfKilledRunsGoAtStart();
    void virtualStoreCopyIsParkedBesideTheGamesOwn_data();
    void virtualStoreCopyIsParkedBesideTheGamesOwn();
    void overwriteInPlaceCutShortStaysRestorable_data();
    void overwriteInPlaceCutShortStaysRestorable();
    void anotherCopyChangingTheFolderIsWaitedForThenRefused_data();
    void anotherCopyChangingTheFolderIsWaitedForThenRefused();
    void recordOfAnotherCopyIsKept();
    void lockFileOutlivesItsHolders();
    void writerStopsWhereTheOriginalsOrTheLockAreNotOurs_data();
    void writerStopsWhereTheOriginalsOrTheLockAreNotOurs();
    void gameFolderLockFileMovesNoOriginals_data();
    void gameFolderLockFileMovesNoOriginals();

  private:
    QString game(const QString &name = {}) const { return gameDir_->path() + "/" + name; }
    QString kept(const QString &name) const { return game("Originals (Music Changer)/" + name); }
    QString pick(int generation) const;
    std::string folder() const { return game().toStdString(); }
    RunResult run(const SlotTexts &texts, core::FileSystem &fs = core::FileSystem::native()) const
    {
        return ReplacementRun(slots_, fs).run(texts, labels(), folder(), english);
    }
    // Change of Water, Default, or a VirtualStore copy of Water moved in, in that language.
    RunResult act(const QString &action, int language, core::FileSystem &fs);
    // Every file of the game folder and of the folder given, with its content.
    QStringList snapshot(const QString &other = {}) const;

    const core::SlotTable slots_;
    std::unique_ptr<QTemporaryDir> gameDir_;
    std::unique_ptr<QTemporaryDir> musicDir_;
};

void TestOriginalsFolder::init()
{
    gameDir_ = std::make_unique<QTemporaryDir>();
    musicDir_ = std::make_unique<QTemporaryDir>();
    for (const char *name : {"CstleTown.mp3", "Dirt.mp3", "Water.mp3"})
        QVERIFY(writeBytes(game(name), std::string("game's own ") + name));
}

QString TestOriginalsFolder::pick(int generation) const
{
    const QString path = musicDir_->path() + "/pick" + QString::number(generation) + ".mp3";
    writeBytes(path, "pick " + std::to_string(generation));
    return path;
}

void TestOriginalsFolder::originalIsKeptOnceAcrossRuns_data()
{
    QTest::addColumn<bool>("linksWork");
    QTest::newRow("second name") << true;
    QTest::newRow("copy where links fail") << false;
}

void TestOriginalsFolder::originalIsKeptOnceAcrossRuns()
{
    QFETCH(bool, linksWork);
    FaultyFileSystem fs;
    if (!linksWork)
        fs.failOn(Call::HardLink, EPERM);
    const QDateTime modified = QFileInfo(game("Dirt.mp3")).lastModified();
    SlotTexts texts = placeholders(english);
    for (int generation = 1; generation <= 3; ++generation) {
        texts[9] = pick(generation).toStdString();
        QCOMPARE(run(texts, fs).outcome, RunResult::Outcome::Completed);
        QCOMPARE(readBytes(game("Dirt.mp3")), "pick " + std::to_string(generation));
        QCOMPARE(readBytes(kept("Dirt.mp3")), std::string("game's own Dirt.mp3"));
    }
    QCOMPARE(QFileInfo(kept("Dirt.mp3")).lastModified(), modified);
    QCOMPARE(entries(game("Originals (Music Changer)")),
             (QStringList{".vmc3-run.lock", "Dirt.mp3", "manifest.txt"}));
    QCOMPARE(OriginalsFolder(folder()).restorableCount(slots_), 1);
}

void TestOriginalsFolder::overwriteInPlaceKeepsRealCopy()
{
    // The folder takes no temporary file, so the game file is written in place: a second
    // name of it would change with it.
    FaultyFileSystem fs;
    // After the record of the originals folder, made first.
    fs.failOn(Call::CreateNew, EACCES, 1);
    SlotTexts texts = placeholders(english);
    texts[17] = pick(1).toStdString();
    QCOMPARE(run(texts, fs).outcome, RunResult::Outcome::Completed);
    QCOMPARE(readBytes(game("Water.mp3")), std::string("pick 1"));
    QCOMPARE(readBytes(kept("Water.mp3")), std::string("game's own Water.mp3"));
}

void TestOriginalsFolder::missingGameFileIsRemovedOnRestore()
{
    SlotTexts texts = placeholders(english);
    texts[10] = pick(1).toStdString();
    QCOMPARE(run(texts).outcome, RunResult::Outcome::Completed);
    QCOMPARE(readBytes(game("Grass.mp3")), std::string("pick 1"));
    QCOMPARE(entries(game("Originals (Music Changer)")),
             (QStringList{".vmc3-run.lock", "Grass.mp3.absent", "manifest.txt"}));

    OriginalsFolder originals(folder());
    QCOMPARE(originals.restore(slots_, labels(), english).count, 1);
    QVERIFY(!QFile::exists(game("Grass.mp3")));
    QVERIFY(originals.isKept("Grass.mp3"));
    QCOMPARE(originals.restorableCount(slots_), 0);
}

void TestOriginalsFolder::restoreAfterPartialRunRestoresChangedFilesOnly()
{
    SlotTexts texts = placeholders(english);
    texts[0] = pick(1).toStdString();
    texts[9] = musicDir_->path().toStdString() + "/missing.mp3";
    texts[17] = pick(2).toStdString();
    const RunResult result = run(texts);
    QCOMPARE(result.slot, 9);
    QCOMPARE(entries(game("Originals (Music Changer)")),
             (QStringList{".vmc3-run.lock", "CstleTown.mp3", "manifest.txt"}));

    QVERIFY(writeBytes(game("Water.mp3"), "changed by hand"));
    QCOMPARE(OriginalsFolder(folder()).restore(slots_, labels(), english).outcome,
             RunResult::Outcome::Completed);
    QCOMPARE(readBytes(game("CstleTown.mp3")), std::string("game's own CstleTown.mp3"));
    QCOMPARE(readBytes(game("Dirt.mp3")), std::string("game's own Dirt.mp3"));
    QCOMPARE(readBytes(game("Water.mp3")), std::string("changed by hand"));
    QCOMPARE(readBytes(kept("CstleTown.mp3")), std::string("game's own CstleTown.mp3"));
}

void TestOriginalsFolder::failureWhileKeepingStopsWithGameFileUntouched()
{
    FaultyFileSystem fs;
    fs.failOn(Call::HardLink, EPERM);
    // The game files' temporary files and the record are made; the kept copy's temporary
    // file is not: the disk is full.
    fs.failOn(Call::CreateNew, ENOSPC, 1, kept("").toStdString());
    SlotTexts texts = placeholders(english);
    texts[0] = pick(1).toStdString();
    texts[9] = pick(2).toStdString();
    const RunResult result = run(texts, fs);
    QCOMPARE(result.slot, 0);
    QCOMPARE(result.code, 61);
    QCOMPARE(readBytes(game("CstleTown.mp3")), std::string("game's own CstleTown.mp3"));
    QCOMPARE(readBytes(game("Dirt.mp3")), std::string("game's own Dirt.mp3"));
    QCOMPARE(entries(game()),
             (QStringList{"CstleTown.mp3", "Dirt.mp3", "Originals (Music Changer)", "Water.mp3"}));
    QCOMPARE(entries(game("Originals (Music Changer)")),
             (QStringList{".vmc3-run.lock", "manifest.txt"}));
}

void TestOriginalsFolder::restoreGoesOnPastFailures()
{
    SlotTexts texts = placeholders(english);
    texts[0] = pick(1).toStdString();
    texts[10] = pick(2).toStdString();
    texts[13] = pick(3).toStdString();
    texts[17] = pick(4).toStdString();
    QCOMPARE(run(texts).outcome, RunResult::Outcome::Completed);

    FaultyFileSystem fs;
    fs.failOn(Call::Remove, EACCES);
    fs.failOn(Call::CreateNew, ENOSPC, 1);
    const RunResult result = OriginalsFolder(folder(), fs).restore(slots_, labels(), english);
    QCOMPARE(result.slot, 10);
    QCOMPARE(result.count, 2);
    QCOMPARE(
        QString::fromStdString(result.message),
        QStringLiteral("There was a fault during the copying atGrass.mp3. The error code is: 70.\n"
                       "Access denied\n"
                       "There was a fault during the copying atWater.mp3. The error code is: 61.\n"
                       "The disk is full"));
    QCOMPARE(readBytes(game("CstleTown.mp3")), std::string("game's own CstleTown.mp3"));
    QCOMPARE(readBytes(game("Grass.mp3")), std::string("pick 2"));
    QVERIFY(!QFile::exists(game("Sand.mp3")));
    QCOMPARE(readBytes(game("Water.mp3")), std::string("pick 4"));
    QCOMPARE(OriginalsFolder(folder()).restorableCount(slots_), 2);
}

void TestOriginalsFolder::restorePutsBackOnlyWhatThisProgramWrote()
{
    SlotTexts texts = placeholders(english);
    texts[0] = pick(1).toStdString();
    texts[9] = pick(2).toStdString();
    texts[10] = pick(3).toStdString();
    QCOMPARE(run(texts).outcome, RunResult::Outcome::Completed);
    // A game update writes its own Dirt.mp3 and Grass.mp3 (which the game lacked before).
    QVERIFY(writeBytes(game("Dirt.mp3"), "update's Dirt.mp3"));
    QVERIFY(writeBytes(game("Grass.mp3"), "update's Grass.mp3"));
    QCOMPARE(OriginalsFolder(folder()).restorableCount(slots_), 1);

    const RunResult result = OriginalsFolder(folder()).restore(slots_, labels(), english);
    QCOMPARE(result.count, 1);
    QCOMPARE(readBytes(game("CstleTown.mp3")), std::string("game's own CstleTown.mp3"));
    QCOMPARE(readBytes(game("Dirt.mp3")), std::string("update's Dirt.mp3"));
    QCOMPARE(readBytes(game("Grass.mp3")), std::string("update's Grass.mp3"));
    // The kept files of the updated slots are set aside, never deleted.
    QCOMPARE(entries(game("Originals (Music Changer)")),
             (QStringList{".vmc3-run.lock", "CstleTown.mp3", "Superseded", "manifest.txt"}));
    const QString today = QDate::currentDate().toString(Qt::ISODate);
    QCOMPARE(entries(kept("Superseded")),
             (QStringList{"Dirt " + today + ".mp3", "Grass.mp3 " + today + ".absent"}));
    QCOMPARE(readBytes(kept("Superseded/Dirt " + today + ".mp3")),
             std::string("game's own Dirt.mp3"));
}

void TestOriginalsFolder::gameUpdateBecomesKeptOriginalAtChange()
{
    SlotTexts texts = placeholders(english);
    texts[9] = pick(1).toStdString();
    QCOMPARE(run(texts).outcome, RunResult::Outcome::Completed);
    QVERIFY(writeBytes(game("Dirt.mp3"), "update's Dirt.mp3"));
    texts[9] = pick(2).toStdString();
    QCOMPARE(run(texts).outcome, RunResult::Outcome::Completed);
    QCOMPARE(readBytes(kept("Dirt.mp3")), std::string("update's Dirt.mp3"));
    const QString aside =
        kept("Superseded/Dirt " + QDate::currentDate().toString(Qt::ISODate) + ".mp3");
    QCOMPARE(readBytes(aside), std::string("game's own Dirt.mp3"));
    QCOMPARE(OriginalsFolder(folder()).restore(slots_, labels(), english).count, 1);
    QCOMPARE(readBytes(game("Dirt.mp3")), std::string("update's Dirt.mp3"));
}

void TestOriginalsFolder::originalsGoToDataFolderWhereGameFolderTakesNone()
{
    // The game folder takes neither a folder nor a temporary file; its files may be written.
    QTemporaryDir data;
    FaultyFileSystem fs;
    fs.failOn(Call::CreateFolder, EACCES, 0, game().toStdString());
    fs.failOn(Call::CreateNew, EACCES, 0, game().toStdString());
    SlotTexts texts = placeholders(english);
    texts[17] = pick(1).toStdString();
    QCOMPARE(ReplacementRun(slots_, fs, data.path().toStdString())
                 .run(texts, labels(), folder(), english)
                 .outcome,
             RunResult::Outcome::Completed);
    QCOMPARE(readBytes(game("Water.mp3")), std::string("pick 1"));
    QVERIFY(!QFile::exists(game("Originals (Music Changer)")));

    OriginalsFolder originals(folder(), core::FileSystem::native(), data.path().toStdString());
    const QString place = QString::fromStdString(originals.path().string());
    QVERIFY(place.startsWith(data.path() + "/originals/"));
    QCOMPARE(readBytes(place + "/game folder.txt"), game().chopped(1).toStdString() + "\n");
    QCOMPARE(readBytes(place + "/Water.mp3"), std::string("game's own Water.mp3"));
    QCOMPARE(originals.restore(slots_, labels(), english).count, 1);
    QCOMPARE(readBytes(game("Water.mp3")), std::string("game's own Water.mp3"));
}

void TestOriginalsFolder::danglingLinkIsRestoredThroughItsTarget()
{
    // The game file is a link to a file on another disk that is not there yet.
    QVERIFY(QFile::link(musicDir_->path() + "/elsewhere.mp3", game("Grass.mp3")));
    SlotTexts texts = placeholders(english);
    texts[10] = pick(1).toStdString();
    QCOMPARE(run(texts).outcome, RunResult::Outcome::Completed);
    QCOMPARE(readBytes(musicDir_->path() + "/elsewhere.mp3"), std::string("pick 1"));
    QCOMPARE(OriginalsFolder(folder()).restore(slots_, labels(), english).count, 1);
    QVERIFY(QFileInfo(game("Grass.mp3")).isSymLink());
    QVERIFY(!QFile::exists(musicDir_->path() + "/elsewhere.mp3"));
}

void TestOriginalsFolder::leftoversOfKilledRunsGoAtStart()
{
    namespace fs = std::filesystem;
    const auto start = fs::file_time_type::clock::now();
    const QString killed = game(".vmc3-0123456789abcdef.tmp");
    const QString running = game(".vmc3-fedcba9876543210.tmp");
    for (const QString &leftover : {killed, running, game(".vmc3-notours.tmp")})
        QVERIFY(writeBytes(leftover, "part of a song"));
    fs::last_write_time(killed.toStdString(), start - std::chrono::hours(1));
    fs::last_write_time(running.toStdString(), start + std::chrono::hours(1));
    QVERIFY(QDir().mkdir(kept("")));
    {
        // Another copy of the program is writing there.
        const core::RunLock otherCopy(kept("").toStdString());
        QCOMPARE(otherCopy.outcome(), core::RunLock::Outcome::Held);
        OriginalsFolder(folder()).cleanUpAfterKilledRun(start);
        QVERIFY(QFile::exists(killed));
    }
    OriginalsFolder(folder()).cleanUpAfterKilledRun(start);
    QCOMPARE(entries(game()),
             (QStringList{".vmc3-fedcba9876543210.tmp", ".vmc3-notours.tmp", "CstleTown.mp3",
                          "Dirt.mp3", "Originals (Music Changer)", "Water.mp3"}));
}

void TestOriginalsFolder::virtualStoreCopyIsParkedBesideTheGamesOwn_data()
{
    QTest::addColumn<bool>("changedBefore");
    QTest::newRow("new originals folder") << false;
    QTest::newRow("originals folder with its record") << true;
}

void TestOriginalsFolder::virtualStoreCopyIsParkedBesideTheGamesOwn()
{
    QFETCH(bool, changedBefore);
    SlotTexts texts = placeholders(english);
    if (changedBefore) {
        texts[0] = pick(1).toStdString();
        QCOMPARE(run(texts).outcome, RunResult::Outcome::Completed);
    }
    // What an old tool wrote, virtualised by Windows: the file the game played.
    QTemporaryDir store;
    const QString copy = store.path() + "/Water.mp3";
    QVERIFY(writeBytes(copy, "old tool's Water.mp3"));
    const RunResult moved =
        OriginalsFolder(folder()).takeIn({{copy.toStdString(), "Water.mp3"}}, english);
    QCOMPARE(moved.outcome, RunResult::Outcome::Completed);
    QVERIFY(!QFile::exists(copy));
    QCOMPARE(readBytes(kept("VirtualStore copies/Water.mp3")), std::string("old tool's Water.mp3"));
    QCOMPARE(readBytes(kept("Water.mp3")), std::string("game's own Water.mp3"));
    QVERIFY(readBytes(kept("manifest.txt"))
                .find("Water.mp3\tmoved in\tVirtualStore copies/Water.mp3\t" + copy.toStdString() +
                      "\n") != std::string::npos);
    QCOMPARE(OriginalsFolder(folder()).restorableCount(slots_), changedBefore ? 1 : 0);

    texts[17] = pick(2).toStdString();
    QCOMPARE(run(texts).outcome, RunResult::Outcome::Completed);
    QCOMPARE(OriginalsFolder(folder()).restore(slots_, labels(), english).count,
             changedBefore ? 2 : 1);
    QCOMPARE(readBytes(game("Water.mp3")), std::string("game's own Water.mp3"));
    QCOMPARE(readBytes(kept("VirtualStore copies/Water.mp3")), std::string("old tool's Water.mp3"));
}

void TestOriginalsFolder::overwriteInPlaceCutShortStaysRestorable_data()
{
    QTest::addColumn<bool>("thenChange");
    QTest::newRow("then Default") << false;
    QTest::newRow("then Change") << true;
}

void TestOriginalsFolder::overwriteInPlaceCutShortStaysRestorable()
{
    // The game folder takes no new file, its files may be written; the disk fills after
    // 1 MiB of the overwrite, leaving the game file neither old nor new.
    QFETCH(bool, thenChange);
    QTemporaryDir data;
    const std::string dataFolder = data.path().toStdString();
    const auto inPlaceOnly = [&](FaultyFileSystem &fs) {
        fs.failOn(Call::CreateFolder, EACCES, 0, game().toStdString(), true);
        fs.failOn(Call::CreateNew, EACCES, 0, game().toStdString(), true);
    };
    const QString big = musicDir_->path() + "/big.mp3";
    QVERIFY(writeBytes(big, testfiles::pattern('b', 3 * 1024 * 1024)));
    SlotTexts texts = placeholders(english);
    texts[17] = big.toStdString();
    FaultyFileSystem full;
    inPlaceOnly(full);
    full.failOn(Call::WriteInPlace, ENOSPC, 1);
    const RunResult failed =
        ReplacementRun(slots_, full, dataFolder).run(texts, labels(), folder(), english);
    QCOMPARE(failed.slot, 17);
    QCOMPARE(failed.code, 61);
    QCOMPARE(QFileInfo(game("Water.mp3")).size(), 1024 * 1024);
    OriginalsFolder originals(folder(), core::FileSystem::native(), dataFolder);
    const QString keptWater = QString::fromStdString(originals.path().string()) + "/Water.mp3";
    QCOMPARE(originals.restorableCount(slots_), 1);

    FaultyFileSystem fs;
    inPlaceOnly(fs);
    if (thenChange) {
        texts[17] = pick(2).toStdString();
        QCOMPARE(
            ReplacementRun(slots_, fs, dataFolder).run(texts, labels(), folder(), english).outcome,
            RunResult::Outcome::Completed);
        QCOMPARE(readBytes(game("Water.mp3")), std::string("pick 2"));
        QCOMPARE(readBytes(keptWater), std::string("game's own Water.mp3"));
    }
    QCOMPARE(OriginalsFolder(folder(), fs, dataFolder).restore(slots_, labels(), english).count, 1);
    QCOMPARE(readBytes(game("Water.mp3")), std::string("game's own Water.mp3"));
    QCOMPARE(readBytes(keptWater), std::string("game's own Water.mp3"));
}

void TestOriginalsFolder::anotherCopyChangingTheFolderIsWaitedForThenRefused_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("message");
    const QString english = "Another copy of the program is changing this folder.";
    const QString hungarian = "A program egy másik példánya éppen ezt a mappát módosítja.";
    QTest::newRow("Change") << "change" << 2 << english;
    QTest::newRow("Default") << "default" << 1 << hungarian;
    QTest::newRow("VirtualStore move") << "take in" << 2 << english;
}

void TestOriginalsFolder::anotherCopyChangingTheFolderIsWaitedForThenRefused()
{
    QFETCH(QString, action);
    QFETCH(int, language);
    QFETCH(QString, message);
    SlotTexts texts = placeholders(english);
    texts[0] = pick(1).toStdString();
    QCOMPARE(run(texts).outcome, RunResult::Outcome::Completed);
    const QStringList gameBefore = entries(game());
    const std::string recordBefore = readBytes(kept("manifest.txt"));
    QTemporaryDir store;
    QVERIFY(writeBytes(store.path() + "/Water.mp3", "old tool's Water.mp3"));

    const core::RunLock otherCopy(kept("").toStdString());
    QCOMPARE(otherCopy.outcome(), core::RunLock::Outcome::Held);
    RunResult result;
    texts[17] = pick(2).toStdString();
    // The window tells the player what the run waits for.
    bool toldWaiting = action == "take in";
    if (action == "change")
        result = ReplacementRun(slots_).run(
            texts, labels(), folder(), std::uint8_t(language),
            [&](const core::RunProgress &now) { toldWaiting = now.waitingForOtherCopy; });
    else if (action == "default")
        result = OriginalsFolder(folder()).restore(slots_, labels(), std::uint8_t(language),
                                                   std::nullopt, [&] { toldWaiting = true; });
    else
        result = OriginalsFolder(folder()).takeIn(
            {{(store.path() + "/Water.mp3").toStdString(), "Water.mp3"}}, std::uint8_t(language));
    QCOMPARE(result.outcome, RunResult::Outcome::Busy);
    QVERIFY(toldWaiting);
    QCOMPARE(QString::fromStdString(result.message), message);
    QCOMPARE(entries(game()), gameBefore);
    QCOMPARE(readBytes(game("CstleTown.mp3")), std::string("pick 1"));
    QCOMPARE(readBytes(game("Water.mp3")), std::string("game's own Water.mp3"));
    QCOMPARE(readBytes(kept("manifest.txt")), recordBefore);
    QCOMPARE(entries(game("Originals (Music Changer)")),
             (QStringList{".vmc3-run.lock", "CstleTown.mp3", "manifest.txt"}));
    QVERIFY(QFile::exists(store.path() + "/Water.mp3"));
}

void TestOriginalsFolder::recordOfAnotherCopyIsKept()
{
    SlotTexts texts = placeholders(english);
    texts[0] = pick(1).toStdString();
    QCOMPARE(run(texts).outcome, RunResult::Outcome::Completed);
    // One copy reads the record; another changes Water meanwhile; the first then restores.
    OriginalsFolder first(folder());
    QCOMPARE(first.restorableCount(slots_), 1);
    SlotTexts other = placeholders(english);
    other[17] = pick(2).toStdString();
    QCOMPARE(run(other).outcome, RunResult::Outcome::Completed);
    QCOMPARE(first.restore(slots_, labels(), english).count, 2);
    QCOMPARE(readBytes(game("CstleTown.mp3")), std::string("game's own CstleTown.mp3"));
    QCOMPARE(readBytes(game("Water.mp3")), std::string("game's own Water.mp3"));
    QCOMPARE(readBytes(kept("Water.mp3")), std::string("game's own Water.mp3"));
}

void TestOriginalsFolder::lockFileOutlivesItsHolders()
{
    // A copy opens the lock file while another holds it, and locks it only after the
    // holder let go and a third copy took the lock: it must find the lock held.
    auto holder = std::make_unique<core::RunLock>(folder());
    QCOMPARE(holder->outcome(), core::RunLock::Outcome::Held);
    const int early = ::open(game(".vmc3-run.lock").toLocal8Bit().constData(), O_RDWR | O_CLOEXEC);
    QVERIFY(early >= 0);
    holder.reset();
    const core::RunLock third(folder());
    QCOMPARE(third.outcome(), core::RunLock::Outcome::Held);
    const bool earlyLocked = ::flock(early, LOCK_EX | LOCK_NB) == 0;
    ::close(early);
    QVERIFY(!earlyLocked);
}

RunResult TestOriginalsFolder::act(const QString &action, int language, core::FileSystem &fs)
{
    const auto code = std::uint8_t(language);
    const QString copy = musicDir_->path() + "/Water.mp3";
    if (action == "default")
        return OriginalsFolder(folder(), fs).restore(slots_, labels(), code);
    if (action == "take in" && writeBytes(copy, "old tool's Water.mp3"))
        return OriginalsFolder(folder(), fs).takeIn({{copy.toStdString(), "Water.mp3"}}, code);
    SlotTexts texts = placeholders(code);
    texts[17] = pick(9).toStdString();
    return ReplacementRun(slots_, fs).run(texts, labels(), folder(), code);
}

QStringList TestOriginalsFolder::snapshot(const QString &other) const
{
    QStringList files;
    for (const QString &folder : {game(), kept(""), other}) {
        for (const QString &name : folder.isEmpty() ? QStringList() : entries(folder)) {
            const QFileInfo file(folder + "/" + name);
            files << folder + name + ": " + file.symLinkTarget() +
                         (file.isFile() ? QString::fromStdString(readBytes(folder + "/" + name))
                                        : QString());
        }
    }
    return files;
}

void TestOriginalsFolder::writerStopsWhereTheOriginalsOrTheLockAreNotOurs_data()
{
    // What is where the originals folder or its lock file should be, the writer, the
    // language and what the player is told, %1 the lock file or the originals folder.
    QTest::addColumn<QString>("inPlace");
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("message");
    const QString en = "Nothing was changed: the lock file %1, which keeps two copies of the "
                       "program from changing the game's music at once, cannot be taken: %2.";
    const QString hu = "Semmi sem változott: a(z) %1 zárolófájl, amely megakadályozza, hogy a "
                       "program két példánya egyszerre módosítsa a játék zenéit, nem vehető "
                       "használatba: %2.";
    const QString link = "Nothing was changed: the folder of the game's kept original music, %1, "
                         "is a link. The program keeps the originals only in a folder of its own; "
                         "remove the link and try again.";
    QTest::newRow("lock: folder, Change")
        << "lock folder"
        << "change" << 2 << en.arg("%1", "a folder is in its place");
    QTest::newRow("lock: dangling link, Default")
        << "lock dangling"
        << "default" << 1 << hu.arg("%1", "a helyén egy hivatkozás (link) van");
    QTest::newRow("lock: read-only originals folder, Change")
        << "read-only"
        << "change" << 1 << hu.arg("%1", "A fájl vagy a lemez csak olvasható");
    QTest::newRow("lock: no originals folder can be made, Change")
        << "no folder"
        << "change" << 2 << en.arg("%1", "Access denied");
    QTest::newRow("originals: link to another folder, Change") << "link elsewhere"
                                                               << "change" << 2 << link;
    QTest::newRow("originals: link to the game folder, VirtualStore move")
        << "link to game"
        << "take in" << 1
        << QString("Semmi sem változott: a játék megőrzött eredeti zenéinek mappája (%1) "
                   "hivatkozás (link). A program csak a saját mappájában őrzi az eredeti zenéket; "
                   "töröld a hivatkozást, és próbáld újra.");
    QTest::newRow("originals: the game folder mounted there, Change")
        << "game mounted"
        << "change" << 2
        << QString("Nothing was changed: the folder of the game's kept original music, %1, is the "
                   "game music folder itself.");
}

void TestOriginalsFolder::writerStopsWhereTheOriginalsOrTheLockAreNotOurs()
{
    QFETCH(QString, inPlace);
    QFETCH(QString, action);
    QFETCH(int, language);
    QFETCH(QString, message);
    FaultyFileSystem fs;
    std::unique_ptr<ScratchMount> mount;
    const QString originals = game("Originals (Music Changer)");
    const QString elsewhere = musicDir_->path() + "/elsewhere";
    QVERIFY(QDir().mkdir(elsewhere));
    if (inPlace.startsWith("lock")) {
        SlotTexts texts = placeholders(english);
        texts[17] = pick(1).toStdString();
        QCOMPARE(run(texts).outcome, RunResult::Outcome::Completed);
        QVERIFY(QFile::remove(kept(".vmc3-run.lock")));
        QVERIFY(inPlace == "lock folder" ? QDir().mkdir(kept(".vmc3-run.lock"))
                                         : QFile::link(game("gone"), kept(".vmc3-run.lock")));
    } else if (inPlace == "read-only") {
        // An originals folder that an earlier version made, and that no one may write now.
        QVERIFY(QDir().mkdir(originals));
        mount = std::make_unique<ScratchMount>(originals, "size=64k");
        if (!mount->mounted() || !writeBytes(kept("Water.mp3"), "game's own") ||
            !mount->makeReadOnly())
            QSKIP("needs root to mount a read-only folder");
    } else if (inPlace == "no folder") {
        fs.failOn(Call::CreateFolder, EACCES, 0, game().toStdString(), true);
    } else if (inPlace == "game mounted") {
        QVERIFY(QDir().mkdir(originals));
        if (::mount(folder().c_str(), originals.toLocal8Bit().constData(), nullptr, MS_BIND,
                    nullptr) != 0)
            QSKIP("needs root to mount the game folder a second time");
    } else {
        QVERIFY(QFile::link(inPlace == "link to game" ? game() : elsewhere, originals));
    }
    const QStringList before = snapshot(elsewhere);

    const RunResult result = act(action, language, fs);
    const QStringList after = snapshot(elsewhere);
    if (inPlace == "game mounted")
        ::umount2(originals.toLocal8Bit().constData(), MNT_DETACH);
    QCOMPARE(result.outcome, RunResult::Outcome::Failed);
    const QString named = message.contains("lock file") || message.contains("zárolófájl")
                              ? kept(".vmc3-run.lock")
                              : originals;
    QCOMPARE(QString::fromStdString(result.message), message.arg(named));
    QCOMPARE(after, before);
}

void TestOriginalsFolder::gameFolderLockFileMovesNoOriginals_data()
{
    // What is in the game folder where earlier versions kept the lock, and whether it goes.
    QTest::addColumn<QString>("inPlace");
    QTest::addColumn<bool>("removed");
    QTest::newRow("lock file of an earlier version") << "file" << true;
    QTest::newRow("folder") << "folder" << false;
    QTest::newRow("dangling link") << "dangling link" << false;
}

void TestOriginalsFolder::gameFolderLockFileMovesNoOriginals()
{
    QFETCH(QString, inPlace);
    QFETCH(bool, removed);
    const QString older = game(".vmc3-run.lock");
    QVERIFY(inPlace == "file"     ? writeBytes(older, "")
            : inPlace == "folder" ? QDir().mkdir(older)
                                  : QFile::link(game("gone"), older));
    QTemporaryDir data;
    SlotTexts texts = placeholders(english);
    texts[17] = pick(1).toStdString();
    QCOMPARE(ReplacementRun(slots_, core::FileSystem::native(), data.path().toStdString())
                 .run(texts, labels(), folder(), english)
                 .outcome,
             RunResult::Outcome::Completed);
    QCOMPARE(readBytes(kept("Water.mp3")), std::string("game's own Water.mp3"));
    QVERIFY(entries(data.path()).isEmpty());
    QCOMPARE(QFileInfo::exists(older) || QFileInfo(older).isSymLink(), !removed);
}

QTEST_APPLESS_MAIN(TestOriginalsFolder)
#include "tst_originalsfolder.moc"
