// SPDX-License-Identifier: GPL-3.0-or-later
// Converts picks as a run does, one per processor core, each like the game's music of its
// slot and, with matching, as loud as it; prints the wall time and each result's gain.
// Picks are named after their slot (0.flac ... 39.mp3); the game's music of a slot lies in
// the reference folder under the same number, any extension. The references are measured
// before the clock starts, as the program measures them when a slot's first pick is checked;
// the picks are measured within the timed part. bench/compare_loudness.sh makes the files.
// With "untrimmed", each pick is fitted to its whole length, so that the silence at its ends
// is written as it is: the time of the conversion without the silence left out.
//
//   loudness_bench PICKS REFERENCES OUTPUT on|off [mp3] [untrimmed]

#include "loudness/LoudnessReference.h"
#include "run/ConversionPool.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>

namespace fs = std::filesystem;

int main(int argc, char **argv)
{
    if (argc < 5) {
        std::fprintf(stderr,
                     "usage: loudness_bench PICKS REFERENCES OUTPUT on|off [mp3] [untrimmed]\n");
        return 2;
    }
    const fs::path picks = argv[1];
    const fs::path referenceFolder = argv[2];
    const fs::path output = argv[3];
    const bool matching = std::strcmp(argv[4], "on") == 0;
    bool matchMp3 = false;
    bool untrimmed = false;
    for (int i = 5; i < argc; ++i) {
        matchMp3 = matchMp3 || std::strcmp(argv[i], "mp3") == 0;
        untrimmed = untrimmed || std::strcmp(argv[i], "untrimmed") == 0;
    }
    const core::AudioCodecs &codecs = core::AudioCodecs::builtIn();
    const auto decoder = codecs.makeDecoder();

    core::LoudnessReference::Files files;
    for (const fs::directory_entry &entry : fs::directory_iterator(referenceFolder)) {
        const int slot = std::atoi(entry.path().stem().c_str());
        if (slot >= 0 && slot < core::slotCount)
            files[std::size_t(slot)] = entry.path();
    }
    core::LoudnessCache cache;
    core::LoudnessReference references(codecs, cache, files);
    core::MatchedConversion matched(codecs, cache, references, {matching, matchMp3});

    std::vector<core::ConversionPool::Job> jobs;
    std::map<int, std::string> extensions;
    double audioSeconds = 0;
    for (const fs::directory_entry &entry : fs::directory_iterator(picks)) {
        const int slot = std::atoi(entry.path().stem().c_str());
        const auto probed = decoder->probe(entry.path());
        const auto *info = std::get_if<core::AudioInfo>(&probed);
        if (!info || slot < 0 || slot >= core::slotCount)
            continue;
        std::optional<core::AudioInfo> reference;
        if (files[std::size_t(slot)]) {
            const auto probedReference = decoder->probe(*files[std::size_t(slot)]);
            if (const auto *found = std::get_if<core::AudioInfo>(&probedReference))
                reference = *found;
        }
        const bool isMp3 = info->isMp3;
        // An MP3 pick is copied as it is, unless its gain is matched.
        if (isMp3 && !(matching && matchMp3)) {
            fs::copy_file(entry.path(), output / (std::to_string(slot) + ".mp3"),
                          fs::copy_options::overwrite_existing);
            continue;
        }
        core::PickFit whole;
        if (untrimmed && !isMp3)
            whole.end = std::llround(info->seconds * info->sampleRate);
        jobs.push_back({slot, entry.path(), core::Mp3Settings::forReference(reference),
                        matching ? &matched : nullptr, isMp3, whole});
        audioSeconds += info->seconds;
    }
    if (matching) {
        for (int slot = 0; slot < core::slotCount; ++slot)
            references.loudnessFor(slot);
    }

    const auto start = std::chrono::steady_clock::now();
    {
        core::ConversionPool pool(&codecs, jobs, output);
        for (const core::ConversionPool::Job &job : jobs) {
            const core::ConversionPool::Result result = pool.take(job.slot);
            if (result.failure) {
                std::fprintf(stderr, "%s: %s\n", job.source.c_str(),
                             result.failure->reason.text(2).c_str());
                return 1;
            }
            fs::rename(result.staged, output / (std::to_string(job.slot) + ".mp3"));
            if (result.loudness.pick && matching) {
                const core::GainPlan &plan = result.loudness;
                std::fprintf(
                    stderr, "%d: %.2f LUFS, gain %+.2f dB%s%s%s%s", job.slot, plan.pick->lufs,
                    plan.gain, plan.madeAgain ? ", converted twice" : "",
                    plan.reason == core::GainReason::PeakLimited ? ", held back by the peak limit"
                                                                 : "",
                    plan.reason == core::GainReason::FormatLimited ? ", short of the format" : "",
                    plan.beyondFormat ? ", beyond its format" : "");
                // The plan's own account: what it says was held back and what it measured.
                std::fprintf(stderr, " (held back %.2f dB, lowered %.2f dB", plan.heldBack,
                             plan.loweredAfterEncoding);
                if (plan.resultLufs)
                    std::fprintf(stderr, ", result %.2f LUFS", *plan.resultLufs);
                std::fprintf(stderr, ")\n");
            }
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%zu files, %.0f s of music, matching %s, %s, in %.2f s: %.1f audio seconds a "
                "second\n",
                jobs.size(), audioSeconds, matching ? "on" : "off",
                untrimmed ? "silence kept" : "silence left out", seconds, audioSeconds / seconds);
    return 0;
}
