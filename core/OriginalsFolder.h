#pragma once

#include "AtomicFileWriter.h"
#include "FileSystem.h"
#include "ReplacementRun.h"
#include "SlotTable.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace core {

// The game's own music, kept the first time this program changes a game file, in a folder of
// ours inside the game music folder (the game reads only its named files). A kept file has
// the slot's target name; a game file that did not exist is kept as an empty marker named
// after it, so that restoring removes the file again. A kept original is never replaced.
class OriginalsFolder
{
  public:
    static constexpr std::string_view folderName = "Originals (Music Changer)";
    static constexpr std::string_view absentSuffix = ".absent";

    // musicFolder is the stored folder text that target names are glued to.
    explicit OriginalsFolder(std::string_view musicFolder,
                             FileSystem &fileSystem = FileSystem::native());

    const std::filesystem::path &path() const { return folder_; }
    // The folder the target names land in.
    std::filesystem::path gameFolder() const;
    // The game's file of a target name: on Linux, where the exact name is absent, the one
    // file that has it in another letter case.
    std::filesystem::path gameFile(std::string_view targetName) const;
    bool isKept(std::string_view targetName) const;
    int keptCount(const SlotTable &slots) const;

    // Keeps what gameFile holds now, unless the slot's original is kept already. inPlace:
    // the game file is about to be overwritten in place, where a second name for it would
    // change with it, so a real copy is kept.
    std::optional<FileError> keep(const std::filesystem::path &gameFile,
                                  std::string_view targetName, bool inPlace);

    // Copies every kept original back over its game file in slot order, and removes a game
    // file that was absent; stops at the first failure. The kept originals stay.
    RunResult restore(const SlotTable &slots, const SlotTexts &labels, std::uint8_t language);

  private:
    std::filesystem::path keptFile(std::string_view targetName) const;
    std::filesystem::path absentMarker(std::string_view targetName) const;
    std::optional<FileError> keepCopy(const std::filesystem::path &gameFile,
                                      const std::filesystem::path &kept);
    std::optional<FileError> restoreSlot(AtomicFileWriter &writer, std::string_view targetName);

    FileSystem &fileSystem_;
    std::string musicFolder_;
    std::filesystem::path folder_;
};

} // namespace core
