// SPDX-License-Identifier: GPL-3.0-or-later
#include "loudness/LoudnessMeasurer.h"

#include "loudness/GatedLoudness.h"
#include "loudness/LowPass.h"
#include "loudness/SilenceGate.h"
#include "music/FittedStream.h"

#include <cmath>
#include <optional>

namespace core {

std::variant<Loudness, Reason> LoudnessMeasurer::measure(const std::filesystem::path &file,
                                                         int sampleRate, int channels,
                                                         bool truePeak, const Progress &progress,
                                                         std::stop_token stop,
                                                         const PickFit &fit) const
{
    if (!codecs_.makeMeter)
        return Reason{Reason::Code::NoLoudnessMeter, {}};
    if (sampleRate <= 0 || channels <= 0)
        return Reason{Reason::Code::MeterFailed,
                      std::to_string(channels) + " ch, " + std::to_string(sampleRate) + " Hz"};
    // The library's meter for the true peak alone, which needs its oversampling.
    const std::unique_ptr<LoudnessMeter> peakMeter = truePeak ? codecs_.makeMeter() : nullptr;
    if (peakMeter) {
        if (std::optional<Reason> failure = peakMeter->start(sampleRate, channels, true))
            return *failure;
    }
    GatedLoudness whole(sampleRate, channels);
    // Below the Nyquist frequency only: above, nothing is dropped.
    const bool keeps = keptBelowHz_ > 0 && 2 * keptBelowHz_ < sampleRate;
    std::optional<GatedLoudness> kept;
    std::optional<LowPass> lowPass;
    if (keeps) {
        kept.emplace(sampleRate, channels);
        lowPass.emplace(sampleRate, channels, keptBelowHz_);
    }
    const std::unique_ptr<AudioDecoder> decoder = codecs_.makeDecoder();
    std::optional<Reason> meterFailure;
    std::size_t framesDone = 0;
    std::size_t framesReported = 0;
    const std::size_t reportEvery = std::size_t(sampleRate) / 4;
    SilenceGate gate(sampleRate, channels);
    FittedStream fitted(fit, channels, [&](const float *samples, std::size_t frames) {
        whole.add(samples, frames);
        if (keeps)
            kept->add(lowPass->filter(samples, frames), frames);
        if (peakMeter)
            meterFailure = peakMeter->add(samples, frames);
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
    Loudness loudness;
    loudness.lufs = whole.lufs();
    loudness.samplePeak = 20 * std::log10(whole.samplePeak());
    loudness.truePeakMeasured = truePeak;
    loudness.truePeak = peakMeter ? peakMeter->result().truePeak
                                  : loudness.samplePeak + Loudness::intersampleMargin;
    loudness.keptLufs = keeps ? kept->lufs() : loudness.lufs;
    loudness.keptBelowHz = keeps ? keptBelowHz_ : 0;
    const SilenceGate::Ends silent = gate.ends(loudness.lufs);
    loudness.seconds = double(gate.frames()) / sampleRate;
    loudness.leadingSilence = double(silent.leading) / sampleRate;
    loudness.trailingSilence = double(silent.trailing) / sampleRate;
    return loudness;
}

} // namespace core
