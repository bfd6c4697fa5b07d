// SPDX-License-Identifier: GPL-3.0-or-later
#include "MatchedConversion.h"

#include "audio/Mp3Gain.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <fstream>
#include <iterator>

namespace core {

namespace {

std::optional<std::string> readWhole(const std::filesystem::path &file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string data{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad())
        return std::nullopt;
    return data;
}

bool writeWhole(const std::filesystem::path &file, const std::string &data)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(data.data(), std::streamsize(data.size()));
    out.flush();
    return bool(out);
}

#ifdef _WIN32
constexpr SystemError readFault = ERROR_READ_FAULT;
constexpr SystemError writeFault = ERROR_WRITE_FAULT;
#else
constexpr SystemError readFault = EIO;
constexpr SystemError writeFault = EIO;
#endif

ConversionFailure cancelled()
{
    return {ConversionFailure::Kind::Cancelled, {Reason::Code::Cancelled, {}}, 0};
}

ConversionFailure notMusic(const Reason &reason)
{
    return {ConversionFailure::Kind::NotMusic, reason, 0};
}

GainReason refusalReason(Mp3Gain::Refusal refusal)
{
    return refusal == Mp3Gain::Refusal::FreeFormat ? GainReason::FreeFormatMp3
                                                   : GainReason::OtherLayerMp3;
}

void leaveAsItIs(GainPlan &plan, GainReason reason)
{
    plan.reason = reason;
    plan.gain = 0;
    plan.heldBack = 0;
    plan.mp3Steps = 0;
}

} // namespace

MatchedConversion::MatchedConversion(const AudioCodecs &codecs, LoudnessCache &cache,
                                     LoudnessReference &references, LoudnessOptions options,
                                     FileSystem &fileSystem)
    : codecs_(codecs), cache_(cache), references_(references), options_(options),
      fileSystem_(fileSystem)
{
}

std::optional<AudioInfo> MatchedConversion::probe(const std::filesystem::path &source) const
{
    auto probed = codecs_.makeDecoder()->probe(source);
    if (const auto *info = std::get_if<AudioInfo>(&probed))
        return *info;
    return std::nullopt;
}

bool MatchedConversion::isMeasured(const std::filesystem::path &source,
                                   const Mp3Settings &settings) const
{
    return cache_.find(source, settings.sampleRate, settings.channels).has_value();
}

GainPlan MatchedConversion::plan(int slot, const std::filesystem::path &source,
                                 const Mp3Settings &settings, const Progress &progress,
                                 std::stop_token stop)
{
    GainPlan plan;
    const std::optional<AudioInfo> info = probe(source);
    if (!info) {
        plan.reason = GainReason::NotMeasured;
        return plan;
    }
    // An MP3 is not decoded again for the game: it is measured as it plays.
    const bool mp3 = info->isMp3;
    const int sampleRate = mp3 ? info->sampleRate : settings.sampleRate;
    const int channels = mp3 ? std::clamp(info->channels, 1, 2) : settings.channels;
    // The true peak is measured only where its bound from the sample peak could hold the
    // gain back: it costs a reading of its own and most picks are made quieter.
    const auto pick = cache_.measure(codecs_, source, sampleRate, channels, false, progress, stop);
    const auto reference = references_.loudnessFor(slot, {}, stop);
    std::optional<Loudness> pickFigure;
    if (const auto *loudness = std::get_if<Loudness>(&pick))
        pickFigure = *loudness;
    std::optional<Loudness> referenceFigure;
    if (const auto *loudness = std::get_if<Loudness>(&reference))
        referenceFigure = *loudness;
    if (LoudnessGain::needsTruePeak(pickFigure, referenceFigure)) {
        const auto exact = cache_.measure(codecs_, source, sampleRate, channels, true, {}, stop);
        if (const auto *loudness = std::get_if<Loudness>(&exact))
            pickFigure = *loudness;
    }
    plan = mp3 ? LoudnessGain::forMp3(pickFigure, referenceFigure)
               : LoudnessGain::forConversion(pickFigure, referenceFigure);
    if (const auto *reason = std::get_if<GainReason>(&reference))
        plan.reason = *reason;
    plan.medianReference = references_.usesMedian(slot);
    plan = LoudnessGain::asChosen(plan, mp3, options_);
    if (mp3 && plan.applies()) {
        const std::optional<std::string> data = readWhole(source);
        if (!data)
            leaveAsItIs(plan, GainReason::NotMeasured);
        else if (const std::optional<Mp3Gain::Refusal> refusal = Mp3Gain::refusal(*data))
            leaveAsItIs(plan, refusalReason(*refusal));
    }
    return plan;
}

std::optional<ConversionFailure>
MatchedConversion::lowerDecodedPeak(const std::filesystem::path &output,
                                    const Mp3Settings &settings) const
{
    const auto decoded =
        LoudnessMeasurer(codecs_).measure(output, settings.sampleRate, settings.channels);
    const auto *loudness = std::get_if<Loudness>(&decoded);
    if (!loudness)
        return notMusic(std::get<Reason>(decoded));
    const int steps = LoudnessGain::stepsBelowDecodedCeiling(loudness->truePeak);
    if (steps == 0)
        return std::nullopt;
    std::optional<std::string> mp3 = readWhole(output);
    if (!mp3)
        return ConversionFailure{
            ConversionFailure::Kind::Write, {Reason::Code::ReadFailed, {}}, readFault};
    Mp3Gain::apply(*mp3, steps);
    if (!writeWhole(output, *mp3))
        return ConversionFailure{
            ConversionFailure::Kind::Write, {Reason::Code::WriteFailed, {}}, writeFault};
    return std::nullopt;
}

MatchedConversion::Outcome MatchedConversion::convert(int slot, const std::filesystem::path &source,
                                                      const Mp3Settings &settings,
                                                      const std::filesystem::path &output,
                                                      const Progress &progress,
                                                      std::stop_token stop)
{
    double measuredSeconds = 0;
    Outcome outcome;
    outcome.plan = plan(
        slot, source, settings,
        [&](double seconds) {
            measuredSeconds = seconds;
            if (progress)
                progress(seconds);
        },
        stop);
    if (stop.stop_requested()) {
        outcome.failure = cancelled();
        return outcome;
    }
    GainPlan &plan = outcome.plan;
    const auto encode = [&](double decibels, const MusicConverter::Progress &converted) {
        const auto gain = float(std::pow(10.0, decibels / 20));
        return MusicConverter(codecs_, fileSystem_, gain)
            .convert(source, settings, output, converted, stop);
    };
    outcome.failure = encode(plan.applies() ? plan.gain : 0, [&](double seconds) {
        if (progress)
            progress(measuredSeconds + seconds);
    });
    if (outcome.failure || !LoudnessGain::resultNeedsCheck(plan, settings.kbps, settings.channels))
        return outcome;

    // The encoder drops what it takes for inaudible, and loudness with it, the more the
    // noisier the music: a result that misses by more than the tolerance is made again.
    const auto measureResult = [&] {
        return LoudnessMeasurer(codecs_).measure(output, settings.sampleRate, settings.channels,
                                                 false, {}, stop);
    };
    auto decoded = measureResult();
    if (const auto *result = std::get_if<Loudness>(&decoded)) {
        const double missed = plan.pick->lufs + plan.gain - result->lufs;
        const double allowed = LoudnessGain::ceilingFor(*plan.reference) - plan.pick->truePeak;
        const double corrected = std::min(plan.gain + missed, allowed);
        if (std::abs(missed) > LoudnessGain::encodingTolerance &&
            std::abs(corrected - plan.gain) > LoudnessGain::encodingTolerance / 2) {
            plan.gain = corrected;
            plan.madeAgain = true;
            outcome.failure = encode(plan.gain, {});
            if (outcome.failure)
                return outcome;
            decoded = measureResult();
        }
    }
    if (stop.stop_requested()) {
        outcome.failure = cancelled();
        return outcome;
    }
    const auto *result = std::get_if<Loudness>(&decoded);
    if (!result)
        outcome.failure = notMusic(std::get<Reason>(decoded));
    else if (LoudnessGain::mayPassDecodedCeiling(result->samplePeak))
        outcome.failure = lowerDecodedPeak(output, settings);
    return outcome;
}

MatchedConversion::Outcome MatchedConversion::adjustMp3(int slot,
                                                        const std::filesystem::path &source,
                                                        const std::filesystem::path &output,
                                                        const Progress &progress,
                                                        std::stop_token stop)
{
    Outcome outcome;
    outcome.plan = plan(slot, source, {}, progress, stop);
    if (stop.stop_requested()) {
        outcome.failure = cancelled();
        return outcome;
    }
    std::optional<std::string> mp3 = readWhole(source);
    if (!mp3) {
        outcome.failure = ConversionFailure{
            ConversionFailure::Kind::Read, {Reason::Code::ReadFailed, {}}, readFault};
        return outcome;
    }
    if (outcome.plan.applies() && outcome.plan.mp3Steps != 0) {
        const auto applied = Mp3Gain::apply(*mp3, outcome.plan.mp3Steps);
        if (const auto *refusal = std::get_if<Mp3Gain::Refusal>(&applied))
            leaveAsItIs(outcome.plan, refusalReason(*refusal));
        else
            outcome.plan.mp3Steps = std::get<int>(applied);
    }
    if (!writeWhole(output, *mp3))
        outcome.failure = ConversionFailure{
            ConversionFailure::Kind::Write, {Reason::Code::WriteFailed, {}}, writeFault};
    return outcome;
}

} // namespace core
