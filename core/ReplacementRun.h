// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FileSystem.h"
#include "SlotTable.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace core {

using SlotTexts = std::array<std::string, slotCount>;

struct RunResult
{
    enum class Outcome {
        Completed, // every chosen file was copied
        Refused,   // no game music folder is set; nothing was copied
        Failed,    // the copy of `slot` failed with `code`; later slots were not attempted
    };

    Outcome outcome = Outcome::Completed;
    int slot = -1;
    int code = 0;
    std::string message; // what the user is shown; empty when completed
    int count = 0;       // the files a restore put back
};

// Copies the file chosen for every slot over the game's file of that slot, in slot order,
// stopping at the first failure.
class ReplacementRun
{
  public:
    // dataFolder: where the game's originals go when the game folder takes no folder of ours.
    explicit ReplacementRun(const SlotTable &slots, FileSystem &fileSystem = FileSystem::native(),
                            std::filesystem::path dataFolder = {});

    // slotTexts are the texts of the slot boxes, labels the captions of the slot labels,
    // musicFolder the stored folder that the target name is glued to.
    RunResult run(const SlotTexts &slotTexts, const SlotTexts &labels, std::string_view musicFolder,
                  std::uint8_t language) const;

    static std::string failureMessage(std::uint8_t language, std::string_view label, int code);

  private:
    const SlotTable &slots_;
    FileSystem &fileSystem_;
    std::filesystem::path dataFolder_;
};

} // namespace core
