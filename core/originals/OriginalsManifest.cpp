// SPDX-License-Identifier: GPL-3.0-or-later
#include "originals/OriginalsManifest.h"

#include "files/AtomicFileWriter.h"

#include <charconv>
#include <sstream>

namespace core {

namespace {

// Marks of the lines that an older copy of the program passes over.
constexpr std::string_view overwrittenInPlaceMark = "overwritten in place";
constexpr std::string_view movedInMark = "moved in";
constexpr std::string_view doubtfulMark = "doubtful";
constexpr std::string_view identityMark = "identity";
constexpr std::string_view secondNameMark = "second name";
constexpr std::string_view lostMark = "lost";
constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";

template <typename Number> bool readNumber(std::string_view text, Number &number)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    return error == std::errc() && end == text.data() + text.size();
}

std::vector<std::string_view> fields(std::string_view line)
{
    std::vector<std::string_view> parts;
    for (std::size_t tab; (tab = line.find('\t')) != std::string_view::npos;) {
        parts.push_back(line.substr(0, tab));
        line.remove_prefix(tab + 1);
    }
    parts.push_back(line);
    return parts;
}

bool isHash(std::string_view text)
{
    return text.size() == 32 &&
           text.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

} // namespace

OriginalsManifest::OriginalsManifest(std::filesystem::path file, FileSystem &fileSystem)
    : file_(std::move(file)), fileSystem_(fileSystem)
{
    reload();
}

void OriginalsManifest::reload()
{
    Contents read;
    FileStatus status;
    readError_ = fileSystem_.status(file_, status);
    trustworthy_ = false;
    if (readError_ == 0 && status.isFile()) {
        std::string text;
        readError_ = fileSystem_.readWhole(file_, text);
        existed_ = true;
        read = parse(text);
        trustworthy_ = readError_ == 0 && read.whole;
    }
    // A record that cannot be read now keeps what was read of it before: a save refuses to
    // write over it, and the files it names stay known as this program's.
    if (readError_ != 0)
        return;
    for (const std::string &name : changed_) {
        const auto mine = contents_.entries.find(name);
        if (mine == contents_.entries.end())
            read.entries.erase(name);
        else
            read.entries[name] = mine->second;
    }
    for (const MovedIn &file : movedInAdded_)
        read.movedIn.push_back(file);
    contents_ = std::move(read);
}

const OriginalsManifest::Entry &OriginalsManifest::entry(const std::string &targetName) const
{
    static const Entry none;
    const auto it = contents_.entries.find(targetName);
    return it == contents_.entries.end() ? none : it->second;
}

void OriginalsManifest::setEntry(const std::string &targetName, Entry entry)
{
    if (entry.empty()) {
        if (contents_.entries.erase(targetName) > 0)
            changed_.insert(targetName);
        return;
    }
    contents_.entries[targetName] = std::move(entry);
    changed_.insert(targetName);
}

void OriginalsManifest::addMovedIn(MovedIn file)
{
    // A field of its own on a line of its own: tabs and line ends cannot be kept in it.
    for (std::string *text : {&file.file, &file.from}) {
        for (char &c : *text) {
            if (c == '\t' || c == '\n' || c == '\r')
                c = ' ';
        }
    }
    contents_.movedIn.push_back(file);
    movedInAdded_.push_back(std::move(file));
}

std::optional<FileError> OriginalsManifest::save()
{
    if (changed_.empty() && movedInAdded_.empty())
        return std::nullopt;
    reload();
    // Lines that could not be read would be lost with a save over them.
    if (readError_ != 0)
        return FileError::destination(readError_);
    AtomicFileWriter writer(fileSystem_);
    if (std::optional<FileError> failure = writer.writeBytes(file_, format(contents_)))
        return failure;
    changed_.clear();
    movedInAdded_.clear();
    existed_ = true;
    return std::nullopt;
}

std::string OriginalsManifest::format(const Contents &contents)
{
    std::ostringstream text;
    text << firstLine << '\n';
    const auto line = [&](const std::string &name, const WrittenFile &file) -> std::ostream & {
        return text << name << '\t' << file.size << '\t' << file.modified << '\t' << file.hash;
    };
    for (const auto &[name, entry] : contents.entries) {
        for (const WrittenFile &file : entry.written)
            line(name, file) << '\n';
        if (entry.overwrittenInPlace)
            line(name, *entry.overwrittenInPlace) << '\t' << overwrittenInPlaceMark << '\n';
        if (entry.doubtful)
            text << name << '\t' << doubtfulMark << '\n';
        const auto identityLine = [&text, &targetName = name](std::string_view mark,
                                                              const Entry::Identity &identity) {
            text << targetName << '\t' << mark << '\t' << identity.device << '\t' << identity.inode
                 << '\t' << identity.changed << '\n';
        };
        if (entry.identity && !entry.written.empty())
            identityLine(identityMark, *entry.identity);
        if (entry.secondName)
            identityLine(secondNameMark, *entry.secondName);
        if (entry.lost)
            text << name << '\t' << lostMark << '\n';
    }
    for (const MovedIn &file : contents.movedIn)
        text << file.targetName << '\t' << movedInMark << '\t' << file.file << '\t' << file.from
             << '\n';
    return text.str();
}

OriginalsManifest::Contents OriginalsManifest::parse(std::string_view text)
{
    Contents contents;
    if (text.starts_with(byteOrderMark))
        text.remove_prefix(byteOrderMark.size());
    contents.whole = text.empty() || text.back() == '\n';
    const auto nextLine = [&text] {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        return line;
    };
    if (nextLine() != firstLine) {
        contents.whole = false;
        return contents;
    }
    while (!text.empty()) {
        const std::string_view line = nextLine();
        const std::vector<std::string_view> parts = fields(line);
        Entry::Identity identity;
        if (parts.size() == 5 && !parts[0].empty() &&
            (parts[1] == identityMark || parts[1] == secondNameMark) &&
            readNumber(parts[2], identity.device) && readNumber(parts[3], identity.inode) &&
            readNumber(parts[4], identity.changed)) {
            Entry &entry = contents.entries[std::string(parts[0])];
            (parts[1] == identityMark ? entry.identity : entry.secondName) = identity;
            continue;
        }
        if (parts.size() == 2 && !parts[0].empty() &&
            (parts[1] == doubtfulMark || parts[1] == lostMark)) {
            Entry &entry = contents.entries[std::string(parts[0])];
            (parts[1] == doubtfulMark ? entry.doubtful : entry.lost) = true;
            continue;
        }
        if (parts.size() == 4 && !parts[0].empty() && parts[1] == movedInMark &&
            !parts[2].empty()) {
            contents.movedIn.push_back(
                {std::string(parts[0]), std::string(parts[2]), std::string(parts[3])});
            continue;
        }
        const bool inPlace = parts.size() == 5 && parts[4] == overwrittenInPlaceMark;
        WrittenFile file;
        if ((parts.size() != 4 && !inPlace) || parts[0].empty() ||
            !readNumber(parts[1], file.size) || !readNumber(parts[2], file.modified) ||
            !isHash(parts[3]))
            continue;
        file.hash = std::string(parts[3]);
        Entry &entry = contents.entries[std::string(parts[0])];
        if (inPlace)
            entry.overwrittenInPlace = std::move(file);
        else
            entry.written.push_back(std::move(file));
    }
    return contents;
}

} // namespace core
