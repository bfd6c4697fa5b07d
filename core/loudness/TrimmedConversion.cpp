// SPDX-License-Identifier: GPL-3.0-or-later
#include "loudness/TrimmedConversion.h"

#include "loudness/SilenceGate.h"
#include "loudness/TrimmedStream.h"

#include <cmath>
#include <optional>

namespace core {

bool TrimmedConversion::readHead(const std::filesystem::path &source, const Mp3Settings &settings,
                                 SilenceGate &gate, const MusicConverter::Progress &progress,
                                 std::stop_token stop) const
{
    const std::unique_ptr<AudioDecoder> decoder = codecs_.makeDecoder();
    decoder->readThrough(fileSystem_);
    std::int64_t reported = 0;
    const std::optional<Reason> failure = decoder->decode(
        source, settings.sampleRate, settings.channels,
        [&](const float *samples, std::size_t frames) {
            gate.add(samples, frames);
            if (progress && gate.frames() - reported >= settings.sampleRate / 4) {
                reported = gate.frames();
                progress(double(reported) / settings.sampleRate);
            }
            return !gate.floorSoundStart();
        },
        stop);
    return !failure;
}

std::optional<ConversionFailure>
TrimmedConversion::convert(const std::filesystem::path &source, const Mp3Settings &settings,
                           const std::filesystem::path &output,
                           const MusicConverter::Progress &progress, std::stop_token stop) const
{
    // Each reading starts over at the pick's start: the bar moves on only past what an
    // earlier one read.
    double read = 0;
    double readBefore = 0;
    const MusicConverter::Progress onward = [&](double seconds) {
        if (progress && readBefore + seconds > read)
            progress(read = readBefore + seconds);
    };
    const MusicConverter converter(codecs_, fileSystem_);
    SilenceGate head(settings.sampleRate, settings.channels);
    const bool headRead = readHead(source, settings, head, onward, stop);
    if (stop.stop_requested())
        return ConversionFailure{
            ConversionFailure::Kind::Cancelled, {Reason::Code::Cancelled, {}}, 0};
    // The main reading checks the start it is given against the pick as it reads it then: a
    // program may still be writing it. Read whole without sounding at the floor, the pick's
    // start is known already; where the first reading failed, its start is taken to be the
    // pick's own, and a pick that fails fails again.
    std::int64_t start = 0;
    if (headRead)
        start = head.floorSoundStart().value_or(TrimmedStream::withoutSilence(head).start);
    if (headRead && !head.floorSoundStart())
        readBefore = read;
    const auto mostHeld = std::int64_t(std::llround(mostHeldSeconds * settings.sampleRate));
    std::optional<TrimmedStream> trimmed;
    const std::optional<ConversionFailure> failure = converter.convert(
        source, settings, output, onward, stop, [&](AudioDecoder::Sink encode) -> DecodedStage & {
            return trimmed.emplace(settings.sampleRate, settings.channels, start, mostHeld,
                                   std::move(encode));
        });
    if (failure || trimmed->isWritten())
        return failure;
    readBefore = read;
    return converter.convert(source, settings, output, onward, stop, trimmed->exactFit());
}

} // namespace core
