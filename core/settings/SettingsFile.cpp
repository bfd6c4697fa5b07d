// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/SettingsFile.h"

#include "Language.h"
#include "files/AtomicFileWriter.h"

#include <charconv>
#include <fstream>

namespace core {

namespace {

// A settings line is short; anything beyond this is not a settings file.
constexpr std::size_t maximumFileSize = 64 * 1024;

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::size_t skipBlanks(std::string_view text, std::size_t pos)
{
    while (pos < text.size() && isBlank(text[pos]))
        ++pos;
    return pos;
}

std::string_view trimTrailingBlanks(std::string_view text)
{
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string_view firstLine(std::string_view bytes)
{
    return bytes.substr(0, bytes.find_first_of("\r\n"));
}

// Field 2: a whole number ended by a comma, a blank or the line end. Only exactly 1 is
// Hungarian; a number out of byte range or anything that is not a number counts as English.
std::optional<std::uint8_t> parseLanguage(std::string_view field)
{
    const std::size_t start = skipBlanks(field, 0);
    if (start == field.size())
        return std::nullopt;
    std::string_view number = field.substr(start);
    number = number.substr(0, number.find_first_of(", \t"));
    if (!number.empty() && number.front() == '+')
        number.remove_prefix(1);
    int value = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    const bool wholeNumber = error == std::errc() && end == number.data() + number.size();
    if (!wholeNumber || value < 0 || value > 255)
        return codeOf(Language::English);
    return std::uint8_t(value);
}

} // namespace

SettingsFile::SettingsFile(std::string programFolder, char separator, FileSystem &fileSystem,
                           std::string userFolder)
    : programFolder_(std::move(programFolder)), separator_(separator), fileSystem_(fileSystem),
      userFolder_(std::move(userFolder))
{
}

std::string SettingsFile::location() const
{
    if (programFolder_.empty())
        return userLocation();
    return programFolder_ + platform::nativeSeparator() + "config.ini";
}

std::string SettingsFile::userLocation() const
{
    if (userFolder_.empty())
        return {};
    return userFolder_ + platform::nativeSeparator() + "config.ini";
}

std::string SettingsFile::lineFor(std::string_view folderBytes, std::uint8_t language,
                                  char separator)
{
    std::string line;
    line.reserve(folderBytes.size() + 8);
    line += '"';
    line += folderBytes;
    line += separator;
    line += "\",";
    line += char('0' + codeOf(languageFromCode(language)));
    line += "\r\n";
    return line;
}

std::optional<Settings> SettingsFile::parse(std::string_view bytes)
{
    const std::string_view line = firstLine(bytes);
    std::size_t pos = skipBlanks(line, 0);
    std::string_view folder;
    std::size_t comma = std::string_view::npos;
    if (pos < line.size() && line[pos] == '"') {
        const std::size_t closing = line.find('"', pos + 1);
        if (closing == std::string_view::npos)
            return std::nullopt;
        folder = line.substr(pos + 1, closing - pos - 1);
        comma = line.find(',', closing + 1);
    } else {
        comma = line.find(',', pos);
        if (comma != std::string_view::npos)
            folder = trimTrailingBlanks(line.substr(pos, comma - pos));
    }
    if (comma == std::string_view::npos || folder.find('\0') != std::string_view::npos)
        return std::nullopt;
    const std::optional<std::uint8_t> language = parseLanguage(line.substr(comma + 1));
    if (!language)
        return std::nullopt;
    return Settings{std::string(folder), *language};
}

std::optional<Settings> SettingsFile::read() const
{
    if (std::optional<Settings> beside = readAt(location()))
        return beside;
    if (programFolder_.empty())
        return std::nullopt;
    if (userFolder_.empty())
        return std::nullopt;
    return readAt(userLocation());
}

std::optional<Settings> SettingsFile::readAt(const std::string &location) const
{
    const std::filesystem::path path = platform::pathFromText(location);
    if (!platform::isOrdinaryFile(path))
        return std::nullopt;
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return std::nullopt;
    std::string bytes(maximumFileSize, '\0');
    file.read(bytes.data(), std::streamsize(bytes.size()));
    if (file.bad())
        return std::nullopt;
    bytes.resize(std::size_t(file.gcount()));
    std::optional<Settings> settings = parse(bytes);
    if (settings)
        settings->folder = platform::fromTextFileBytes(settings->folder);
    return settings;
}

SaveResult SettingsFile::save(std::string_view folderText, bool hungarianSelected) const
{
    const std::uint8_t language =
        codeOf(hungarianSelected ? Language::Hungarian : Language::English);
    // The field is not escaped: these would make it read back as another folder.
    if (folderText.find_first_of(std::string_view("\"\r\n\0", 4)) != std::string_view::npos)
        return {std::nullopt, {SaveFailure::Kind::Unstorable, 0, {}}};
    const std::optional<std::string> folderBytes = platform::toTextFileBytes(folderText);
    if (!folderBytes)
        return {std::nullopt, {SaveFailure::Kind::Unrepresentable, 0, {}}};

    // A line the startup read would not read whole is never written over the old one.
    const std::string line = lineFor(*folderBytes, language, separator_);
    if (line.size() > maximumFileSize)
        return {std::nullopt, {SaveFailure::Kind::Unstorable, 0, {}}};

    // Stored where it was found; a new file beside the program where that folder can be
    // written, else in the user's own folder.
    const auto isThere = [](const std::string &at) {
        return !at.empty() && platform::isOrdinaryFile(platform::pathFromText(at));
    };
    if (programFolder_.empty())
        return writeInUserFolder(line);
    if (isThere(location()) || userFolder_.empty())
        return writeAt(location(), line);
    if (isThere(userLocation()))
        return writeAt(userLocation(), line);
    SaveResult beside = writeAt(location(), line);
    if (beside.saved() || beside.failure.kind != SaveFailure::Kind::Write)
        return beside;
    SaveResult own = writeInUserFolder(line);
    return own.saved() ? own : beside;
}

SaveResult SettingsFile::writeInUserFolder(const std::string &line) const
{
    std::error_code folderError;
    std::filesystem::create_directories(platform::pathFromText(userFolder_), folderError);
    if (folderError)
        return {std::nullopt, {SaveFailure::Kind::Write, folderError.value(), userLocation()}};
    return writeAt(userLocation(), line);
}

SaveResult SettingsFile::writeAt(const std::string &location, const std::string &line) const
{
    AtomicFileWriter writer(fileSystem_);
    if (const std::optional<FileError> error =
            writer.writeBytes(platform::pathFromText(location), line))
        return {std::nullopt, {SaveFailure::Kind::Write, error->systemError, location}};

    std::optional<Settings> readBack = readAt(location);
    if (!readBack)
        return {std::nullopt, {SaveFailure::Kind::ReadBack, 0, location}};
    return {std::move(readBack), {}};
}

} // namespace core
