// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "loudness/LoudnessMeasurer.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <tuple>
#include <variant>

namespace core {

// The loudness of every file measured in this session, from any thread. A figure holds for
// the file's size and modification time it was measured at, and for the sample rate and
// channel count it was decoded at, the low-pass it was measured through and the fit of the
// pick measured (in frames at that sample rate) besides.
class LoudnessCache
{
  public:
    // The figure where the file is measured and unchanged since; with truePeak, only one
    // whose true peak was measured.
    std::optional<Loudness> find(const std::filesystem::path &file, int sampleRate, int channels,
                                 bool truePeak = false, int keptBelowHz = 0,
                                 const PickFit &fit = {}) const;
    void store(const std::filesystem::path &file, int sampleRate, int channels,
               const Loudness &loudness, const PickFit &fit = {});
    // The figure from the cache, else measured and kept; or why it cannot be measured.
    std::variant<Loudness, Reason>
    measure(const AudioCodecs &codecs, const std::filesystem::path &file, int sampleRate,
            int channels, bool truePeak = true, const LoudnessMeasurer::Progress &progress = {},
            std::stop_token stop = {}, int keptBelowHz = 0, const PickFit &fit = {});

  private:
    struct Stamp
    {
        std::uintmax_t size = 0;
        std::filesystem::file_time_type time;
        bool operator==(const Stamp &) const = default;
    };
    struct Entry
    {
        Stamp stamp;
        Loudness loudness;
    };
    using Key = std::tuple<std::filesystem::path, int, int, int, PickFit>;

    static std::optional<Stamp> stampOf(const std::filesystem::path &file);

    mutable std::mutex mutex_;
    std::map<Key, Entry> entries_;
};

} // namespace core
