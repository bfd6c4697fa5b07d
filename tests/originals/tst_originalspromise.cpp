// SPDX-License-Identifier: GPL-3.0-or-later
#include "InMemoryFileSystem.h"
#include "SlotTextsForTests.h"
#include "originals/OriginalsFolder.h"
#include "originals/OriginalsManifest.h"
#include "run/ReplacementRun.h"

#include <QTest>

#include <cerrno>

using core::OriginalsFolder;
using core::OriginalsManifest;
using core::RunResult;
namespace fs = std::filesystem;

namespace {

constexpr std::uint8_t english = 2;
const fs::path game = "/g";
const fs::path kept = "/g/Originals (Music Changer)";

} // namespace

// The holes the simulation found, each as a case of its own on the in-memory file system.
class TestOriginalsPromise : public QObject
{
    Q_OBJECT

  private slots:
    void init();
    void damagedRecordIsReadOrDistrusted_data();
    void damagedRecordIsReadOrDistrusted();
    void pickIsNeverKeptAsOriginalAfterRecordIsCut();
    void unreadableGameFileIsLeftAloneAndNamed_data();
    void unreadableGameFileIsLeftAloneAndNamed();
    void failedInPlaceOpenLeavesUpdateAlone();
    void failedChangeLeavesNoSecondName();
    void handCopyWithSameSizeAndTimeIsKept();
    void readFailingAnywhereInDefaultKeepsTheOriginal();
    void unreadableRecordStopsChangeAndDefault();
    void originalWrittenOverUnderSecondNameIsToldLost();

  private:
    int slotOf(const std::string &name) const
    {
        for (int i = 0; i < core::slotCount; ++i)
            if (slots_.targetFileName(i) == name)
                return i;
        return -1;
    }
    RunResult change(const std::string &name, const std::string &pick)
    {
        fs_->put("/m/" + pick, "pick " + pick);
        core::SlotTexts texts = runtexts::placeholders(english);
        texts[std::size_t(slotOf(name))] = "/m/" + pick;
        return core::ReplacementRun(slots_, *fs_).run(texts, runtexts::labels(), "/g/", english);
    }
    RunResult restoreAll(std::uint8_t language = english)
    {
        return OriginalsFolder("/g/", *fs_).restore(slots_, runtexts::labels(), language);
    }
    std::string record() { return *fs_->peek(kept / "manifest.txt"); }

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
    QCOMPARE(change("Water.mp3", "a").outcome, RunResult::Outcome::Completed);
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
    QCOMPARE(change("Water.mp3", "a").outcome, RunResult::Outcome::Completed);
    fs_->put(kept / "manifest.txt", record().substr(0, 20));
    QCOMPARE(change("Water.mp3", "b").outcome, RunResult::Outcome::Completed);
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
    QCOMPARE(change("Water.mp3", "a").outcome, RunResult::Outcome::Completed);
    const std::string recordBefore = record();
    fs_->setMode(game / "Water.mp3", 0);
    const RunResult result = restoreAll(std::uint8_t(language));
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
    QCOMPARE(change("Water.mp3", "a").outcome, RunResult::Outcome::Failed);
    const auto gameFile = fs_->peekStatus(game / "Water.mp3");
    const auto keptFile = fs_->peekStatus(kept / "Water.mp3");
    QVERIFY(gameFile);
    QVERIFY(!keptFile || !keptFile->sameFileAs(*gameFile));
}

void TestOriginalsPromise::handCopyWithSameSizeAndTimeIsKept()
{
    QCOMPARE(change("Water.mp3", "a").outcome, RunResult::Outcome::Completed);
    const auto written = fs_->peekStatus(game / "Water.mp3");
    fs_->put(game / "Water.mp3", "hand a");
    fs_->setTimeOf(game / "Water.mp3", written->modified);
    QCOMPARE(change("Water.mp3", "b").outcome, RunResult::Outcome::Completed);
    QCOMPARE(*fs_->peek(kept / "Water.mp3"), std::string("hand a"));
}

void TestOriginalsPromise::readFailingAnywhereInDefaultKeepsTheOriginal()
{
    // A file that could not be read is no different from what was recorded, only unread.
    for (int after = 0; after < 120; ++after) {
        init();
        QCOMPARE(change("Water.mp3", "a").outcome, RunResult::Outcome::Completed);
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
    QCOMPARE(change("Water.mp3", "a").outcome, RunResult::Outcome::Completed);
    const std::string recordBefore = record();
    fs_->setMode(kept / "manifest.txt", 0);
    for (const RunResult &result : {change("Water.mp3", "b"), restoreAll()}) {
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
    // A kill after the record of the original kept under a second name, before the rename.
    bool secondNameLeft = false;
    for (int after = 0; after < 1000 && !secondNameLeft; ++after) {
        init();
        fs_->arm(InMemoryFileSystem::Fault::Kill, after);
        change("Water.mp3", "a");
        fs_->revive();
        const auto keptFile = fs_->peekStatus(kept / "Water.mp3");
        secondNameLeft = keptFile &&
                         keptFile->sameFileAs(*fs_->peekStatus(game / "Water.mp3")) &&
                         fs_->peek(kept / "manifest.txt") &&
                         record().find("\tsecond name\t") != std::string::npos;
    }
    QVERIFY(secondNameLeft);
    // A patcher writes the game file in place before the program starts again.
    fs_->put(game / "Water.mp3", "patch's Water");
    OriginalsFolder("/g/", *fs_).lockForWriting();
    QVERIFY(!fs_->peekStatus(kept / "Water.mp3"));
    const RunResult result = restoreAll();
    QCOMPARE(*fs_->peek(game / "Water.mp3"), std::string("patch's Water"));
    QVERIFY2(result.message.find(".mp3: its original was lost") != std::string::npos,
             result.message.c_str());
}

QTEST_GUILESS_MAIN(TestOriginalsPromise)
#include "tst_originalspromise.moc"
