// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestFiles.h"
#include "wine/WinePrefixFinder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using core::WinePrefix;
using core::WinePrefixFinder;

class TestWinePrefixFinder : public QObject
{
    Q_OBJECT

  private slots:
    void findsPrefixesInOrderWithTheirGame();
    void findsAGameOnASteamDeckMemoryCard();
    void stopsAfterItsBudget();
    void readsSteamLibraryFileSafely_data();
    void readsSteamLibraryFileSafely();
    void passesOverASteamLibraryFileThatIsNoFile();

  private:
    void makeFolder(const QString &relative) const { QVERIFY(QDir(home_.path()).mkpath(relative)); }
    void makeFile(const QString &relative) const
    {
        QVERIFY(QDir(home_.path()).mkpath(QFileInfo(relative).path()));
        QVERIFY(testfiles::writeBytes(home_.path() + "/" + relative, "mp3"));
    }

    QTemporaryDir home_;
};

void TestWinePrefixFinder::findsPrefixesInOrderWithTheirGame()
{
    const QString h = home_.path();
    makeFolder("custom/drive_c");
    makeFolder(".wine/drive_c/Program Files");
    // A folder named Mp3 without the game's files, and a link that leads back up.
    makeFile(".wine/drive_c/Program Files/Other/Mp3/readme.txt");
    QVERIFY(QFile::link(h + "/.wine/drive_c", h + "/.wine/drive_c/Program Files/loop"));
    makeFile(".local/share/wineprefixes/valdrune/drive_c/Program Files/Korvex/Valdrune3/Mp3/"
             "COMBAT01.MP3");
    makeFile("Games/valdrune3/drive_c/GOG Games/Valdrune 3/MP3/cstletown.mp3");
    makeFolder("Games/not a prefix");
    // A prefix kept on another disk, linked into place.
    makeFolder("elsewhere/linked/drive_c");
    QVERIFY(QFile::link(h + "/elsewhere/linked", h + "/Games/linked"));
    makeFolder(".local/share/bottles/bottles/Gaming/drive_c");
    makeFolder("Games/Heroic/Prefixes/vr3/drive_c");
    // Two Steam libraries, one of them reached through the usual link as well.
    makeFolder(".local/share/Steam/steamapps/compatdata/2001/pfx/drive_c");
    makeFolder("SteamLibrary/steamapps/compatdata/12345/pfx/drive_c");
    makeFile("SteamLibrary/steamapps/common/Valdrune 3/Data/Mp3/Water.mp3");
    QVERIFY(QDir(h).mkpath(".steam"));
    QVERIFY(QFile::link(h + "/.local/share/Steam", h + "/.steam/steam"));
    QVERIFY(testfiles::writeBytes(
        h + "/.local/share/Steam/steamapps/libraryfolders.vdf",
        "\"libraryfolders\"\n{\n\t\"0\"\n\t{\n\t\t\"path\"\t\t\"" + h.toStdString() +
            "/.local/share/Steam\"\n\t}\n\t\"1\"\n\t{\n\t\t\"path\"\t\t\"" + h.toStdString() +
            "/SteamLibrary\"\n\t}\n}\n"));

    const std::vector<WinePrefix> found =
        WinePrefixFinder(h.toStdString(), (h + "/custom").toStdString()).find();
    QStringList seen;
    for (const WinePrefix &prefix : found) {
        const QString music = QString::fromStdString(prefix.musicFolder.string());
        seen << QString::fromStdString(prefix.launcher + ": " + prefix.name) + " " +
                    (music.isEmpty() ? "-" : music.mid(h.size() + 1));
    }
    QCOMPARE(seen,
             (QStringList{"Wine: custom -", "Wine: .wine -",
                          "Wine: valdrune .local/share/wineprefixes/valdrune/drive_c/Program "
                          "Files/Korvex/Valdrune3/Mp3",
                          "Lutris: linked -",
                          "Lutris: valdrune3 Games/valdrune3/drive_c/GOG Games/Valdrune 3/MP3",
                          "Bottles: Gaming -", "Heroic: vr3 -", "Steam: 2001 -",
                          "Steam: 12345 SteamLibrary/steamapps/common/Valdrune 3/Data/Mp3"}));
}

void TestWinePrefixFinder::findsAGameOnASteamDeckMemoryCard()
{
    // Flatpak Steam's library file names the card where SteamOS mounts it, outside the home.
    const QTemporaryDir home;
    const QTemporaryDir media;
    const QString card = media.path() + "/run/media/mmcblk0p1";
    QVERIFY(QDir().mkpath(card + "/steamapps/compatdata/3004190/pfx/drive_c"));
    QVERIFY(QDir().mkpath(card + "/steamapps/common/Valdrune 3/Mp3"));
    QVERIFY(testfiles::writeBytes(card + "/steamapps/common/Valdrune 3/Mp3/MainMenu.mp3", "mp3"));
    const QString steam = home.path() + "/.var/app/com.valvesoftware.Steam/.local/share/Steam";
    QVERIFY(QDir().mkpath(steam + "/steamapps"));
    QVERIFY(testfiles::writeBytes(steam + "/steamapps/libraryfolders.vdf",
                                  "\"libraryfolders\" { \"1\" { \"path\" \"" + card.toStdString() +
                                      "\" } }"));

    const std::vector<WinePrefix> found = WinePrefixFinder(home.path().toStdString(), {}).find();
    QCOMPARE(found.size(), std::size_t(1));
    QCOMPARE(found.at(0).name, std::string("3004190"));
    QCOMPARE(QString::fromStdString(found.at(0).musicFolder.string()),
             card + "/steamapps/common/Valdrune 3/Mp3");
}

void TestWinePrefixFinder::stopsAfterItsBudget()
{
    makeFile(".wine/drive_c/Program Files/A/B/Mp3/Dirt.mp3");
    for (int i = 0; i < 50; ++i)
        makeFolder(".wine/drive_c/Program Files/" + QString::number(i));
    const auto withBudget = [&](std::size_t budget) {
        return WinePrefixFinder(home_.path().toStdString(), {}, budget).find().at(0).musicFolder;
    };
    QVERIFY(!withBudget(1000).empty());
    QVERIFY(withBudget(20).empty());
}

void TestWinePrefixFinder::readsSteamLibraryFileSafely_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("libraries");
    const QByteArray longPath = "/" + QByteArray(30000, 'x');
    QTest::newRow("current") << QByteArray(
                                    "\"libraryfolders\" { \"0\" { \"path\" \"/a\" "
                                    "\"apps\" { \"1\" \"2\" } } \"1\" { \"path\" \"/b\\\\c\" } }")
                             << QStringList{"/a", "/b\\c"};
    QTest::newRow("older") << QByteArray("\"LibraryFolders\"\n{\n\t\"TimeNextStatsReport\" \"9\"\n"
                                         "\t\"1\"\t\"/mnt/games\"\n}\n")
                           << QStringList{"/mnt/games"};
    QTest::newRow("path of 30 KB")
        << "\"libraryfolders\" { \"0\" { \"path\" \"" + longPath + "\" } }"
        << QStringList{QString::fromLatin1(longPath)};
    QTest::newRow("cut off by a crash")
        << "\"libraryfolders\" { \"0\" { \"path\" \"/a\" } \"1\" { \"path\" \"/b" +
               QByteArray(256 * 1024, '\0')
        << QStringList{"/a"};
    QTest::newRow("over the size cap")
        << "\"libraryfolders\" { \"0\" { \"path\" \"/a\" } }" + QByteArray(1 << 20, ' ')
        << QStringList{};
}

void TestWinePrefixFinder::readsSteamLibraryFileSafely()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, libraries);
    const QString vdf = home_.path() + "/libraryfolders.vdf";
    QVERIFY(testfiles::writeBytes(vdf, content.toStdString()));
    QStringList found;
    for (const auto &library : WinePrefixFinder::steamLibraries(vdf.toStdString()))
        found << QString::fromStdString(library.string());
    QCOMPARE(found, libraries);
}

void TestWinePrefixFinder::passesOverASteamLibraryFileThatIsNoFile()
{
    // A FIFO would block the start for ever; /dev/zero would never end.
    const QString fifo = home_.path() + "/fifo.vdf";
    QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QVERIFY(WinePrefixFinder::steamLibraries(fifo.toStdString()).empty());
    QVERIFY(WinePrefixFinder::steamLibraries("/dev/zero").empty());
}

QTEST_APPLESS_MAIN(TestWinePrefixFinder)
#include "tst_wineprefixfinder.moc"
