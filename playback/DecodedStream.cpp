// SPDX-License-Identifier: GPL-3.0-or-later
#include "DecodedStream.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

std::size_t DecodedStream::Format::bytesPerFrame() const
{
    return std::size_t(channels) * (floatSamples ? sizeof(float) : sizeof(std::int16_t));
}

DecodedStream::DecodedStream(std::unique_ptr<core::AudioDecoder> decoder)
    : decoder_(std::move(decoder))
{
}

DecodedStream::~DecodedStream()
{
    stop();
}

bool DecodedStream::start(const std::filesystem::path &file, Format format,
                          std::size_t capacityBytes)
{
    std::lock_guard lock(mutex_);
    if (stopped_)
        return false;
    format_ = format;
    const std::size_t frame = format.bytesPerFrame();
    ring_.resize(std::max(capacityBytes / frame, std::size_t(1)) * frame);
    thread_ = std::jthread([this, file](std::stop_token stop) { decode(stop, file); });
    return true;
}

void DecodedStream::stop()
{
    std::jthread decoding;
    {
        std::lock_guard lock(mutex_);
        stopped_ = true;
        decoding = std::move(thread_);
    }
    // Joined outside the lock, which the decoding takes to hand over its samples.
    if (decoding.joinable()) {
        decoding.request_stop();
        decoding.join();
    }
}

void DecodedStream::setGain(double decibels)
{
    gain_ = float(std::pow(10.0, decibels / 20));
}

void DecodedStream::decode(std::stop_token stop, const std::filesystem::path &file)
{
    std::vector<std::int16_t> integers;
    std::vector<float> scaled;
    const auto sink = [&](const float *samples, std::size_t frames) {
        const std::size_t count = frames * std::size_t(format_.channels);
        if (const float gain = gain_; gain != 1.0f) {
            scaled.resize(count);
            std::transform(samples, samples + count, scaled.begin(),
                           [gain](float sample) { return sample * gain; });
            samples = scaled.data();
        }
        if (format_.floatSamples)
            return push(reinterpret_cast<const char *>(samples), count * sizeof(float), stop);
        integers.resize(count);
        std::transform(samples, samples + count, integers.begin(), [](float sample) {
            return std::int16_t(std::lround(std::clamp(sample, -1.0f, 1.0f) * 32767.0f));
        });
        return push(reinterpret_cast<const char *>(integers.data()), count * sizeof(std::int16_t),
                    stop);
    };
    std::optional<core::Reason> failure =
        decoder_->decode(file, format_.sampleRate, format_.channels, sink, stop);
    finish(stop.stop_requested() ? std::nullopt : std::move(failure));
}

bool DecodedStream::push(const char *data, std::size_t size, std::stop_token stop)
{
    std::unique_lock lock(mutex_);
    while (size > 0) {
        if (!roomMade_.wait(lock, stop, [&] { return size_ < ring_.size(); }))
            return false;
        const std::size_t tail = (head_ + size_) % ring_.size();
        const std::size_t chunk = std::min({size, ring_.size() - size_, ring_.size() - tail});
        std::memcpy(ring_.data() + tail, data, chunk);
        size_ += chunk;
        data += chunk;
        size -= chunk;
    }
    return true;
}

void DecodedStream::finish(std::optional<core::Reason> failure)
{
    std::lock_guard lock(mutex_);
    finished_ = true;
    failure_ = std::move(failure);
}

std::size_t DecodedStream::read(char *data, std::size_t size)
{
    std::lock_guard lock(mutex_);
    const std::size_t frame = format_.bytesPerFrame();
    std::size_t taken = std::min(size, size_) / frame * frame;
    const std::size_t total = taken;
    while (taken > 0) {
        const std::size_t chunk = std::min(taken, ring_.size() - head_);
        std::memcpy(data, ring_.data() + head_, chunk);
        head_ = (head_ + chunk) % ring_.size();
        size_ -= chunk;
        data += chunk;
        taken -= chunk;
    }
    if (total > 0)
        roomMade_.notify_one();
    return total;
}

std::size_t DecodedStream::available() const
{
    std::lock_guard lock(mutex_);
    return size_;
}

bool DecodedStream::atEnd() const
{
    std::lock_guard lock(mutex_);
    return finished_ && size_ == 0;
}

std::optional<core::Reason> DecodedStream::failure() const
{
    std::lock_guard lock(mutex_);
    return failure_;
}
