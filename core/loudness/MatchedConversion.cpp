// SPDX-License-Identifier: GPL-3.0-or-later
#include "loudness/MatchedConversion.h"

#include "audio/Mp3Gain.h"
#include "files/FailureCodes.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>

namespace core {

namespace {

#ifdef _WIN32
constexpr SystemError tooLarge = ERROR_FILE_TOO_LARGE;
#else
constexpr SystemError tooLarge = EFBIG;
#endif

// Reads the file whole, up to limit bytes; a pipe or a device is refused without waiting,
// a longer file with tooLarge.
SystemError readWhole(FileSystem &fileSystem, const std::filesystem::path &file,
                      std::uintmax_t limit, std::string &data)
{
    FileSystem::Handle handle = 0;
    if (const SystemError error = fileSystem.openForReading(file, handle))
        return error;
    std::int64_t size = 0;
    std::int64_t start = 0;
    SystemError error = fileSystem.seek(handle, 0, SEEK_END, size);
    if (!error)
        error = fileSystem.seek(handle, 0, SEEK_SET, start);
    constexpr std::size_t block = std::size_t(1) << 20;
    if (!error && std::uintmax_t(size) > limit)
        error = tooLarge;
    data.clear();
    // A byte more than the file holds: the read that finds its end needs no larger buffer.
    if (!error)
        data.reserve(std::size_t(size) + 1);
    // The size is checked as the file is read too: it may grow meanwhile.
    while (!error) {
        const std::size_t at = data.size();
        if (at > limit) {
            error = tooLarge;
            break;
        }
        const std::size_t wanted =
            data.capacity() > at ? std::min(block, data.capacity() - at) : block;
        data.resize(at + wanted);
        std::size_t read = 0;
        error = fileSystem.read(handle, data.data() + at, wanted, read);
        data.resize(at + read);
        if (read == 0)
            break;
    }
    fileSystem.close(handle);
    return error;
}

SystemError writeWhole(FileSystem &fileSystem, const std::filesystem::path &file,
                       const std::string &data)
{
    std::error_code exists;
    FileSystem::Handle handle = 0;
    SystemError error = std::filesystem::exists(file, exists)
                            ? fileSystem.openForOverwrite(file, handle)
                            : fileSystem.createNew(file, handle);
    if (error)
        return error;
    error = fileSystem.write(handle, data.data(), data.size());
    fileSystem.close(handle);
    return error;
}

// Copies the file as it is, a block at a time; sourceFailed tells which side failed.
SystemError copyWhole(FileSystem &fileSystem, const std::filesystem::path &source,
                      const std::filesystem::path &output, bool &sourceFailed, std::stop_token stop)
{
    FileSystem::Handle input = 0;
    sourceFailed = true;
    if (const SystemError error = fileSystem.openForReading(source, input))
        return error;
    sourceFailed = false;
    std::error_code exists;
    FileSystem::Handle handle = 0;
    SystemError error = std::filesystem::exists(output, exists)
                            ? fileSystem.openForOverwrite(output, handle)
                            : fileSystem.createNew(output, handle);
    if (!error) {
        error = fileSystem.copyContent(input, handle, sourceFailed, stop);
        fileSystem.close(handle);
    }
    fileSystem.close(input);
    return error;
}

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

// The plan as far as the stream takes its steps.
GainPlan withApplicable(GainPlan plan, const std::variant<int, Mp3Gain::Refusal> &applicable)
{
    if (const auto *refusal = std::get_if<Mp3Gain::Refusal>(&applicable))
        leaveAsItIs(plan, refusalReason(*refusal));
    else
        plan = LoudnessGain::withMp3Steps(plan, std::get<int>(applicable));
    return plan;
}

} // namespace

MatchedConversion::MatchedConversion(const AudioCodecs &codecs, LoudnessCache &cache,
                                     LoudnessReference &references, LoudnessOptions options,
                                     FileSystem &fileSystem)
    : codecs_(codecs), cache_(cache), references_(references), options_(options),
      fileSystem_(fileSystem)
{
}

int MatchedConversion::encoderLowpass(const Mp3Settings &settings) const
{
    // A build that reads MP3 only has no encoder.
    const std::unique_ptr<Mp3Encoder> encoder =
        codecs_.makeEncoder ? codecs_.makeEncoder() : nullptr;
    if (!encoder || encoder->start(settings.sampleRate, settings.channels, settings.kbps))
        return 0;
    const int lowpass = encoder->lowpassHz();
    return 2 * lowpass < settings.sampleRate ? lowpass : 0;
}

std::optional<AudioInfo> MatchedConversion::probe(const std::filesystem::path &source) const
{
    auto probed = codecs_.makeDecoder()->probe(source);
    if (const auto *info = std::get_if<AudioInfo>(&probed))
        return *info;
    return std::nullopt;
}

PickFit MatchedConversion::withoutSilence(const std::optional<Loudness> &pick, int sampleRate)
{
    PickFit fit;
    if (!pick || (pick->leadingSilence <= 0 && pick->trailingSilence <= 0))
        return fit;
    fit.start = std::llround(pick->leadingSilence * sampleRate);
    if (pick->trailingSilence > 0)
        fit.end = std::llround((pick->seconds - pick->trailingSilence) * sampleRate);
    return fit;
}

PickFit MatchedConversion::decodedFit(const PickFit &fit, const AudioInfo &pick,
                                      const SeamFraming &framing)
{
    const int sampleRate = framing.sampleRate();
    PickFit decoded = fit.at(pick.sampleRate, sampleRate);
    // A fade-out or a seam at the pick's own end needs that end in frames.
    if (!decoded.end && (decoded.fadeOut > 0 || decoded.crossfade > 0))
        decoded.end = std::llround(pick.seconds * sampleRate);
    return framing.framed(decoded, std::llround(pick.seconds * sampleRate));
}

std::optional<PickFit> MatchedConversion::decodedFit(AudioDecoder &decoder,
                                                     const std::filesystem::path &source,
                                                     const PickFit &fit, const SeamFraming &framing)
{
    auto probed = decoder.probe(source);
    auto *info = std::get_if<AudioInfo>(&probed);
    if (!info)
        return std::nullopt;
    // A length guessed from the bit rate misses the end by the tags and the rate's changes,
    // a stated one by an encoder's delay or padding, some milliseconds that a seam hears:
    // where a fit ends at or near it, the pick is counted.
    const std::int64_t stated = std::llround(info->seconds * info->sampleRate);
    const bool toTheEnd = !fit.end && (fit.fadeOut > 0 || fit.crossfade > 0);
    const bool nearTheEnd =
        fit.end && *fit.end > std::min(stated * 9 / 10, stated - info->sampleRate);
    PickFit withinMusic = fit;
    if (!info->lengthExact && (toTheEnd || nearTheEnd)) {
        std::int64_t frames = 0;
        const auto failure =
            decoder.decode(source, info->sampleRate, 1, [&](const float *, std::size_t count) {
                frames += std::int64_t(count);
                return true;
            });
        // A decoder may deliver an encoder's padding past the end a container states, as of
        // AAC in MP4: the music ends at whichever comes first.
        if (!failure && frames > 0) {
            const std::int64_t end = info->lengthEstimated ? frames : std::min(stated, frames);
            info->seconds = double(end) / info->sampleRate;
            if (fit.end)
                withinMusic.end = std::max(fit.start + 1, std::min(*fit.end, end));
        }
    }
    return decodedFit(withinMusic, *info, framing);
}

std::optional<PickFit> MatchedConversion::decodedFit(const std::filesystem::path &source,
                                                     const Mp3Settings &settings,
                                                     const PickFit &fit) const
{
    return decodedFit(*codecs_.makeDecoder(), source, fit,
                      SeamFraming::forEncoder(codecs_, settings));
}

bool MatchedConversion::isMeasured(const std::filesystem::path &source, const Mp3Settings &settings,
                                   const PickFit &fit) const
{
    PickFit decoded;
    if (!fit.isWhole()) {
        const std::optional<PickFit> fitted = decodedFit(source, settings, fit);
        if (!fitted)
            return false;
        decoded = *fitted;
    }
    return cache_
        .find(source, settings.sampleRate, settings.channels, false, encoderLowpass(settings),
              decoded)
        .has_value();
}

GainPlan MatchedConversion::plan(int slot, const std::filesystem::path &source,
                                 const Mp3Settings &settings, const Progress &progress,
                                 std::stop_token stop, const PickFit &fit)
{
    // A fit from a set file is judged against the pick only once it is read; one the pick
    // cannot take (past its end, a crossfade longer than any seam) is refused by Change, and
    // is never measured: its frames would be taken as they stand.
    if (!fit.isWhole()) {
        const std::optional<AudioInfo> info = probe(source);
        if (!info || fit.problem(info->sampleRate, info->mostFrames())) {
            GainPlan plan;
            plan.reason = GainReason::NotMeasured;
            return plan;
        }
    }
    const PickFit decoded =
        fit.isWhole() ? PickFit{} : decodedFit(source, settings, fit).value_or(PickFit{});
    return planFitted(slot, source, settings, progress, stop, fit, decoded);
}

GainPlan MatchedConversion::planFitted(int slot, const std::filesystem::path &source,
                                       const Mp3Settings &settings, const Progress &progress,
                                       std::stop_token stop, const PickFit &fit,
                                       const PickFit &decoded)
{
    GainPlan plan;
    const std::optional<AudioInfo> info = probe(source);
    if (!info) {
        plan.reason = GainReason::NotMeasured;
        return plan;
    }
    // An MP3 is not decoded again for the game: it is measured as it plays. A fitted one is
    // converted like any other pick.
    const bool mp3 = info->isMp3 && fit.isWhole();
    const int sampleRate = mp3 ? info->sampleRate : settings.sampleRate;
    const int channels = mp3 ? std::clamp(info->channels, 1, 2) : settings.channels;
    // The true peak is measured only where its bound from the sample peak could hold the
    // gain back: it costs a reading of its own and most picks are made quieter.
    // A converted pick is measured through the encoder's low-pass besides: what it keeps.
    const int keptBelowHz = mp3 ? 0 : encoderLowpass(settings);
    const auto pick = cache_.measure(codecs_, source, sampleRate, channels, false, progress, stop,
                                     keptBelowHz, decoded);
    const auto reference = references_.loudnessFor(slot, {}, stop);
    std::optional<Loudness> pickFigure;
    if (const auto *loudness = std::get_if<Loudness>(&pick))
        pickFigure = *loudness;
    std::optional<Loudness> referenceFigure;
    if (const auto *loudness = std::get_if<Loudness>(&reference))
        referenceFigure = *loudness;
    if (LoudnessGain::needsTruePeak(pickFigure, referenceFigure)) {
        const auto exact = cache_.measure(codecs_, source, sampleRate, channels, true, {}, stop,
                                          keptBelowHz, decoded);
        if (const auto *loudness = std::get_if<Loudness>(&exact))
            pickFigure = *loudness;
    }
    // Silence is left out of a whole converted pick alone: an MP3 goes as it is, a fit as
    // the player made it.
    if (pickFigure && (mp3 || !fit.isWhole())) {
        pickFigure->leadingSilence = 0;
        pickFigure->trailingSilence = 0;
    }
    plan = mp3 ? LoudnessGain::forMp3(pickFigure, referenceFigure)
               : LoudnessGain::forConversion(pickFigure, referenceFigure);
    if (const auto *reason = std::get_if<GainReason>(&reference))
        plan.reason = *reason;
    plan.medianReference = references_.usesMedian(slot);
    plan = LoudnessGain::asChosen(plan, mp3, options_);
    if (mp3 && plan.applies()) {
        std::string data;
        if (readWhole(fileSystem_, source, largestAdjustedMp3, data))
            leaveAsItIs(plan, GainReason::NotMeasured);
        else
            plan = withApplicable(plan, Mp3Gain::applicable(data, plan.mp3Steps));
    }
    return plan;
}

std::optional<ConversionFailure>
MatchedConversion::lowerDecodedPeak(const std::filesystem::path &output,
                                    const Mp3Settings &settings, GainPlan &plan) const
{
    const auto decoded =
        LoudnessMeasurer(codecs_).measure(output, settings.sampleRate, settings.channels);
    const auto *loudness = std::get_if<Loudness>(&decoded);
    if (!loudness)
        return notMusic(std::get<Reason>(decoded));
    const int steps = LoudnessGain::stepsBelowDecodedCeiling(loudness->truePeak);
    if (steps == 0)
        return std::nullopt;
    // The converter held this result whole already.
    std::string mp3;
    SystemError error = readWhole(fileSystem_, output, std::uintmax_t(-1), mp3);
    if (!error) {
        // A result the encoder gave a granule at the bottom of its range is lowered less.
        const auto applied = Mp3Gain::apply(mp3, steps);
        if (const int *lowered = std::get_if<int>(&applied)) {
            plan.loweredAfterEncoding = *lowered * Mp3Gain::stepDecibels;
            // The decoded ceiling is the true-peak limit too: what it took is held back.
            if (*lowered != 0) {
                plan.reason = GainReason::PeakLimited;
                plan.heldBack -= plan.loweredAfterEncoding;
            }
            if (plan.resultLufs)
                *plan.resultLufs += *lowered * Mp3Gain::stepDecibels;
        }
        error = writeWhole(fileSystem_, output, mp3);
    }
    if (error)
        return ConversionFailure{ConversionFailure::Kind::Write,
                                 {Reason::Code::WriteFailed, describeSystemError(error)},
                                 error};
    return std::nullopt;
}

MatchedConversion::Outcome MatchedConversion::convert(int slot, const std::filesystem::path &source,
                                                      const Mp3Settings &settings,
                                                      const std::filesystem::path &output,
                                                      const Progress &progress,
                                                      std::stop_token stop, const PickFit &fit)
{
    double measuredSeconds = 0;
    Outcome outcome;
    // Found once for the measuring and the writing: it may take a decoding of the whole pick.
    const std::optional<PickFit> fitted =
        fit.isWhole() ? std::nullopt : decodedFit(source, settings, fit);
    outcome.plan = planFitted(
        slot, source, settings,
        [&](double seconds) {
            measuredSeconds = seconds;
            if (progress)
                progress(seconds);
        },
        stop, fit, fitted.value_or(PickFit{}));
    if (stop.stop_requested()) {
        outcome.failure = cancelled();
        return outcome;
    }
    GainPlan &plan = outcome.plan;
    const PickFit written = fitted ? *fitted : withoutSilence(plan.pick, settings.sampleRate);
    const auto encode = [&](double decibels, const MusicConverter::Progress &converted) {
        const auto gain = float(std::pow(10.0, decibels / 20));
        return MusicConverter(codecs_, fileSystem_, gain)
            .convert(source, settings, output, converted, stop, written);
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
        plan.resultLufs = result->lufs;
        // A sound the format cannot carry is not chased with gain: it would only be louder
        // where the encoder keeps it.
        const double missed = LoudnessGain::keptLoudness(*plan.pick) + plan.gain - result->lufs;
        const double allowed = LoudnessGain::ceilingFor(*plan.reference) - plan.pick->truePeak;
        const double corrected = std::min(plan.gain + missed, allowed);
        if (!plan.beyondFormat && std::abs(missed) > LoudnessGain::encodingTolerance &&
            std::abs(corrected - plan.gain) > LoudnessGain::encodingTolerance / 2) {
            if (corrected < plan.gain + missed) {
                plan.reason = GainReason::PeakLimited;
                plan.heldBack += plan.gain + missed - corrected;
            }
            plan.gain = corrected;
            plan.madeAgain = true;
            outcome.failure = encode(plan.gain, {});
            if (outcome.failure)
                return outcome;
            decoded = measureResult();
            if (const auto *remade = std::get_if<Loudness>(&decoded))
                plan.resultLufs = remade->lufs;
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
        outcome.failure = lowerDecodedPeak(output, settings, plan);
    plan = LoudnessGain::withResult(plan);
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
    const bool changes = outcome.plan.applies() && outcome.plan.mp3Steps != 0;
    std::string mp3;
    const SystemError readError =
        changes ? readWhole(fileSystem_, source, largestAdjustedMp3, mp3) : 0;
    if (readError && readError != tooLarge) {
        outcome.failure =
            ConversionFailure{ConversionFailure::Kind::Read,
                              {Reason::Code::ReadFailed, describeSystemError(readError)},
                              readError};
        return outcome;
    }
    if (changes && !readError) {
        outcome.plan = withApplicable(outcome.plan, Mp3Gain::apply(mp3, outcome.plan.mp3Steps));
        if (const SystemError error = writeWhole(fileSystem_, output, mp3))
            outcome.failure =
                ConversionFailure{ConversionFailure::Kind::Write,
                                  {Reason::Code::WriteFailed, describeSystemError(error)},
                                  error};
        return outcome;
    }
    // Nothing to change, or the pick grew past what is changed in memory since it was
    // measured: it goes as it is.
    if (readError)
        leaveAsItIs(outcome.plan, GainReason::NotMeasured);
    bool sourceFailed = false;
    if (const SystemError error = copyWhole(fileSystem_, source, output, sourceFailed, stop)) {
        if (error == FileSystem::cancelled)
            outcome.failure = cancelled();
        else
            outcome.failure = ConversionFailure{
                sourceFailed ? ConversionFailure::Kind::Read : ConversionFailure::Kind::Write,
                {sourceFailed ? Reason::Code::ReadFailed : Reason::Code::WriteFailed,
                 describeSystemError(error)},
                error};
    }
    return outcome;
}

} // namespace core
