// SPDX-License-Identifier: GPL-3.0-or-later
// The core as it behaves on Windows: run as a Windows program, under Wine on Linux.

#include "MiniTest.h"
#include "files/AtomicFileWriter.h"
#include "files/FailureCodes.h"
#include "files/Platform.h"
#include "originals/OriginalsFolder.h"
#include "report/RunTexts.h"
#include "run/ReplacementRun.h"
#include "settings/SettingsFile.h"

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;
using core::platform::pathFromText;
using core::platform::textFromPath;

namespace {

// A fresh folder under the temporary folder, removed at the end of the test.
class ScratchFolder
{
  public:
    ScratchFolder()
    {
        static int counter = 0;
        path_ = fs::temp_directory_path() / ("vmc-test-" + std::to_string(GetCurrentProcessId()) +
                                             "-" + std::to_string(++counter));
        fs::create_directories(path_);
    }
    ~ScratchFolder()
    {
        std::error_code error;
        for (const auto &entry : fs::recursive_directory_iterator(path_, error))
            SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
        fs::remove_all(path_, error);
    }
    const fs::path &path() const { return path_; }
    std::string text() const { return textFromPath(path_); }
    fs::path operator/(const std::string &utf8) const { return path_ / pathFromText(utf8); }

  private:
    fs::path path_;
};

std::string readBytes(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return "<missing>";
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeBytes(const fs::path &path, const std::string &bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

int entryCount(const fs::path &folder)
{
    return int(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

core::SlotTexts placeholders()
{
    core::SlotTexts texts;
    texts.fill(std::string(core::RunTexts::forLanguage(2).placeholder));
    return texts;
}

core::SlotTexts labels()
{
    core::SlotTexts texts;
    for (int i = 0; i < core::slotCount; ++i)
        texts[i] = std::string(core::SlotTable::slot(i).label);
    return texts;
}

} // namespace

MINI_TEST(settingsFileHasBackslashAndExactBytes)
{
    ScratchFolder program;
    const core::SettingsFile file(program.text());
    CHECK_EQ(core::platform::nativeSeparator(), '\\');
    CHECK_EQ(file.location(), program.text() + "\\config.ini");
    CHECK(file.save("C:\\Games\\Music", false).saved());
    CHECK_EQ(readBytes(program / "config.ini"), std::string("\"C:\\Games\\Music\\\",2\r\n"));
    CHECK(file.save("C:\\", true).saved());
    CHECK_EQ(readBytes(program / "config.ini"), std::string("\"C:\\\\\",1\r\n"));
    const auto settings = file.read();
    CHECK(settings.has_value());
    CHECK_EQ(settings->folder, std::string("C:\\\\"));
    CHECK_EQ(int(settings->language), 1);
    CHECK_EQ(entryCount(program.path()), 1);
}

MINI_TEST(nonAsciiFolderIsStoredInAnsiCodePage)
{
    ScratchFolder program;
    const core::SettingsFile file(program.text());
    // é, Á and í have one byte each in both Western and Central European code pages.
    const std::string folder = "C:\\Zen\xc3\xa9k\\\xc3\x81rv\xc3\xadz";
    CHECK(file.save(folder, true).saved());
    CHECK_EQ(readBytes(program / "config.ini"),
             std::string("\"C:\\Zen\xe9k\\\xc1rv\xedz\\\",1\r\n"));
    CHECK_EQ(file.read()->folder, folder + "\\");

    // ő is in the Central European code page only; elsewhere the save refuses it.
    const std::string withO = "C:\\F\xc5\x91";
    const core::SaveResult result = file.save(withO, false);
    if (GetACP() == 1250) {
        CHECK(result.saved());
        CHECK_EQ(readBytes(program / "config.ini"), std::string("\"C:\\F\xf5\\\",2\r\n"));
    } else {
        CHECK(!result.saved());
        CHECK(result.failure.kind == core::SaveFailure::Kind::Unrepresentable);
        CHECK_EQ(readBytes(program / "config.ini"),
                 std::string("\"C:\\Zen\xe9k\\\xc1rv\xedz\\\",1\r\n"));
    }
}

// What Windows does and Wine does not: for UTF-8, no flag but WC_ERR_INVALID_CHARS and no
// default character.
int strictWideToMultiByte(unsigned codePage, unsigned long flags, const wchar_t *wide, int wideSize,
                          char *bytes, int byteSize, const char *defaultChar, int *usedDefault)
{
    if (codePage == CP_UTF8 &&
        ((flags & ~DWORD(WC_ERR_INVALID_CHARS)) != 0 || defaultChar || usedDefault)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return WideCharToMultiByte(codePage, flags, wide, wideSize, bytes, byteSize, defaultChar,
                               usedDefault);
}

MINI_TEST(utf8SystemCodePageStoresUtf8)
{
    ScratchFolder program;
    const core::SettingsFile file(program.text());
    core::platform::setTextFileCodePage(CP_UTF8);
    core::platform::setWideToMultiByte(strictWideToMultiByte);
    const std::string folder = "C:\\J\xc3\xa1t\xc3\xa9k\\F\xc5\x91";
    const core::SaveResult result = file.save(folder, true);
    core::platform::setWideToMultiByte(nullptr);
    core::platform::setTextFileCodePage(0);
    CHECK(result.saved());
    CHECK_EQ(readBytes(program / "config.ini"), "\"" + folder + "\\\",1\r\n");
}

MINI_TEST(hiddenOrSystemSettingsFileIsAbsent)
{
    ScratchFolder program;
    const core::SettingsFile file(program.text());
    const fs::path config = program / "config.ini";
    writeBytes(config, "\"C:\\M\\\",1\r\n");
    CHECK(file.read().has_value());
    SetFileAttributesW(config.c_str(), FILE_ATTRIBUTE_HIDDEN);
    CHECK(!file.read().has_value());
    SetFileAttributesW(config.c_str(), FILE_ATTRIBUTE_SYSTEM);
    CHECK(!file.read().has_value());
    SetFileAttributesW(config.c_str(), FILE_ATTRIBUTE_READONLY);
    CHECK(file.read().has_value());
    SetFileAttributesW(config.c_str(), FILE_ATTRIBUTE_NORMAL);
    fs::remove(config);
    fs::create_directory(config);
    CHECK(!file.read().has_value());
}

MINI_TEST(copyReplacesExistingFileWhole)
{
    ScratchFolder folder;
    const std::string music(5 * 1024 * 1024 + 3, 'm');
    writeBytes(folder / "song.mp3", music);
    writeBytes(folder / "Water.mp3", "old water");
    core::AtomicFileWriter writer;
    CHECK(!writer.copyFile(folder / "song.mp3", folder / "Water.mp3"));
    CHECK(readBytes(folder / "Water.mp3") == music);
    CHECK(!writer.copyFile(folder / "Water.mp3", folder / "Water.mp3"));
    CHECK(readBytes(folder / "Water.mp3") == music);
    CHECK_EQ(entryCount(folder.path()), 2);
}

MINI_TEST(windowsErrorsMapToFailureCodes)
{
    using Kind = core::FileError::Kind;
    const auto code = [](Kind kind, DWORD error) {
        return core::failureCodeFor({kind, core::SystemError(error)});
    };
    CHECK_EQ(code(Kind::SourceCall, ERROR_FILE_NOT_FOUND), 53);
    CHECK_EQ(code(Kind::SourceCall, ERROR_PATH_NOT_FOUND), 53);
    CHECK_EQ(code(Kind::DestinationCall, ERROR_PATH_NOT_FOUND), 76);
    CHECK_EQ(code(Kind::DestinationCall, ERROR_ACCESS_DENIED), 70);
    CHECK_EQ(code(Kind::DestinationCall, ERROR_SHARING_VIOLATION), 70);
    CHECK_EQ(code(Kind::DestinationCall, ERROR_DISK_FULL), 61);
    CHECK_EQ(code(Kind::DestinationCall, ERROR_HANDLE_DISK_FULL), 61);
    CHECK_EQ(code(Kind::SourceCall, ERROR_NOT_READY), 68);
    CHECK_EQ(code(Kind::SourceCall, ERROR_CRC), 57);
    CHECK_EQ(code(Kind::DestinationCall, ERROR_INVALID_NAME), 75);
    CHECK(!core::describeSystemError(ERROR_ACCESS_DENIED).empty());
}

MINI_TEST(realFailuresKeepTargetAndLeaveNoTemporaryFile)
{
    ScratchFolder folder;
    writeBytes(folder / "new.mp3", "new");
    writeBytes(folder / "Lava.mp3", "old lava");
    core::AtomicFileWriter writer;

    auto error = writer.copyFile(folder / "missing.mp3", folder / "Lava.mp3");
    CHECK(error.has_value());
    CHECK_EQ(core::failureCodeFor(*error), 53);
    error = writer.copyFile(folder / "new.mp3", folder / "gone\\Lava.mp3");
    CHECK(error.has_value());
    CHECK_EQ(core::failureCodeFor(*error), 76);
    error = writer.copyFile(folder.path(), folder / "Lava.mp3");
    CHECK(error.has_value());
    CHECK_EQ(core::failureCodeFor(*error), 75);

    // A game file marked read-only, as files installed from a CD are.
    SetFileAttributesW((folder / "Lava.mp3").c_str(), FILE_ATTRIBUTE_READONLY);
    error = writer.copyFile(folder / "new.mp3", folder / "Lava.mp3");
    CHECK(error.has_value());
    CHECK_EQ(core::failureCodeFor(*error), 70);
    SetFileAttributesW((folder / "Lava.mp3").c_str(), FILE_ATTRIBUTE_NORMAL);

    // The game holding its file open without sharing.
    HANDLE held = CreateFileW((folder / "Lava.mp3").c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    CHECK(held != INVALID_HANDLE_VALUE);
    error = writer.copyFile(folder / "new.mp3", folder / "Lava.mp3");
    CloseHandle(held);
    CHECK(error.has_value());
    CHECK_EQ(core::failureCodeFor(*error), 70);

    CHECK_EQ(readBytes(folder / "Lava.mp3"), std::string("old lava"));
    CHECK_EQ(entryCount(folder.path()), 2);
}

MINI_TEST(runGluesNamesWithBlanksToFolder)
{
    ScratchFolder game;
    ScratchFolder music;
    writeBytes(music / "a.mp3", "defend");
    writeBytes(music / "b.mp3", "dirt");
    core::SlotTexts texts = placeholders();
    texts[27] = textFromPath(music / "a.mp3");
    const core::SlotTable table;
    core::RunResult result =
        core::ReplacementRun(table).run(texts, labels(), game.text() + "\\", 2);
    CHECK(result.outcome == core::RunResult::Outcome::Completed);
    CHECK_EQ(readBytes(game / "Defend Castle.mp3"), std::string("defend"));

    texts = placeholders();
    texts[9] = textFromPath(music / "b.mp3");
    result = core::ReplacementRun(table).run(texts, labels(), game.text() + "\\Music", 2);
    CHECK(result.outcome == core::RunResult::Outcome::Completed);
    CHECK_EQ(readBytes(game / "MusicDirt.mp3"), std::string("dirt"));

    texts[9] = textFromPath(music / "none.mp3");
    result = core::ReplacementRun(table).run(texts, labels(), game.text() + "\\", 2);
    CHECK_EQ(result.message, std::string("Bad filename or path at Dirt.mp3"));
}

MINI_TEST(originalsAreKeptAndRestoredOnWindows)
{
    ScratchFolder game;
    ScratchFolder music;
    writeBytes(game / "Dirt.mp3", "the game's own");
    writeBytes(music / "a.mp3", "mine");
    core::SlotTexts texts = placeholders();
    texts[9] = textFromPath(music / "a.mp3");
    texts[10] = textFromPath(music / "a.mp3");
    const core::SlotTable table;
    const std::string folder = game.text() + "\\";
    for (int run = 0; run < 2; ++run)
        CHECK(core::ReplacementRun(table).run(texts, labels(), folder, 2).outcome ==
              core::RunResult::Outcome::Completed);
    CHECK_EQ(readBytes(game / "Dirt.mp3"), std::string("mine"));
    CHECK_EQ(readBytes(game / "Originals (Music Changer)/Dirt.mp3"), std::string("the game's own"));

    core::OriginalsFolder originals(folder);
    CHECK_EQ(originals.restorableCount(table), 2);
    CHECK(originals.restore(table, labels(), 2).outcome == core::RunResult::Outcome::Completed);
    CHECK_EQ(readBytes(game / "Dirt.mp3"), std::string("the game's own"));
    CHECK(!fs::exists(game / "Grass.mp3"));
}

// Windows' rules that the in-memory file system plays: a file held open without shared
// deletion keeps every name, and Change keeps the original of such a file by copy.
MINI_TEST(gameHoldingItsFileKeepsEveryNameAndTheOriginalByCopy)
{
    ScratchFolder game;
    ScratchFolder music;
    writeBytes(game / "Dirt.mp3", "the game's own");
    writeBytes(music / "a.mp3", "mine");
    core::FileSystem &files = core::FileSystem::native();
    CHECK(!files.inUse(game / "Dirt.mp3"));
    HANDLE held = CreateFileW((game / "Dirt.mp3").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    CHECK(held != INVALID_HANDLE_VALUE);
    CHECK(files.inUse(game / "Dirt.mp3"));
    CHECK(files.hardLink(game / "Dirt.mp3", game / "second.mp3") == 0);
    CHECK(files.remove(game / "second.mp3") != 0);
    CHECK(files.rename(game / "second.mp3", game / "third.mp3") != 0);

    core::SlotTexts texts = placeholders();
    texts[9] = textFromPath(music / "a.mp3");
    CHECK(core::ReplacementRun(core::SlotTable())
              .run(texts, labels(), game.text() + "\\", 2)
              .outcome == core::RunResult::Outcome::Failed);
    CloseHandle(held);
    files.remove(game / "second.mp3");
    const fs::path kept = game / "Originals (Music Changer)/Dirt.mp3";
    CHECK_EQ(readBytes(kept), std::string("the game's own"));
    CHECK(!files.sameFile(kept, game / "Dirt.mp3"));
}

MINI_TEST(leftoversAreRemovedWhateverElseTheFolderHolds)
{
    ScratchFolder game;
    writeBytes(game / ".vmc3-0123456789abcdef.tmp", "half");
    writeBytes(game / "\xe9\x9f\xb3\xe6\xa5\xbd.mp3", "a name outside the code page");
    CHECK(fs::exists(game / "\xe9\x9f\xb3\xe6\xa5\xbd.mp3"));
    core::AtomicFileWriter().removeLeftovers(game.path());
    CHECK(!fs::exists(game / ".vmc3-0123456789abcdef.tmp"));
    CHECK(fs::exists(game / "\xe9\x9f\xb3\xe6\xa5\xbd.mp3"));
}

// Windows' rules that the simulation plays with VMC_SIM_FS=casefold: the game's own capitals
// name the slot's file, and Change keeps and Default restores that one file. Times are seen
// to whole seconds, however finely the disk keeps them.
MINI_TEST(namesOfAnyLetterCaseAreOneFileAndTimesAreSeenToTheSecond)
{
    ScratchFolder game;
    ScratchFolder music;
    writeBytes(game / "DIRT.MP3", "the game's own");
    writeBytes(music / "a.mp3", "mine");
    core::FileSystem &files = core::FileSystem::native();
    CHECK(files.sameFile(game / "DIRT.MP3", game / "Dirt.mp3"));
    core::FileStatus status;
    CHECK(files.status(game / "dirt.mp3", status) == 0);
    const std::int64_t odd = status.modified - 7'000'000'000 + 123'456'789;
    CHECK(files.setModified(game / "DIRT.MP3", odd) == 0);
    CHECK(files.status(game / "dirt.mp3", status) == 0);
    // The disk keeps 100 ns, but std::filesystem under MinGW reads and sets whole seconds.
    constexpr std::int64_t second = 1'000'000'000;
    CHECK_EQ(status.modified, odd - ((odd % second) + second) % second);

    core::SlotTexts texts = placeholders();
    texts[9] = textFromPath(music / "a.mp3");
    const std::string folder = game.text() + "\\";
    CHECK(core::ReplacementRun(core::SlotTable()).run(texts, labels(), folder, 2).outcome ==
          core::RunResult::Outcome::Completed);
    CHECK_EQ(readBytes(game / "DIRT.MP3"), std::string("mine"));
    CHECK_EQ(readBytes(game / "Originals (Music Changer)/Dirt.mp3"), std::string("the game's own"));
    CHECK(core::OriginalsFolder(folder).restore(core::SlotTable(), labels(), 2, 9).outcome ==
          core::RunResult::Outcome::Completed);
    CHECK_EQ(readBytes(game / "Dirt.mp3"), std::string("the game's own"));
    int names = 0;
    for (const auto &entry : fs::directory_iterator(game.path()))
        names += entry.is_regular_file() ? 1 : 0;
    CHECK_EQ(names, 1);
}

int main()
{
    return minitest::runAll();
}
