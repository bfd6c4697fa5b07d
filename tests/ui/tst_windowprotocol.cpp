// SPDX-License-Identifier: GPL-3.0-or-later
#include "LanguageCodes.h"
#include "ScratchMount.h"
#include "TextTable.h"
#include "WindowFixture.h"
#include "forms/CommonDialog.h"
#include "forms/DirectoryList.h"
#include "forms/DriveList.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

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
    void aboutDisablesBothWindowsUntilClosed_data();
    void aboutDisablesBothWindowsUntilClosed();
    void reopenedAboutShowsCurrentLanguage();
    void disabledMainWindowCannotBeClosed();
    void exitAndCloseBoxEndProgram();
    void activationOnlyOnItsTriggers();
    void pageButtons();
    void browsePutsPickIntoItsSlotOnly();
    void chooserReopensOnTheFilterChosenLast();
    void folderListsFillPathBox();
    void unavailableDriveFallsBackToSystemDrive_data();
    void unavailableDriveFallsBackToSystemDrive();
    void driveListShowsTheDriveOfTheFolderShown_data();
    void driveListShowsTheDriveOfTheFolderShown();
    void pageSwitchLeavesFocusOffChange_data();
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

QTEST_MAIN(TestWindowProtocol)
#include "tst_windowprotocol.moc"
