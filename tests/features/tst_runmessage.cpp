// SPDX-License-Identifier: GPL-3.0-or-later
#include "LanguageCodes.h"
#include "SlotTextsForTests.h"
#include "WindowFixture.h"
#include "features/FailureReason.h"
#include "features/RunMessage.h"
#include "files/FailureCodes.h"
#include "sets/MusicSet.h"

#include <QTest>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#endif

using testfiles::readBytes;
using testfiles::writeBytes;

// What a run's message adds on Windows, and the hand-over to a copy started as
// administrator: the file it reads and the copy that opens with it.
class TestRunMessage : public QObject
{
    Q_OBJECT

  private slots:
    void handOverOpensWithPicksAndWritesNoSettings();
    void handOverTakesOnlyItsOwnFile_data();
    void handOverTakesOnlyItsOwnFile();
    void protectedFolderOffersStartAsAdministrator();
    void fileInUseIsNoCaseForAdministrator_data();
    void fileInUseIsNoCaseForAdministrator();
    void readOnlyGameFileIsNamedWithItsReason();
};

void TestRunMessage::handOverOpensWithPicksAndWritesNoSettings()
{
    QTemporaryDir game;
    QVERIFY(writeBytes(game.path() + "/song.mp3", testfiles::song()));
    core::MusicSet set;
    set.gameFolder = storedFolder(game.path());
    set.language = languagecodes::english;
    // A folder is no pick an administrator reads.
    set.picks = {{9, (game.path() + "/song.mp3").toStdString()}, {10, game.path().toStdString()}};
    set.picks.front().fit = {0, 44100, 0, 4410, 0};
    WindowFixture f;
    QVERIFY(!f.form1->protocol().takeOver(set));
    QCOMPARE(f.platform.questions,
             QStringList{"Change the game's music in " + QDir::toNativeSeparators(game.path()) +
                         " as administrator?"});
    f.platform.yesNoAnswers << true;
    QVERIFY(f.form1->protocol().takeOver(set));
    f.start();
    QVERIFY(f.form1->isVisible());
    QCOMPARE(f.form1->utvonal(), QString::fromStdString(storedFolder(game.path())));
    QCOMPARE(f.slot(9)->text(), QDir::toNativeSeparators(game.path() + "/song.mp3"));
    QCOMPARE(f.slot(10)->text(), englishPlaceholder);
    QCOMPARE(f.form1->sharedState().fits.fit(9), set.picks.front().fit);
#ifndef Q_OS_WIN
    // As administrator, a game file that is a link is not written through.
    QVERIFY(writeBytes(game.path() + "/system.dat", "not the game's"));
    QVERIFY(QFile::link(game.path() + "/system.dat", game.path() + "/Dirt.mp3"));
    f.main().gomb_change->click();
    QCOMPARE(f.platform.messages.size(), 1);
    QVERIFY(f.platform.messages.first().endsWith(" 75."));
    QCOMPARE(readBytes(game.path() + "/system.dat"), std::string("not the game's"));
#endif
    f.main().Command2->click();
    f.settings().Option1->click();
    f.settings().Command1->click();
    QCOMPARE(f.form1->nyelv(), languagecodes::hungarian);
    QVERIFY(!QFile::exists(f.configPath()));
}

void TestRunMessage::handOverTakesOnlyItsOwnFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("inHandOverFolder");
    QTest::addColumn<bool>("link");
    const QString ours = QStringLiteral("valdrune-hand-over-Ab12Cd.m3u8");
    QTest::newRow("its own") << ours << true << false;
    QTest::newRow("another name") << "valdrune-settings.m3u8" << true << false;
    QTest::newRow("another folder") << ours << false << false;
#ifndef Q_OS_WIN
    // Wine shows a Linux link as the file it names.
    QTest::newRow("a link") << ours << true << true;
#endif
}

void TestRunMessage::handOverTakesOnlyItsOwnFile()
{
    QFETCH(QString, name);
    QFETCH(bool, inHandOverFolder);
    QFETCH(bool, link);
    QTemporaryDir handOverFolder;
    QTemporaryDir elsewhere;
    const QString file = (inHandOverFolder ? handOverFolder : elsewhere).path() + "/" + name;
    const std::string set = "#EXTM3U\n#VALDRUNE-SLOT:Dirt.mp3\n/music/dirt.mp3\n";
    QVERIFY(writeBytes(elsewhere.path() + "/linked.m3u8", set));
    QVERIFY(link ? QFile::link(elsewhere.path() + "/linked.m3u8", file) : writeBytes(file, set));
    const bool taken = QTest::currentDataTag() == QByteArray("its own");
    QCOMPARE(RunMessage::takeHandOver(file, handOverFolder.path()).has_value(), taken);
    // Only the program's own hand-over file goes; anything else stays as it was.
    QCOMPARE(QFileInfo::exists(file), !taken);
    QCOMPARE(readBytes(elsewhere.path() + "/linked.m3u8"), set);
}

void TestRunMessage::protectedFolderOffersStartAsAdministrator()
{
#ifndef Q_OS_WIN
    QSKIP("Windows protects Program Files; Linux shows none of it");
#else
    const QString game = qEnvironmentVariable("ProgramFiles") + "/Korvex/VMC Test " +
                         QString::number(QCoreApplication::applicationPid());
    QVERIFY(QDir().mkpath(game));
    QVERIFY(writeBytes(game + "/Dirt.mp3", "the game's own"));
    QVERIFY(QFile::setPermissions(game + "/Dirt.mp3", QFile::ReadOwner));
    QVERIFY(writeBytes(game + "/song.mp3", testfiles::song()));
    WindowFixture f("\"" + storedFolder(game) + "\",2\r\n");
    f.start();
    f.slot(9)->setText(QDir::toNativeSeparators(game + "/song.mp3"));
    f.platform.yesNoAnswers << true;
    f.main().gomb_change->click();
    QCOMPARE(f.platform.questions.size(), 1);
    QCOMPARE(
        f.platform.questions.first(),
        QStringLiteral("There was a fault during the copying atDirt.mp3. The error code is: 70."));
    QCOMPARE(
        f.platform.questionInformativeTexts.first(),
        QStringLiteral(
            "The game's file Dirt.mp3 could not be replaced: the file or the disk is read-only.\n"
            "No pick went in before Change stopped.\n"
            "Windows protects this folder. Start the program as administrator to "
            "change the game's music?"));
    QVERIFY(f.platform.messages.isEmpty());
    QCOMPARE(f.platform.relaunches.size(), 1);
    QCOMPARE(f.platform.relaunches.first().first(), QStringLiteral("--hand-over"));
    QCOMPARE(f.platform.endRequests, 1);
    // The new copy opens with the picks, the folder and the language.
    const QString handOver = f.platform.relaunches.first().at(1);
    const core::MusicSet set = core::MusicSet::parse(testfiles::readBytes(handOver), "C:/");
    QCOMPARE(set.picks.size(), std::size_t(1));
    QCOMPARE(set.picks.front().slot, 9);
    QCOMPARE(QString::fromStdString(set.gameFolder.value_or("")),
             QString::fromStdString(storedFolder(game)));
    QCOMPARE(set.language.value_or(0), languagecodes::english);
    QFile::remove(handOver);
    QFile::setPermissions(game + "/Dirt.mp3", QFile::ReadOwner | QFile::WriteOwner);
    QDir(game).removeRecursively();
#endif
}

void TestRunMessage::fileInUseIsNoCaseForAdministrator_data()
{
#ifdef Q_OS_WIN
    const int inUse = ERROR_SHARING_VIOLATION, denied = ERROR_ACCESS_DENIED;
#else
    const int inUse = ETXTBSY, denied = EACCES;
#endif
    // The error, the code shown, a protected folder, an administrator, what is added.
    QTest::addColumn<QList<int>>("row");
    const int none = int(RunMessage::Addition::None);
    const int reason = int(RunMessage::Addition::InUseReason);
    const int offer = int(RunMessage::Addition::ElevationOffer);
    QTest::newRow("held by the game") << QList<int>{inUse, 70, 1, 0, reason};
    QTest::newRow("denied, protected") << QList<int>{denied, 70, 1, 0, offer};
    QTest::newRow("denied, administrator") << QList<int>{denied, 70, 1, 1, none};
}

void TestRunMessage::fileInUseIsNoCaseForAdministrator()
{
    QFETCH(QList<int>, row);
    core::RunResult result{core::RunResult::Outcome::Failed, 9, row[1], "the run's own message"};
    result.systemError = row[0];
    QCOMPARE(int(RunMessage::additionFor(result, row[2], row[3])), row[4]);
    if (row[4] != int(RunMessage::Addition::InUseReason))
        return;
    QCOMPARE(failureReason(row[0], 2),
             QStringLiteral("the file is in use: close the game and try again"));
    QCOMPARE(failureReason(row[0], 1), QString::fromUtf8("a fájlt egy másik program használja: "
                                                         "zárd be a játékot, és próbáld újra"));
}

void TestRunMessage::readOnlyGameFileIsNamedWithItsReason()
{
#ifdef Q_OS_WIN
    const core::FileError failure = core::FileError::destination(ERROR_WRITE_PROTECT);
#else
    const core::FileError failure = core::FileError::destination(EROFS);
#endif
    core::RunResult result{core::RunResult::Outcome::Failed, 0, 70, "the run's own message"};
    result.systemError = failure.systemError;
    result.failure = failure;
    RunMessage::ChangeStop stop{runtexts::placeholders(1)};
    stop.texts[0] = "/music/song.mp3";
    const core::SlotTable table;
    // The game file's own name, never the caption with ".mp3".
    const QString said = "A játék CstleTown.mp3 nevű fájlját nem sikerült lecserélni: a fájl "
                         "vagy a lemez csak olvasható.";
    QCOMPARE(RunMessage::stoppedChange(result, stop, runtexts::labels(), table, 1),
             said + "\nMielőtt a Csere megállt, egy választás sem került a helyére.");
    QCOMPARE(RunMessage::slotNotes(result, stop, table, 1)[0], said);
}

QTEST_MAIN(TestRunMessage)
#include "tst_runmessage.moc"
