// SPDX-License-Identifier: GPL-3.0-or-later
// The seam of a found loop as the game hears it.
//
//   fit_render_bench seam [--slot RATE/CHANNELS/KBPS] PICK[@START-END]...
//       For each pick, the first loop Find a loop offers, as the Fit window keeps it (its
//       exact samples and crossfade), or where START-END (seconds) is given, that loop with a
//       10 ms crossfade; written as Change writes it for a slot of that format (44.1 kHz
//       stereo 192 kbit/s where not given), decoded every sample as the game does (no
//       gapless trimming), one turn joined end to start. One row per written loop: how much
//       longer a turn is than the loop, and the silence, the dropout and the click at the
//       turn, as SeamMeasures.h defines them, beside the music's own there; then the silence
//       and the dropout where one decoder plays two turns, not started afresh at the turn:
//       what the frames leave, the rest being the decoder's start.
//   fit_render_bench write PICK OUT.mp3
//       Writes the first loop found, as the window keeps it, as the program's conversion does,
//       at 44.1 kHz stereo 192 kbit/s; prints the loop and its length in frames at 44.1 kHz.
//   fit_render_bench join TURN.raw OUT.raw
//       Of one turn decoded without gapless trimming (16-bit stereo at 44.1 kHz), writes the
//       last two seconds and the first two after them: the join of two turns.
//   fit_render_bench measure JOIN.raw RECORDING.raw
//       Prints, of the recording, the silence at the join (under -60 dBFS) and the dropout
//       (30 dB under the music of the second before), in ms, and the click there (the peak
//       above 4 kHz within 20 ms of the join, then within 20 ms of the dropout's ends, against
//       the second before, in dB); then the silence and the dropout of the join as played.
// bench/seam_recording.sh drives the last three.

#include "Mp3Frames.h"
#include "SeamMeasures.h"
#include "fit/LoopFinder.h"
#include "loudness/MatchedConversion.h"
#include "music/AudioCodecs.h"
#include "music/FittedStream.h"
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

std::vector<float> decoded(const std::filesystem::path &file, int sampleRate, int channelCount)
{
    std::vector<float> samples;
    core::AudioCodecs::builtIn().makeDecoder()->decode(
        file, sampleRate, channelCount, [&](const float *block, std::size_t frames) {
            samples.insert(samples.end(), block, block + frames * std::size_t(channelCount));
            return true;
        });
    return samples;
}

std::optional<core::AudioInfo> probed(const std::filesystem::path &file)
{
    const auto probe = core::AudioCodecs::builtIn().makeDecoder()->probe(file);
    if (const auto *info = std::get_if<core::AudioInfo>(&probe))
        return *info;
    return std::nullopt;
}

// The loop as the Fit window keeps it once offered: its exact ends at the pick's own rate, and
// its crossfade, found at the slot's rate.
core::PickFit windowFit(const core::LoopCandidate &loop, int pickRate, int slotRate)
{
    const auto atPickRate = [&](std::size_t slotFrames) {
        return std::int64_t(std::llround(double(slotFrames) * pickRate / slotRate));
    };
    core::PickFit fit;
    fit.start = atPickRate(loop.start);
    fit.end = atPickRate(loop.end);
    fit.crossfade = std::min(
        {atPickRate(loop.crossfade), fit.start, core::PickFit::longestCrossfade(pickRate)});
    return fit;
}

// The first loop Find a loop offers, searched as the window searches: mono at the slot's rate.
std::optional<core::PickFit> foundFit(const std::filesystem::path &pick,
                                      const core::AudioInfo &info, int slotRate)
{
    const std::vector<float> mono = decoded(pick, slotRate, 1);
    const std::vector<core::LoopCandidate> loops =
        core::LoopFinder(core::AudioCodecs::builtIn().makeRealTransform).find(mono, slotRate);
    if (loops.empty())
        return std::nullopt;
    return windowFit(loops.front(), info.sampleRate, slotRate);
}

int write(const std::filesystem::path &pick, const std::filesystem::path &output)
{
    const std::optional<core::AudioInfo> info = probed(pick);
    if (!info) {
        std::printf("cannot be read\n");
        return 1;
    }
    const std::optional<core::PickFit> fit = foundFit(pick, *info, rate);
    if (!fit) {
        std::printf("no loop\n");
        return 1;
    }
    const core::AudioCodecs &codecs = core::AudioCodecs::builtIn();
    core::ConversionPool pool(&codecs, {{0, pick, settings, nullptr, info->isMp3, *fit}},
                              output.parent_path());
    core::ConversionPool::Result result = pool.take(0);
    if (result.failure) {
        std::printf("not written\n");
        return 1;
    }
    std::filesystem::rename(result.staged, output);
    const core::PickFit atSlotRate = fit->at(info->sampleRate, rate);
    std::printf("%s-%s\t%lld\n", clock(double(fit->start) / info->sampleRate).c_str(),
                clock(double(*fit->end) / info->sampleRate).c_str(),
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

// The seam of every written loop, decoded every sample.

// The written file's samples as the game decodes them: every frame's, the encoder's delay and
// padding too. A decoder passes over the encoder's information frame, and trims by what it
// tells: without it, nothing is trimmed. turns: the file's frames played so many times over by
// one decoder, which then starts afresh only once.
std::vector<float> everySample(const std::filesystem::path &mp3, const core::Mp3Settings &slot,
                               int turns = 1)
{
    std::ifstream in(mp3, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::vector<mp3frames::Frame> frames = mp3frames::frames(bytes);
    if (!frames.empty() && mp3frames::encoderTagAt(bytes, frames.front()) != 0)
        bytes.erase(0, frames.front().length);
    const std::filesystem::path untagged = mp3.string() + ".frames.mp3";
    std::ofstream out(untagged, std::ios::binary);
    for (int turn = 0; turn < turns; ++turn)
        out.write(bytes.data(), std::streamsize(bytes.size()));
    out.close();
    std::vector<float> samples = decoded(untagged, slot.sampleRate, slot.channels);
    std::filesystem::remove(untagged);
    return samples;
}

// One turn of the fit as it is written, before the encoder: cut, faded and crossfaded at the
// slot's rate, the seam where the written file turns.
std::vector<float> unencodedTurn(const std::filesystem::path &pick, const core::PickFit &fit,
                                 const core::Mp3Settings &slot)
{
    const core::AudioCodecs &codecs = core::AudioCodecs::builtIn();
    const auto decoder = codecs.makeDecoder();
    const core::PickFit written =
        core::MatchedConversion::decodedFit(*decoder, pick, fit,
                                            core::SeamFraming::forEncoder(codecs, slot))
            .value_or(fit);
    std::vector<float> turn;
    core::FittedStream stream(
        written, slot.channels, [&](const float *samples, std::size_t frames) {
            turn.insert(turn.end(), samples, samples + frames * std::size_t(slot.channels));
            return true;
        });
    decoder->decode(
        pick, slot.sampleRate, slot.channels,
        [&](const float *samples, std::size_t frames) { return stream.add(samples, frames); });
    stream.finish();
    return turn;
}

std::optional<core::Mp3Settings> slotFormat(const char *text)
{
    core::Mp3Settings slot;
    if (std::sscanf(text, "%d/%d/%d", &slot.sampleRate, &slot.channels, &slot.kbps) != 3)
        return std::nullopt;
    return slot;
}

// A pick named with @START-END gets that loop, hand-set, with a 10 ms crossfade.
std::optional<core::PickFit> loopOf(const std::string &argument, std::filesystem::path &pick,
                                    const core::Mp3Settings &slot)
{
    const std::size_t at = argument.rfind('@');
    double start = 0;
    double end = 0;
    const bool handSet = at != std::string::npos &&
                         std::sscanf(argument.c_str() + at + 1, "%lf-%lf", &start, &end) == 2;
    pick = handSet ? argument.substr(0, at) : argument;
    const std::optional<core::AudioInfo> info = probed(pick);
    if (!info)
        return std::nullopt;
    if (!handSet)
        return foundFit(pick, *info, slot.sampleRate);
    core::PickFit fit;
    fit.start = std::llround(start * info->sampleRate);
    fit.end = std::llround(end * info->sampleRate);
    fit.crossfade = std::min(fit.start, core::PickFit::longestCrossfade(info->sampleRate) / 5);
    return fit;
}

// Where the heard turn's music lies against the fit's, in frames: the shift within two frames
// either way at which a second from the turn's middle differs least.
long shiftOf(const std::vector<float> &heard, const std::vector<float> &music, int channelCount)
{
    const auto channels = std::size_t(channelCount);
    const std::size_t frames = std::min(heard.size(), music.size()) / channels;
    const std::size_t from = frames / 2;
    const std::size_t length = std::min<std::size_t>(44100, frames / 4);
    long best = 0;
    double bestDifference = HUGE_VAL;
    // Outwards from none: a tone's periods match as well as none does.
    for (long step = 0; step <= 2 * 2304; ++step) {
        const long shift = step % 2 == 0 ? step / 2 : -(step + 1) / 2;
        if (long(from) + shift < 0 || from + length + std::size_t(std::abs(shift)) > frames)
            continue;
        double difference = 0;
        for (std::size_t i = 0; i < length * channels && difference < bestDifference; ++i) {
            const double d =
                heard[std::size_t(long(from * channels) + shift * long(channels)) + i] -
                music[from * channels + i];
            difference += d * d;
        }
        if (difference < 0.9 * bestDifference) {
            bestDifference = difference;
            best = shift;
        }
    }
    return best;
}

// Of two turns decoded by one decoder, side seconds either way of where the second begins: the
// join as a decoder that is not started afresh at the turn gives it.
seammeasures::Join secondTurnJoin(const std::vector<float> &twice, int channels, int rate,
                                  double side)
{
    const auto perFrame = std::size_t(channels);
    const std::size_t turn = twice.size() / perFrame / 2;
    const std::size_t kept = std::min(turn, std::size_t(std::llround(side * rate)));
    seammeasures::Join join{{}, channels, rate, kept};
    join.samples.assign(twice.begin() + std::ptrdiff_t((turn - kept) * perFrame),
                        twice.begin() + std::ptrdiff_t((turn + kept) * perFrame));
    return join;
}

// Writes the loop as Change does and prints its row.
void printSeam(const std::filesystem::path &pick, const core::PickFit &fit,
               const core::Mp3Settings &slot, const std::filesystem::path &folder)
{
    const core::AudioCodecs &codecs = core::AudioCodecs::builtIn();
    const std::optional<core::AudioInfo> info = probed(pick);
    core::ConversionPool pool(&codecs, {{0, pick, slot, nullptr, info->isMp3, fit}}, folder);
    const core::ConversionPool::Result result = pool.take(0);
    if (result.failure) {
        std::printf("%s\tnot written\n", pick.filename().c_str());
        return;
    }
    const std::vector<float> heard = everySample(result.staged, slot);
    const std::vector<float> twice = everySample(result.staged, slot, 2);
    std::filesystem::remove(result.staged);
    const std::vector<float> music = unencodedTurn(pick, fit, slot);
    const core::PickFit atSlotRate = fit.at(info->sampleRate, slot.sampleRate);
    const double loop = double(*atSlotRate.end - atSlotRate.start);
    const double turn = double(heard.size() / std::size_t(slot.channels));
    using namespace seammeasures;
    const Join heardJoin = joined(heard, slot.channels, slot.sampleRate, 1.25);
    const Join musicJoin = joined(music, slot.channels, slot.sampleRate, 1.25);
    const Seam own = measure(musicJoin, Join{{}, 1, slot.sampleRate, 0});
    const Seam seam = measure(heardJoin, musicJoin);
    // What is left once the decoder is not started afresh: the frames' own share of the seam.
    const Seam frames =
        measure(secondTurnJoin(twice, slot.channels, slot.sampleRate, 1.25), musicJoin);
    std::printf("%s\t%s-%s\t%+.1f\t%+ld\t%.1f\t%.1f\t%.1f\t%.1f\t%+.1f\t%.1f\t%.1f\n",
                pick.filename().c_str(), clock(double(fit.start) / info->sampleRate).c_str(),
                clock(double(*fit.end) / info->sampleRate).c_str(),
                1000 * (turn - loop) / slot.sampleRate, shiftOf(heard, music, slot.channels),
                seam.silenceMs, own.silenceMs, seam.dropoutMs, own.dropoutMs, seam.clickDecibels,
                frames.silenceMs, frames.dropoutMs);
}

int seams(int argc, char **argv)
{
    core::Mp3Settings slot = settings;
    int first = 2;
    if (argc > 3 && std::strcmp(argv[2], "--slot") == 0) {
        const std::optional<core::Mp3Settings> given = slotFormat(argv[3]);
        if (!given)
            return 2;
        slot = *given;
        first = 4;
    }
    const std::filesystem::path folder = std::filesystem::temp_directory_path();
    std::printf("# slot %d Hz, %d channel(s), %d kbit/s\n", slot.sampleRate, slot.channels,
                slot.kbps);
    std::printf("pick\tloop\tturn - loop (ms)\tshift (frames)\tsilence (ms)\tmusic's own\t"
                "dropout (ms)\tmusic's own\tclick (dB)\tsilence, decoder not restarted (ms)\t"
                "dropout, decoder not restarted (ms)\n");
    for (int i = first; i < argc; ++i) {
        std::filesystem::path pick;
        const std::optional<core::PickFit> fit = loopOf(argv[i], pick, slot);
        if (!fit)
            std::printf("%s\tno loop\n", pick.filename().c_str());
        else
            printSeam(pick, *fit, slot, folder);
        std::fflush(stdout);
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc >= 3 && std::strcmp(argv[1], "seam") == 0)
        return seams(argc, argv);
    if (argc == 4 && std::strcmp(argv[1], "write") == 0)
        return write(argv[2], argv[3]);
    if (argc == 4 && std::strcmp(argv[1], "join") == 0)
        return join(argv[2], argv[3]);
    if (argc == 4 && std::strcmp(argv[1], "measure") == 0)
        return measure(argv[2], argv[3]);
    std::fprintf(stderr, "fit_render_bench seam [--slot RATE/CHANNELS/KBPS] PICK[@START-END]... | "
                         "write PICK OUT.mp3 | join TURN.raw OUT.raw | measure JOIN.raw "
                         "RECORDING.raw\n");
    return 2;
}
