// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FileError.h"
#include "FileSystem.h"
#include "WrittenFile.h"

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace core {

// What this program last wrote over each game file, kept beside the originals: a text file
// of one line per written file, "<target name>\t<size>\t<time>\t<hash>", after a first line
// naming the format. A slot may have two lines while a replacement is under way: the file it
// held and the one about to take its place. The lines are checked against the game files
// whenever they are used, never trusted blindly.
class OriginalsManifest
{
  public:
    static constexpr std::string_view fileName = "manifest.txt";
    static constexpr std::string_view firstLine = "valdrune-music-changer written 1";

    OriginalsManifest(std::filesystem::path file, FileSystem &fileSystem);

    bool existed() const { return existed_; }
    const std::vector<WrittenFile> &written(const std::string &targetName) const;
    void setWritten(const std::string &targetName, std::vector<WrittenFile> files);
    // Written atomically; nothing to do where nothing changed.
    std::optional<FileError> save();

    static std::string format(const std::map<std::string, std::vector<WrittenFile>> &entries);
    // Lines that do not read as an entry are passed over.
    static std::map<std::string, std::vector<WrittenFile>> parse(std::string_view text);

  private:
    std::filesystem::path file_;
    FileSystem &fileSystem_;
    std::map<std::string, std::vector<WrittenFile>> entries_;
    bool existed_ = false;
    bool changed_ = false;
};

} // namespace core
