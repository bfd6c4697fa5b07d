// SPDX-License-Identifier: GPL-3.0-or-later
// Times Find a loop on made songs of four and of ten minutes at 44.1 kHz, decoding not
// counted, and prints the loops found; given music files instead, decodes each to mono at its
// own rate and prints the loops found in it, with the time each search took. Each loop is
// printed to the sample, with how alike the second after its end is to the second after its
// start.
//
//   loopfinder_bench [FILE...]

#include "MadeSong.h"
#include "fit/LoopFinder.h"
#include "music/AudioCodecs.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <span>
#include <variant>
#include <vector>

namespace {

std::string clock(std::size_t sample, int rate)
{
    const double seconds = double(sample) / rate;
    char text[32];
    std::snprintf(text, sizeof text, "%d:%05.2f", int(seconds / 60),
                  seconds - 60 * int(seconds / 60));
    return text;
}

// How alike the second after the loop's end is to the second after its start, as a
// correlation: 1 where the music truly repeats there, so the seam cannot be heard.
double afterSeamLikeness(std::span<const float> mono, const core::LoopCandidate &loop, int rate)
{
    const std::size_t length = std::min<std::size_t>(std::size_t(rate), mono.size() - loop.end);
    double product = 0;
    double afterEnd = 0;
    double afterStart = 0;
    for (std::size_t i = 0; i < length; ++i) {
        product += double(mono[loop.end + i]) * mono[loop.start + i];
        afterEnd += double(mono[loop.end + i]) * mono[loop.end + i];
        afterStart += double(mono[loop.start + i]) * mono[loop.start + i];
    }
    return afterEnd > 0 && afterStart > 0 ? product / std::sqrt(afterEnd * afterStart) : 0;
}

// Searches and prints; returns the processor's seconds the search took: one thread's, as
// the search runs on one.
double findAndPrint(const char *name, std::span<const float> mono, int rate)
{
    const core::LoopFinder finder(core::AudioCodecs::builtIn().makeRealTransform);
    const auto started = std::chrono::steady_clock::now();
    const std::clock_t startedOnProcessor = std::clock();
    const std::vector<core::LoopCandidate> loops = finder.find(mono, rate);
    const double processorSeconds = double(std::clock() - startedOnProcessor) / CLOCKS_PER_SEC;
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
    std::printf("%s (%s; search %.3f s on the processor, %.3f s on the clock)\n", name,
                clock(mono.size(), rate).c_str(), processorSeconds, took.count());
    if (loops.empty())
        std::printf("  none found\n");
    for (const core::LoopCandidate &loop : loops)
        std::printf("  %s to %s (samples %zu to %zu at %d Hz)  score %.3f  crossfade %zu samples"
                    "  next second alike %.2f\n",
                    clock(loop.start, rate).c_str(), clock(loop.end, rate).c_str(), loop.start,
                    loop.end, rate, loop.score, loop.crossfade,
                    afterSeamLikeness(mono, loop, rate));
    return processorSeconds;
}

int madeSongs()
{
    constexpr int rate = 44100;
    for (const auto &[minutes, goal] : {std::pair{4, 1.0}, std::pair{10, 2.5}}) {
        const madesong::Song song = madesong::song(rate, 60.0 * minutes);
        const double seconds = findAndPrint("made song", song.samples, rate);
        std::printf("pattern %.2f s; search %.3f s on one core (goal at most %.1f s)\n",
                    double(song.patternSamples) / rate, seconds, goal);
    }
    return 0;
}

std::vector<float> decodedMono(const std::filesystem::path &file, int &rate)
{
    const auto decoder = core::AudioCodecs::builtIn().makeDecoder();
    const auto probed = decoder->probe(file);
    const auto *info = std::get_if<core::AudioInfo>(&probed);
    if (!info)
        return {};
    rate = info->sampleRate;
    std::vector<float> mono;
    decoder->decode(file, rate, 1, [&](const float *samples, std::size_t frames) {
        mono.insert(mono.end(), samples, samples + frames);
        return true;
    });
    return mono;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2)
        return madeSongs();
    for (int i = 1; i < argc; ++i) {
        int rate = 0;
        const std::vector<float> mono = decodedMono(argv[i], rate);
        if (mono.empty())
            std::printf("%s: cannot be read\n", argv[i]);
        else
            findAndPrint(argv[i], mono, rate);
    }
    return 0;
}
