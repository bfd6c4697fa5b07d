// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "files/FileSystem.h"
#include "loudness/LoudnessOptions.h"
#include "music/AudioCodecs.h"
#include "music/MusicConverter.h"
#include "report/RunResult.h"
#include "settings/SlotTable.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <stop_token>
#include <string>
#include <string_view>

namespace core {

class LoudnessCache;

// What a run is doing, from whichever thread does it.
struct RunProgress
{
    double secondsDone = 0;  // of the music converted
    double secondsTotal = 0; // of all music to convert
    int slot = -1;           // the slot being converted
    // Nothing begun yet: another copy of the program holds the game folder, for a while.
    bool waitingForOtherCopy = false;
};

// Puts the file chosen for every slot over the game's file of that slot, in slot order,
// stopping at the first failure: an MP3 as it is, other music converted to the game's MP3
// format (in parallel, committed in slot order). Picks that are no music are refused before
// anything is written.
class ReplacementRun
{
  public:
    using Progress = std::function<void(const RunProgress &)>;

    // dataFolder: where the game's originals go when the game folder takes no folder of ours.
    // codecs: the audio code; without it every pick is copied as it is, unless
    // missingAudioModule says where the audio code was looked for and not found: then a pick
    // is judged by its first bytes, and all but an MP3 is refused.
    explicit ReplacementRun(const SlotTable &slots, FileSystem &fileSystem = FileSystem::native(),
                            std::filesystem::path dataFolder = {},
                            const AudioCodecs *codecs = nullptr,
                            std::filesystem::path missingAudioModule = {});
    // loudness: whether picks are matched to the game's music; cache: the session's figures
    // (none: measured for this run alone).
    ReplacementRun(const SlotTable &slots, FileSystem &fileSystem, std::filesystem::path dataFolder,
                   const AudioCodecs *codecs, LoudnessOptions loudness,
                   LoudnessCache *cache = nullptr, std::filesystem::path missingAudioModule = {});

    // slotTexts are the texts of the slot boxes, labels the captions of the slot labels,
    // musicFolder the stored folder that the target name is glued to. Every pick is read
    // before anything is written: where any is no music the program reads, nothing is
    // written and the result names the first such slot.
    RunResult run(const SlotTexts &slotTexts, const SlotTexts &labels, std::string_view musicFolder,
                  std::uint8_t language, const Progress &progress = {},
                  std::stop_token stop = {}) const;

    // What of each slot's pick is written, in frames at the pick's rate; a fitted MP3 is
    // converted. Without one, a converted pick is written without the silence at its ends.
    void setFits(const std::array<PickFit, slotCount> &fits) { fits_ = fits; }

    // Whether a slot with this text holds a pick, which the run tries: every text but the
    // language's placeholder, exactly. A blank text or the other language's placeholder is
    // tried, and fails.
    static bool holdsPick(std::string_view slotText, std::uint8_t language);

  private:
    class Pass;

    const SlotTable &slots_;
    FileSystem &fileSystem_;
    std::filesystem::path dataFolder_;
    const AudioCodecs *codecs_;
    std::filesystem::path missingAudioModule_;
    LoudnessOptions loudness_;
    LoudnessCache *cache_ = nullptr;
    std::array<PickFit, slotCount> fits_{};
};

} // namespace core
