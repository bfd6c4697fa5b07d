// SPDX-License-Identifier: GPL-3.0-or-later
#include "music/MusicConverter.h"

#include "music/FittedStream.h"
#include "music/LoopTurnEncoder.h"
#include "music/SeamFraming.h"

#include "files/FailureCodes.h"

#include <algorithm>
#include <array>
#include <optional>
#include <span>
#include <vector>

namespace core {

namespace {

constexpr std::array<int, 14> mpeg1Rates{32,  40,  48,  56,  64,  80,  96,
                                         112, 128, 160, 192, 224, 256, 320};
constexpr std::array<int, 14> mpeg2Rates{8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
constexpr std::array<int, 8> mpeg25Rates{8, 16, 24, 32, 40, 48, 56, 64};
constexpr std::array<int, 9> sampleRates{8000,  11025, 12000, 16000, 22050,
                                         24000, 32000, 44100, 48000};

// The bit rates the MPEG version of a sample rate allows.
std::span<const int> bitRatesFor(int sampleRate)
{
    if (sampleRate >= 32000)
        return mpeg1Rates;
    if (sampleRate >= 16000)
        return mpeg2Rates;
    return mpeg25Rates;
}

int nearestSampleRate(int rate)
{
    return *std::min_element(sampleRates.begin(), sampleRates.end(),
                             [&](int a, int b) { return std::abs(a - rate) < std::abs(b - rate); });
}

} // namespace

Mp3Settings Mp3Settings::forReference(const std::optional<AudioInfo> &reference)
{
    Mp3Settings settings;
    if (!reference || reference->sampleRate <= 0)
        return settings;
    settings.sampleRate = nearestSampleRate(reference->sampleRate);
    settings.channels = std::clamp(reference->channels, 1, 2);
    const std::span<const int> allowed = bitRatesFor(settings.sampleRate);
    // At least 128 kbit/s for stereo and 64 for mono, where the MPEG version allows it.
    const int floor = std::min(settings.channels == 2 ? 128 : 64, allowed.back());
    const int wanted = std::max(reference->bitRate > 0 ? reference->bitRate / 1000 : 192, floor);
    const auto up =
        std::lower_bound(allowed.begin(), allowed.end(), std::min(wanted, allowed.back()));
    settings.kbps = *up;
    return settings;
}

Mp3Settings Mp3Settings::forGameMusic(AudioDecoder &decoder,
                                      const std::vector<std::filesystem::path> &files)
{
    for (const std::filesystem::path &candidate : files) {
        std::error_code error;
        if (!std::filesystem::is_regular_file(candidate, error))
            continue;
        if (auto probed = decoder.probe(candidate); std::holds_alternative<AudioInfo>(probed))
            return forReference(std::get<AudioInfo>(probed));
    }
    return forReference(std::nullopt);
}

std::optional<ConversionFailure>
MusicConverter::convert(const std::filesystem::path &source, const Mp3Settings &settings,
                        const std::filesystem::path &output, const Progress &progress,
                        std::stop_token stop, const PickFit &fit) const
{
    std::optional<FittedStream> fitted;
    const StageMaker makeStage = [&](AudioDecoder::Sink encode) -> DecodedStage & {
        return fitted.emplace(fit, settings.channels, std::move(encode));
    };
    const SeamFraming framing = SeamFraming::forEncoder(codecs_, settings);
    if (!framing.turns(fit))
        return convert(source, settings, output, progress, stop, makeStage);
    return convert(std::make_unique<LoopTurnEncoder>(
                       codecs_.makeEncoder(), codecs_.makeEncoder(), framing,
                       turnEnd(source, settings, fit, std::size_t(framing.leadIn()), stop)),
                   source, settings, output, progress, stop, makeStage);
}

std::vector<float> MusicConverter::turnEnd(const std::filesystem::path &source,
                                           const Mp3Settings &settings, const PickFit &fit,
                                           std::size_t frames, std::stop_token stop) const
{
    const auto channels = std::size_t(settings.channels);
    std::vector<float> end;
    FittedStream fitted(fit, settings.channels, [&](const float *samples, std::size_t count) {
        end.insert(end.end(), samples, samples + count * channels);
        // Only the last frames are kept: a turn may last many minutes.
        if (end.size() > 2 * frames * channels)
            end.erase(end.begin(), end.end() - std::ptrdiff_t(frames * channels));
        return true;
    });
    const std::unique_ptr<AudioDecoder> decoder = codecs_.makeDecoder();
    decoder->readThrough(fileSystem_);
    // Where it fails, the conversion that follows fails the same way and says why.
    decoder->decode(
        source, settings.sampleRate, settings.channels,
        [&](const float *samples, std::size_t count) { return fitted.add(samples, count); }, stop);
    fitted.finish();
    if (end.size() > frames * channels)
        end.erase(end.begin(), end.end() - std::ptrdiff_t(frames * channels));
    for (float &sample : end)
        sample *= gain_;
    return end;
}

std::optional<ConversionFailure>
MusicConverter::convert(const std::filesystem::path &source, const Mp3Settings &settings,
                        const std::filesystem::path &output, const Progress &progress,
                        std::stop_token stop, const StageMaker &makeStage) const
{
    return convert(codecs_.makeEncoder(), source, settings, output, progress, stop, makeStage);
}

std::optional<ConversionFailure>
MusicConverter::convert(std::unique_ptr<Mp3Encoder> encoder, const std::filesystem::path &source,
                        const Mp3Settings &settings, const std::filesystem::path &output,
                        const Progress &progress, std::stop_token stop,
                        const StageMaker &makeStage) const
{
    const std::unique_ptr<AudioDecoder> decoder = codecs_.makeDecoder();
    decoder->readThrough(fileSystem_);
    const auto notMusic = [](Reason reason) {
        return ConversionFailure{ConversionFailure::Kind::NotMusic, std::move(reason), 0};
    };
    if (std::optional<Reason> failure =
            encoder->start(settings.sampleRate, settings.channels, settings.kbps))
        return notMusic(*failure);
    // A few megabytes a piece: kept whole, so that the encoder's information frame at the
    // start can be filled in at the end.
    std::string mp3;
    std::optional<Reason> encoderFailure;
    std::size_t framesDone = 0;
    std::size_t framesReported = 0;
    std::int64_t framesEncoded = 0;
    const std::size_t reportEvery = std::size_t(settings.sampleRate) / 4;
    std::vector<float> gained;
    // Cut and faded before the gain: the gain was measured on what the fit keeps.
    DecodedStage &stage = makeStage([&](const float *samples, std::size_t frames) {
        if (gain_ != 1) {
            gained.assign(samples, samples + frames * std::size_t(settings.channels));
            for (float &sample : gained)
                sample *= gain_;
            samples = gained.data();
        }
        framesEncoded += std::int64_t(frames);
        encoderFailure = encoder->encode(samples, frames, mp3);
        return !encoderFailure;
    });
    std::optional<Reason> failure = decoder->decode(
        source, settings.sampleRate, settings.channels,
        [&](const float *samples, std::size_t frames) {
            // Between blocks too: a decoder may hand over a long stretch at once.
            if (stop.stop_requested())
                return false;
            const bool more = stage.add(samples, frames);
            framesDone += frames;
            if (progress && framesDone - framesReported >= reportEvery) {
                framesReported = framesDone;
                progress(double(framesDone) / settings.sampleRate);
            }
            return more;
        },
        stop);
    if (stop.stop_requested())
        return ConversionFailure{
            ConversionFailure::Kind::Cancelled, {Reason::Code::Cancelled, {}}, 0};
    if (failure && decoder->readError())
        return ConversionFailure{ConversionFailure::Kind::Read, *failure, decoder->readError()};
    if (!failure)
        failure = encoderFailure;
    if (!failure && !stage.finish())
        return std::nullopt;
    if (!failure)
        failure = encoderFailure;
    if (!failure && framesEncoded == 0)
        failure = Reason{Reason::Code::NoSound, {}};
    if (!failure)
        failure = encoder->finish(mp3);
    if (failure)
        return notMusic(*failure);
    return write(output, mp3);
}

std::optional<ConversionFailure> MusicConverter::write(const std::filesystem::path &output,
                                                       const std::string &mp3) const
{
    std::error_code exists;
    FileSystem::Handle handle = 0;
    SystemError error = std::filesystem::exists(output, exists)
                            ? fileSystem_.openForOverwrite(output, handle)
                            : fileSystem_.createNew(output, handle);
    if (!error) {
        error = fileSystem_.write(handle, mp3.data(), mp3.size());
        fileSystem_.close(handle);
    }
    if (error)
        return ConversionFailure{ConversionFailure::Kind::Write,
                                 {Reason::Code::WriteFailed, describeSystemError(error)},
                                 error};
    return std::nullopt;
}

} // namespace core
