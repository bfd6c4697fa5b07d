// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowFixture.h"
#include "features/RestoreCommand.h"
#include "forms/SlotRow.h"
#include "originals/OriginalsManifest.h"

#include <QTest>

using testfiles::readBytes;
using testfiles::writeBytes;

// Default and a slot menu's restore, in the main window with a scripted desktop.
class TestRestoreCommand : public QObject
{
    Q_OBJECT

  private slots:
    void defaultButtonRestoresKeptOriginals_data();
    void defaultButtonRestoresKeptOriginals();
    void defaultButtonFollowsFolder();
    void slotMenuRestoresThatSlotAlone();
    void startNamesCutShortFileItLeaves_data();
    void startNamesCutShortFileItLeaves();
};

void TestRestoreCommand::defaultButtonRestoresKeptOriginals_data()
{
    QTest::addColumn<char>("language");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("question");
    QTest::addColumn<QString>("restored");
    QTest::addColumn<int>("changed");
    QTest::newRow("English, one file")
        << '2' << QStringLiteral("&Default")
        << QStringLiteral("Restore the game's original music? (1 file)")
        << QStringLiteral("1 file restored.") << 1;
    QTest::newRow("Hungarian") << '1' << QString::fromUtf8("&Visszaállítás")
                               << QString::fromUtf8(
                                      "Visszaállítod a játék eredeti zenéjét? (2 fájl)")
                               << QString::fromUtf8("2 fájl visszaállítva.") << 2;
    QTest::newRow("English") << '2' << QStringLiteral("&Default")
                             << QStringLiteral("Restore the game's original music? (2 files)")
                             << QStringLiteral("2 files restored.") << 2;
}

void TestRestoreCommand::defaultButtonRestoresKeptOriginals()
{
    QFETCH(char, language);
    QFETCH(QString, caption);
    QFETCH(QString, question);
    QFETCH(QString, restored);
    QFETCH(int, changed);
    QTemporaryDir game;
    QVERIFY(writeBytes(game.path() + "/Dirt.mp3", "game's own dirt"));
    QVERIFY(writeBytes(game.path() + "/song.mp3", testfiles::song()));
    WindowFixture f("\"" + game.path().toStdString() + "/\"," + language + "\r\n");
    f.start();
    QPushButton *restore = f.main().gomb_default;
    QVERIFY(!restore->isVisible());

    f.slot(9)->setText(game.path() + "/song.mp3");
    if (changed == 2)
        f.slot(10)->setText(game.path() + "/song.mp3");
    f.main().gomb_change->click();
    QVERIFY(restore->isVisible());
    QCOMPARE(restore->text(), caption);
    QCOMPARE(restore->geometry(), QRect(528, 112, 81, 25));

    f.platform.yesNoAnswers << false << true;
    restore->click();
    QCOMPARE(readBytes(game.path() + "/Dirt.mp3"), testfiles::song());
    restore->click();
    QCOMPARE(f.platform.questions, (QStringList{question, question}));
    QCOMPARE(readBytes(game.path() + "/Dirt.mp3"), std::string("game's own dirt"));
    QVERIFY(!QFile::exists(game.path() + "/Grass.mp3"));
    QCOMPARE(f.slot(9)->text(), game.path() + "/song.mp3");
    QCOMPARE(f.platform.messages, QStringList{restored});
    QVERIFY(!restore->isVisible());
}

void TestRestoreCommand::defaultButtonFollowsFolder()
{
    QTemporaryDir changed;
    QTemporaryDir untouched;
    QVERIFY(QDir(changed.path()).mkdir("Originals (Music Changer)"));
    QVERIFY(writeBytes(changed.path() + "/Originals (Music Changer)/Dirt.mp3", "kept"));
    QVERIFY(writeBytes(changed.path() + "/Dirt.mp3", "changed"));
    WindowFixture f("\"" + changed.path().toStdString() + "/\",2\r\n");
    f.start();
    QVERIFY(f.main().gomb_default->isVisible());

    f.main().Command2->click();
    f.settings().Text1->setText(untouched.path());
    f.settings().Command1->click();
    QVERIFY(!f.main().gomb_default->isVisible());
    f.main().Command2->click();
    f.settings().Text1->setText(changed.path());
    f.settings().Command1->click();
    QVERIFY(f.main().gomb_default->isVisible());
}

void TestRestoreCommand::slotMenuRestoresThatSlotAlone()
{
    QTemporaryDir game;
    QVERIFY(writeBytes(game.path() + "/Dirt.mp3", "game's own dirt"));
    QVERIFY(writeBytes(game.path() + "/song.mp3", testfiles::song()));
    WindowFixture f("\"" + storedFolder(game.path()) + "\",2\r\n");
    f.start();
    f.slot(9)->setText(game.path() + "/song.mp3");
    f.slot(10)->setText(game.path() + "/song.mp3");
    f.main().gomb_change->click();
    SlotRow *row = f.form1->findChildren<SlotRow *>().value(9);
    emit row->restoreRequested();
    QCOMPARE(readBytes(game.path() + "/Dirt.mp3"), std::string("game's own dirt"));
    QCOMPARE(readBytes(game.path() + "/Grass.mp3"), testfiles::song());
    QCOMPARE(f.platform.messages, QStringList{"1 file restored."});
    // Grass is still restorable: Default stays, as the rule says.
    QVERIFY(f.main().gomb_default->isVisible());
    QVERIFY(f.platform.questions.isEmpty());
}

void TestRestoreCommand::startNamesCutShortFileItLeaves_data()
{
    QTest::addColumn<char>("language");
    QTest::addColumn<QString>("message");
    QTest::newRow("English") << '2'
                             << QStringLiteral(
                                    "An interrupted write left these game files cut short, and "
                                    "they could not be made whole again, so they were left as "
                                    "they were:\nDirt.mp3");
    QTest::newRow("Hungarian") << '1'
                               << QString::fromUtf8(
                                      "Egy megszakadt írás csonkán hagyta ezeket a játékfájlokat, "
                                      "és nem sikerült újra egésszé tenni őket, ezért úgy "
                                      "maradtak, ahogy voltak:\nDirt.mp3");
}

void TestRestoreCommand::startNamesCutShortFileItLeaves()
{
    QFETCH(char, language);
    QFETCH(QString, message);
    // A write in place of Dirt cut short by a kill, whose content under way cannot be read.
    QTemporaryDir game;
    const QString kept = game.path() + "/Originals (Music Changer)";
    QVERIFY(QDir().mkpath(kept + "/Dirt.mp3.under way"));
    QVERIFY(writeBytes(kept + "/Dirt.mp3", "game's own dirt"));
    QVERIFY(writeBytes(game.path() + "/Dirt.mp3", "new mu"));
    core::OriginalsManifest::Contents record;
    core::OriginalsManifest::Entry &dirt = record.entries["Dirt.mp3"];
    dirt.written = {{9, 1, core::WrittenFile::hashOfBytes("new music")}};
    dirt.overwrittenInPlace = {15, 1, core::WrittenFile::hashOfBytes("game's own dirt")};
    QVERIFY(writeBytes(kept + "/manifest.txt", core::OriginalsManifest::format(record)));
    WindowFixture f("\"" + storedFolder(game.path()) + "\"," + language + "\r\n");
    f.start();
    QCOMPARE(f.platform.messages, QStringList{message});
    QCOMPARE(readBytes(game.path() + "/Dirt.mp3"), std::string("new mu"));
    // Once a run: a later activation says nothing again.
    f.main().Command1->click();
    f.aboutWindow()->close();
    QCOMPARE(f.platform.messages.size(), 1);
}

QTEST_MAIN(TestRestoreCommand)
#include "tst_restorecommand.moc"
