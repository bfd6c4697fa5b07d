// SPDX-License-Identifier: GPL-3.0-or-later
#include "LanguageCodes.h"
#include "ScratchMount.h"
#include "SlotTextsForTests.h"
#include "TextTable.h"
#include "WindowFixture.h"
#include "features/FailureReason.h"
#include "features/PickChecker.h"
#include "features/RunMessage.h"
#include "forms/CommonDialog.h"
#include "forms/DirectoryList.h"
#include "forms/DriveList.h"
#include "forms/SlotRow.h"
#include "sets/MusicSet.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <fstream>

#include <filesystem>
#include <semaphore>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <unistd.h>
#endif

using testfiles::readBytes;
using testfiles::writeBytes;

namespace {

// Closes a window the way the user's close box does: the window may refuse, and one that
// closes is destroyed when it asks to be.
bool closeByUser(QWidget *window)
{
    return window->close();
}

} // namespace

class TestWindowProtocol : public QObject
{
    Q_OBJECT

  private slots:
    void firstStartShowsSettingsInsteadOfMainWindow();
    void firstStartCancelOrCloseEndsProgram();
    void startAppliesStoredLanguage_data();
    void startAppliesStoredLanguage();
    void okAtFirstStartWritesFileAndShowsMainWindow();
    void optionsThenCancelKeepsPicksAndUnsavedChoices();
    void optionsThenCloseBoxReturnsAndNextWindowShowsStoredChoices();
    void okFromOptionsSwitchesLanguageAndFolderAtOnce();
    void okWhenFileCannotBeWrittenKeepsWindowOpen();
    void readOnlyProgramFolderKeepsOldSettingsAndProgramWorks();
    void aboutDisablesBothWindowsUntilClosed_data();
    void aboutDisablesBothWindowsUntilClosed();
    void reopenedAboutShowsCurrentLanguage();
    void disabledMainWindowCannotBeClosed();
    void exitAndCloseBoxEndProgram();
    void activationOnlyOnItsTriggers();
    void pageButtons();
    void browsePutsPickIntoItsSlotOnly();
    void chooserReopensOnTheFilterChosenLast();
    void changeCopiesAndReportsFirstFailure();
    void changeWithoutFolderIsRefused();
    void cancelledChangeSaysWhatWentIn_data();
    void cancelledChangeSaysWhatWentIn();
    void changeCancelledWhileCheckingCountsWhatTheRunTries_data();
    void changeCancelledWhileCheckingCountsWhatTheRunTries();
    void refusedRunLeadsToItsSlot_data();
    void refusedRunLeadsToItsSlot();
    void folderListsFillPathBox();
    void unavailableDriveFallsBackToSystemDrive_data();
    void unavailableDriveFallsBackToSystemDrive();
    void driveListShowsTheDriveOfTheFolderShown_data();
    void driveListShowsTheDriveOfTheFolderShown();
    void pageSwitchLeavesFocusOffChange_data();
    void storedFolderTravelsAsItsBytes();
    void defaultButtonRestoresKeptOriginals_data();
    void defaultButtonRestoresKeptOriginals();
    void defaultButtonFollowsFolder();
    void firstStartOpensAtGameInWinePrefix();
    void prefixSearchWaitsForSettingsWindowAndPlayer();
    void handOverOpensWithPicksAndWritesNoSettings();
    void handOverTakesOnlyItsOwnFile_data();
    void handOverTakesOnlyItsOwnFile();
    void setsAndHandOverCarryTheLoudnessChoice();
    void protectedFolderOffersStartAsAdministrator();
    void fileInUseIsNoCaseForAdministrator_data();
    void fileInUseIsNoCaseForAdministrator();
    void pickChecksLetGoBeforeRunWrites();
    void virtualStoreCopiesAreOfferedOnce();
    void slotMenuRestoresThatSlotAlone();
    void showInFolderThatCannotOpenGivesThePath_data();
    void showInFolderThatCannotOpenGivesThePath();
    void setsSaveAndOpenThePicks();
    void clearAllPicksAsksWhenMoreThanOneWouldGo_data();
    void clearAllPicksAsksWhenMoreThanOneWouldGo();
    void pageSwitchLeavesFocusOffChange();
};

void TestWindowProtocol::firstStartShowsSettingsInsteadOfMainWindow()
{
    WindowFixture f;
    f.start();
    QVERIFY(!f.form1->isVisible());
    QVERIFY(f.form1->isEnabled());
    QVERIFY(f.settingsWindow() && f.settingsWindow()->isVisible());
    QCOMPARE(f.settings().Command1->text(), QStringLiteral("&Rendben"));
    QVERIFY(f.settings().Option1->isChecked());
    QCOMPARE(f.slot(0)->text(), QStringLiteral("Text1"));
    QVERIFY(!f.aboutWindow());
}

void TestWindowProtocol::firstStartCancelOrCloseEndsProgram()
{
    {
        WindowFixture f;
        f.start();
        f.settings().Command2->click();
        QCOMPARE(f.platform.endRequests, 1);
        QVERIFY(!QFile::exists(f.configPath()));
    }
    {
        WindowFixture f;
        f.start();
        QVERIFY(closeByUser(f.settingsWindow()));
        QCOMPARE(f.platform.endRequests, 1);
        QVERIFY(!QFile::exists(f.configPath()));
    }
}

void TestWindowProtocol::startAppliesStoredLanguage_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("placeholder");
    QTest::addColumn<QString>("changeCaption");
    QTest::newRow("1") << QByteArray("\"/games/Mp3/\",1\r\n") << hungarianPlaceholder << "&Csere";
    QTest::newRow("2") << QByteArray("\"/games/Mp3/\",2\r\n") << englishPlaceholder << "&Change";
    QTest::newRow("7") << QByteArray("\"/games/Mp3/\",7\r\n") << englishPlaceholder << "&Change";
}

void TestWindowProtocol::startAppliesStoredLanguage()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, placeholder);
    QFETCH(QString, changeCaption);

    WindowFixture f(line.toStdString());
    f.start();
    QVERIFY(f.form1->isVisible());
    QVERIFY(!f.settingsWindow()->isVisible());
    QCOMPARE(f.form1->utvonal(), QStringLiteral("/games/Mp3/"));
    for (int i = 0; i < core::slotCount; ++i)
        QCOMPARE(f.slot(i)->text(), placeholder);
    QCOMPARE(f.main().gomb_change->text(), changeCaption);
}

void TestWindowProtocol::okAtFirstStartWritesFileAndShowsMainWindow()
{
    WindowFixture f;
    QSignalSpy activations(f.form1.get(), &Form1::activated);
    f.start();
    f.settings().Text1->setText("/home/player/Valdrune3/Mp3");
    f.settings().Option2->click();
    f.settings().Command1->click();

    QCOMPARE(readBytes(f.configPath()), "\"/home/player/Valdrune3/Mp3" + separator + "\",2\r\n");
    QVERIFY(f.form1->isVisible());
    QVERIFY(f.form1->isEnabled());
    QVERIFY(!f.settingsWindow()->isVisible());
    QCOMPARE(activations.count(), 2);
    QCOMPARE(f.form1->nyelv(), languagecodes::english);
    QCOMPARE(f.form1->utvonal(), QStringLiteral("/home/player/Valdrune3/Mp3") + QDir::separator());
    QCOMPARE(f.slot(39)->text(), englishPlaceholder);
    QCOMPARE(f.main().Command2->text(), QStringLiteral("&Options"));
    QCOMPARE(f.platform.endRequests, 0);
}

void TestWindowProtocol::optionsThenCancelKeepsPicksAndUnsavedChoices()
{
    WindowFixture f("\"/games/Mp3/\",1\r\n");
    f.start();
    f.slot(5)->setText("/music/fortress.mp3");
    f.main().Command2->click();
    QVERIFY(f.form1->kapcs());
    QVERIFY(f.settingsWindow()->isVisible());
    QVERIFY(!f.form1->isEnabled());

    f.settings().Text1->setText("/elsewhere");
    f.settings().Option2->click();
    f.settings().Command2->click();
    QVERIFY(!f.settingsWindow()->isVisible());
    QVERIFY(f.form1->isEnabled());
    QCOMPARE(f.slot(5)->text(), QStringLiteral("/music/fortress.mp3"));
    QCOMPARE(readBytes(f.configPath()), std::string("\"/games/Mp3/\",1\r\n"));
    QCOMPARE(f.platform.endRequests, 0);

    f.main().Command2->click();
    QCOMPARE(f.settings().Text1->text(), QStringLiteral("/elsewhere"));
    QVERIFY(f.settings().Option2->isChecked());
}

void TestWindowProtocol::optionsThenCloseBoxReturnsAndNextWindowShowsStoredChoices()
{
    QTemporaryDir music;
    const QString stored = music.path() + "/Mp3";
    QVERIFY(QDir().mkpath(stored));
    WindowFixture f("\"" + storedFolder(stored) + "\",2\r\n");
    f.start();
    f.slot(0)->setText("/music/castle.mp3");
    f.main().Command2->click();
    Form2 *first = f.settingsWindow();
    first->controls().Text1->setText("/typed/but/not/saved");
    QVERIFY(closeByUser(first));
    QVERIFY(f.form1->isEnabled());
    QVERIFY(!f.settingsWindow());
    QCOMPARE(f.slot(0)->text(), QStringLiteral("/music/castle.mp3"));
    WindowFixture::destroyClosedWindows();

    f.main().Command2->click();
    Form2 *second = f.settingsWindow();
    QVERIFY(second != nullptr && second->isVisible());
    QCOMPARE(second->controls().Text1->text(), QDir::toNativeSeparators(stored));
    QCOMPARE(second->controls().Dir1->path(), QDir::toNativeSeparators(stored));
    QVERIFY(second->controls().Option2->isChecked());
    QCOMPARE(second->controls().Command1->text(), QStringLiteral("&OK"));

    // OK without touching anything stores the same bytes again.
    const std::string before = readBytes(f.configPath());
    second->controls().Command1->click();
    QCOMPARE(readBytes(f.configPath()), before);
}

void TestWindowProtocol::okFromOptionsSwitchesLanguageAndFolderAtOnce()
{
    QTemporaryDir game;
    QTemporaryDir music;
    QVERIFY(writeBytes(music.path() + "/song.mp3", testfiles::song()));
    QVERIFY(writeBytes(game.path() + "/Water.mp3", "the game's own"));
    WindowFixture f("\"/old/place/\",1\r\n");
    f.start();
    f.main().Command2->click();
    f.settings().Text1->setText(game.path());
    f.settings().Option2->click();
    f.settings().Command1->click();

    QCOMPARE(f.form1->nyelv(), languagecodes::english);
    QCOMPARE(f.form1->utvonal(), game.path() + QDir::separator());
    QCOMPARE(f.slot(0)->text(), englishPlaceholder);
    QVERIFY(f.form1->isEnabled());
    f.slot(26)->setText(music.path() + "/song.mp3");
    f.main().gomb_change->click();
    QVERIFY(f.platform.messages.isEmpty());
    QCOMPARE(readBytes(game.path() + "/Looplepr.mp3"), testfiles::song());
}

void TestWindowProtocol::okWhenFileCannotBeWrittenKeepsWindowOpen()
{
    WindowFixture f("\"/games/Mp3/\",2\r\n");
    f.start();
    f.slot(3)->setText("/music/stronghold.mp3");
    f.main().Command2->click();
    // The program's folder disappears: the file cannot be written there any more.
    QVERIFY(f.programFolder.remove());
    f.settings().Option1->click();
    f.settings().Command1->click();

    QCOMPARE(f.platform.messages.size(), 1);
    const QString reason = QStringLiteral("The file or folder does not exist");
    QCOMPARE(f.platform.messages.first(),
             "Cannot write " + QDir::toNativeSeparators(f.configPath()) + ": " + reason);
    QVERIFY(f.settingsWindow()->isVisible());
    QVERIFY(!f.form1->isEnabled());
    QCOMPARE(f.form1->nyelv(), languagecodes::english);
    QCOMPARE(f.slot(3)->text(), QStringLiteral("/music/stronghold.mp3"));
    QVERIFY(f.settings().Option1->isChecked());

    f.settings().Command2->click();
    QVERIFY(f.form1->isEnabled());
    QCOMPARE(f.slot(3)->text(), QStringLiteral("/music/stronghold.mp3"));
}

void TestWindowProtocol::readOnlyProgramFolderKeepsOldSettingsAndProgramWorks()
{
    QTemporaryDir game;
    QTemporaryDir music;
    QVERIFY(writeBytes(music.path() + "/song.mp3", testfiles::song()));
    QVERIFY(writeBytes(game.path() + "/Water.mp3", "the game's own"));
    const std::string line = "\"" + game.path().toStdString() + "/\",2\r\n";
    WindowFixture f;
#ifdef Q_OS_WIN
    QSKIP("the folder is made read-only with Linux means");
#else
    ScratchMount mount(f.programFolder.path(), "size=64k");
    if (mount.mounted()) {
        QVERIFY(writeBytes(f.configPath(), line));
        QVERIFY(mount.makeReadOnly());
    } else if (geteuid() != 0) {
        QVERIFY(writeBytes(f.configPath(), line));
        QVERIFY(QFile::setPermissions(f.programFolder.path(), QFile::ReadOwner | QFile::ExeOwner));
    } else {
        QSKIP("root without mount rights: the folder cannot be made read-only here");
    }

    f.start();
    f.main().Command2->click();
    f.settings().Option1->click();
    f.settings().Command1->click();
    QCOMPARE(f.platform.messages.size(), 1);
    QVERIFY2(f.platform.messages.first().startsWith("Cannot write " + f.configPath() + ": "),
             qPrintable(f.platform.messages.first()));
    QCOMPARE(readBytes(f.configPath()), line);
    QCOMPARE(testfiles::entries(f.programFolder.path()), QStringList{"config.ini"});

    f.settings().Command2->click();
    f.slot(31)->setText(music.path() + "/song.mp3");
    f.main().gomb_change->click();
    QCOMPARE(f.platform.messages.size(), 1);
    QCOMPARE(readBytes(game.path() + "/Retreat Battle.mp3"), testfiles::song());
    QFile::setPermissions(f.programFolder.path(),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
#endif
}

void TestWindowProtocol::aboutDisablesBothWindowsUntilClosed_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("cmdOK") << "cmdOK";
    QTest::newRow("Enter") << "Enter";
    QTest::newRow("Esc") << "Esc";
    QTest::newRow("close box") << "close box";
}

void TestWindowProtocol::aboutDisablesBothWindowsUntilClosed()
{
    QFETCH(QString, how);
    WindowFixture f("\"/games/Mp3/\",1\r\n");
    f.start();
    f.slot(7)->setText("/music/tower.mp3");
    f.main().Command1->click();
    FrmAbout *about = f.aboutWindow();
    QVERIFY(about && about->isVisible());
    QVERIFY(!f.form1->isEnabled());
    QVERIFY(!f.settingsWindow()->isEnabled());
    QCOMPARE(about->controls().lblVersion->text(), QString::fromUtf8("Verziószám 1.5.1"));

    // Clicks on the disabled main window do nothing.
    QTest::mouseClick(f.main().gomb_secondpage, Qt::LeftButton);
    QVERIFY(f.main().Frame1->isVisible());

    if (how == "cmdOK")
        about->controls().cmdOK->click();
    else if (how == "Enter")
        QTest::keyClick(about, Qt::Key_Return);
    else if (how == "Esc")
        QTest::keyClick(about, Qt::Key_Escape);
    else
        QVERIFY(closeByUser(about));

    QVERIFY(!f.aboutWindow());
    QVERIFY(f.form1->isEnabled());
    QVERIFY(f.settingsWindow()->isEnabled());
    // The picks survive: the settings are not read again once they were found.
    QCOMPARE(f.slot(7)->text(), QStringLiteral("/music/tower.mp3"));
}

void TestWindowProtocol::reopenedAboutShowsCurrentLanguage()
{
    WindowFixture f("\"/games/Mp3/\",2\r\n");
    f.start();
    f.main().Command2->click();
    f.settings().Command2->click();
    f.main().Command1->click();
    f.aboutWindow()->controls().cmdOK->click();
    WindowFixture::destroyClosedWindows();

    f.main().Command1->click();
    const FrmAboutControls &a = f.aboutWindow()->controls();
    QCOMPARE(a.lblVersion->text(), QStringLiteral("Version 1.5.1"));
    QVERIFY(a.lblDescription->text().startsWith("With this product"));
    QVERIFY(a.Label1->text().startsWith("Created by: "));
}

void TestWindowProtocol::disabledMainWindowCannotBeClosed()
{
    WindowFixture f("\"/games/Mp3/\",2\r\n");
    f.start();
    f.main().Command2->click();
    QVERIFY(!closeByUser(f.form1.get()));
    QCOMPARE(f.platform.endRequests, 0);
    f.settings().Command2->click();
    f.main().Command1->click();
    QVERIFY(!closeByUser(f.form1.get()));
    QVERIFY(!closeByUser(f.settingsWindow()));
    QCOMPARE(f.platform.endRequests, 0);
}

void TestWindowProtocol::exitAndCloseBoxEndProgram()
{
    WindowFixture f("\"/games/Mp3/\",2\r\n");
    f.start();
    f.main().gomb_exit->click();
    QCOMPARE(f.platform.endRequests, 1);
    QVERIFY(closeByUser(f.form1.get()));
    QCOMPARE(f.platform.endRequests, 2);
    QCOMPARE(readBytes(f.configPath()), std::string("\"/games/Mp3/\",2\r\n"));
}

void TestWindowProtocol::activationOnlyOnItsTriggers()
{
    WindowFixture f("\"/games/Mp3/\",2\r\n");
    QSignalSpy activations(f.form1.get(), &Form1::activated);
    f.start();
    QCOMPARE(activations.count(), 1);

    // Not an activation: a message box or the file dialog closing, a switch from another
    // program, the window system's own activation events.
    f.main().gomb_change->click();
    f.main().gomb_browse[0]->click();
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(f.form1.get(), &activate);
    QApplicationStateChangeEvent back(Qt::ApplicationActive);
    QApplication::sendEvent(qApp, &back);
    QCOMPARE(activations.count(), 1);

    // Activations: coming back from the about window and from the settings window.
    f.main().Command1->click();
    f.aboutWindow()->controls().cmdOK->click();
    QCOMPARE(activations.count(), 2);
    f.main().Command2->click();
    f.settings().Command2->click();
    QCOMPARE(activations.count(), 3);
    f.main().Command2->click();
    QVERIFY(closeByUser(f.settingsWindow()));
    QCOMPARE(activations.count(), 4);
    f.main().Command2->click();
    f.settings().Command1->click();
    QCOMPARE(activations.count(), 5);
}

void TestWindowProtocol::pageButtons()
{
    WindowFixture f("\"/games/Mp3/\",2\r\n");
    f.start();
    f.slot(2)->setText("/music/rampart.mp3");
    f.main().gomb_secondpage->click();
    QVERIFY(!f.main().Frame1->isVisible());
    QVERIFY(f.main().Frame2->isVisible());
    QVERIFY(f.slot(24)->isVisible());
    QVERIFY(!f.slot(23)->isVisible());
    QVERIFY(f.main().gomb_firstpage->isEnabled());
    QVERIFY(!f.main().gomb_secondpage->isEnabled());
    f.main().gomb_firstpage->click();
    QVERIFY(f.main().Frame1->isVisible());
    QVERIFY(!f.main().Frame2->isVisible());
    QVERIFY(!f.main().gomb_firstpage->isEnabled());
    QVERIFY(f.main().gomb_secondpage->isEnabled());
    QCOMPARE(f.slot(2)->text(), QStringLiteral("/music/rampart.mp3"));
}

void TestWindowProtocol::browsePutsPickIntoItsSlotOnly()
{
    WindowFixture f("\"/games/Mp3/\",1\r\n");
    f.start();
    f.platform.answerNextFileDialog(QStringLiteral("/music/intro.mp3"));
    f.main().gomb_browse[12]->click();
    for (int i = 0; i < core::slotCount; ++i)
        QCOMPARE(f.slot(i)->text(),
                 i == 12 ? QStringLiteral("/music/intro.mp3") : hungarianPlaceholder);

    const PlatformLayer::OpenFileRequest first = f.platform.fileRequests.constFirst();
    QCOMPARE(first.title, QStringLiteral("Open"));
    // The specified MP3 entry first, then every music format the program reads.
    QCOMPARE(first.nameFilter, QString::fromUtf8("Mp3 hangfájlok (*.mp3);;Zene (*.mp3 *.flac *.ogg "
                                                 "*.oga *.opus *.m4a *.mp4 *.wav *.aif *.aiff "
                                                 "*.wma *.mka *.webm)"));
#ifdef Q_OS_WIN
    QCOMPARE(first.folder, QStringLiteral("c:\\"));
#else
    QCOMPARE(first.folder, QDir::homePath());
#endif
    QVERIFY(first.fileName.isEmpty());

    // Cancel leaves the slot; the next use starts from the kept file name.
    f.platform.answerNextFileDialog(std::nullopt);
    f.main().gomb_browse[13]->click();
    QCOMPARE(f.slot(13)->text(), hungarianPlaceholder);
    QCOMPARE(f.platform.fileRequests.at(1).fileName, QStringLiteral("/music/intro.mp3"));

    f.platform.answerNextFileDialog(QStringLiteral("/music/other.wav"));
    f.main().gomb_browse[12]->click();
    QCOMPARE(f.slot(12)->text(), QStringLiteral("/music/other.wav"));
    QCOMPARE(f.main().CommonDialog1->fileName(), QStringLiteral("/music/other.wav"));
}

void TestWindowProtocol::chooserReopensOnTheFilterChosenLast()
{
    WindowFixture f("\"/games/Mp3/\",1\r\n");
    f.start();
    const auto entries = [&](int request) {
        return f.platform.fileRequests.at(request).nameFilter.split(";;");
    };
    const auto shownFirst = [&](int request) {
        return f.platform.fileRequests.at(request).selectedFilter;
    };
    f.platform.filterAnswers << QString::fromUtf8("Zene (*.mp3 *.flac *.ogg *.oga *.opus *.m4a "
                                                  "*.mp4 *.wav *.aif *.aiff *.wma *.mka *.webm)");
    f.platform.answerNextFileDialog(QStringLiteral("/music/intro.flac"));
    f.main().gomb_browse[0]->click();
    QCOMPARE(shownFirst(0), QString::fromUtf8("Mp3 hangfájlok (*.mp3)"));
    // Cancelled without touching the filter, and opened again after a language switch.
    f.platform.answerNextFileDialog(std::nullopt);
    f.main().gomb_browse[1]->click();
    QCOMPARE(shownFirst(1), entries(1).at(1));
    f.form1->applyLanguage(2);
    f.platform.filterAnswers << entries(1).at(0);
    f.main().gomb_browse[1]->click();
    QCOMPARE(shownFirst(2), entries(2).at(1));
    QVERIFY(shownFirst(2).startsWith("Music ("));
    f.main().gomb_browse[1]->click();
    QCOMPARE(shownFirst(3), QString::fromUtf8("Mp3 hangfájlok (*.mp3)"));
}

void TestWindowProtocol::changeCopiesAndReportsFirstFailure()
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

void TestWindowProtocol::changeWithoutFolderIsRefused()
{
    WindowFixture f("\"\",1\r\n");
    f.start();
    f.slot(0)->setText("/music/castle.mp3");
    f.main().gomb_change->click();
    QCOMPARE(f.platform.messages.size(), 1);
    QCOMPARE(f.platform.messages.first(),
             QString::fromUtf8("Előbb add meg a játék zenéinek mappáját a Beállításokban!"));
}

void TestWindowProtocol::cancelledChangeSaysWhatWentIn_data()
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

void TestWindowProtocol::cancelledChangeSaysWhatWentIn()
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

void TestWindowProtocol::changeCancelledWhileCheckingCountsWhatTheRunTries_data()
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

void TestWindowProtocol::changeCancelledWhileCheckingCountsWhatTheRunTries()
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

void TestWindowProtocol::refusedRunLeadsToItsSlot_data()
{
    QTest::addColumn<bool>("refusedBeforeWriting");
    QTest::newRow("refused") << true;
    QTest::newRow("copy failed, window as it was") << false;
}

void TestWindowProtocol::refusedRunLeadsToItsSlot()
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

void TestWindowProtocol::folderListsFillPathBox()
{
    QTemporaryDir root;
    QVERIFY(QDir(root.path()).mkpath("Mp3/Sub"));
    WindowFixture f("\"" + root.path().toStdString() + "/Mp3/\",2\r\n");
    f.start();
    f.main().Command2->click();
    QVERIFY(QTest::qWaitForWindowExposed(f.settingsWindow()));
    DirectoryList *dir = f.settings().Dir1;
    const auto native = [&](const QString &relative) {
        return QDir::toNativeSeparators(root.path() + relative);
    };
    QCOMPARE(dir->path(), native("/Mp3"));

    // A single click highlights only: the path box gets the current folder.
    QTreeWidgetItem *sub = dir->findItems("Sub", Qt::MatchExactly | Qt::MatchRecursive).value(0);
    QVERIFY(sub);
    f.settings().Text1->setText("typed");
    dir->scrollToItem(sub);
    const QRect subRect = dir->visualItemRect(sub);
    QTest::mouseClick(dir->viewport(), Qt::LeftButton, {}, subRect.center());
    QCOMPARE(f.settings().Text1->text(), native("/Mp3"));

    // Opening it makes it the current folder.
    QTest::mouseDClick(dir->viewport(), Qt::LeftButton, {}, dir->visualItemRect(sub).center());
    QCOMPARE(dir->path(), native("/Mp3/Sub"));
    QCOMPARE(f.settings().Text1->text(), native("/Mp3/Sub"));

    // Enter on the highlighted parent folder opens it.
    QTreeWidgetItem *parent = dir->findItems("Mp3", Qt::MatchExactly | Qt::MatchRecursive).value(0);
    dir->setCurrentItem(parent);
    dir->setFocus();
    QTest::keyClick(dir->viewport(), Qt::Key_Return);
    QCOMPARE(f.settings().Text1->text(), native("/Mp3"));

    f.settings().Command1->click();
    QCOMPARE(readBytes(f.configPath()), "\"" + storedFolder(root.path() + "/Mp3") + "\",2\r\n");
}

void TestWindowProtocol::unavailableDriveFallsBackToSystemDrive_data()
{
    QTest::addColumn<bool>("deviceUnavailable");
    QTest::newRow("no medium: message, then the system drive") << true;
    QTest::newRow("present but unreadable: ignored") << false;
}

void TestWindowProtocol::unavailableDriveFallsBackToSystemDrive()
{
    QFETCH(bool, deviceUnavailable);
    QTemporaryDir game;
    WindowFixture f("\"" + storedFolder(game.path()) + "\",2\r\n");
    f.start();
    f.main().Command2->click();
#ifdef Q_OS_WIN
    const QString drive = QStringLiteral("Q:\\");
#else
    const QString drive = QStringLiteral("/unlistable-drive");
#endif
    const QString system = DriveList::systemDrive();
    if (deviceUnavailable)
        f.platform.unavailableDrives << drive;
    DriveList *drives = f.settings().Drive1;
    drives->setDrives({system, drive});
    drives->setDrive(drive);
    if (deviceUnavailable) {
        QCOMPARE(f.platform.messages,
                 QStringList{QString::fromUtf8(
                     "Az eszközről nem lehet beolvasni. Nézd meg bent van-e a lemez vagy a CD.")});
        QCOMPARE(drives->drive(), system);
        QCOMPARE(f.settings().Dir1->path(), DriveList::currentFolderOf(system));
        QCOMPARE(f.settings().Text1->text(), DriveList::currentFolderOf(system));
    } else {
        QVERIFY(f.platform.messages.isEmpty());
        QCOMPARE(f.settings().Dir1->path(), QDir::toNativeSeparators(game.path()));
        QCOMPARE(f.settings().Text1->text(), QDir::toNativeSeparators(game.path()));
    }
}

void TestWindowProtocol::driveListShowsTheDriveOfTheFolderShown_data()
{
    QTest::addColumn<QString>("opened"); // in the prefix's drive c:; empty: the system drive
    QTest::addColumn<bool>("inPrefix");
    QTest::addColumn<bool>("driveFoundLater");
    QTest::newRow("a folder in the prefix") << "Program Files" << true << false;
    QTest::newRow("out of the prefix") << "" << false << false;
    QTest::newRow("prefix found after the window opened") << "Program Files" << true << true;
}

void TestWindowProtocol::driveListShowsTheDriveOfTheFolderShown()
{
    QFETCH(QString, opened);
    QFETCH(bool, inPrefix);
    QFETCH(bool, driveFoundLater);
    QTemporaryDir home;
    const QString driveC = QDir::toNativeSeparators(home.path() + "/.wine/drive_c");
    const QString music = QDir::toNativeSeparators(driveC + "/Program Files/Korvex/Valdrune3/Mp3");
    QVERIFY(QDir().mkpath(music));
    const QList<Form2::FolderDrive> prefix{{driveC, QStringLiteral("c: [Wine: .wine]")}};
    ScriptedPlatform platform;
    Form2 window(platform, music, driveFoundLater ? QList<Form2::FolderDrive>{} : prefix);
    window.show();
    if (driveFoundLater)
        window.addFolderDrives(prefix);
    DriveList *drives = window.controls().Drive1;
    QCOMPARE(drives->drive(), driveC);
    QSignalSpy driveChanges(drives, &DriveList::driveChanged);
    // Opened in the folder list, as by a double click.
    const QString target = opened.isEmpty()
                               ? DriveList::systemDrive()
                               : QDir::toNativeSeparators(QDir::cleanPath(driveC + "/" + opened));
    DirectoryList *folders = window.controls().Dir1;
    QTreeWidgetItemIterator item(folders);
    while (*item && (*item)->data(0, Qt::UserRole).toString() != target)
        ++item;
    QVERIFY(*item);
    emit folders->itemActivated(*item, 0);
    QCOMPARE(window.controls().Text1->text(), target);
    QCOMPARE(drives->drive(), inPrefix ? driveC : DriveList::systemDrive());
    QCOMPARE(driveChanges.count(), 0);
    QCOMPARE(folders->path(), target);
}

void TestWindowProtocol::pageSwitchLeavesFocusOffChange_data()
{
    QTest::addColumn<int>("fromPage");
    QTest::addColumn<bool>("byMouse");
    QTest::newRow("click 2nd Page") << 1 << true;
    QTest::newRow("click 1st Page") << 2 << true;
    QTest::newRow("Alt+2 in a slot box") << 1 << false;
    QTest::newRow("Alt+1 in a slot box") << 2 << false;
}

void TestWindowProtocol::pageSwitchLeavesFocusOffChange()
{
    QFETCH(int, fromPage);
    QFETCH(bool, byMouse);
    QTemporaryDir game;
    QVERIFY(writeBytes(game.path() + "/song.mp3", testfiles::song()));
    WindowFixture f("\"" + game.path().toStdString() + "/\",2\r\n");
    f.start();
    f.form1->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(f.form1.get()));
    for (const int slot : {3, 30})
        f.slot(slot)->setText(game.path() + "/song.mp3");
    if (fromPage == 2)
        f.main().gomb_secondpage->click();

    QPushButton *pageButton = fromPage == 1 ? f.main().gomb_secondpage : f.main().gomb_firstpage;
    if (byMouse) {
        QTest::mouseClick(pageButton, Qt::LeftButton);
    } else {
        f.slot(fromPage == 1 ? 3 : 30)->setFocus();
        QTest::keyClick(f.slot(fromPage == 1 ? 3 : 30), fromPage == 1 ? Qt::Key_2 : Qt::Key_1,
                        Qt::AltModifier);
    }
    // A mnemonic clicks a moment later, as the button is drawn pressed.
    QTRY_COMPARE(f.main().Frame1->isVisible(), fromPage == 2);
    QWidget *focused = QApplication::focusWidget();
    QVERIFY(focused != f.main().gomb_change);
    QTest::keyClick(focused, Qt::Key_Space);
    QCOMPARE(testfiles::entries(game.path()), QStringList{"song.mp3"});
}

void TestWindowProtocol::storedFolderTravelsAsItsBytes()
{
#ifdef Q_OS_WIN
    QSKIP("folder names on Windows are text, not bytes");
#endif
    QTemporaryDir root;
    QVERIFY(writeBytes(root.path() + "/song.mp3", testfiles::song()));
    // Latin-1 bytes, not UTF-8: a name any Linux folder may have.
    const std::string folder = root.path().toStdString() + "/J\xe1t\xe9k";
    QVERIFY(std::filesystem::create_directory(folder));
    std::ofstream(folder + "/Water.mp3") << "the game's own";
    const std::string line = "\"" + folder + "/\",2\r\n";
    WindowFixture f(line);
    f.start();
    f.slot(9)->setText(root.path() + "/song.mp3");
    f.main().gomb_change->click();
    QVERIFY(f.platform.messages.isEmpty());
    QVERIFY(std::filesystem::exists(folder + "/Dirt.mp3"));

    f.main().Command2->click();
    f.settings().Command1->click();
    QCOMPARE(readBytes(f.configPath()), line);
    // Its name is no text, so the temporary folder cannot remove it.
    std::filesystem::remove_all(folder);
}

void TestWindowProtocol::defaultButtonRestoresKeptOriginals_data()
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

void TestWindowProtocol::defaultButtonRestoresKeptOriginals()
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

void TestWindowProtocol::defaultButtonFollowsFolder()
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

void TestWindowProtocol::firstStartOpensAtGameInWinePrefix()
{
#ifdef Q_OS_WIN
    QSKIP("Wine prefixes are where Linux players keep the game");
#else
    QTemporaryDir home;
    const QString lutris = home.path() + "/Games/valdrune3/drive_c";
    const QString music = lutris + "/Program Files/Korvex/Valdrune3/Mp3";
    QVERIFY(QDir().mkpath(music));
    QVERIFY(QDir().mkpath(home.path() + "/.wine/drive_c"));
    QVERIFY(writeBytes(music + "/Dirt.mp3", "game"));
    const QByteArray realHome = qgetenv("HOME");
    qputenv("HOME", home.path().toUtf8());
    qunsetenv("WINEPREFIX");
    {
        WindowFixture f;
        f.start();
        // The search runs beside the window and moves it to the game when it ends.
        QTRY_COMPARE(f.settings().Text1->text(), music);
        QCOMPARE(f.settings().Dir1->path(), music);
        DriveList *drives = f.settings().Drive1;
        QCOMPARE(drives->currentText(), QStringLiteral("c: [Lutris: valdrune3]"));
        QCOMPARE(drives->drive(), lutris);
        QCOMPARE(drives->itemData(drives->findText("c: [Wine: .wine]")).toString(),
                 home.path() + "/.wine/drive_c");
        // A prefix is a folder, not a device: choosing it opens its drive c:.
        drives->setCurrentIndex(drives->findText("c: [Wine: .wine]"));
        QCOMPARE(f.settings().Dir1->path(), home.path() + "/.wine/drive_c");
        QVERIFY(f.platform.messages.isEmpty());
    }
    qputenv("HOME", realHome);
#endif
}

void TestWindowProtocol::prefixSearchWaitsForSettingsWindowAndPlayer()
{
    {
        WindowFixture f("\"/games/Mp3/\",2\r\n");
        f.start();
        QVERIFY(f.form1->protocol().existingForm2());
        QVERIFY(!f.form1->protocol().settingsStore().prefixSearch().isStarted());
        f.main().Command2->click();
        QVERIFY(f.form1->protocol().settingsStore().prefixSearch().isStarted());
        QTRY_VERIFY(f.form1->protocol().settingsStore().prefixSearch().isDone());
    }
    // A folder the player typed while the search ran stays.
    WindowFixture f;
    f.start();
    f.settings().Text1->setText(QStringLiteral("/my/own/Mp3"));
    QTRY_VERIFY(f.form1->protocol().settingsStore().prefixSearch().isDone());
    QCOMPARE(f.settings().Text1->text(), QStringLiteral("/my/own/Mp3"));
}

void TestWindowProtocol::handOverOpensWithPicksAndWritesNoSettings()
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

void TestWindowProtocol::handOverTakesOnlyItsOwnFile_data()
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

void TestWindowProtocol::handOverTakesOnlyItsOwnFile()
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

void TestWindowProtocol::setsAndHandOverCarryTheLoudnessChoice()
{
    QTemporaryDir music;
    QVERIFY(writeBytes(music.path() + "/song.mp3", testfiles::song()));
    const QString set = music.path() + "/mine.m3u8";
    {
        WindowFixture f("\"/games/Mp3/\",2\r\n");
        f.start();
        LoudnessChoice &choice = f.form1->protocol().loudnessChoice();
        f.slot(0)->setText(QDir::toNativeSeparators(music.path() + "/song.mp3"));
        choice.setOptions({false, true});
        f.platform.saveAnswers << set;
        f.form1->protocol().musicSets().save(false);
        QVERIFY(readBytes(set).find("#VALDRUNE-LOUDNESS:match=0\n#VALDRUNE-LOUDNESS:mp3=1\n") !=
                std::string::npos);
        choice.setOptions({true, false});
        f.platform.yesNoAnswers << true;
        f.form1->protocol().musicSets().openFile(set);
        QVERIFY(!choice.options().matchLoudness && choice.options().matchMp3);
    }
    // The copy handed over takes the choice and stores nothing of it.
    WindowFixture f;
    core::MusicSet handedOver = core::MusicSet::parse(readBytes(set), music.path().toStdString());
    handedOver.gameFolder = "/games/Mp3/";
    f.platform.yesNoAnswers << true;
    QVERIFY(f.form1->protocol().takeOver(handedOver));
    f.start();
    LoudnessChoice &choice = f.form1->protocol().loudnessChoice();
    QVERIFY(!choice.options().matchLoudness && choice.options().matchMp3);
    choice.setOptions({true, true});
    QVERIFY(!QFile::exists(QFileInfo(f.configPath()).path() + "/loudness.ini"));
}

void TestWindowProtocol::protectedFolderOffersStartAsAdministrator()
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
        QStringLiteral("There was a fault during the copying atDirt.mp3. The error code is: 70.\n\n"
                       "Windows protects this folder. Start the program as administrator to change "
                       "the game's music?"));
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

void TestWindowProtocol::fileInUseIsNoCaseForAdministrator_data()
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

void TestWindowProtocol::fileInUseIsNoCaseForAdministrator()
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

void TestWindowProtocol::pickChecksLetGoBeforeRunWrites()
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

void TestWindowProtocol::virtualStoreCopiesAreOfferedOnce()
{
#ifndef Q_OS_WIN
    QSKIP("file virtualization is Windows'");
#else
    const QString relative =
        "/Korvex/VMC Store " + QString::number(QCoreApplication::applicationPid());
    const QString game = qEnvironmentVariable("ProgramFiles") + relative;
    const QString programFiles = QDir::fromNativeSeparators(qEnvironmentVariable("ProgramFiles"));
    const QString store =
        qEnvironmentVariable("LOCALAPPDATA") + "/VirtualStore" + programFiles.mid(2) + relative;
    QVERIFY(QDir().mkpath(game));
    QVERIFY(QDir().mkpath(store));
    QVERIFY(writeBytes(game + "/Dirt.mp3", "the game's own"));
    QVERIFY(writeBytes(store + "/Dirt.mp3", "an old tool's"));
    WindowFixture f("\"" + storedFolder(game) + "\",2\r\n");
    f.platform.yesNoAnswers << true;
    f.start();
    QCOMPARE(f.platform.questions.size(), 1);
    QVERIFY2(
        f.platform.questions.first().startsWith("The game will play 1 file(s) that Windows keeps"),
        qPrintable(f.platform.questions.first()));
    QVERIFY(!QFile::exists(store + "/Dirt.mp3"));
    // The game folder's file is the original; the copy is parked beside it.
    QCOMPARE(readBytes(game + "/Originals (Music Changer)/Dirt.mp3"),
             std::string("the game's own"));
    QCOMPARE(readBytes(game + "/Originals (Music Changer)/VirtualStore copies/Dirt.mp3"),
             std::string("an old tool's"));
    QVERIFY(!f.main().gomb_default->isVisible());
    f.form1->activate();
    QCOMPARE(f.platform.questions.size(), 1);
    QDir(game).removeRecursively();
    QDir(store).removeRecursively();
#endif
}

void TestWindowProtocol::slotMenuRestoresThatSlotAlone()
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

void TestWindowProtocol::showInFolderThatCannotOpenGivesThePath_data()
{
    QTest::addColumn<char>("language");
    QTest::addColumn<bool>("opens");
    QTest::addColumn<QString>("message"); // %1 the folder
    QTest::newRow("opened") << '2' << true << QString();
    QTest::newRow("English") << '2' << false
                             << "The folder could not be opened in a file manager. Open it by "
                                "hand:\n%1";
    QTest::newRow("Hungarian") << '1' << false
                               << QString::fromUtf8("A mappát nem sikerült fájlkezelőben "
                                                    "megnyitni. Nyisd meg kézzel:\n%1");
}

void TestWindowProtocol::showInFolderThatCannotOpenGivesThePath()
{
    QFETCH(char, language);
    QFETCH(bool, opens);
    QFETCH(QString, message);
    QTemporaryDir music;
    QVERIFY(writeBytes(music.path() + "/song.mp3", testfiles::song()));
    WindowFixture f(std::string("\"/games/Mp3/\",") + language + "\r\n");
    f.start();
    f.slot(7)->setText(QDir::toNativeSeparators(music.path() + "/song.mp3"));
    f.platform.foldersOpen = opens;
    emit f.form1->findChildren<SlotRow *>().value(7)->showInFolderRequested();
    QCOMPARE(f.platform.shownFolders, QStringList{music.path()});
    QCOMPARE(f.platform.messages,
             opens ? QStringList()
                   : QStringList{message.arg(QDir::toNativeSeparators(music.path()))});
}

void TestWindowProtocol::setsSaveAndOpenThePicks()
{
    QTemporaryDir music;
    QVERIFY(QDir(music.path()).mkpath("sets"));
    QVERIFY(writeBytes(music.path() + "/sets/song.mp3", testfiles::song()));
    QVERIFY(writeBytes(music.path() + "/other.mp3", testfiles::song()));
    WindowFixture f("\"/games/Mp3/\",2\r\n");
    f.start();
    f.slot(0)->setText(QDir::toNativeSeparators(music.path() + "/sets/song.mp3"));
    f.slot(39)->setText(QDir::toNativeSeparators(music.path() + "/other.mp3"));
    const QString set = music.path() + "/sets/mine.m3u8";
    f.platform.saveAnswers << set << (music.path() + "/shared/theirs");
    QApplication::setActiveWindow(f.form1.get());
    QVERIFY(QTest::qWaitForWindowActive(f.form1.get()));
    QTest::keyClick(f.form1.get(), Qt::Key_S, Qt::ControlModifier);
    QVERIFY(readBytes(set).find("\nsong.mp3\n") != std::string::npos);

    // With its music: copies beside the set, under names of their own, found relatively.
    QVERIFY(QDir(music.path()).mkpath("shared"));
    MusicSets &sets = f.form1->protocol().musicSets();
    std::unique_ptr<QMenu>(sets.createMenu(f.form1.get()))->actions().at(1)->trigger();
    // Beside them, the record of the copies this save made.
    QCOMPARE(testfiles::entries(music.path() + "/shared/theirs files"),
             (QStringList{".valdrune-copies", "other.mp3", "song.mp3"}));
    QVERIFY(readBytes(music.path() + "/shared/theirs.m3u8").find("\ntheirs files/song.mp3\n") !=
            std::string::npos);

    f.slot(5)->setText("/somewhere/else.mp3");
    f.platform.yesNoAnswers << true;
    sets.openFile(set);
    QCOMPARE(f.platform.questions.size(), 1);
    QCOMPARE(f.slot(0)->text(), QDir::toNativeSeparators(music.path() + "/sets/song.mp3"));
    QCOMPARE(f.slot(5)->text(), englishPlaceholder);
    QCOMPARE(f.slot(39)->text(), QDir::toNativeSeparators(music.path() + "/other.mp3"));
    QVERIFY(f.platform.messages.isEmpty());
}

void TestWindowProtocol::clearAllPicksAsksWhenMoreThanOneWouldGo_data()
{
    QTest::addColumn<char>("language");
    QTest::addColumn<int>("picks");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<QString>("question"); // empty: none is asked
    QTest::newRow("one pick") << '2' << 1 << false << QString();
    QTest::newRow("two, yes") << '2' << 2 << true << "Clear all picks? (2 files)";
    QTest::newRow("two, no") << '2' << 2 << false << "Clear all picks? (2 files)";
    QTest::newRow("Hungarian") << '1' << 3 << true
                               << QString::fromUtf8("Törlöd az összes választást? (3 fájl)");
}

void TestWindowProtocol::clearAllPicksAsksWhenMoreThanOneWouldGo()
{
    QFETCH(char, language);
    QFETCH(int, picks);
    QFETCH(bool, answer);
    QFETCH(QString, question);
    WindowFixture f(std::string("\"/games/Mp3/\",") + language + "\r\n");
    f.start();
    const QString placeholder = language == '1' ? hungarianPlaceholder : englishPlaceholder;
    for (int i = 0; i < picks; ++i)
        f.slot(i * 13)->setText(QStringLiteral("/music/%1.mp3").arg(i));
    f.platform.yesNoAnswers << answer;
    const QString clearAll =
        QString::fromUtf8(TextTable::forLanguage(language - '0').clearAllPicks);
    std::unique_ptr<QMenu> menu(f.form1->protocol().musicSets().createMenu(f.form1.get()));
    for (QAction *action : menu->actions())
        if (action->text() == clearAll)
            action->trigger();
    QCOMPARE(f.platform.questions, question.isEmpty() ? QStringList() : QStringList{question});
    if (!question.isEmpty())
        QCOMPARE(f.platform.defaultAnswers, QList{PlatformLayer::DefaultAnswer::Yes});
    const bool cleared = question.isEmpty() || answer;
    for (int i = 0; i < picks; ++i)
        QCOMPARE(f.slot(i * 13)->text(),
                 cleared ? placeholder : QStringLiteral("/music/%1.mp3").arg(i));
}

QTEST_MAIN(TestWindowProtocol)
#include "tst_windowprotocol.moc"
