// SPDX-License-Identifier: GPL-3.0-or-later
#include "sets/SetCopiesRecord.h"

#include "files/Platform.h"
#include "files/WrittenFile.h"

#include <fstream>
#include <sstream>

namespace core {

namespace {

// A record is a few lines per copy; anything larger is none of ours.
constexpr std::uintmax_t largest = 1 << 20;

} // namespace

SetCopiesRecord SetCopiesRecord::read(const std::filesystem::path &folder)
{
    SetCopiesRecord record;
    const std::filesystem::path file = folder / platform::pathFromText(fileName);
    std::error_code error;
    if (!std::filesystem::is_regular_file(std::filesystem::symlink_status(file, error)) ||
        std::filesystem::file_size(file, error) > largest || error)
        return record;
    std::ifstream in(file, std::ios::binary);
    std::string line;
    // "<hash> <size> <name>": a line that does not parse is passed over.
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::istringstream fields(line);
        Entry entry;
        if (!(fields >> entry.hash >> entry.size) || entry.hash.size() != 32 || fields.get() != ' ')
            continue;
        std::getline(fields, entry.name);
        if (!entry.name.empty())
            record.entries_.push_back(std::move(entry));
    }
    return record;
}

void SetCopiesRecord::add(const std::string &name, std::uint64_t size, const std::string &hash)
{
    entries_.push_back({name, size, hash});
}

const SetCopiesRecord::Entry *SetCopiesRecord::find(const std::string &name) const
{
    for (const Entry &entry : entries_) {
        if (entry.name == name)
            return &entry;
    }
    return nullptr;
}

bool SetCopiesRecord::lists(const std::string &name) const
{
    return find(name) != nullptr;
}

void SetCopiesRecord::carryOver(const SetCopiesRecord &earlier, const std::string &name)
{
    if (const Entry *entry = earlier.find(name))
        entries_.push_back(*entry);
}

bool SetCopiesRecord::holdsCopy(const std::filesystem::path &file) const
{
    const Entry *entry = find(platform::textFromPath(file.filename()));
    if (!entry)
        return false;
    std::error_code error;
    if (!std::filesystem::is_regular_file(std::filesystem::symlink_status(file, error)) ||
        std::filesystem::file_size(file, error) != entry->size || error)
        return false;
    const std::optional<WrittenFile> now = WrittenFile::of(file);
    return now && now->hash == entry->hash;
}

std::string SetCopiesRecord::format() const
{
    std::string text;
    for (const Entry &entry : entries_)
        text += entry.hash + " " + std::to_string(entry.size) + " " + entry.name + "\n";
    return text;
}

} // namespace core
