// SPDX-License-Identifier: GPL-3.0-or-later
#include "loudness/LoudnessMeasurer.h"

#include "loudness/GatedLoudness.h"
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
    // Below the Nyquist frequency only: above, nothing is dropped.
    const bool keeps = keptBelowHz_ > 0 && 2 * keptBelowHz_ < sampleRate;
    GatedLoudness meter(sampleRate, channels, keeps ? keptBelowHz_ : 0);
    const std::unique_ptr<AudioDecoder> decoder = codecs_.makeDecoder();
    std::optional<Reason> meterFailure;
    std::size_t framesDone = 0;
    std::size_t framesReported = 0;
    const std::size_t reportEvery = std::size_t(sampleRate) / 4;
    SilenceGate gate(sampleRate, channels);
    FittedStream fitted(fit, channels, [&](const float *samples, std::size_t frames) {
        meter.add(samples, frames);
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
    loudness.lufs = meter.lufs();
    loudness.samplePeak = 20 * std::log10(meter.samplePeak());
    loudness.truePeakMeasured = truePeak;
    loudness.truePeak = peakMeter ? peakMeter->result().truePeak
                                  : loudness.samplePeak + Loudness::intersampleMargin;
    loudness.keptLufs = keeps ? meter.keptLufs() : loudness.lufs;
    loudness.keptBelowHz = keeps ? keptBelowHz_ : 0;
    const SilenceGate::Ends silent = gate.ends(loudness.lufs);
    loudness.seconds = double(gate.frames()) / sampleRate;
    loudness.leadingSilence = double(silent.leading) / sampleRate;
    loudness.trailingSilence = double(silent.trailing) / sampleRate;
    return loudness;
}

} // namespace core
