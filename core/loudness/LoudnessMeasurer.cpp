// SPDX-License-Identifier: GPL-3.0-or-later
#include "loudness/LoudnessMeasurer.h"

#include "loudness/LowPass.h"
#include "loudness/SilenceGate.h"
#include "music/FittedStream.h"

namespace core {

std::variant<Loudness, Reason> LoudnessMeasurer::measure(const std::filesystem::path &file,
                                                         int sampleRate, int channels,
                                                         bool truePeak, const Progress &progress,
                                                         std::stop_token stop,
                                                         const PickFit &fit) const
{
    if (!codecs_.makeMeter)
        return Reason{Reason::Code::NoLoudnessMeter, {}};
    const std::unique_ptr<LoudnessMeter> meter = codecs_.makeMeter();
    if (std::optional<Reason> failure = meter->start(sampleRate, channels, truePeak))
        return *failure;
    // Below the Nyquist frequency only: above, nothing is dropped.
    const bool keeps = keptBelowHz_ > 0 && 2 * keptBelowHz_ < sampleRate;
    const std::unique_ptr<LoudnessMeter> keptMeter = keeps ? codecs_.makeMeter() : nullptr;
    std::optional<LowPass> lowPass;
    if (keeps) {
        if (std::optional<Reason> failure = keptMeter->start(sampleRate, channels, false))
            return *failure;
        lowPass.emplace(sampleRate, channels, keptBelowHz_);
    }
    const std::unique_ptr<AudioDecoder> decoder = codecs_.makeDecoder();
    std::optional<Reason> meterFailure;
    std::size_t framesDone = 0;
    std::size_t framesReported = 0;
    const std::size_t reportEvery = std::size_t(sampleRate) / 4;
    SilenceGate gate(sampleRate, channels);
    FittedStream fitted(fit, channels, [&](const float *samples, std::size_t frames) {
        meterFailure = meter->add(samples, frames);
        if (keeps && !meterFailure)
            meterFailure = keptMeter->add(lowPass->filter(samples, frames), frames);
        gate.add(samples, frames);
        return !meterFailure;
    });
    std::optional<Reason> failure = decoder->decode(
        file, sampleRate, channels,
        [&](const float *samples, std::size_t frames) {
            const bool more = fitted.add(samples, frames);
            framesDone += frames;
            if (progress && framesDone - framesReported >= reportEvery) {
                framesReported = framesDone;
                progress(double(framesDone) / sampleRate);
            }
            return more;
        },
        stop);
    if (stop.stop_requested())
        return Reason{Reason::Code::Cancelled, {}};
    if (!failure)
        failure = meterFailure;
    if (failure)
        return *failure;
    Loudness loudness = meter->result();
    loudness.keptLufs = keeps ? keptMeter->result().lufs : loudness.lufs;
    loudness.keptBelowHz = keeps ? keptBelowHz_ : 0;
    const SilenceGate::Ends silent = gate.ends(loudness.lufs);
    loudness.seconds = double(gate.frames()) / sampleRate;
    loudness.leadingSilence = double(silent.leading) / sampleRate;
    loudness.trailingSilence = double(silent.trailing) / sampleRate;
    return loudness;
}

} // namespace core
