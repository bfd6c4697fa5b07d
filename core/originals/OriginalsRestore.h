// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "files/AtomicFileWriter.h"
#include "files/FileError.h"
#include "originals/OriginalsRecord.h"
#include "report/RunResult.h"
#include "settings/SlotTable.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace core {

// Puts the game's kept originals back over what this program wrote, and only there: a game
// file that changed since is left alone and its kept original set aside, and a game file
// that cannot be compared is left as it is. Goes on past a failure.
class OriginalsRestore
{
  public:
    explicit OriginalsRestore(OriginalsRecord &record);

    // See OriginalsFolder::restore.
    RunResult restore(const SlotTable &slots, const SlotTexts &labels, std::uint8_t language,
                      std::optional<int> onlySlot, const std::function<void()> &waiting);

  private:
    // Why a slot's file was left as it is, for the restore's message; empty where it was not.
    struct LeftAlone
    {
        enum class Why { None, ChangedSince, NoRecord, Unreadable, Lost };
        Why why = Why::None;
        SystemError error = 0;
    };

    std::optional<FileError> restoreSlot(AtomicFileWriter &writer, std::string_view targetName,
                                         bool &restored, LeftAlone &leftAlone);
    // Puts the kept original of a file this program wrote back over it; the game file is
    // removed where the game had none.
    std::optional<FileError> putBack(AtomicFileWriter &writer, const std::filesystem::path &game,
                                     std::string_view targetName);
    static void addFailure(RunResult &result, int slot, std::string_view label,
                           const FileError &error, std::uint8_t language);
    static std::string whyLeftAlone(const LeftAlone &leftAlone, std::uint8_t language);

    OriginalsRecord &record_;
    const OriginalsPlace &place_;
};

} // namespace core
