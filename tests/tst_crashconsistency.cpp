// SPDX-License-Identifier: GPL-3.0-or-later
#include "AtomicFileWriter.h"
#include "AudioFixtures.h"
#include "OriginalsFolder.h"
#include "ReplacementRun.h"
#include "RunTexts.h"
#include "TestFiles.h"

#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <random>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using testfiles::entries;
using testfiles::readBytes;
using testfiles::writeBytes;

namespace {

constexpr int chosenSlots = 8;
constexpr std::size_t fileSize = 3 * 1024 * 1024 + 11;
constexpr int kills = 150;
constexpr int restoreKills = 50;
constexpr std::uint8_t english = 2;

// The content of a slot's file in a given generation: one byte throughout, and the slot
// and generation in front, so that a mixture of two generations cannot pass.
std::string content(int slot, int generation)
{
    std::string bytes(fileSize, char('a' + (generation + slot) % 26));
    const std::string stamp = std::to_string(slot) + ":" + std::to_string(generation) + ";";
    bytes.replace(0, stamp.size(), stamp);
    return bytes;
}

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

  private:
    // Runs the work in a child process killed at a random moment within the time a run takes.
    void runAndKill(const std::function<void()> &work)
    {
        const pid_t child = fork();
        if (child == 0) {
            work();
            _exit(0);
        }
        usleep(useconds_t(random_() % 40000));
        kill(child, SIGKILL);
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

QTEST_APPLESS_MAIN(TestCrashConsistency)
#include "tst_crashconsistency.moc"
