// SPDX-License-Identifier: GPL-3.0-or-later
#include "AudioFixtures.h"
#include "FaultyFileSystem.h"
#include "LanguageCodes.h"
#include "TestFiles.h"
#include "files/AtomicFileWriter.h"
#include "originals/OriginalsFolder.h"
#include "report/RunTexts.h"
#include "run/ReplacementRun.h"

#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <functional>
#include <random>
#include <set>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using languagecodes::english;
using testfiles::entries;
using testfiles::readBytes;
using testfiles::writeBytes;

namespace {

constexpr int chosenSlots = 8;
constexpr std::size_t fileSize = 3 * 1024 * 1024 + 11;
constexpr int kills = 150;
constexpr int restoreKills = 50;

// The content of a slot's file in a given generation: one byte throughout, and the slot
// and generation in front, so that a mixture of two generations cannot pass.
std::string content(int slot, int generation)
{
    std::string bytes(fileSize, char('a' + (generation + slot) % 26));
    const std::string stamp = std::to_string(slot) + ":" + std::to_string(generation) + ";";
    bytes.replace(0, stamp.size(), stamp);
    return bytes;
}

// Kills its own process before a chosen write over a game file in place: a moment that a
// random kill seldom meets, since such a write is over quickly.
class KillingFileSystem : public FaultyFileSystem
{
  public:
    explicit KillingFileSystem(int writesBefore) : writesBefore_(writesBefore) {}

    core::SystemError openForOverwrite(const std::filesystem::path &path, Handle &handle) override
    {
        const core::SystemError error = FaultyFileSystem::openForOverwrite(path, handle);
        if (error == 0)
            inPlace_.insert(handle);
        return error;
    }
    void close(Handle handle) override
    {
        inPlace_.erase(handle);
        FaultyFileSystem::close(handle);
    }
    core::SystemError write(Handle handle, const char *data, std::size_t size) override
    {
        if (inPlace_.count(handle) != 0 && writes_++ == writesBefore_)
            ::raise(SIGKILL);
        return FaultyFileSystem::write(handle, data, size);
    }

  private:
    int writesBefore_;
    int writes_ = 0;
    std::set<Handle> inPlace_;
};

} // namespace

// A replacement run or a restore killed at any moment leaves every game file and every kept
// original whole: old bytes or new ones. Temporary files it leaves are ours alone and the
// next run removes them.
class TestCrashConsistency : public QObject
{
    Q_OBJECT

  private slots:
    void killedRunsLeaveEveryFileWhole();
    void killedConvertingRunsLeaveEveryFileWhole();
    void killedOverwritesInPlaceStayRestorable();

  private:
    // Runs the work in a child process killed at a random moment within the time a run takes.
    void runAndKill(const std::function<void()> &work, useconds_t within = 40000)
    {
        const pid_t child = fork();
        if (child == 0) {
            work();
            _exit(0);
        }
        usleep(useconds_t(random_() % within));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
    }
    // Runs the work in a child process that kills itself at its own kill point, if it
    // reaches it.
    static void runToKillPoint(const std::function<void()> &work)
    {
        const pid_t child = fork();
        if (child == 0) {
            work();
            _exit(0);
        }
        int status = 0;
        waitpid(child, &status, 0);
    }

    std::mt19937 random_{7};
};

void TestCrashConsistency::killedRunsLeaveEveryFileWhole()
{
    QTemporaryDir game;
    QTemporaryDir music;
    const core::SlotTable slotTable;
    const auto target = [&](int slot) {
        return game.path() + "/" + QString::fromStdString(slotTable.targetFileName(slot));
    };
    const auto kept = [&](int slot) {
        return game.path() + "/Originals (Music Changer)/" +
               QString::fromStdString(slotTable.targetFileName(slot));
    };
    const auto originalsAreWhole = [&] {
        for (int slot = 0; slot < chosenSlots; ++slot) {
            if (QFile::exists(kept(slot)) && readBytes(kept(slot)) != content(slot, 0))
                return false;
        }
        return true;
    };
    std::vector<int> generationOf(chosenSlots, 0);
    for (int slot = 0; slot < chosenSlots; ++slot)
        QVERIFY(writeBytes(target(slot), content(slot, 0)));
    QVERIFY(writeBytes(game.path() + "/readme.txt", "not ours"));
    QVERIFY(writeBytes(game.path() + "/.vmc3-notours.tmp", "not ours either"));

    core::SlotTexts texts;
    core::SlotTexts labels;
    texts.fill(std::string(core::RunTexts::forLanguage(english).placeholder));
    for (int i = 0; i < core::slotCount; ++i)
        labels[i] = std::string(core::SlotTable::slot(i).label);

    int leftoversSeen = 0;
    for (int generation = 1; generation <= kills; ++generation) {
        for (int slot = 0; slot < chosenSlots; ++slot) {
            const QString source = music.path() + "/pick" + QString::number(slot) + ".mp3";
            QVERIFY(writeBytes(source, content(slot, generation)));
            texts[slot] = source.toStdString();
        }
        runAndKill([&] {
            core::ReplacementRun(slotTable).run(texts, labels, game.path().toStdString() + "/",
                                                english);
        });

        for (int slot = 0; slot < chosenSlots; ++slot) {
            const std::string now = readBytes(target(slot));
            if (now == content(slot, generation)) {
                generationOf[slot] = generation;
                continue;
            }
            QVERIFY2(now == content(slot, generationOf[slot]),
                     qPrintable(QStringLiteral("slot %1 is neither old nor new after kill %2")
                                    .arg(slot)
                                    .arg(generation)));
        }
        for (const QString &name : entries(game.path())) {
            if (core::AtomicFileWriter::isTemporaryFileName(name.toStdString()))
                ++leftoversSeen;
        }
        QCOMPARE(readBytes(game.path() + "/readme.txt"), std::string("not ours"));
        QVERIFY(originalsAreWhole());
        // What the manifest says agrees with the files: every changed slot, and no other,
        // can be restored.
        int changed = 0;
        for (int slot = 0; slot < chosenSlots; ++slot)
            changed += generationOf[slot] != 0 ? 1 : 0;
        core::OriginalsFolder afterKill(game.path().toStdString() + "/");
        QCOMPARE(afterKill.restorableCount(slotTable, core::OriginalsFolder::Check::Content),
                 changed);
    }
    qInfo("%d killed runs left every file whole; %d temporary files were left behind", kills,
          leftoversSeen);

    // A run that is not killed removes what killed runs left, and nothing else.
    const core::RunResult result = core::ReplacementRun(slotTable).run(
        texts, labels, game.path().toStdString() + "/", english);
    QCOMPARE(result.outcome, core::RunResult::Outcome::Completed);
    QStringList expected = {".vmc3-notours.tmp", "Originals (Music Changer)", "readme.txt"};
    for (int slot = 0; slot < chosenSlots; ++slot)
        expected << QString::fromStdString(slotTable.targetFileName(slot));
    expected.sort();
    QCOMPARE(entries(game.path()), expected);
    QCOMPARE(readBytes(game.path() + "/.vmc3-notours.tmp"), std::string("not ours either"));
    for (int slot = 0; slot < chosenSlots; ++slot)
        QCOMPARE(readBytes(kept(slot)), content(slot, 0));

    // Restores killed at any moment: each game file is the last run's or the original.
    core::OriginalsFolder originals(game.path().toStdString() + "/");
    for (int attempt = 0; attempt < restoreKills; ++attempt) {
        runAndKill([&] { originals.restore(slotTable, labels, english); });
        for (int slot = 0; slot < chosenSlots; ++slot) {
            const std::string now = readBytes(target(slot));
            QVERIFY(now == content(slot, kills) || now == content(slot, 0));
        }
        QVERIFY(originalsAreWhole());
    }
    QCOMPARE(originals.restore(slotTable, labels, english).outcome,
             core::RunResult::Outcome::Completed);
    for (int slot = 0; slot < chosenSlots; ++slot)
        QCOMPARE(readBytes(target(slot)), content(slot, 0));
    QCOMPARE(entries(game.path()), expected);
}

void TestCrashConsistency::killedConvertingRunsLeaveEveryFileWhole()
{
    // Conversions are made alike every time: a game file is the game's own or the one MP3.
    QTemporaryDir game;
    QTemporaryDir reference;
    const core::SlotTable slotTable;
    const QString gameOwn = audiofixtures::path("game-22k-mono.mp3");
    const std::vector<int> converted = {0, 9, 10, 17};
    core::SlotTexts texts;
    texts.fill(std::string(core::RunTexts::forLanguage(english).placeholder));
    core::SlotTexts labels = texts;
    for (const int slot : converted) {
        const QString name = QString::fromStdString(slotTable.targetFileName(slot));
        QVERIFY(QFile::copy(gameOwn, game.path() + "/" + name));
        QVERIFY(QFile::copy(gameOwn, reference.path() + "/" + name));
        texts[slot] = audiofixtures::path("tone.flac").toStdString();
    }
    const auto convert = [&](const QString &folder) {
        return core::ReplacementRun(slotTable, core::FileSystem::native(), {},
                                    &core::AudioCodecs::builtIn())
            .run(texts, labels, folder.toStdString() + "/", english);
    };
    QCOMPARE(convert(reference.path()).outcome, core::RunResult::Outcome::Completed);

    const auto isWhole = [&](const QString &file, int slot) {
        const std::string now = readBytes(file);
        const QString name = QString::fromStdString(slotTable.targetFileName(slot));
        return now == readBytes(gameOwn) || now == readBytes(reference.path() + "/" + name);
    };
    for (int attempt = 0; attempt < 40; ++attempt) {
        runAndKill([&] { convert(game.path()); });
        for (const int slot : converted) {
            const QString name = QString::fromStdString(slotTable.targetFileName(slot));
            QVERIFY2(isWhole(game.path() + "/" + name, slot), qPrintable(name));
            const QString kept = game.path() + "/Originals (Music Changer)/" + name;
            QVERIFY(!QFile::exists(kept) || readBytes(kept) == readBytes(gameOwn));
        }
    }
    QCOMPARE(convert(game.path()).outcome, core::RunResult::Outcome::Completed);
    QCOMPARE(core::OriginalsFolder(game.path().toStdString() + "/")
                 .restore(slotTable, labels, english)
                 .count,
             int(converted.size()));
    for (const int slot : converted)
        QCOMPARE(
            readBytes(game.path() + "/" + QString::fromStdString(slotTable.targetFileName(slot))),
            readBytes(gameOwn));
}

void TestCrashConsistency::killedOverwritesInPlaceStayRestorable()
{
    // The game folder takes no new file but its files may be written: every replacement and
    // every restore overwrites in place, and a kill can leave a file cut short. Such a file
    // is known as this program's own unfinished write: restorable, never kept as original.
    QTemporaryDir game;
    QTemporaryDir music;
    QTemporaryDir data;
    QTemporaryDir staging;
    const core::SlotTable slotTable;
    const std::string folder = game.path().toStdString() + "/";
    const auto inPlaceOnly = [&](FaultyFileSystem &fs) {
        fs.failOn(FaultyFileSystem::Call::CreateFolder, EACCES, 0, game.path().toStdString(), true);
        fs.failOn(FaultyFileSystem::Call::CreateNew, EACCES, 0, game.path().toStdString(), true);
    };
    const auto target = [&](int slot) {
        return game.path() + "/" + QString::fromStdString(slotTable.targetFileName(slot));
    };
    for (int slot = 0; slot < chosenSlots; ++slot)
        QVERIFY(writeBytes(target(slot), content(slot, 0)));
    core::SlotTexts texts;
    core::SlotTexts labels;
    texts.fill(std::string(core::RunTexts::forLanguage(english).placeholder));
    for (int i = 0; i < core::slotCount; ++i)
        labels[i] = std::string(core::SlotTable::slot(i).label);
    // Staged copies of killed runs stay in a folder of the test's own.
    qputenv("TMPDIR", staging.path().toLocal8Bit());
    const auto pickGeneration = [&](int generation) {
        for (int slot = 0; slot < chosenSlots; ++slot) {
            const QString source = music.path() + "/pick" + QString::number(slot) + ".mp3";
            QVERIFY(writeBytes(source, content(slot, generation)));
            texts[slot] = source.toStdString();
        }
    };
    // A kill before the given write in place, or none (-1).
    const auto change = [&](int killBeforeWrite) {
        KillingFileSystem fs(killBeforeWrite);
        inPlaceOnly(fs);
        return core::ReplacementRun(slotTable, fs, data.path().toStdString())
            .run(texts, labels, folder, english);
    };
    const auto restore = [&](int killBeforeWrite) {
        KillingFileSystem fs(killBeforeWrite);
        inPlaceOnly(fs);
        return core::OriginalsFolder(folder, fs, data.path().toStdString())
            .restore(slotTable, labels, english);
    };
    // The kill comes within one and a half times an unkilled run's length.
    pickGeneration(1);
    const auto start = std::chrono::steady_clock::now();
    QCOMPARE(change(-1).outcome, core::RunResult::Outcome::Completed);
    const auto runLength = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - start);
    const useconds_t window = useconds_t(std::max<long long>(runLength.count() * 3 / 2, 20000));
    const QString keptFolder = QString::fromStdString(
        core::OriginalsFolder(folder, core::FileSystem::native(), data.path().toStdString())
            .path()
            .string());
    QVERIFY(!QFile::exists(game.path() + "/Originals (Music Changer)"));

    // After every kill: each game file is the original, one generation's, or cut short;
    // the kept originals are whole; every slot that is not the original is restorable.
    std::vector<int> generationOf(chosenSlots, 1);
    int cutShort = 0;
    const auto checkAfterKill = [&](int newest, bool restoring) {
        int notOriginal = 0;
        for (int slot = 0; slot < chosenSlots; ++slot) {
            const std::string now = readBytes(target(slot));
            if (now == content(slot, newest))
                generationOf[slot] = newest;
            else if (now == content(slot, 0))
                generationOf[slot] = restoring ? 0 : generationOf[slot];
            else if (now != content(slot, generationOf[slot]))
                ++cutShort;
            notOriginal += now != content(slot, 0) ? 1 : 0;
            const QString kept =
                keptFolder + "/" + QString::fromStdString(slotTable.targetFileName(slot));
            QVERIFY2(readBytes(kept) == content(slot, 0), qPrintable(kept));
        }
        QCOMPARE(
            core::OriginalsFolder(folder, core::FileSystem::native(), data.path().toStdString())
                .restorableCount(slotTable, core::OriginalsFolder::Check::Content),
            notOriginal);
    };
    // Kill points: before every third write in place of a run (each file is written in
    // four pieces, so that every piece of some file is met) and of a restore, then at
    // random moments of either.
    constexpr int writesPerRun = chosenSlots * 4;
    constexpr int randomKills = 6;
    int generation = 1;
    for (int write = 0; write < writesPerRun; write += 3) {
        pickGeneration(++generation);
        runToKillPoint([&] { change(write); });
        checkAfterKill(generation, false);
        runToKillPoint([&] { restore(write); });
        checkAfterKill(0, true);
    }
    for (int attempt = 0; attempt < randomKills; ++attempt) {
        pickGeneration(++generation);
        runAndKill([&] { change(-1); }, window);
        checkAfterKill(generation, false);
        runAndKill([&] { restore(-1); }, window);
        checkAfterKill(0, true);
    }
    qInfo("%d killed overwrites in place left %d files cut short, each restorable",
          2 * ((writesPerRun + 2) / 3 + randomKills), cutShort);
    const core::RunResult restored = restore(-1);
    QVERIFY2(restored.outcome == core::RunResult::Outcome::Completed, restored.message.c_str());
    for (int slot = 0; slot < chosenSlots; ++slot)
        QCOMPARE(readBytes(target(slot)), content(slot, 0));
}

QTEST_APPLESS_MAIN(TestCrashConsistency)
#include "tst_crashconsistency.moc"
