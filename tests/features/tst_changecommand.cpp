// SPDX-License-Identifier: GPL-3.0-or-later
#include "LanguageCodes.h"
#include "SlotTextsForTests.h"
#include "TextTable.h"
#include "WindowFixture.h"
#include "features/ChangeCommand.h"
#include "features/PickChecker.h"
#include "features/RunMessage.h"

#include <QTest>

#include <semaphore>
#include <stop_token>

using testfiles::readBytes;
using testfiles::writeBytes;

// Change: what it copies, what it reports and where a refused run leads, in the main window
// with a scripted desktop.
class TestChangeCommand : public QObject
{
    Q_OBJECT

  private slots:
    void changeCopiesAndReportsFirstFailure();
    void changeWithoutFolderIsRefused();
    void cancelledChangeSaysWhatWentIn_data();
    void cancelledChangeSaysWhatWentIn();
    void changeCancelledWhileCheckingCountsWhatTheRunTries_data();
    void changeCancelledWhileCheckingCountsWhatTheRunTries();
    void refusedRunLeadsToItsSlot_data();
    void refusedRunLeadsToItsSlot();
    void pickChecksLetGoBeforeRunWrites();
    void stoppedChangeSaysWhatWentInAndWhatWasNotTried_data();
    void stoppedChangeSaysWhatWentInAndWhatWasNotTried();
    void unusablePicksCanBeLeftOut_data();
    void unusablePicksCanBeLeftOut();
};

void TestChangeCommand::changeCopiesAndReportsFirstFailure()
{
    QTemporaryDir game;
    QTemporaryDir music;
    for (const char *name : {"StrongHold.mp3", "Water.mp3", "Dirt.mp3"})
        QVERIFY(writeBytes(game.path() + "/" + name, "game"));
    // Two real MP3s: a run copies only music.
    const std::string first = testfiles::song();
    const std::string second = readBytes(QStringLiteral(VMC_AUDIO_FIXTURES "/game-22k-mono.mp3"));
    QVERIFY(writeBytes(music.path() + "/a.mp3", first));
    QVERIFY(writeBytes(music.path() + "/b.mp3", second));
    WindowFixture f("\"" + game.path().toStdString() + "/\",2\r\n");
    f.start();

    f.slot(3)->setText(music.path() + "/a.mp3");
    f.slot(17)->setText(music.path() + "/b.mp3");
    f.main().gomb_change->click();
    QVERIFY(f.platform.messages.isEmpty());
    QCOMPARE(readBytes(game.path() + "/StrongHold.mp3"), first);
    QCOMPARE(readBytes(game.path() + "/Water.mp3"), second);

    f.slot(9)->setText(music.path() + "/missing.mp3");
    f.slot(17)->setText(music.path() + "/a.mp3");
    f.main().gomb_change->click();
    QCOMPARE(f.platform.messages, QStringList{"Bad filename or path at Dirt.mp3"});
    QCOMPARE(readBytes(game.path() + "/Water.mp3"), second);
    QCOMPARE(readBytes(game.path() + "/Dirt.mp3"), std::string("game"));

    f.slot(9)->setText(music.path());
    f.main().gomb_change->click();
    QCOMPARE(
        f.platform.messages.last(),
        QStringLiteral("There was a fault during the copying atDirt.mp3. The error code is: 75."));
}

void TestChangeCommand::changeWithoutFolderIsRefused()
{
    WindowFixture f("\"\",1\r\n");
    f.start();
    f.slot(0)->setText("/music/castle.mp3");
    f.main().gomb_change->click();
    QCOMPARE(f.platform.messages.size(), 1);
    QCOMPARE(f.platform.messages.first(),
             QString::fromUtf8("Előbb add meg a játék zenéinek mappáját a Beállításokban!"));
}

void TestChangeCommand::cancelledChangeSaysWhatWentIn_data()
{
    QTest::addColumn<char>("language");
    QTest::addColumn<int>("putIn"); // of ten
    QTest::addColumn<QString>("message");
    QTest::newRow("Hungarian") << '1' << 7
                               << QString::fromUtf8("A Csere megszakadt: 10 választásból 7 a "
                                                    "helyére került, 3 nem. A játék saját zenéjét "
                                                    "a Visszaállítás gomb hozza vissza.");
    QTest::newRow("English") << '2' << 0
                             << "Change was cancelled before any pick went in: the game's music "
                                "is as it was.";
}

void TestChangeCommand::cancelledChangeSaysWhatWentIn()
{
    QFETCH(char, language);
    QFETCH(int, putIn);
    QFETCH(QString, message);
    WindowFixture f(std::string("\"/games/Mp3/\",") + language + "\r\n");
    f.start();
    core::RunResult result;
    result.outcome = core::RunResult::Outcome::Cancelled;
    result.picksPutIn = putIn;
    result.picksNotPutIn = 10 - putIn;
    f.form1->protocol().changeCommand().report(result);
    QCOMPARE(f.platform.messages, QStringList{message});
}

void TestChangeCommand::changeCancelledWhileCheckingCountsWhatTheRunTries_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("slotText");
    QTest::addColumn<QString>("message"); // none: no pick
    const QString english = "Change was cancelled before any pick went in: the game's music is "
                            "as it was.";
    const QString hungarian = QString::fromUtf8(
        "A Csere megszakadt, mielőtt egy választás is a helyére került volna: a játék zenéje nem "
        "változott.");
    QTest::newRow("a file") << int(languagecodes::english) << "/music/castle.mp3" << english;
    QTest::newRow("the other language's placeholder")
        << int(languagecodes::english) << hungarianPlaceholder << english;
    QTest::newRow("a blank text") << int(languagecodes::hungarian) << "  " << hungarian;
    QTest::newRow("its own placeholder")
        << int(languagecodes::english) << englishPlaceholder << QString();
}

void TestChangeCommand::changeCancelledWhileCheckingCountsWhatTheRunTries()
{
    QFETCH(int, language);
    QFETCH(QString, slotText);
    QFETCH(QString, message);
    core::SlotTexts texts = runtexts::placeholders(std::uint8_t(language));
    texts[5] = slotText.toStdString();
    const core::RunResult cancelled =
        ChangeCommand::cancelledWhileChecking(texts, std::uint8_t(language));
    QCOMPARE(RunMessage::cancelledChange(cancelled, std::uint8_t(language)), message);
}

void TestChangeCommand::refusedRunLeadsToItsSlot_data()
{
    QTest::addColumn<bool>("refusedBeforeWriting");
    QTest::newRow("refused") << true;
    QTest::newRow("copy failed, window as it was") << false;
}

void TestChangeCommand::refusedRunLeadsToItsSlot()
{
    QFETCH(bool, refusedBeforeWriting);
    WindowFixture f("\"/games/Mp3/\",2\r\n");
    f.start();
    f.main().gomb_change->setFocus();
    core::RunResult result{core::RunResult::Outcome::Failed, 30, 0,
                           "Not music this program can read: Looplepr.mp3"};
    result.refusedBeforeWriting = refusedBeforeWriting;
    f.form1->protocol().changeCommand().report(result);
    QCOMPARE(f.platform.messages, QStringList{"Not music this program can read: Looplepr.mp3"});
    QCOMPARE(f.main().Frame2->isVisible(), refusedBeforeWriting);
    QWidget *focused =
        refusedBeforeWriting ? static_cast<QWidget *>(f.slot(30)) : f.main().gomb_change;
    QCOMPARE(f.form1->focusWidget(), focused);
}

void TestChangeCommand::pickChecksLetGoBeforeRunWrites()
{
    // A check that still reads the game's file, as a slow disk would keep it.
    std::binary_semaphore release(0);
    PickChecker checker(nullptr, [&](const QString &, const QString &) {
        release.acquire();
        return PickChecker::Verdict{};
    });
    checker.check(9, QStringLiteral("/music/song.flac"), QStringLiteral("/game/Dirt.mp3"));
    std::stop_source cancelled;
    cancelled.request_stop();
    QVERIFY(!checker.waitForChecks(cancelled.get_token()));
    release.release();
    QVERIFY(checker.waitForChecks({}));
}

void TestChangeCommand::stoppedChangeSaysWhatWentInAndWhatWasNotTried_data()
{
    // Slot 9 (Dirt) fails: its pick gone since its check, never there, or a folder in the
    // game file's place. The other slots named hold songs.
    QTest::addColumn<int>("language");
    QTest::addColumn<QList<int>>("picks");
    QTest::addColumn<QString>("failing");
    QTest::addColumn<QString>("informative");
    QTest::newRow("gone") << int(languagecodes::english) << QList<int>{3, 17, 26} << "gone"
                          << "The file picked for this slot, Letöltés.mp3, could not be copied: it "
                             "is no longer there.\n1 pick went in before Change stopped.\nThe "
                             "picks of these slots were not tried: Water, Looplepr.";
    QTest::newRow("never there") << int(languagecodes::hungarian) << QList<int>{26} << "missing"
                                 << "A helyre választott Letöltés.mp3 fájlt nem sikerült "
                                    "átmásolni: nem található.\nMielőtt a Csere megállt, egy "
                                    "választás sem került a helyére.\nEnnek a helynek a "
                                    "választása nem került sorra: Looplepr.";
    QTest::newRow("folder") << int(languagecodes::hungarian) << QList<int>{3, 17} << "folder"
                            << "A játék Dirt.mp3 nevű fájlját nem sikerült lecserélni: a helyén "
                               "egy mappa van.\nMielőtt a Csere megállt, 1 választás került a "
                               "helyére.\nEnnek a helynek a választása nem került sorra: Water.";
}

void TestChangeCommand::stoppedChangeSaysWhatWentInAndWhatWasNotTried()
{
    QFETCH(int, language);
    QFETCH(QList<int>, picks);
    QFETCH(QString, failing);
    QFETCH(QString, informative);
    QTemporaryDir game;
    QTemporaryDir music;
    for (const char *name : {"StrongHold.mp3", "Water.mp3", "Looplepr.mp3"})
        QVERIFY(writeBytes(game.path() + "/" + name, "game"));
    QVERIFY(failing == "folder" ? QDir(game.path()).mkdir("Dirt.mp3")
                                : writeBytes(game.path() + "/Dirt.mp3", "game"));
    const QString song = music.path() + "/song.mp3";
    const QString picked = music.path() + "/Letöltés.mp3";
    QVERIFY(writeBytes(song, testfiles::song()));
    QVERIFY(failing == "missing" || writeBytes(picked, testfiles::song()));
    WindowFixture f("\"" + game.path().toStdString() + "/\"," + std::to_string(language) + "\r\n");
    f.start();
    for (int slot : picks)
        f.slot(slot)->setText(song);
    f.slot(9)->setText(picked);
    QTRY_VERIFY(f.form1->protocol().slotStatus().pickChecker().verdict(9).has_value());
    if (failing == "gone")
        QVERIFY(QFile::remove(picked));
    f.main().gomb_change->click();
    // The run's own text stays the box's text; the rest is its informative text.
    QCOMPARE(f.platform.messages.size(), 1);
    QCOMPARE(f.platform.informativeTexts.first(), informative);
    QVERIFY(f.slot(9)->toolTip().endsWith(informative.section('\n', 0, 0)));
    QVERIFY(f.slot(picks.last())
                ->toolTip()
                .endsWith(QString::fromUtf8(
                    TextTable::forLanguage(std::uint8_t(language)).slotNotTried)));
}

void TestChangeCommand::unusablePicksCanBeLeftOut_data()
{
    // Unusable picks; the answer; the question's first line and its informative text; the
    // informative text of the run's one message (slot 26's pick is missing).
    QTest::addColumn<int>("language");
    QTest::addColumn<QList<int>>("unusable");
    QTest::addColumn<bool>("yes");
    QTest::addColumn<QStringList>("question");
    QTest::addColumn<QString>("informative");
    QTest::newRow("one, yes")
        << int(languagecodes::english) << QList<int>{9} << true
        << QStringList{"Nothing was changed, because this pick cannot be used:",
                       "Change the others and leave this slot as it is?"}
        << "The file picked for this slot, song26.mp3, could not be copied: it is not there.\n"
           "1 pick went in before Change stopped.\nThis slot was left as it was: Dirt.";
    QTest::newRow("two, no")
        << int(languagecodes::hungarian) << QList<int>{9, 17} << false
        << QStringList{"Semmi sem változott, mert ezek a választott fájlok nem használhatók:",
                       "Lecseréled a többi zenét, és ezeket a helyeket úgy hagyod, ahogy vannak?"}
        << QString();
}

void TestChangeCommand::unusablePicksCanBeLeftOut()
{
    QFETCH(int, language);
    QFETCH(QList<int>, unusable);
    QFETCH(bool, yes);
    QFETCH(QStringList, question);
    QFETCH(QString, informative);
    QTemporaryDir game;
    QTemporaryDir music;
    for (const char *name : {"StrongHold.mp3", "Dirt.mp3", "Water.mp3", "Looplepr.mp3"})
        QVERIFY(writeBytes(game.path() + "/" + name, "game"));
    WindowFixture f("\"" + game.path().toStdString() + "/\"," + std::to_string(language) + "\r\n");
    f.start();
    for (int slot : unusable) {
        const QString fake = music.path() + QStringLiteral("/fake%1.flac").arg(slot);
        QVERIFY(writeBytes(fake, "shopping list\n"));
        f.slot(slot)->setText(fake);
    }
    QVERIFY(writeBytes(music.path() + "/song3.mp3", testfiles::song()));
    f.slot(3)->setText(music.path() + "/song3.mp3");
    f.slot(26)->setText(music.path() + "/song26.mp3");
    f.platform.yesNoAnswers << yes;
    f.main().gomb_change->click();
    // Each unusable pick by its file name, its slot by its caption.
    QCOMPARE(f.platform.questions.size(), 1);
    const QStringList lines = f.platform.questions.first().split('\n');
    QCOMPARE(lines.size(), unusable.size() + 1);
    QCOMPARE(lines.first(), question.first());
    QVERIFY(lines.at(1).startsWith("fake9.flac (Dirt): "));
    QCOMPARE(f.platform.questionInformativeTexts.first(), question.last());
    QCOMPARE(readBytes(game.path() + "/StrongHold.mp3") == testfiles::song(), yes);
    QCOMPARE(readBytes(game.path() + "/Dirt.mp3"), std::string("game"));
    QCOMPARE(f.platform.informativeTexts,
             informative.isEmpty() ? QStringList{} : QStringList{informative});
}

QTEST_MAIN(TestChangeCommand)
#include "tst_changecommand.moc"
