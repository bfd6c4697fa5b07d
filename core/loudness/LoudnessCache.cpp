// SPDX-License-Identifier: GPL-3.0-or-later
#include "loudness/LoudnessCache.h"

namespace core {

std::optional<LoudnessCache::Stamp> LoudnessCache::stampOf(const std::filesystem::path &file)
{
    std::error_code error;
    Stamp stamp;
    stamp.size = std::filesystem::file_size(file, error);
    if (error)
        return std::nullopt;
    stamp.time = std::filesystem::last_write_time(file, error);
    if (error)
        return std::nullopt;
    return stamp;
}

std::optional<Loudness> LoudnessCache::find(const std::filesystem::path &file, int sampleRate,
                                            int channels, bool truePeak, int keptBelowHz,
                                            const PickFit &fit) const
{
    const std::optional<Stamp> stamp = stampOf(file);
    if (!stamp)
        return std::nullopt;
    const std::lock_guard lock(mutex_);
    const auto found = entries_.find({file, sampleRate, channels, keptBelowHz, fit});
    if (found == entries_.end() || !(found->second.stamp == *stamp) ||
        (truePeak && !found->second.loudness.truePeakMeasured))
        return std::nullopt;
    return found->second.loudness;
}

void LoudnessCache::store(const std::filesystem::path &file, int sampleRate, int channels,
                          const Loudness &loudness, const PickFit &fit)
{
    const std::optional<Stamp> stamp = stampOf(file);
    if (!stamp)
        return;
    const std::lock_guard lock(mutex_);
    entries_[{file, sampleRate, channels, loudness.keptBelowHz, fit}] = {*stamp, loudness};
}

std::variant<Loudness, Reason>
LoudnessCache::measure(const AudioCodecs &codecs, const std::filesystem::path &file, int sampleRate,
                       int channels, bool truePeak, const LoudnessMeasurer::Progress &progress,
                       std::stop_token stop, int keptBelowHz, const PickFit &fit)
{
    if (std::optional<Loudness> known =
            find(file, sampleRate, channels, truePeak, keptBelowHz, fit))
        return *known;
    // Stamped before the reading: a file changed while it is read is measured again later.
    const std::optional<Stamp> before = stampOf(file);
    auto measured = LoudnessMeasurer(codecs, keptBelowHz)
                        .measure(file, sampleRate, channels, truePeak, progress, stop, fit);
    if (const auto *loudness = std::get_if<Loudness>(&measured);
        loudness && before && stampOf(file) == before) {
        const std::lock_guard lock(mutex_);
        entries_[{file, sampleRate, channels, keptBelowHz, fit}] = {*before, *loudness};
    }
    return measured;
}

} // namespace core
