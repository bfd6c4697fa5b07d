// SPDX-License-Identifier: GPL-3.0-or-later
#include "OriginalsManifest.h"

#include "AtomicFileWriter.h"

#include <charconv>
#include <fstream>
#include <sstream>

namespace core {

namespace {

// Forty slots of a few lines each: anything larger is not our file.
constexpr std::size_t maximumSize = 64 * 1024;

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
    std::error_code error;
    if (!std::filesystem::is_regular_file(file_, error))
        return;
    std::ifstream input(file_, std::ios::binary);
    std::string text(maximumSize, '\0');
    input.read(text.data(), std::streamsize(text.size()));
    text.resize(std::size_t(input.gcount()));
    existed_ = true;
    entries_ = parse(text);
}

const std::vector<WrittenFile> &OriginalsManifest::written(const std::string &targetName) const
{
    static const std::vector<WrittenFile> none;
    const auto it = entries_.find(targetName);
    return it == entries_.end() ? none : it->second;
}

void OriginalsManifest::setWritten(const std::string &targetName, std::vector<WrittenFile> files)
{
    if (files.empty()) {
        changed_ = entries_.erase(targetName) > 0 || changed_;
        return;
    }
    entries_[targetName] = std::move(files);
    changed_ = true;
}

std::optional<FileError> OriginalsManifest::save()
{
    if (!changed_)
        return std::nullopt;
    AtomicFileWriter writer(fileSystem_);
    if (std::optional<FileError> failure = writer.writeBytes(file_, format(entries_)))
        return failure;
    changed_ = false;
    existed_ = true;
    return std::nullopt;
}

std::string
OriginalsManifest::format(const std::map<std::string, std::vector<WrittenFile>> &entries)
{
    std::ostringstream text;
    text << firstLine << '\n';
    for (const auto &[name, files] : entries) {
        for (const WrittenFile &file : files)
            text << name << '\t' << file.size << '\t' << file.modified << '\t' << file.hash << '\n';
    }
    return text.str();
}

std::map<std::string, std::vector<WrittenFile>> OriginalsManifest::parse(std::string_view text)
{
    std::map<std::string, std::vector<WrittenFile>> entries;
    const std::size_t firstEnd = text.find('\n');
    if (text.substr(0, firstEnd) != firstLine)
        return entries;
    text.remove_prefix(firstEnd == std::string_view::npos ? text.size() : firstEnd + 1);
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        const std::vector<std::string_view> parts = fields(line);
        WrittenFile file;
        if (parts.size() != 4 || parts[0].empty() || !readNumber(parts[1], file.size) ||
            !readNumber(parts[2], file.modified) || !isHash(parts[3]))
            continue;
        file.hash = std::string(parts[3]);
        entries[std::string(parts[0])].push_back(std::move(file));
    }
    return entries;
}

} // namespace core
