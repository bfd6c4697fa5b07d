// SPDX-License-Identifier: GPL-3.0-or-later
#include "music/LoopTurnEncoder.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace core {

namespace {

// The most of the turn's first frames the start encoder gives: beyond them a run of short
// blocks is left as the turn encoder made it.
constexpr std::size_t mostStartFrames = 8;

int bitsAt(const std::string &bytes, std::size_t bit, int count)
{
    int value = 0;
    for (int i = 0; i < count; ++i, ++bit)
        value = value << 1 | (static_cast<unsigned char>(bytes[bit / 8]) >> (7 - bit % 8) & 1);
    return value;
}

// Whether the frame's first granule begins in a long window on every channel: a normal block
// or a start block, which follow a long one.
bool beginsLong(const std::string &bytes, std::size_t frame)
{
    const auto header = [&](std::size_t at) {
        return static_cast<unsigned char>(bytes[frame + at]);
    };
    const bool mpeg1 = (header(1) >> 3 & 3) == 3;
    const bool checksum = (header(1) & 1) == 0;
    const int channels = header(3) >> 6 == 3 ? 1 : 2;
    const std::size_t sideInfo = (frame + 4 + (checksum ? 2 : 0)) * 8;
    // After main_data_begin, the private bits and (MPEG-1) the scale factor selection: each
    // channel's part2_3_length, big_values, global_gain and scalefac_compress, then whether
    // the window switches and the block's type.
    const std::size_t first =
        mpeg1 ? 9 + (channels == 1 ? 5 : 3) + 4 * std::size_t(channels) : 8 + std::size_t(channels);
    const std::size_t perChannel = mpeg1 ? 59 : 63;
    const std::size_t switching = 12 + 9 + 8 + (mpeg1 ? 4 : 9);
    for (int channel = 0; channel < channels; ++channel) {
        const std::size_t at = sideInfo + first + std::size_t(channel) * perChannel + switching;
        const bool switches = bitsAt(bytes, at, 1) == 1;
        const int type = switches ? bitsAt(bytes, at + 1, 2) : 0;
        if (type > 1)
            return false;
    }
    return true;
}

} // namespace

LoopTurnEncoder::LoopTurnEncoder(std::unique_ptr<Mp3Encoder> encoder,
                                 std::unique_ptr<Mp3Encoder> startEncoder,
                                 const SeamFraming &framing, std::vector<float> leadIn)
    : turn_{std::move(encoder), {}, 0, 0}, start_{std::move(startEncoder), {}, 0, 0},
      framing_(framing), leadIn_(std::move(leadIn))
{
    turn_.wanted = std::numeric_limits<std::size_t>::max();
    start_.wanted =
        std::size_t(framing_.leadIn()) + (mostStartFrames + 2) * std::size_t(framing_.frameSize());
}

std::optional<Reason> LoopTurnEncoder::start(int sampleRate, int channels, int kbps, Framing)
{
    channels_ = std::size_t(std::max(channels, 1));
    frameBytes_ = std::size_t((sampleRate >= 32000 ? 144 : 72) * kbps * 1000 / sampleRate);
    if (std::optional<Reason> failure =
            turn_.encoder->start(sampleRate, channels, kbps, Framing::SelfContained))
        return failure;
    return start_.encoder->start(sampleRate, channels, kbps, Framing::SelfContainedLongBlocks);
}

std::optional<Reason> LoopTurnEncoder::Stretch::take(const float *samples, std::size_t frames)
{
    const std::size_t taking = std::min(frames, wanted - std::min(wanted, taken));
    taken += taking;
    return taking > 0 ? encoder->encode(samples, taking, bytes) : std::nullopt;
}

std::vector<std::size_t> LoopTurnEncoder::Stretch::frameStarts(std::size_t frameBytes) const
{
    std::vector<std::size_t> starts;
    std::size_t at = 0;
    while (at + 4 <= bytes.size() && static_cast<unsigned char>(bytes[at]) == 0xFF) {
        const bool padded = (static_cast<unsigned char>(bytes[at + 2]) >> 1 & 1) != 0;
        const std::size_t length = frameBytes + (padded ? 1 : 0);
        if (at + length > bytes.size())
            break;
        starts.push_back(at);
        at += length;
    }
    starts.push_back(at);
    return starts;
}

std::size_t LoopTurnEncoder::heldFrames() const
{
    // The music's steps are judged over the last 200 ms before the fade.
    return std::size_t(framing_.sampleRate() / 5 + framing_.sampleRate() / 200);
}

std::size_t LoopTurnEncoder::fadeEnd()
{
    const std::size_t frames = held_.size() / channels_;
    if (frames < 2)
        return 0;
    float largestStep = 0;
    for (std::size_t i = channels_; i < held_.size(); ++i)
        largestStep = std::max(largestStep, std::abs(held_[i] - held_[i - channels_]));
    // A raised cosine over n frames moves the samples it fades by up to pi / 2n of them a
    // frame, on top of half their own step at its middle: n is made pi times the largest of
    // them over the largest step, and a quarter more for the encoder's error. A millisecond
    // at the least: a shorter one the encoder's band would not keep.
    const auto longest = std::min(frames, std::size_t(framing_.sampleRate() / 200));
    const auto shortest = std::min(longest, std::size_t(framing_.sampleRate() / 1000));
    std::size_t fade = 0;
    float largest = 0;
    while (fade < longest &&
           (fade < shortest || 1.25 * std::numbers::pi * largest > fade * double(largestStep))) {
        ++fade;
        for (std::size_t channel = 0; channel < channels_; ++channel)
            largest = std::max(largest, std::abs(held_[(frames - fade) * channels_ + channel]));
    }
    for (std::size_t i = 0; i < fade; ++i)
        scale(held_, frames - fade + i, fadeGain(i, fade));
    return fade;
}

float LoopTurnEncoder::fadeGain(std::size_t at, std::size_t fade)
{
    return float(0.5 + 0.5 * std::cos(std::numbers::pi * (double(at) + 1) / double(fade + 1)));
}

void LoopTurnEncoder::scale(std::vector<float> &samples, std::size_t frame, float gain) const
{
    for (std::size_t channel = 0; channel < channels_; ++channel)
        samples[frame * channels_ + channel] *= gain;
}

std::size_t LoopTurnEncoder::tailFrames() const
{
    return std::size_t(framing_.leadIn() + 2 * framing_.frameSize());
}

std::vector<float> LoopTurnEncoder::repeated(const std::vector<float> &turnPart,
                                             std::size_t count) const
{
    const std::size_t frames = turnPart.size() / channels_;
    std::vector<float> samples(count * channels_, 0.0F);
    for (std::size_t frame = 0; frames > 0 && frame < count; ++frame)
        std::copy_n(turnPart.begin() + std::ptrdiff_t((frame % frames) * channels_), channels_,
                    samples.begin() + std::ptrdiff_t(frame * channels_));
    return samples;
}

std::vector<float> LoopTurnEncoder::leadIn() const
{
    // A turn shorter than the lead-in repeats: its end, as the loop plays it, is the whole
    // turn again and again. Counted back from the end, so that the lead-in ends as the turn.
    const std::size_t given = leadIn_.size() / channels_;
    const auto wanted = std::size_t(framing_.leadIn());
    std::vector<float> rotated = leadIn_;
    if (given > 0)
        std::rotate(rotated.begin(),
                    rotated.begin() + std::ptrdiff_t((given - wanted % given) % given * channels_),
                    rotated.end());
    return repeated(rotated, wanted);
}

std::optional<Reason> LoopTurnEncoder::take(const float *samples, std::size_t frames)
{
    if (std::optional<Reason> failure = turn_.take(samples, frames))
        return failure;
    return start_.take(samples, frames);
}

std::optional<Reason> LoopTurnEncoder::encode(const float *samples, std::size_t frames,
                                              std::string &)
{
    if (!ledIn_) {
        ledIn_ = true;
        const std::vector<float> lead = leadIn();
        if (std::optional<Reason> failure = take(lead.data(), lead.size() / channels_))
            return failure;
    }
    const std::size_t startKept = std::max(tailFrames(), start_.wanted) * channels_;
    if (turnStart_.size() < startKept)
        turnStart_.insert(turnStart_.end(), samples,
                          samples + std::min(startKept - turnStart_.size(), frames * channels_));
    turnFrames_ += frames;
    held_.insert(held_.end(), samples, samples + frames * channels_);
    const std::size_t heldNow = held_.size() / channels_;
    if (heldNow <= heldFrames())
        return std::nullopt;
    const std::size_t passing = heldNow - heldFrames();
    const std::optional<Reason> failure = take(held_.data(), passing);
    held_.erase(held_.begin(), held_.begin() + std::ptrdiff_t(passing * channels_));
    return failure;
}

std::size_t LoopTurnEncoder::startFrames(const std::vector<std::size_t> &turnStarts,
                                         std::size_t kept) const
{
    const auto first = std::size_t(framing_.firstKeptFrame());
    const std::vector<std::size_t> startStarts = start_.frameStarts(frameBytes_);
    for (std::size_t frames = 1; frames <= std::min(kept, mostStartFrames); ++frames) {
        if (startStarts.size() < first + frames + 1)
            return 0;
        if (frames == kept || beginsLong(turn_.bytes, turnStarts[first + frames]))
            return frames;
    }
    return 0;
}

std::optional<Reason> LoopTurnEncoder::finish(std::string &out)
{
    const std::size_t fade = fadeEnd();
    if (std::optional<Reason> failure = take(held_.data(), held_.size() / channels_))
        return failure;
    // After the turn, its start again: the stretch runs on across the seam. Faded in as the
    // end is faded out: after an end faded to nothing, the start's full sound would be an
    // attack whose noise the encoder spreads back over that end.
    if (turnFrames_ > 0) {
        turn_.wanted = turn_.taken + tailFrames();
        std::vector<float> tail =
            repeated(turnStart_,
                     std::max(tailFrames(), start_.wanted - std::min(start_.wanted, start_.taken)));
        for (std::size_t i = 0; i < fade; ++i)
            scale(tail, i, fadeGain(fade - 1 - i, fade));
        if (std::optional<Reason> failure = take(tail.data(), tail.size() / channels_))
            return failure;
    }
    if (std::optional<Reason> failure = turn_.encoder->finish(turn_.bytes))
        return failure;
    if (std::optional<Reason> failure = start_.encoder->finish(start_.bytes))
        return failure;
    const std::vector<std::size_t> starts = turn_.frameStarts(frameBytes_);
    const auto first = std::size_t(framing_.firstKeptFrame());
    const auto kept = std::max<std::size_t>(
        1, std::size_t(std::llround(double(turnFrames_) / framing_.frameSize())));
    if (starts.size() < first + kept + 1)
        return Reason{Reason::Code::EncoderFailed, "frames"};
    const std::size_t fromStart = startFrames(starts, kept);
    const std::vector<std::size_t> startStarts = start_.frameStarts(frameBytes_);
    if (fromStart > 0)
        out.append(start_.bytes, startStarts[first],
                   startStarts[first + fromStart] - startStarts[first]);
    out.append(turn_.bytes, starts[first + fromStart],
               starts[first + kept] - starts[first + fromStart]);
    return std::nullopt;
}

} // namespace core
