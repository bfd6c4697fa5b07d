// SPDX-License-Identifier: GPL-3.0-or-later
// The seam of a found loop as the game hears it; bench/seam_recording.sh drives it.
//
//   fit_render_bench write PICK OUT.mp3
//       Finds a loop in the pick as the Fit window does (decoded at 44.1 kHz, the best loop,
//       its ends in the window's hundredths of a second) and writes it as the program's
//       conversion does, at 44.1 kHz stereo 192 kbit/s. With VMC_SEAM_FRAMING=off, the fit is
//       written as it is, its turn left to the encoder's padding. Prints the loop and its
//       length in frames at 44.1 kHz.
//   fit_render_bench join TURN.raw OUT.raw
//       Of one turn decoded without gapless trimming (16-bit stereo at 44.1 kHz), writes the
//       last two seconds and the first two after them: the join of two turns.
//   fit_render_bench measure JOIN.raw RECORDING.raw
//       Prints, of the recording, the silence at the join (under -60 dBFS) and the dropout
//       (30 dB under the music of the second before), in ms, and the click there (the peak
//       above 4 kHz within 20 ms of the join, then within 20 ms of the dropout's ends, against
//       the second before, in dB); then the silence and the dropout of the join as played.

#include "fit/LoopFinder.h"
#include "music/AudioCodecs.h"
#include "music/MusicConverter.h"
#include "run/ConversionPool.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>
#include <variant>
#include <vector>

namespace {

constexpr int rate = 44100;
constexpr int channels = 2;
const core::Mp3Settings settings{rate, channels, 192};
// -60 dBFS.
constexpr float silenceLevel = 0.001F;
// Silence before and after the join played.
constexpr std::size_t aside = rate / 4;

std::string clock(double seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%d:%05.2f", int(seconds / 60),
                  seconds - 60 * int(seconds / 60));
    return text;
}

// What a spin box of two decimals keeps of a time.
double hundredths(double seconds)
{
    return std::round(seconds * 100) / 100;
}

std::vector<float> decodedMono(const std::filesystem::path &file, core::AudioInfo &info)
{
    const auto decoder = core::AudioCodecs::builtIn().makeDecoder();
    const auto probed = decoder->probe(file);
    if (const auto *known = std::get_if<core::AudioInfo>(&probed))
        info = *known;
    else
        return {};
    std::vector<float> mono;
    decoder->decode(file, rate, 1, [&](const float *samples, std::size_t frames) {
        mono.insert(mono.end(), samples, samples + frames);
        return true;
    });
    return mono;
}

// The best loop as the Fit window makes it a fit, in frames at the pick's own rate.
std::optional<core::PickFit> foundFit(const std::vector<float> &mono, const core::AudioInfo &info)
{
    const std::vector<core::LoopCandidate> loops =
        core::LoopFinder(core::AudioCodecs::builtIn().makeRealTransform).find(mono, rate);
    if (loops.empty())
        return std::nullopt;
    const core::LoopCandidate &best = loops.front();
    const double pickRate = info.sampleRate;
    core::PickFit fit;
    fit.start = std::llround(hundredths(double(best.start) / rate) * pickRate);
    fit.end = std::llround(hundredths(double(best.end) / rate) * pickRate);
    fit.crossfade = std::min(std::int64_t(std::llround(double(best.crossfade) * pickRate / rate)),
                             std::min(fit.start, core::PickFit::longestCrossfade(info.sampleRate)));
    return fit;
}

int write(const std::filesystem::path &pick, const std::filesystem::path &output)
{
    core::AudioInfo info;
    const std::vector<float> mono = decodedMono(pick, info);
    if (mono.empty()) {
        std::printf("cannot be read\n");
        return 1;
    }
    const std::optional<core::PickFit> fit = foundFit(mono, info);
    if (!fit) {
        std::printf("no loop\n");
        return 1;
    }
    const char *framing = std::getenv("VMC_SEAM_FRAMING");
    const bool raw = framing && std::strcmp(framing, "off") == 0;
    const core::AudioCodecs &codecs = core::AudioCodecs::builtIn();
    std::optional<core::ConversionFailure> failure;
    if (raw) {
        failure = core::MusicConverter(codecs).convert(pick, settings, output, {}, {},
                                                       fit->at(info.sampleRate, rate));
    } else {
        core::ConversionPool pool(&codecs, {{0, pick, settings, nullptr, info.isMp3, *fit}},
                                  output.parent_path());
        core::ConversionPool::Result result = pool.take(0);
        failure = result.failure;
        if (!failure)
            std::filesystem::rename(result.staged, output);
    }
    if (failure) {
        std::printf("not written\n");
        return 1;
    }
    const core::PickFit atSlotRate = fit->at(info.sampleRate, rate);
    std::printf("%s-%s\t%lld\n", clock(double(fit->start) / info.sampleRate).c_str(),
                clock(double(*fit->end) / info.sampleRate).c_str(),
                static_cast<long long>(*atSlotRate.end - atSlotRate.start));
    return 0;
}

std::vector<float> readRaw(const std::filesystem::path &file)
{
    std::ifstream in(file, std::ios::binary);
    std::vector<std::int16_t> pcm(std::size_t(std::filesystem::file_size(file) / 2));
    in.read(reinterpret_cast<char *>(pcm.data()), std::streamsize(pcm.size() * 2));
    std::vector<float> samples(pcm.size());
    std::transform(pcm.begin(), pcm.end(), samples.begin(),
                   [](std::int16_t sample) { return float(sample) / 32768; });
    return samples;
}

void writeRaw(const std::filesystem::path &file, const std::vector<float> &samples)
{
    std::vector<std::int16_t> pcm(samples.size());
    std::transform(samples.begin(), samples.end(), pcm.begin(), [](float sample) {
        return std::int16_t(std::lround(std::clamp(sample * 32768.0F, -32768.0F, 32767.0F)));
    });
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char *>(pcm.data()), std::streamsize(pcm.size() * 2));
}

std::size_t framesOf(const std::vector<float> &samples)
{
    return samples.size() / channels;
}

int join(const std::filesystem::path &turnFile, const std::filesystem::path &output)
{
    const std::vector<float> turn = readRaw(turnFile);
    const std::size_t side = std::min(framesOf(turn), std::size_t(2 * rate)) * channels;
    // Silence around it: the recording may start late.
    std::vector<float> joined(aside * channels, 0.0F);
    joined.insert(joined.end(), turn.end() - std::ptrdiff_t(side), turn.end());
    joined.insert(joined.end(), turn.begin(), turn.begin() + std::ptrdiff_t(side));
    joined.resize(joined.size() + aside * channels);
    writeRaw(output, joined);
    return 0;
}

bool quietAt(const std::vector<float> &samples, std::size_t frame, float level)
{
    return std::abs(samples[frame * channels]) < level &&
           std::abs(samples[frame * channels + 1]) < level;
}

// The frames in a row under level on either side of the frame at, the first of a turn.
struct Quiet
{
    std::size_t from;
    std::size_t to;
    double milliseconds() const { return 1000.0 * double(to - from) / rate; }
};

Quiet quietAround(const std::vector<float> &samples, std::size_t at, float level)
{
    Quiet quiet{at, at};
    while (quiet.from > 0 && quietAt(samples, quiet.from - 1, level))
        --quiet.from;
    while (quiet.to < framesOf(samples) && quietAt(samples, quiet.to, level))
        ++quiet.to;
    return quiet;
}

// Where the frame at of the played signal is in the recording: where a stretch of its first
// sound differs least.
std::size_t whereRecorded(const std::vector<float> &recording, const std::vector<float> &played,
                          std::size_t at)
{
    std::size_t sound = 0;
    while (sound < framesOf(played) && std::abs(played[sound * channels]) < 0.01F)
        ++sound;
    const std::size_t window = std::min<std::size_t>(2048, framesOf(played) - sound);
    std::size_t best = 0;
    double bestDifference = HUGE_VAL;
    for (std::size_t from = 0; from + window <= framesOf(recording); ++from) {
        double difference = 0;
        for (std::size_t i = 0; i < window * channels && difference < bestDifference; ++i)
            difference += std::abs(recording[from * channels + i] - played[sound * channels + i]);
        if (difference < bestDifference) {
            bestDifference = difference;
            best = from;
        }
    }
    return best + at - sound;
}

// Whether the recording holds what was played, to the sound server's dither, from a second
// before the join to a second after: a stream that ran dry would put silence in it.
bool recordedAsPlayed(const std::vector<float> &recording, const std::vector<float> &played,
                      std::size_t playedJoin, std::size_t recordedJoin)
{
    constexpr float dither = 4.0F / 32768;
    if (recordedJoin < std::size_t(rate) || recordedJoin + rate > framesOf(recording))
        return false;
    for (std::size_t i = 0; i < std::size_t(2 * rate) * channels; ++i) {
        if (std::abs(recording[(recordedJoin - rate) * channels + i] -
                     played[(playedJoin - rate) * channels + i]) > dither)
            return false;
    }
    return true;
}

// Each channel through a second-order Butterworth high-pass at 4 kHz.
std::vector<float> highPassed(const std::vector<float> &samples)
{
    const double w = 2 * std::numbers::pi * 4000 / rate;
    const double alpha = std::sin(w) / (2 * std::numbers::sqrt2 / 2);
    const double a0 = 1 + alpha;
    const double b0 = (1 + std::cos(w)) / 2 / a0;
    const double b1 = -(1 + std::cos(w)) / a0;
    const double a1 = -2 * std::cos(w) / a0;
    const double a2 = (1 - alpha) / a0;
    std::vector<float> out(samples.size());
    for (std::size_t channel = 0; channel < channels; ++channel) {
        double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
        for (std::size_t i = channel; i < samples.size(); i += channels) {
            const double y = b0 * samples[i] + b1 * x1 + b0 * x2 - a1 * y1 - a2 * y2;
            x2 = x1;
            x1 = samples[i];
            y2 = y1;
            y1 = y;
            out[i] = float(y);
        }
    }
    return out;
}

double peak(const std::vector<float> &samples, std::size_t from, std::size_t to)
{
    float highest = 0;
    for (std::size_t i = from * channels; i < std::min(to, framesOf(samples)) * channels; ++i)
        highest = std::max(highest, std::abs(samples[i]));
    return highest;
}

constexpr std::size_t near = rate / 50;

// The peak above 4 kHz from from to to against that of the second before, in dB.
double clickDecibels(const std::vector<float> &high, std::size_t from, std::size_t to)
{
    const double atJoin = peak(high, from, to);
    const double before = peak(high, from - rate, from);
    return 20 * std::log10(std::max(atJoin, 1e-9) / std::max(before, 1e-9));
}

// The silence at the join; the dropout: how long the music stays 30 dB under its peak of the
// second before, where what rings on from the encoder is no silence but no music either.
Quiet dropoutAround(const std::vector<float> &samples, std::size_t at)
{
    const auto level = float(peak(samples, at - near - rate, at - near) / 31.6);
    return quietAround(samples, at, level);
}

void printQuiet(const std::vector<float> &samples, std::size_t at)
{
    std::printf("%.1f\t%.1f", quietAround(samples, at, silenceLevel).milliseconds(),
                dropoutAround(samples, at).milliseconds());
}

// The click within 20 ms of the join, and within 20 ms of the dropout's ends: where the music
// stops and starts again.
void printClicks(const std::vector<float> &samples, std::size_t at)
{
    const std::vector<float> high = highPassed(samples);
    const Quiet dropout = dropoutAround(samples, at);
    std::printf("%+.1f\t%+.1f", clickDecibels(high, at - near, at + near),
                clickDecibels(high, dropout.from - near, dropout.to + near));
}

int measure(const std::filesystem::path &playedFile, const std::filesystem::path &recordingFile)
{
    const std::vector<float> played = readRaw(playedFile);
    const std::vector<float> recording = readRaw(recordingFile);
    const std::size_t joinAt = framesOf(played) / 2;
    if (framesOf(recording) < joinAt + rate || joinAt < std::size_t(rate) + rate / 50) {
        std::printf("too short\n");
        return 1;
    }
    const std::size_t recordedJoin = whereRecorded(recording, played, joinAt);
    if (!recordedAsPlayed(recording, played, joinAt, recordedJoin)) {
        std::printf("recorded otherwise than played\n");
        return 3;
    }
    printQuiet(recording, recordedJoin);
    std::printf("\t");
    printClicks(recording, recordedJoin);
    std::printf("\t");
    printQuiet(played, joinAt);
    std::printf("\n");
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 4 && std::strcmp(argv[1], "write") == 0)
        return write(argv[2], argv[3]);
    if (argc == 4 && std::strcmp(argv[1], "join") == 0)
        return join(argv[2], argv[3]);
    if (argc == 4 && std::strcmp(argv[1], "measure") == 0)
        return measure(argv[2], argv[3]);
    std::fprintf(stderr, "fit_render_bench write PICK OUT.mp3 | join TURN.raw OUT.raw | "
                         "measure JOIN.raw RECORDING.raw\n");
    return 2;
}
