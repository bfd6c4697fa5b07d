// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "loudness/MatchedConversion.h"
#include "music/MusicConverter.h"

#include <condition_variable>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace core {

// Converts many picks at once, one per processor core, each into a staging file of its own;
// the owner takes the results in whatever order it commits them. Whatever is not taken, and
// every staging file not taken, is gone when the pool is.
class ConversionPool
{
  public:
    struct Job
    {
        int slot;
        std::filesystem::path source;
        Mp3Settings settings;
        // Where given, the pick is made as loud as the game's music of its slot; an MP3 pick
        // is then copied with its gain moved, not converted.
        MatchedConversion *matching = nullptr;
        bool isMp3 = false;
        // What of the pick is written, in frames at its own rate; a fitted MP3 is converted.
        // Without a fit, a converted pick is written without the silence at its ends.
        PickFit fit = {};
    };
    struct Result
    {
        std::filesystem::path staged; // the MP3, where it succeeded
        std::optional<ConversionFailure> failure;
        GainPlan loudness; // where matched
    };
    // Seconds converted of all jobs together; called from the workers. Without codecs there
    // must be no jobs.
    using Progress = std::function<void(double seconds, int slot)>;

    // A stop request ends every conversion within a block of samples, and take() at once.
    ConversionPool(const AudioCodecs *codecs, std::vector<Job> jobs, std::filesystem::path staging,
                   Progress progress = {}, int workers = 0, std::stop_token stop = {},
                   FileSystem &fileSystem = FileSystem::native());
    ~ConversionPool();
    ConversionPool(const ConversionPool &) = delete;
    ConversionPool &operator=(const ConversionPool &) = delete;

    // Waits for the slot's conversion; the caller removes the staged file once used.
    // Cancelled where the pool's stop was requested first.
    Result take(int slot);

  private:
    void work(std::stop_token stop);
    void runJob(const Job &job, std::stop_token stop);

    const AudioCodecs *codecs_;
    std::vector<Job> jobs_;
    std::filesystem::path staging_;
    Progress progress_;
    std::stop_token stop_;
    FileSystem &fileSystem_;
    std::mutex mutex_;
    std::condition_variable_any done_;
    std::size_t next_ = 0;
    std::map<int, Result> results_;
    std::map<int, double> secondsDone_;
    std::vector<std::jthread> workers_;
};

} // namespace core
