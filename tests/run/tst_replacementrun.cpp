// SPDX-License-Identifier: GPL-3.0-or-later
#include "FaultyFileSystem.h"
#include "LanguageCodes.h"
#include "SlotTextsForTests.h"
#include "TestFiles.h"
#include "report/RunMessages.h"
#include "report/RunTexts.h"
#include "run/ReplacementRun.h"

#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

#include <sys/stat.h>

using core::ReplacementRun;
using core::RunResult;
using core::SlotTexts;
using languagecodes::english;
using languagecodes::hungarian;
using runtexts::labels;
using runtexts::placeholders;
using testfiles::entries;
using testfiles::readBytes;
using testfiles::writeBytes;

class TestReplacementRun : public QObject
{
    Q_OBJECT

  private slots:
    void init();
    void messagesAreExact_data();
    void messagesAreExact();
    void allPlaceholdersCopyNothing();
    void copiesExactlyTheChosenSlots();
    void onlyExactPlaceholderOfLanguageIsSkipped_data();
    void onlyExactPlaceholderOfLanguageIsSkipped();
    void stopsAtFirstFailure();
    void blankSourceIsNotFound();
    void destinationIsGluedToFolder();
    void missingMusicFolderFailsFirstCopy();
    void emptyMusicFolderRefusesRun();
    void faultMidRunKeepsFailingTarget();
    void removesOwnLeftoversOnly();
    void replacesTheOneFileInOtherLetterCase();
    void pickThatIsNoFileFailsAsAFolderDoes_data();
    void pickThatIsNoFileFailsAsAFolderDoes();
    void swappedGameFilesKeepTheirMusic();
    void recordIsFlushedTwicePerRun();

  private:
    QString game(const QString &name = {}) const { return gameDir_->path() + "/" + name; }
    QString source(const QString &name) const { return sourceDir_->path() + "/" + name; }
    std::string musicFolder() const { return game().toStdString(); }
    void fillGameFolder();

    const core::SlotTable slots_;
    std::unique_ptr<QTemporaryDir> gameDir_;
    std::unique_ptr<QTemporaryDir> sourceDir_;
};

void TestReplacementRun::init()
{
    gameDir_ = std::make_unique<QTemporaryDir>();
    sourceDir_ = std::make_unique<QTemporaryDir>();
    fillGameFolder();
}

void TestReplacementRun::fillGameFolder()
{
    for (int i = 0; i < core::slotCount; ++i)
        QVERIFY(writeBytes(game(QString::fromStdString(slots_.targetFileName(i))),
                           "game " + std::to_string(i)));
    for (int i = 0; i < core::slotCount; ++i)
        QVERIFY(
            writeBytes(source("pick" + QString::number(i) + ".mp3"), "pick " + std::to_string(i)));
}

void TestReplacementRun::messagesAreExact_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("label");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");

    QTest::newRow("en 53") << 2 << "Castle" << 53 << "Bad filename or path at Castle.mp3";
    QTest::newRow("hu 53")
        << 1 << "Castle" << 53
        << "Rossz fájlnevet vagy elérési utat adtál meg a Castle.mp3 nevű fájlnál";
    QTest::newRow("en 70")
        << 2 << "Dirt" << 70
        << "There was a fault during the copying atDirt.mp3. The error code is: 70.";
    QTest::newRow("hu 70") << 1 << "Dirt" << 70
                           << "Hiba lépet fel a Dirt.mp3 nevű fájl cseréjekor, a hiba kódja: 70.";
    QTest::newRow("code 0 english")
        << 0 << "Win Battle" << 61
        << "There was a fault during the copying atWin Battle.mp3. The error code is: 61.";
}

void TestReplacementRun::messagesAreExact()
{
    QFETCH(int, language);
    QFETCH(QString, label);
    QFETCH(int, code);
    QFETCH(QString, message);
    QCOMPARE(QString::fromStdString(
                 core::RunMessages::failure(std::uint8_t(language), label.toStdString(), code)),
             message);
}

void TestReplacementRun::allPlaceholdersCopyNothing()
{
    // Only the originals folder is added, made for the run lock's file, which stays.
    QStringList before = entries(game());
    before.append("Originals (Music Changer)");
    before.sort();
    for (const std::uint8_t language : {hungarian, english}) {
        const RunResult result =
            ReplacementRun(slots_).run(placeholders(language), labels(), musicFolder(), language);
        QCOMPARE(result.outcome, RunResult::Outcome::Completed);
        QVERIFY(result.message.empty());
    }
    QCOMPARE(entries(game()), before);
    QCOMPARE(readBytes(game("CstleTown.mp3")), std::string("game 0"));
}

void TestReplacementRun::copiesExactlyTheChosenSlots()
{
    SlotTexts texts = placeholders(english);
    texts[3] = source("pick3.mp3").toStdString();
    texts[17] = source("pick17.mp3").toStdString();
    texts[27] = source("pick27.mp3").toStdString();
    const RunResult result = ReplacementRun(slots_).run(texts, labels(), musicFolder(), english);
    QCOMPARE(result.outcome, RunResult::Outcome::Completed);
    for (int i = 0; i < core::slotCount; ++i) {
        const bool chosen = i == 3 || i == 17 || i == 27;
        QCOMPARE(readBytes(game(QString::fromStdString(slots_.targetFileName(i)))),
                 (chosen ? "pick " : "game ") + std::to_string(i));
    }
    QCOMPARE(readBytes(game("Defend Castle.mp3")), std::string("pick 27"));
    // The game's files and the originals folder, which holds the run lock's file.
    QCOMPARE(entries(game()).size(), core::slotCount + 1);
    QCOMPARE(entries(game("Originals (Music Changer)")),
             (QStringList{".vmc3-run.lock", "Defend Castle.mp3", "StrongHold.mp3", "Water.mp3",
                          "manifest.txt"}));
}

void TestReplacementRun::onlyExactPlaceholderOfLanguageIsSkipped_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("text");

    QTest::newRow("letter case") << 2 << "please open a MP3 file!";
    QTest::newRow("trailing blank") << 2 << "Please open a MP3 file! ";
    QTest::newRow("hungarian placeholder under english") << 2 << "Kérlek nyiss meg egy MP3 fájlt!";
    QTest::newRow("english placeholder under hungarian") << 1 << "Please open a MP3 file!";
    QTest::newRow("english placeholder under code 0") << 0 << "Kérlek nyiss meg egy MP3 fájlt!";
}

void TestReplacementRun::onlyExactPlaceholderOfLanguageIsSkipped()
{
    QFETCH(int, language);
    QFETCH(QString, text);
    SlotTexts texts = placeholders(std::uint8_t(language));
    texts[12] = text.toStdString();
    const RunResult result =
        ReplacementRun(slots_).run(texts, labels(), musicFolder(), std::uint8_t(language));
    QCOMPARE(result.outcome, RunResult::Outcome::Failed);
    QCOMPARE(result.slot, 12);
    QCOMPARE(result.code, 53);
    QCOMPARE(readBytes(game("Rough.mp3")), std::string("game 12"));
}

void TestReplacementRun::stopsAtFirstFailure()
{
    SlotTexts texts = placeholders(hungarian);
    for (int i = 0; i <= 6; ++i)
        texts[i] = source("pick" + QString::number(i) + ".mp3").toStdString();
    texts[5] = source("missing.mp3").toStdString();
    texts[39] = source("pick39.mp3").toStdString();

    const RunResult result = ReplacementRun(slots_).run(texts, labels(), musicFolder(), hungarian);
    QCOMPARE(result.outcome, RunResult::Outcome::Failed);
    QCOMPARE(result.slot, 5);
    QCOMPARE(QString::fromStdString(result.message),
             "Rossz fájlnevet vagy elérési utat adtál meg a Fortress.mp3 nevű fájlnál");
    for (int i = 0; i < core::slotCount; ++i) {
        const bool replaced = i < 5;
        QCOMPARE(readBytes(game(QString::fromStdString(slots_.targetFileName(i)))),
                 (replaced ? "pick " : "game ") + std::to_string(i));
    }
    // The game's files and the originals folder, which holds the run lock's file.
    QCOMPARE(entries(game()).size(), core::slotCount + 1);
}

void TestReplacementRun::blankSourceIsNotFound()
{
    for (const std::string blank : {"", "   "}) {
        SlotTexts texts = placeholders(english);
        texts[0] = blank;
        const RunResult result =
            ReplacementRun(slots_).run(texts, labels(), musicFolder(), english);
        QCOMPARE(result.code, 53);
        QCOMPARE(QString::fromStdString(result.message), "Bad filename or path at Castle.mp3");
    }
}

void TestReplacementRun::destinationIsGluedToFolder()
{
    SlotTexts texts = placeholders(english);
    texts[9] = source("pick9.mp3").toStdString();
    const RunResult glued =
        ReplacementRun(slots_).run(texts, labels(), game("Music").toStdString(), english);
    QCOMPARE(glued.outcome, RunResult::Outcome::Completed);
    QCOMPARE(readBytes(game("MusicDirt.mp3")), std::string("pick 9"));
    QCOMPARE(readBytes(game("Dirt.mp3")), std::string("game 9"));

    // A Windows folder text on Linux is one file name, glued the same way.
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(game()));
    const RunResult windowsText = ReplacementRun(slots_).run(texts, labels(), "D:\\Music", english);
    QDir::setCurrent(previous);
    QCOMPARE(windowsText.outcome, RunResult::Outcome::Completed);
    QCOMPARE(readBytes(game("D:\\MusicDirt.mp3")), std::string("pick 9"));
}

void TestReplacementRun::missingMusicFolderFailsFirstCopy()
{
    SlotTexts texts = placeholders(english);
    texts[9] = source("pick9.mp3").toStdString();
    texts[10] = source("pick10.mp3").toStdString();
    const RunResult result =
        ReplacementRun(slots_).run(texts, labels(), game("gone/").toStdString(), english);
    QCOMPARE(result.slot, 9);
    QCOMPARE(result.code, 76);
    QCOMPARE(QString::fromStdString(result.message),
             "There was a fault during the copying atDirt.mp3. The error code is: 76.");
}

void TestReplacementRun::emptyMusicFolderRefusesRun()
{
    SlotTexts texts = placeholders(hungarian);
    texts[0] = source("pick0.mp3").toStdString();
    const QStringList sourcesBefore = entries(sourceDir_->path());
    const RunResult result = ReplacementRun(slots_).run(texts, labels(), "", hungarian);
    QCOMPARE(result.outcome, RunResult::Outcome::Refused);
    QCOMPARE(result.message, std::string(core::RunTexts::forLanguage(hungarian).noMusicFolder));
    QCOMPARE(entries(sourceDir_->path()), sourcesBefore);
    QVERIFY(!QFile::exists("CstleTown.mp3"));
    QCOMPARE(
        QString::fromStdString(ReplacementRun(slots_).run(texts, labels(), "", english).message),
        "Please set the game music folder in the Options first!");
}

void TestReplacementRun::faultMidRunKeepsFailingTarget()
{
    SlotTexts texts = placeholders(english);
    QVERIFY(writeBytes(source("big.mp3"), testfiles::pattern('b', 3 * 1024 * 1024)));
    texts[0] = source("pick0.mp3").toStdString();
    texts[1] = source("big.mp3").toStdString();
    texts[2] = source("pick2.mp3").toStdString();
    FaultyFileSystem faulty;
    // Slot 0 takes one write; slot 1 fails on its second.
    faulty.failOn(FaultyFileSystem::Call::Write, ENOSPC, 2);
    const RunResult result =
        ReplacementRun(slots_, faulty).run(texts, labels(), musicFolder(), english);
    QCOMPARE(result.slot, 1);
    QCOMPARE(result.code, 61);
    QCOMPARE(readBytes(game("CstleTown.mp3")), std::string("pick 0"));
    QCOMPARE(readBytes(game("InfernoTown.mp3")), std::string("game 1"));
    QCOMPARE(readBytes(game("Rampart.mp3")), std::string("game 2"));
    // The game's files and the originals folder, which holds the run lock's file.
    QCOMPARE(entries(game()).size(), core::slotCount + 1);
}

void TestReplacementRun::removesOwnLeftoversOnly()
{
    QVERIFY(writeBytes(game(".vmc3-00000000000000aa.tmp"), "half"));
    QVERIFY(writeBytes(game("readme.txt"), "keep"));
    const RunResult result =
        ReplacementRun(slots_).run(placeholders(english), labels(), musicFolder(), english);
    QCOMPARE(result.outcome, RunResult::Outcome::Completed);
    QVERIFY(!QFile::exists(game(".vmc3-00000000000000aa.tmp")));
    QCOMPARE(readBytes(game("readme.txt")), std::string("keep"));
    // The game's files, readme.txt and the originals folder, which holds the run lock's file.
    QCOMPARE(entries(game()).size(), core::slotCount + 2);
}

void TestReplacementRun::replacesTheOneFileInOtherLetterCase()
{
    QVERIFY(QFile::remove(game("Combat01.mp3")));
    QVERIFY(QFile::remove(game("Combat02.mp3")));
    QVERIFY(writeBytes(game("COMBAT01.MP3"), "copied from a disc"));
    QVERIFY(writeBytes(game("COMBAT02.MP3"), "one"));
    QVERIFY(writeBytes(game("combat02.mp3"), "two"));
    SlotTexts texts = placeholders(english);
    texts[22] = source("pick22.mp3").toStdString();
    texts[23] = source("pick23.mp3").toStdString();
    QCOMPARE(ReplacementRun(slots_).run(texts, labels(), musicFolder(), english).outcome,
             RunResult::Outcome::Completed);
    QCOMPARE(readBytes(game("COMBAT01.MP3")), std::string("pick 22"));
    QVERIFY(!QFile::exists(game("Combat01.mp3")));
    // Two candidates: neither is guessed at, the exact name is written.
    QCOMPARE(readBytes(game("Combat02.mp3")), std::string("pick 23"));
    QCOMPARE(readBytes(game("COMBAT02.MP3")), std::string("one"));
    QCOMPARE(readBytes(game("combat02.mp3")), std::string("two"));
}

void TestReplacementRun::pickThatIsNoFileFailsAsAFolderDoes_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("folder") << "folder";
    QTest::newRow("endless zeros") << "/dev/zero";
    QTest::newRow("endless noise") << "/dev/urandom";
    QTest::newRow("pipe with no writer") << "fifo";
}

void TestReplacementRun::pickThatIsNoFileFailsAsAFolderDoes()
{
    QFETCH(QString, kind);
    QString pick = kind;
    if (kind == "folder") {
        pick = source("a folder.mp3");
        QVERIFY(QDir().mkdir(pick));
    } else if (kind == "fifo") {
        pick = source("pipe.mp3");
        QCOMPARE(::mkfifo(pick.toLocal8Bit().constData(), 0600), 0);
    }
    SlotTexts texts = placeholders(hungarian);
    texts[3] = source("pick3.mp3").toStdString();
    texts[5] = pick.toStdString();
    texts[7] = source("pick7.mp3").toStdString();
    const RunResult result = ReplacementRun(slots_).run(texts, labels(), musicFolder(), hungarian);
    QCOMPARE(result.outcome, RunResult::Outcome::Failed);
    QCOMPARE(result.slot, 5);
    QCOMPARE(result.code, 75);
    QCOMPARE(result.message, core::RunMessages::failure(hungarian, labels()[5], 75));
    for (const auto &[slot, now] : {std::pair{3, "pick 3"}, {5, "game 5"}, {7, "game 7"}})
        QCOMPARE(readBytes(game(QString::fromStdString(slots_.targetFileName(slot)))), now);
    QCOMPARE(entries(game()).size(), core::slotCount + 1);
}

void TestReplacementRun::swappedGameFilesKeepTheirMusic()
{
    SlotTexts texts = placeholders(english);
    texts[9] = game("Grass.mp3").toStdString();
    texts[10] = game("Dirt.mp3").toStdString();
    QCOMPARE(ReplacementRun(slots_).run(texts, labels(), musicFolder(), english).outcome,
             RunResult::Outcome::Completed);
    QCOMPARE(readBytes(game("Dirt.mp3")), std::string("game 10"));
    QCOMPARE(readBytes(game("Grass.mp3")), std::string("game 9"));
    QCOMPARE(entries(game()).size(), core::slotCount + 1);
}

void TestReplacementRun::recordIsFlushedTwicePerRun()
{
    // Before the first replacement is seen and after the last, not around every file.
    constexpr int replaced = 8;
    SlotTexts texts = placeholders(english);
    for (int i = 0; i < replaced; ++i)
        texts[i] = source("pick" + QString::number(i) + ".mp3").toStdString();
    QCOMPARE(ReplacementRun(slots_).run(texts, labels(), musicFolder(), english).outcome,
             RunResult::Outcome::Completed);
    FaultyFileSystem counted;
    QCOMPARE(ReplacementRun(slots_, counted).run(texts, labels(), musicFolder(), english).outcome,
             RunResult::Outcome::Completed);
    QCOMPARE(counted.count(FaultyFileSystem::Call::Flush), replaced + 2);
    QCOMPARE(counted.count(FaultyFileSystem::Call::Replace), replaced + 2);
}

QTEST_APPLESS_MAIN(TestReplacementRun)
#include "tst_replacementrun.moc"
