// SPDX-License-Identifier: GPL-3.0-or-later
#include "LanguageCodes.h"
#include "SlotTextsForTests.h"
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

QTEST_MAIN(TestChangeCommand)
#include "tst_changecommand.moc"
