// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "loudness/LoudnessCache.h"
#include "loudness/LoudnessGain.h"
#include "settings/SlotTable.h"

#include <array>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string_view>
#include <variant>

namespace core {

// The loudness a slot's pick is matched to: the game's own music of that slot, measured as
// it is (its own sample rate and channels), or where the game has no file for the slot, the
// median of the game's other slots. Measured at first need, from any thread.
class LoudnessReference
{
  public:
    // The game's own music of every slot, where it has any.
    using Files = std::array<std::optional<std::filesystem::path>, slotCount>;
    // Seconds of music measured so far, of this call.
    using Progress = std::function<void(double seconds)>;

    LoudnessReference(const AudioCodecs &codecs, LoudnessCache &cache, Files files);

    // The slot's figure (minus infinity for silence), else why there is none: NoReference,
    // or NotMeasured where the music cannot be read or a stop was requested.
    std::variant<Loudness, GainReason> loudnessFor(int slot, const Progress &progress = {},
                                                   std::stop_token stop = {});
    // Whether the slot is matched to the median, the game having no music of its own for it.
    bool usesMedian(int slot) const { return !files_.at(std::size_t(slot)); }
    // The median integrated loudness of the slots whose game music has one, its true peak
    // unknown; NoReference where none has.
    std::variant<Loudness, GainReason> median(const Progress &progress = {},
                                              std::stop_token stop = {});

  private:
    std::variant<Loudness, GainReason> measureFile(int slot, const Progress &progress,
                                                   std::stop_token stop);

    const AudioCodecs &codecs_;
    LoudnessCache &cache_;
    const Files files_;
    // Held while the median is worked out: whoever needs it next waits for it.
    std::mutex medianMutex_;
    std::optional<Loudness> median_;
};

} // namespace core
