// SPDX-License-Identifier: GPL-3.0-or-later
#include "loudness/LoudnessReference.h"

#include "music/MusicConverter.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace core {

LoudnessReference::LoudnessReference(const AudioCodecs &codecs, LoudnessCache &cache, Files files)
    : codecs_(codecs), cache_(cache), files_(std::move(files))
{
}

std::variant<Loudness, GainReason>
LoudnessReference::measureFile(int slot, const Progress &progress, std::stop_token stop)
{
    const std::filesystem::path &file = *files_[std::size_t(slot)];
    auto probed = codecs_.makeDecoder()->probe(file);
    if (!std::holds_alternative<AudioInfo>(probed))
        return GainReason::NotMeasured;
    // As the slot's conversions are made: the game file's own rate and channels.
    const Mp3Settings settings = Mp3Settings::forReference(std::get<AudioInfo>(probed));
    auto measured =
        cache_.measure(codecs_, file, settings.sampleRate, settings.channels, true, progress, stop);
    if (const auto *loudness = std::get_if<Loudness>(&measured))
        return *loudness;
    return GainReason::NotMeasured;
}

std::variant<Loudness, GainReason>
LoudnessReference::loudnessFor(int slot, const Progress &progress, std::stop_token stop)
{
    if (slot < 0 || slot >= slotCount)
        return GainReason::NoReference;
    if (files_[std::size_t(slot)])
        return measureFile(slot, progress, stop);
    return median(progress, stop);
}

std::variant<Loudness, GainReason> LoudnessReference::median(const Progress &progress,
                                                             std::stop_token stop)
{
    const std::lock_guard lock(medianMutex_);
    if (median_)
        return *median_;
    std::vector<double> figures;
    double secondsBefore = 0;
    for (int slot = 0; slot < slotCount; ++slot) {
        if (!files_[std::size_t(slot)])
            continue;
        double secondsHere = 0;
        const auto measured = measureFile(
            slot,
            [&](double seconds) {
                secondsHere = seconds;
                if (progress)
                    progress(secondsBefore + seconds);
            },
            stop);
        secondsBefore += secondsHere;
        if (stop.stop_requested())
            return GainReason::NotMeasured;
        if (const auto *loudness = std::get_if<Loudness>(&measured);
            loudness && std::isfinite(loudness->lufs))
            figures.push_back(loudness->lufs);
    }
    if (figures.empty())
        return GainReason::NoReference;
    std::sort(figures.begin(), figures.end());
    const std::size_t middle = figures.size() / 2;
    Loudness found;
    found.lufs = figures.size() % 2 ? figures[middle] : (figures[middle - 1] + figures[middle]) / 2;
    found.truePeak = -std::numeric_limits<double>::infinity();
    median_ = found;
    return found;
}

} // namespace core
