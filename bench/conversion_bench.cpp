// SPDX-License-Identifier: GPL-3.0-or-later
// Times the conversion of every FLAC file of a folder to MP3 at 192 kbit/s (44.1 kHz stereo),
// one conversion per processor core, as a run converts, into another folder, and prints the
// wall time and the audio seconds converted per wall second. bench/compare_conversion.sh
// makes the files and times the ffmpeg command-line tool beside it.
//
//   conversion_bench INPUT_FOLDER OUTPUT_FOLDER

#include "run/ConversionPool.h"

#include <chrono>
#include <cstdio>
#include <filesystem>

namespace fs = std::filesystem;

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: conversion_bench INPUT_FOLDER OUTPUT_FOLDER\n");
        return 2;
    }
    const fs::path input = argv[1];
    const fs::path output = argv[2];
    std::vector<core::ConversionPool::Job> jobs;
    std::vector<fs::path> names;
    for (const fs::directory_entry &entry : fs::directory_iterator(input)) {
        if (entry.path().extension() == ".flac") {
            jobs.push_back({int(jobs.size()), entry.path(), {44100, 2, 192}});
            names.push_back(entry.path().stem());
        }
    }
    const auto decoder = core::AudioCodecs::builtIn().makeDecoder();
    double audioSeconds = 0;
    for (const auto &job : jobs) {
        const auto probed = decoder->probe(job.source);
        if (const auto *info = std::get_if<core::AudioInfo>(&probed))
            audioSeconds += info->seconds;
    }
    const auto start = std::chrono::steady_clock::now();
    {
        core::ConversionPool pool(&core::AudioCodecs::builtIn(), jobs, output);
        for (std::size_t i = 0; i < jobs.size(); ++i) {
            const core::ConversionPool::Result result = pool.take(int(i));
            if (result.failure) {
                std::fprintf(stderr, "%s: %s\n", jobs[i].source.c_str(),
                             result.failure->reason.text(2).c_str());
                return 1;
            }
            fs::rename(result.staged, output / (names[i].string() + ".mp3"));
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%zu files, %.0f s of music, converted in %.2f s: %.1f audio seconds a second\n",
                jobs.size(), audioSeconds, seconds, audioSeconds / seconds);
    return 0;
}
