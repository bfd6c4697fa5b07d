// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "music/AudioCodecs.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// A music file decoded on a thread of its own into a bounded queue of samples in the sound
// output's format, from which the output takes them as it needs them. The decoding waits
// while the queue is full, so a long file never sits in memory whole. The output starts it
// once it knows its format; the player may stop it from another thread at any time.
class DecodedStream
{
  public:
    struct Format
    {
        int sampleRate = 0;
        int channels = 0;
        bool floatSamples = true; // 32-bit float, else 16-bit signed integer
        std::size_t bytesPerFrame() const;
    };

    explicit DecodedStream(std::unique_ptr<core::AudioDecoder> decoder);
    ~DecodedStream();
    DecodedStream(const DecodedStream &) = delete;
    DecodedStream &operator=(const DecodedStream &) = delete;

    // False where the stream was stopped first.
    bool start(const std::filesystem::path &file, Format format, std::size_t capacityBytes);
    // Whole frames only, up to size bytes; never waits.
    std::size_t read(char *data, std::size_t size);
    std::size_t available() const;
    // The decoding has ended and every sample was taken.
    bool atEnd() const;
    // Why the file could not be decoded, once that is known.
    std::optional<core::Reason> failure() const;
    // Ends the decoding; when it returns, the file is closed.
    void stop();
    // Scales what is decoded from now on; what waits in the queue plays as it was.
    void setGain(double decibels);

  private:
    void decode(std::stop_token stop, const std::filesystem::path &file);
    // Waits for room while the queue is full; false once stopped.
    bool push(const char *data, std::size_t size, std::stop_token stop);
    void finish(std::optional<core::Reason> failure);

    std::unique_ptr<core::AudioDecoder> decoder_;
    Format format_;
    mutable std::mutex mutex_;
    std::condition_variable_any roomMade_;
    std::vector<char> ring_;
    std::size_t head_ = 0;
    std::size_t size_ = 0;
    bool finished_ = false;
    bool stopped_ = false;
    std::optional<core::Reason> failure_;
    std::atomic<float> gain_{1.0f};
    std::jthread thread_;
};
