// SPDX-License-Identifier: GPL-3.0-or-later
#include "sets/MusicSet.h"

#include "files/FileSystem.h"
#include "files/Platform.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace core {

namespace {

constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";

std::optional<int> slotNamed(std::string_view targetName)
{
    const std::string wanted = platform::asciiLowerCase(std::string(targetName));
    const SlotTable slots;
    for (int i = 0; i < slotCount; ++i) {
        if (platform::asciiLowerCase(slots.targetFileName(i)) == wanted)
            return i;
    }
    return std::nullopt;
}

bool isAbsoluteOnEitherSystem(std::string_view text)
{
    const bool driveLetter =
        text.size() >= 3 && text[1] == ':' && (text[2] == '\\' || text[2] == '/');
    return driveLetter || (!text.empty() && (text[0] == '/' || text[0] == '\\'));
}

// Below the set's folder: relative, with forward slashes, which both systems read.
std::string shownPath(const std::filesystem::path &file, const std::filesystem::path &setFolder)
{
    const std::filesystem::path relative = file.lexically_relative(setFolder);
    if (!relative.empty() && *relative.begin() != ".." && !file.lexically_normal().empty() &&
        file.is_absolute() == setFolder.is_absolute()) {
        // The native text: on Windows a path made again from a narrow string misreads UTF-8.
        std::string text = platform::textFromPath(relative);
        std::replace(text.begin(), text.end(), platform::nativeSeparator(), '/');
        // A backslash in a Linux name, or a first folder named like a drive ("c:"), would be
        // read back as Windows' separator or as an absolute path: the whole path is saved.
        if (file.is_absolute() &&
            (text.find('\\') != std::string::npos || isAbsoluteOnEitherSystem(text)))
            return platform::textFromPath(file);
        // A name that starts with '#' or a blank would be read back as a comment or trimmed.
        const bool misread = text.front() == '#' || text.front() == ' ' || text.front() == '\t';
        return misread ? "./" + text : text;
    }
    return platform::textFromPath(file);
}

std::string_view trimmed(std::string_view line)
{
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
        line.remove_suffix(1);
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
        line.remove_prefix(1);
    return line;
}

// A line break in a name, or a blank at its end, would have the name read back as another
// file's.
bool readsBackAsWritten(std::string_view shown)
{
    return shown.find('\n') == std::string_view::npos && trimmed(shown) == shown;
}

} // namespace

#ifdef _WIN32

std::optional<MusicSet::ReadFailure> MusicSet::readFile(const std::filesystem::path &file,
                                                        std::string &bytes)
{
    const DWORD attributes = GetFileAttributesW(file.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return ReadFailure{ReadFailure::Kind::NotAFile, ERROR_DIRECTORY};
    HANDLE handle = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return ReadFailure{ReadFailure::Kind::System, SystemError(GetLastError())};
    std::optional<ReadFailure> failure;
    LARGE_INTEGER size{};
    if (GetFileType(handle) != FILE_TYPE_DISK)
        failure = ReadFailure{ReadFailure::Kind::NotAFile, 0};
    else if (!GetFileSizeEx(handle, &size))
        failure = ReadFailure{ReadFailure::Kind::System, SystemError(GetLastError())};
    else if (std::uint64_t(size.QuadPart) > largestFile)
        failure = ReadFailure{ReadFailure::Kind::TooLarge, 0};
    bytes.clear();
    char buffer[64 * 1024];
    DWORD got = 0;
    while (!failure) {
        if (!ReadFile(handle, buffer, sizeof buffer, &got, nullptr))
            failure = ReadFailure{ReadFailure::Kind::System, SystemError(GetLastError())};
        else if (got == 0)
            break;
        else if (bytes.append(buffer, got).size() > largestFile)
            failure = ReadFailure{ReadFailure::Kind::TooLarge, 0};
    }
    CloseHandle(handle);
    return failure;
}

#else

std::optional<MusicSet::ReadFailure> MusicSet::readFile(const std::filesystem::path &file,
                                                        std::string &bytes)
{
    const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return ReadFailure{
            errno == EISDIR ? ReadFailure::Kind::NotAFile : ReadFailure::Kind::System, errno};
    std::optional<ReadFailure> failure;
    struct stat status
    {
    };
    if (::fstat(fd, &status) != 0)
        failure = ReadFailure{ReadFailure::Kind::System, errno};
    else if (!S_ISREG(status.st_mode))
        failure = ReadFailure{ReadFailure::Kind::NotAFile, S_ISDIR(status.st_mode) ? EISDIR : 0};
    else if (std::uint64_t(status.st_size) > largestFile)
        failure = ReadFailure{ReadFailure::Kind::TooLarge, 0};
    bytes.clear();
    char buffer[64 * 1024];
    while (!failure) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            failure = ReadFailure{ReadFailure::Kind::System, errno};
        else if (got == 0)
            break;
        // A file that grows while it is read is refused as well.
        else if (bytes.append(buffer, std::size_t(got)).size() > largestFile)
            failure = ReadFailure{ReadFailure::Kind::TooLarge, 0};
    }
    ::close(fd);
    return failure;
}

#endif

std::string MusicSet::format(const std::filesystem::path &setFolder) const
{
    const SlotTable slots;
    std::string text = "#EXTM3U\n";
    if (gameFolder)
        text.append(folderTag).append(*gameFolder).append("\n");
    if (language)
        text.append(languageTag).append(std::to_string(*language)).append("\n");
    for (const auto &[key, on] : {std::pair{"match=", matchLoudness}, std::pair{"mp3=", matchMp3}})
        if (on)
            text.append(loudnessTag).append(key).append(*on ? "1\n" : "0\n");
    for (const Pick &pick : picks) {
        // Better no pick than one that brings back a file never picked.
        const std::string shown = shownPath(pick.file, setFolder);
        if (!readsBackAsWritten(shown))
            continue;
        char seconds[32];
        // A length read from a hostile file may be anything: none where it is no sane length.
        const bool known = pick.seconds >= 0 && pick.seconds < 1e9;
        std::snprintf(seconds, sizeof seconds, "%d", known ? int(pick.seconds + 0.5) : -1);
        text.append("#EXTINF:")
            .append(seconds)
            .append(",")
            .append(SlotTable::slot(pick.slot).label);
        text.append("\n").append(slotTag).append(slots.targetFileName(pick.slot)).append("\n");
        if (!pick.fit.isWhole())
            text.append(fitTag).append(formatFit(pick.fit)).append("\n");
        if (pick.fit.found)
            text.append(foundLoopTag).append("\n");
        if (pick.copied)
            text.append(copyTag).append("\n");
        text.append(shown).append("\n");
    }
    return text;
}

MusicSet MusicSet::parse(std::string_view text, const std::filesystem::path &setFolder)
{
    MusicSet set;
    if (text.substr(0, byteOrderMark.size()) == byteOrderMark)
        text.remove_prefix(byteOrderMark.size());
    bool playlist = false;
    int pendingSlot = -1; // the slot the next file line fills
    double pendingSeconds = -1;
    bool pendingCopied = false;
    PickFit pendingFit;
    int pendingFitLine = 0;
    int number = 0;
    const auto problem = [&](Problem::Kind kind, std::string detail = {}) {
        set.problems.push_back({kind, number, std::move(detail)});
    };
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = trimmed(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++number;
        if (line.empty())
            continue;
        if (line == "#EXTM3U") {
            playlist = true;
        } else if (line.substr(0, slotTag.size()) == slotTag) {
            playlist = true;
            pendingSlot = slotNamed(line.substr(slotTag.size())).value_or(-1);
            pendingCopied = false;
            pendingFit = {};
            pendingFitLine = 0;
            if (pendingSlot < 0)
                problem(Problem::Kind::UnknownSlot, std::string(line.substr(slotTag.size())));
        } else if (line.substr(0, folderTag.size()) == folderTag) {
            set.gameFolder = std::string(line.substr(folderTag.size()));
        } else if (line.substr(0, languageTag.size()) == languageTag) {
            int code = 0;
            const std::string_view digits = line.substr(languageTag.size());
            const auto [at, error] =
                std::from_chars(digits.data(), digits.data() + digits.size(), code);
            if (error == std::errc() && at == digits.data() + digits.size() && code >= 0 &&
                code < 256)
                set.language = std::uint8_t(code);
            else
                problem(Problem::Kind::NotALanguage);
        } else if (line.substr(0, loudnessTag.size()) == loudnessTag) {
            const std::string_view choice = line.substr(loudnessTag.size());
            if (choice == "match=1" || choice == "match=0")
                set.matchLoudness = choice.back() == '1';
            else if (choice == "mp3=1" || choice == "mp3=0")
                set.matchMp3 = choice.back() == '1';
            else
                problem(Problem::Kind::NotALoudnessChoice);
        } else if (line.substr(0, fitTag.size()) == fitTag) {
            const std::optional<PickFit> fit = parseFit(line.substr(fitTag.size()));
            std::optional<Reason> impossible = fit ? fit->problem() : std::nullopt;
            if (pendingSlot < 0) {
                problem(Problem::Kind::FitWithoutSlot);
            } else if (!fit) {
                problem(Problem::Kind::NotAFit);
            } else if (impossible) {
                set.problems.push_back(
                    {Problem::Kind::ImpossibleFit, number, {}, std::move(*impossible)});
            } else {
                pendingFit = *fit;
                pendingFitLine = number;
            }
        } else if (line.substr(0, 8) == "#EXTINF:") {
            pendingSeconds = -1;
            std::from_chars(line.data() + 8, line.data() + line.size(), pendingSeconds);
        } else if (line == copyTag) {
            pendingCopied = true;
        } else if (line == foundLoopTag) {
            // Only a fit with both ends read is a loop; alone, the mark means nothing.
            pendingFit.found = pendingFitLine > 0 && pendingFit.end;
        } else if (line.front() == '#') {
            continue;
        } else if (pendingSlot < 0) {
            problem(Problem::Kind::FileWithoutSlot);
        } else {
            std::string path(line);
            std::filesystem::path file;
            if (isAbsoluteOnEitherSystem(path)) {
                file = platform::pathFromText(path);
            } else {
                for (char &c : path)
                    c = c == '\\' ? '/' : c;
                file = (setFolder / platform::pathFromText(path)).lexically_normal();
            }
            set.picks.push_back(
                {pendingSlot, file, pendingSeconds, pendingCopied, pendingFit, pendingFitLine});
            pendingSlot = -1;
            pendingSeconds = -1;
            pendingCopied = false;
            pendingFit = {};
            pendingFitLine = 0;
        }
    }
    if (!playlist) {
        set.picks.clear();
        set.problems = {{Problem::Kind::NotAPlaylist, 0, {}}};
    }
    return set;
}

std::string MusicSet::formatFit(const PickFit &fit)
{
    std::string text = std::to_string(fit.start) + ",";
    if (fit.end)
        text += std::to_string(*fit.end);
    for (const std::int64_t value : {fit.fadeIn, fit.fadeOut, fit.crossfade})
        text += "," + std::to_string(value);
    return text;
}

std::optional<PickFit> MusicSet::parseFit(std::string_view text)
{
    std::array<std::optional<std::int64_t>, 5> values;
    for (std::size_t field = 0; field < values.size(); ++field) {
        const std::size_t comma = text.find(',');
        if ((comma == std::string_view::npos) != (field + 1 == values.size()))
            return std::nullopt;
        const std::string_view digits = trimmed(text.substr(0, comma));
        text.remove_prefix(comma == std::string_view::npos ? text.size() : comma + 1);
        // Only the end may be left out: the pick's own.
        if (digits.empty() && field == 1)
            continue;
        std::int64_t value = 0;
        const auto [at, error] =
            std::from_chars(digits.data(), digits.data() + digits.size(), value);
        if (digits.empty() || error != std::errc() || at != digits.data() + digits.size())
            return std::nullopt;
        values[field] = value;
    }
    return PickFit{*values[0], values[1], *values[2], *values[3], *values[4]};
}

} // namespace core
