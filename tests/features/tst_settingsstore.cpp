// SPDX-License-Identifier: GPL-3.0-or-later
#include "LanguageCodes.h"
#include "ScratchMount.h"
#include "WindowFixture.h"
#include "features/SettingsStore.h"
#include "files/AtomicFileWriter.h"
#include "forms/DirectoryList.h"
#include "forms/DriveList.h"

#include <QTest>

#include <filesystem>
#include <fstream>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

using testfiles::readBytes;
using testfiles::writeBytes;

// Where config.ini is written, what a failed save leaves, the stored folder's bytes, and
// what the settings window opens at: the main window with a scripted desktop.
class TestSettingsStore : public QObject
{
    Q_OBJECT

  private slots:
    void okWhenFileCannotBeWrittenKeepsWindowOpen();
    void readOnlyProgramFolderKeepsOldSettingsAndProgramWorks();
    void storedFolderTravelsAsItsBytes();
    void killedWritesLeftoversGoAtStartButFreshOnesStay();
    void firstStartOpensAtGameInWinePrefix();
    void prefixSearchWaitsForSettingsWindowAndPlayer();
};

void TestSettingsStore::okWhenFileCannotBeWrittenKeepsWindowOpen()
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

void TestSettingsStore::readOnlyProgramFolderKeepsOldSettingsAndProgramWorks()
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

void TestSettingsStore::storedFolderTravelsAsItsBytes()
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

void TestSettingsStore::killedWritesLeftoversGoAtStartButFreshOnesStay()
{
    WindowFixture f("\"/games/Mp3/\",2\r\n");
    const auto now = std::filesystem::file_time_type::clock::now();
    // A killed write's, and another running copy's write under way.
    std::vector<std::filesystem::path> files;
    for (const auto written : {now - std::chrono::hours(1), now}) {
        files.push_back(f.programFolder.path().toStdString() + "/" +
                        core::AtomicFileWriter::newTemporaryName());
        std::ofstream(files.back()) << "half a set";
        std::filesystem::last_write_time(files.back(), written);
    }
    f.start();
    QVERIFY(!std::filesystem::exists(files[0]));
    QVERIFY(std::filesystem::exists(files[1]));
}

void TestSettingsStore::firstStartOpensAtGameInWinePrefix()
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

void TestSettingsStore::prefixSearchWaitsForSettingsWindowAndPlayer()
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

QTEST_MAIN(TestSettingsStore)
#include "tst_settingsstore.moc"
