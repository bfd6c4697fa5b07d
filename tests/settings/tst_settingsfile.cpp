// SPDX-License-Identifier: GPL-3.0-or-later
#include "FaultyFileSystem.h"
#include "Language.h"
#include "ScratchMount.h"
#include "TestFiles.h"
#include "settings/SettingsFile.h"

#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <random>

using core::SettingsFile;
using testfiles::entries;
using testfiles::readBytes;
using testfiles::writeBytes;

class TestSettingsFile : public QObject
{
    Q_OBJECT

  private slots:
    void onlyCodeOneIsHungarian_data();
    void onlyCodeOneIsHungarian();
    void lineHasExactBytes_data();
    void lineHasExactBytes();
    void saveWritesLineAndReadsLanguageBack();
    void saveKeepsNonAsciiFolder();
    void secondSaveReplacesWholeFile();
    void startupReadIsLenient_data();
    void startupReadIsLenient();
    void missingOrNonRegularFileIsAbsent();
    void failedSaveLeavesOldFile_data();
    void failedSaveLeavesOldFile();
    void saveIntoReadOnlyFolderFails();
    void anyEnterableFolderReadsBackIdentically();
    void folderThatWouldEndTheFieldIsRefused();
    void symlinkedFileStaysLink();
    void userFolderServesWhereProgramFolderCannot();
    void saveOnFullDiskFails();
    void failureNamesTheFileThatFailed();
    void installedProgramKeepsSettingsInUserFolderOnly();

  private:
    QString configIn(const QTemporaryDir &dir) const { return dir.path() + "/config.ini"; }
};

void TestSettingsFile::onlyCodeOneIsHungarian_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("hungarian");
    QTest::newRow("0") << 0 << false;
    QTest::newRow("1") << 1 << true;
    QTest::newRow("2") << 2 << false;
    QTest::newRow("3") << 3 << false;
    QTest::newRow("255") << 255 << false;
}

void TestSettingsFile::onlyCodeOneIsHungarian()
{
    QFETCH(int, code);
    QFETCH(bool, hungarian);
    const Language language = languageFromCode(std::uint8_t(code));
    QCOMPARE(language == Language::Hungarian, hungarian);
    // What is stored for it reads back as the same language.
    QCOMPARE(languageFromCode(codeOf(language)), language);
}

void TestSettingsFile::lineHasExactBytes_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<int>("language");
    QTest::addColumn<char>("separator");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("english, backslash")
        << "C:\\Games\\Music" << 2 << '\\' << QByteArray("\"C:\\Games\\Music\\\",2\r\n");
    QTest::newRow("hungarian, backslash")
        << "C:\\Games\\Music" << 1 << '\\' << QByteArray("\"C:\\Games\\Music\\\",1\r\n");
    QTest::newRow("root doubles the separator")
        << "C:\\" << 1 << '\\' << QByteArray("\"C:\\\\\",1\r\n");
    QTest::newRow("empty folder") << "" << 2 << '\\' << QByteArray("\"\\\",2\r\n");
    QTest::newRow("slash separator")
        << "/home/p/Mp3" << 2 << '/' << QByteArray("\"/home/p/Mp3/\",2\r\n");
    QTest::newRow("other code stored as 2") << "x" << 7 << '/' << QByteArray("\"x/\",2\r\n");
}

void TestSettingsFile::lineHasExactBytes()
{
    QFETCH(QString, folder);
    QFETCH(int, language);
    QFETCH(char, separator);
    QFETCH(QByteArray, bytes);

    const std::string line =
        SettingsFile::lineFor(folder.toStdString(), std::uint8_t(language), separator);
    QCOMPARE(QByteArray::fromStdString(line), bytes);
    // Whatever was written reads back to the folder with the separator and the language.
    const auto parsed = SettingsFile::parse(line);
    QVERIFY(parsed);
    QCOMPARE(QString::fromStdString(parsed->folder), folder + QChar(separator));
    QCOMPARE(parsed->language, codeOf(languageFromCode(std::uint8_t(language))));
}

void TestSettingsFile::saveWritesLineAndReadsLanguageBack()
{
    QTemporaryDir dir;
    for (const char separator : {'\\', '/'}) {
        const SettingsFile windowsStyle(dir.path().toStdString(), separator);
        const core::SaveResult english = windowsStyle.save("C:\\Games\\Music", false);
        QVERIFY(english.saved());
        QCOMPARE(int(english.stored->language), 2);
        const std::string expected = std::string("\"C:\\Games\\Music") + separator + "\",2\r\n";
        QCOMPARE(readBytes(configIn(dir)), expected);

        const core::SaveResult hungarian = windowsStyle.save("C:\\Games\\Music", true);
        QCOMPARE(int(hungarian.stored->language), 1);
        QCOMPARE(hungarian.stored->folder, std::string("C:\\Games\\Music") + separator);
        const auto settings = windowsStyle.read();
        QVERIFY(settings);
        QCOMPARE(settings->folder, std::string("C:\\Games\\Music") + separator);
        QCOMPARE(int(settings->language), 1);
    }
    QCOMPARE(entries(dir.path()), QStringList{"config.ini"});
}

void TestSettingsFile::saveKeepsNonAsciiFolder()
{
    QTemporaryDir dir;
    const SettingsFile file(dir.path().toStdString(), '/');
    const std::string folder = "/home/játékos/Árvíztűrő tükörfúrógép/Mp3";
    QVERIFY(file.save(folder, true).saved());
    // The locale's encoding here is UTF-8: the bytes are the text's own.
    QCOMPARE(readBytes(configIn(dir)), "\"" + folder + "/\",1\r\n");
    QCOMPARE(file.read()->folder, folder + "/");
}

void TestSettingsFile::secondSaveReplacesWholeFile()
{
    QTemporaryDir dir;
    const SettingsFile file(dir.path().toStdString(), '\\');
    QVERIFY(file.save("C:\\A much longer folder name than the next one", true).saved());
    QVERIFY(file.save("D:", false).saved());
    QCOMPARE(readBytes(configIn(dir)), std::string("\"D:\\\",2\r\n"));
    QCOMPARE(entries(dir.path()), QStringList{"config.ini"});
}

void TestSettingsFile::startupReadIsLenient_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("present");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<int>("language");

    QTest::newRow("as written") << QByteArray("\"C:\\M\\\",1\r\n") << true << "C:\\M\\" << 1;
    QTest::newRow("no line end") << QByteArray("\"C:\\M\\\",2") << true << "C:\\M\\" << 2;
    QTest::newRow("blanks around") << QByteArray("  \"a b\" ,  1 \r\n") << true << "a b" << 1;
    QTest::newRow("zero is english") << QByteArray("\"x\",0\r\n") << true << "x" << 0;
    QTest::newRow("seven is english") << QByteArray("\"x\",7\r\n") << true << "x" << 7;
    QTest::newRow("255 is english") << QByteArray("\"x\",255\r\n") << true << "x" << 255;
    QTest::newRow("300 is english") << QByteArray("\"x\",300\r\n") << true << "x" << 2;
    QTest::newRow("-1 is english") << QByteArray("\"x\",-1\r\n") << true << "x" << 2;
    QTest::newRow("text is english") << QByteArray("\"x\",one\r\n") << true << "x" << 2;
    QTest::newRow("1.5 is english") << QByteArray("\"x\",1.5\r\n") << true << "x" << 2;
    QTest::newRow("huge number") << QByteArray("\"x\",99999999999999999999\r\n") << true << "x"
                                 << 2;
    QTest::newRow("more fields ignored") << QByteArray("\"x\",1,junk\r\nmore") << true << "x" << 1;
    QTest::newRow("no quotes, read to comma")
        << QByteArray("C:\\Games\\ ,1\r\n") << true << "C:\\Games\\" << 1;
    QTest::newRow("empty folder") << QByteArray("\"\",2\r\n") << true << "" << 2;
    QTest::newRow("no second field") << QByteArray("\"C:\\M\\\"\r\n") << false << "" << 0;
    QTest::newRow("empty second field") << QByteArray("\"C:\\M\\\",\r\n") << false << "" << 0;
    QTest::newRow("unclosed quote") << QByteArray("\"C:\\M\\,1\r\n") << false << "" << 0;
    QTest::newRow("comma on next line") << QByteArray("\"C:\\M\\\"\r\n,1") << false << "" << 0;
    QTest::newRow("empty file") << QByteArray() << false << "" << 0;
    QTest::newRow("NUL in folder") << QByteArray("\"C:\0M\",1\r\n", 10) << false << "" << 0;
}

void TestSettingsFile::startupReadIsLenient()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, present);
    QFETCH(QString, folder);
    QFETCH(int, language);

    QTemporaryDir dir;
    QVERIFY(writeBytes(configIn(dir), bytes.toStdString()));
    const auto settings = SettingsFile(dir.path().toStdString()).read();
    QCOMPARE(settings.has_value(), present);
    if (present) {
        QCOMPARE(QString::fromStdString(settings->folder), folder);
        QCOMPARE(int(settings->language), language);
    }
}

void TestSettingsFile::missingOrNonRegularFileIsAbsent()
{
    QTemporaryDir dir;
    const SettingsFile file(dir.path().toStdString());
    QVERIFY(!file.read());
    QVERIFY(QDir(dir.path()).mkdir("config.ini"));
    QVERIFY(!file.read());
    QCOMPARE(file.location(), dir.path().toStdString() + "/config.ini");
}

void TestSettingsFile::failedSaveLeavesOldFile_data()
{
    using Call = FaultyFileSystem::Call;
    QTest::addColumn<Call>("call");
    QTest::addColumn<int>("successesBefore");
    QTest::addColumn<int>("error");

    QTest::newRow("read-only folder") << Call::CreateNew << 0 << EACCES;
    QTest::newRow("read-only file system") << Call::CreateNew << 0 << EROFS;
    QTest::newRow("disk full on write") << Call::Write << 0 << ENOSPC;
    QTest::newRow("flush fails") << Call::Flush << 0 << EIO;
    QTest::newRow("rename fails") << Call::Replace << 0 << EACCES;
}

void TestSettingsFile::failedSaveLeavesOldFile()
{
    QFETCH(FaultyFileSystem::Call, call);
    QFETCH(int, successesBefore);
    QFETCH(int, error);

    QTemporaryDir dir;
    const std::string old = "\"/old/\",1\r\n";
    QVERIFY(writeBytes(configIn(dir), old));
    FaultyFileSystem faulty;
    faulty.failOn(call, error, successesBefore);
    const core::SaveResult result =
        SettingsFile(dir.path().toStdString(), '/', faulty).save("/new", false);
    QVERIFY(!result.saved());
    QCOMPARE(result.failure.kind, core::SaveFailure::Kind::Write);
    QCOMPARE(result.failure.systemError, error);
    QCOMPARE(readBytes(configIn(dir)), old);
    QCOMPARE(entries(dir.path()), QStringList{"config.ini"});
}

void TestSettingsFile::saveIntoReadOnlyFolderFails()
{
    QTemporaryDir dir;
    ScratchMount mount(dir.path(), "size=64k");
    if (!mount.mounted())
        QSKIP("cannot mount a scratch file system here (needs root); covered by fault injection");
    const std::string old = "\"/old/\",2\r\n";
    QVERIFY(writeBytes(configIn(dir), old));
    QVERIFY(mount.makeReadOnly());
    const core::SaveResult result = SettingsFile(dir.path().toStdString()).save("/new", true);
    QVERIFY(!result.saved());
    QCOMPARE(result.failure.systemError, EROFS);
    QCOMPARE(readBytes(configIn(dir)), old);
    QCOMPARE(entries(dir.path()), QStringList{"config.ini"});
}

void TestSettingsFile::saveOnFullDiskFails()
{
    QTemporaryDir dir;
    ScratchMount mount(dir.path(), "size=4k");
    if (!mount.mounted())
        QSKIP("cannot mount a scratch file system here (needs root); covered by fault injection");
    const std::string old = "\"/old/\",2\r\n";
    QVERIFY(writeBytes(configIn(dir), old));
    QVERIFY(writeBytes(dir.path() + "/filler", std::string(8192, 'f')) == false ||
            QFileInfo(dir.path() + "/filler").size() <= 4096);
    const core::SaveResult result =
        SettingsFile(dir.path().toStdString()).save(std::string(6000, 'x'), true);
    QVERIFY(!result.saved());
    QCOMPARE(result.failure.systemError, ENOSPC);
    QCOMPARE(readBytes(configIn(dir)), old);
    QVERIFY(!entries(dir.path()).join(' ').contains(".tmp"));
}

void TestSettingsFile::anyEnterableFolderReadsBackIdentically()
{
    // Pieces a user can type into the folder box: blanks anywhere, non-ASCII letters,
    // separators of both kinds, commas, a root folder, nothing at all.
    const std::vector<std::string> pieces = {
        " ",      "  ", "a",   "Z", "0", "/",   "\\", ",",  ".", "-",  "_",   "'",
        "(",      ")",  "é",   "ő", "Ű", "ß",   "Ж",  "音", "🎵", "C:", "Mp3", "Program Files",
        "Korvex", "\t", "1,2", "~", "#", "%20", "&",  "!"};
    QTemporaryDir dir;
    std::mt19937 random(20261207);
    std::vector<std::string> folders = {"",  "/",     "\\",     "C:\\",
                                        " ", " lead", "trail ", "C:\\Zenék\\"};
    for (int i = 0; i < 1500; ++i) {
        std::string folder;
        const int count = int(random() % 12);
        for (int p = 0; p < count; ++p)
            folder += pieces[random() % pieces.size()];
        folders.push_back(folder);
    }
    for (const char separator : {'/', '\\'}) {
        const SettingsFile file(dir.path().toStdString(), separator);
        for (const std::string &folder : folders) {
            const bool hungarian = random() % 2 == 0;
            const core::SaveResult result = file.save(folder, hungarian);
            QVERIFY2(result.saved(), folder.c_str());
            const auto startup = file.read();
            QVERIFY2(startup, folder.c_str());
            QCOMPARE(startup->folder, folder + separator);
            QCOMPARE(int(startup->language), hungarian ? 1 : 2);
            QCOMPARE(result.stored->folder, startup->folder);
        }
    }
    QCOMPARE(entries(dir.path()), QStringList{"config.ini"});
}

void TestSettingsFile::folderThatWouldEndTheFieldIsRefused()
{
    QTemporaryDir dir;
    const SettingsFile file(dir.path().toStdString(), '/');
    QVERIFY(file.save("/games/Mp3", true).saved());
    const std::string before = readBytes(configIn(dir));
    // A folder whose line the startup read would cut is refused too.
    for (const std::string &folder :
         {std::string("/home/\"quoted\""), std::string("/a\nb"), std::string("/a\rb"),
          std::string("/a\0b", 4), "/" + std::string(65529, 'x')}) {
        const core::SaveResult result = file.save(folder, false);
        QVERIFY(!result.saved());
        QCOMPARE(result.failure.kind, core::SaveFailure::Kind::Unstorable);
        QCOMPARE(readBytes(configIn(dir)), before);
    }
    const std::string longest = "/" + std::string(65528, 'x');
    QVERIFY(file.save(longest, false).saved());
    QCOMPARE(file.read()->folder, longest + "/");
}

void TestSettingsFile::symlinkedFileStaysLink()
{
    QTemporaryDir dir;
    QTemporaryDir shared;
    const QString real = shared.path() + "/config.ini";
    QVERIFY(writeBytes(real, "\"/old/\",2\r\n"));
    QVERIFY(QFile::link(real, configIn(dir)));
    QVERIFY(SettingsFile(dir.path().toStdString(), '/').save("/new", true).saved());
    QCOMPARE(QFileInfo(configIn(dir)).symLinkTarget(), real);
    QCOMPARE(readBytes(real), std::string("\"/new/\",1\r\n"));
    QCOMPARE(entries(shared.path()), QStringList{"config.ini"});
}

void TestSettingsFile::userFolderServesWhereProgramFolderCannot()
{
    QTemporaryDir program;
    QTemporaryDir home;
    const std::string user = home.path().toStdString() + "/.config/Zellerin/vmc";
    const std::string userConfig = user + "/config.ini";

    // The program's folder takes no file: the same bytes go to the user's folder.
    FaultyFileSystem readOnly;
    readOnly.failOn(FaultyFileSystem::Call::CreateNew, EROFS);
    const SettingsFile installed(program.path().toStdString(), '/', readOnly, user);
    QVERIFY(installed.save("/games/Mp3", false).saved());
    QCOMPARE(readBytes(QString::fromStdString(userConfig)), std::string("\"/games/Mp3/\",2\r\n"));
    QCOMPARE(entries(program.path()), QStringList{});
    const SettingsFile later(program.path().toStdString(), '/', core::FileSystem::native(), user);
    QCOMPARE(later.read()->folder, std::string("/games/Mp3/"));
    // Found there, it is stored there again.
    QVERIFY(later.save("/other", true).saved());
    QCOMPARE(readBytes(QString::fromStdString(userConfig)), std::string("\"/other/\",1\r\n"));

    // One beside the program wins.
    QVERIFY(writeBytes(configIn(program), "\"/portable/\",2\r\n"));
    QCOMPARE(later.read()->folder, std::string("/portable/"));

    // Neither can be written: the program folder's failure, and nothing half-written.
    const std::string blocked = home.path().toStdString() + "/file";
    QVERIFY(writeBytes(QString::fromStdString(blocked), "a file, not a folder"));
    const SettingsFile nowhere(program.path().toStdString() + "/gone", '/',
                               core::FileSystem::native(), blocked + "/vmc");
    const core::SaveResult result = nowhere.save("/games", true);
    QVERIFY(!result.saved());
    QCOMPARE(result.failure.systemError, ENOENT);
    QCOMPARE(entries(home.path()), (QStringList{".config", "file"}));
}

void TestSettingsFile::failureNamesTheFileThatFailed()
{
    QTemporaryDir program;
    QTemporaryDir user;
    QVERIFY(writeBytes(configIn(user), "\"/games/\",2\r\n"));
    FaultyFileSystem denied;
    denied.failOn(FaultyFileSystem::Call::CreateNew, EACCES);
    const SettingsFile file(program.path().toStdString(), '/', denied, user.path().toStdString());
    const core::SaveResult result = file.save("/other", true);
    QVERIFY(!result.saved());
    QCOMPARE(QString::fromStdString(result.failure.location), configIn(user));
    QCOMPARE(result.failure.systemError, EACCES);
}

void TestSettingsFile::installedProgramKeepsSettingsInUserFolderOnly()
{
    QTemporaryDir home;
    const std::string user = home.path().toStdString() + "/.config/vmc";
    const SettingsFile installed({}, '/', core::FileSystem::native(), user);
    QVERIFY(!installed.read());
    QVERIFY(installed.save("/games", true).saved());
    QCOMPARE(readBytes(QString::fromStdString(user + "/config.ini")),
             std::string("\"/games/\",1\r\n"));
    QCOMPARE(installed.read()->folder, std::string("/games/"));
}

QTEST_APPLESS_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
