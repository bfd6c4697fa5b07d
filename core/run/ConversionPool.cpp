// SPDX-License-Identifier: GPL-3.0-or-later
#include "run/ConversionPool.h"

#include "files/AtomicFileWriter.h"
#include "loudness/TrimmedConversion.h"

#include <algorithm>

namespace core {

ConversionPool::ConversionPool(const AudioCodecs *codecs, std::vector<Job> jobs,
                               std::filesystem::path staging, Progress progress, int workers,
                               std::stop_token stop, FileSystem &fileSystem)
    : codecs_(codecs), jobs_(std::move(jobs)), staging_(std::move(staging)),
      progress_(std::move(progress)), stop_(std::move(stop)), fileSystem_(fileSystem)
{
    const int cores = std::max(1, int(std::thread::hardware_concurrency()));
    const int count = std::min(workers > 0 ? workers : cores, int(jobs_.size()));
    for (int i = 0; i < count; ++i)
        workers_.emplace_back([this](std::stop_token stop) { work(stop); });
}

ConversionPool::~ConversionPool()
{
    for (std::jthread &worker : workers_)
        worker.request_stop();
    workers_.clear();
    std::error_code error;
    for (const auto &[slot, result] : results_) {
        if (!result.staged.empty())
            std::filesystem::remove(result.staged, error);
    }
}

void ConversionPool::work(std::stop_token ownStop)
{
    // Either the pool going or the run's own stop ends the conversion under way.
    std::stop_source either;
    const std::stop_callback onOwn(ownStop, [&] { either.request_stop(); });
    const std::stop_callback onRun(stop_, [&] { either.request_stop(); });
    const std::stop_token stop = either.get_token();
    while (!stop.stop_requested()) {
        std::size_t index = 0;
        {
            const std::lock_guard lock(mutex_);
            if (next_ == jobs_.size())
                return;
            index = next_++;
        }
        runJob(jobs_[index], stop);
    }
}

namespace {

// A fit in the pick's own frames, at the rate it is converted at; whole where the pick's rate
// cannot be read, which its conversion then fails on.
PickFit decodedFit(const AudioCodecs &codecs, FileSystem &fileSystem,
                   const ConversionPool::Job &job)
{
    const std::unique_ptr<AudioDecoder> decoder = codecs.makeDecoder();
    decoder->readThrough(fileSystem);
    return MatchedConversion::decodedFit(*decoder, job.source, job.fit,
                                         SeamFraming::forEncoder(codecs, job.settings))
        .value_or(PickFit{});
}

} // namespace

void ConversionPool::runJob(const Job &job, std::stop_token stop)
{
    // Staged in the game folder, under the run's lock, where the next run finds what a
    // killed one left; in the system's temporary folder where the game folder takes no file.
    std::filesystem::path staged = staging_ / AtomicFileWriter::newTemporaryName();
    FileSystem::Handle handle = 0;
    if (fileSystem_.createNew(staged, handle) == 0) {
        fileSystem_.close(handle);
    } else {
        std::error_code error;
        staged = std::filesystem::temp_directory_path(error) / AtomicFileWriter::newTemporaryName();
    }
    const auto reportProgress = [&](double seconds) {
        if (!progress_)
            return;
        double total = 0;
        {
            const std::lock_guard lock(mutex_);
            secondsDone_[job.slot] = seconds;
            for (const auto &[slot, done] : secondsDone_)
                total += done;
        }
        progress_(total, job.slot);
    };
    Result result;
    if (job.matching) {
        const MatchedConversion::Outcome outcome =
            job.isMp3 && job.fit.isWhole()
                ? job.matching->adjustMp3(job.slot, job.source, staged, reportProgress, stop)
                : job.matching->convert(job.slot, job.source, job.settings, staged, reportProgress,
                                        stop, job.fit);
        result.failure = outcome.failure;
        result.loudness = outcome.plan;
    } else if (job.fit.isWhole()) {
        result.failure = TrimmedConversion(*codecs_, fileSystem_)
                             .convert(job.source, job.settings, staged, reportProgress, stop);
    } else {
        result.failure = MusicConverter(*codecs_, fileSystem_)
                             .convert(job.source, job.settings, staged, reportProgress, stop,
                                      decodedFit(*codecs_, fileSystem_, job));
    }
    std::error_code error;
    if (result.failure)
        std::filesystem::remove(staged, error);
    else
        result.staged = staged;
    {
        const std::lock_guard lock(mutex_);
        results_[job.slot] = std::move(result);
    }
    done_.notify_all();
}

ConversionPool::Result ConversionPool::take(int slot)
{
    std::unique_lock lock(mutex_);
    if (!done_.wait(lock, stop_, [&] { return results_.count(slot) != 0; }))
        return {
            {},
            ConversionFailure{ConversionFailure::Kind::Cancelled, {Reason::Code::Cancelled, {}}, 0},
            {}};
    Result result = std::move(results_[slot]);
    results_.erase(slot);
    return result;
}

} // namespace core
