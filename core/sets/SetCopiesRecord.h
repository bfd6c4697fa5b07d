// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace core {

// What the saves of a set made in its copies folder, kept in that folder: the name, size and
// content hash of each copy. A set file may come from anywhere and name any file as a copy;
// only a file this record lists, still holding what was copied, is ever removed by a save.
class SetCopiesRecord
{
  public:
    static constexpr std::string_view fileName = ".valdrune-copies";

    // The folder's record; empty where it has none or it cannot be read.
    static SetCopiesRecord read(const std::filesystem::path &folder);

    void add(const std::string &name, std::uint64_t size, const std::string &hash);
    bool lists(const std::string &name) const;
    // The size and hash the record gives a name, for a new record.
    void carryOver(const SetCopiesRecord &earlier, const std::string &name);
    // The file is a copy the record lists and still holds what was copied.
    bool holdsCopy(const std::filesystem::path &file) const;
    bool empty() const { return entries_.empty(); }
    std::string format() const;

  private:
    struct Entry
    {
        std::string name;
        std::uint64_t size = 0;
        std::string hash;
    };
    const Entry *find(const std::string &name) const;

    std::vector<Entry> entries_;
};

} // namespace core
