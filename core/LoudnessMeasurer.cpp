// SPDX-License-Identifier: GPL-3.0-or-later
#include "LoudnessMeasurer.h"

namespace core {

std::variant<Loudness, std::string>
LoudnessMeasurer::measure(const std::filesystem::path &file, int sampleRate, int channels,
                          bool truePeak, const Progress &progress, std::stop_token stop) const
{
    if (!codecs_.makeMeter)
        return std::string("this build measures no loudness");
    const std::unique_ptr<LoudnessMeter> meter = codecs_.makeMeter();
    if (std::optional<std::string> failure = meter->start(sampleRate, channels, truePeak))
        return *failure;
    const std::unique_ptr<AudioDecoder> decoder = codecs_.makeDecoder();
    std::optional<std::string> meterFailure;
    std::size_t framesDone = 0;
    std::size_t framesReported = 0;
    const std::size_t reportEvery = std::size_t(sampleRate) / 4;
    std::optional<std::string> failure = decoder->decode(
        file, sampleRate, channels,
        [&](const float *samples, std::size_t frames) {
            meterFailure = meter->add(samples, frames);
            framesDone += frames;
            if (progress && framesDone - framesReported >= reportEvery) {
                framesReported = framesDone;
                progress(double(framesDone) / sampleRate);
            }
            return !meterFailure;
        },
        stop);
    if (stop.stop_requested())
        return std::string("cancelled");
    if (!failure)
        failure = meterFailure;
    if (failure)
        return *failure;
    return meter->result();
}

} // namespace core
