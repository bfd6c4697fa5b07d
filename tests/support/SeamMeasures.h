// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <vector>

// What a loop's turn sounds like where its end joins its start, as the game plays it again and
// again. Fixed before the seam's encoding was tuned: the figures must not be moved to suit it.
//   silence: the longest run of samples under -60 dBFS within 50 ms of the turn;
//   dropout: the longest run within 50 ms of the turn where the RMS over 1 ms lies more than
//            30 dB under the RMS of the second before the turn;
//   click:   how far the largest sample-to-sample step within 2 ms of the turn passes the
//            largest in the 200 ms of music on each side of it, in dB (over 0: a click).
// Silence and dropout on every channel, less the longest such run at the same place in the
// fit's unencoded audio: the music's own rests.
namespace seammeasures {

constexpr float silenceLevel = 0.001F; // -60 dBFS
constexpr double dropoutDecibels = 30;
constexpr double nearTurnSeconds = 0.05;
constexpr double clickSeconds = 0.002;
constexpr double clickSidesSeconds = 0.2;

// One turn's last samples followed by its first: interleaved, the turn at frame turnAt.
struct Join
{
    std::vector<float> samples;
    int channels = 2;
    int rate = 44100;
    std::size_t turnAt = 0;

    std::size_t frames() const { return samples.size() / std::size_t(channels); }
    float at(std::size_t frame, int channel) const
    {
        return samples[frame * std::size_t(channels) + std::size_t(channel)];
    }
};

// A turn of interleaved samples joined end to start, side seconds either way (all of it where
// shorter).
inline Join joined(const std::vector<float> &turn, int channels, int rate, double side)
{
    const std::size_t frames = turn.size() / std::size_t(channels);
    const std::size_t kept =
        std::min(frames, std::size_t(std::llround(side * rate))) * std::size_t(channels);
    Join join{{}, channels, rate, kept / std::size_t(channels)};
    join.samples.assign(turn.end() - std::ptrdiff_t(kept), turn.end());
    join.samples.insert(join.samples.end(), turn.begin(), turn.begin() + std::ptrdiff_t(kept));
    return join;
}

struct Span
{
    std::size_t from = 0;
    std::size_t to = 0;
};

// The frames within seconds of the turn.
inline Span nearTurn(const Join &join, double seconds)
{
    const auto reach = std::size_t(std::llround(seconds * join.rate));
    return {join.turnAt - std::min(join.turnAt, reach),
            std::min(join.frames(), join.turnAt + reach)};
}

// The longest run of frames in span for which quiet holds, in ms.
template <class Quiet> double longestRun(const Join &join, Span span, Quiet quiet)
{
    std::size_t longest = 0;
    std::size_t run = 0;
    for (std::size_t frame = span.from; frame < span.to; ++frame) {
        run = quiet(frame) ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    return 1000.0 * double(longest) / join.rate;
}

inline double silenceMs(const Join &join, int channel)
{
    return longestRun(join, nearTurn(join, nearTurnSeconds), [&](std::size_t frame) {
        return std::abs(join.at(frame, channel)) < silenceLevel;
    });
}

inline double rms(const Join &join, int channel, Span span)
{
    double sum = 0;
    for (std::size_t frame = span.from; frame < span.to; ++frame)
        sum += double(join.at(frame, channel)) * join.at(frame, channel);
    return span.to > span.from ? std::sqrt(sum / double(span.to - span.from)) : 0;
}

inline double dropoutMs(const Join &join, int channel)
{
    const double before = rms(
        join, channel,
        {join.turnAt - std::min<std::size_t>(join.turnAt, std::size_t(join.rate)), join.turnAt});
    const double level = before * std::pow(10.0, -dropoutDecibels / 20);
    const std::size_t half = std::size_t(join.rate) / 2000;
    return longestRun(join, nearTurn(join, nearTurnSeconds), [&](std::size_t frame) {
        const Span millisecond{frame - std::min(frame, half),
                               std::min(join.frames(), frame + half)};
        return rms(join, channel, millisecond) < level;
    });
}

inline double largestStep(const Join &join, int channel, Span span)
{
    double largest = 0;
    for (std::size_t frame = std::max<std::size_t>(span.from, 1); frame < span.to; ++frame)
        largest = std::max(largest,
                           double(std::abs(join.at(frame, channel) - join.at(frame - 1, channel))));
    return largest;
}

inline double clickDecibels(const Join &join, int channel)
{
    const Span turn = nearTurn(join, clickSeconds);
    const auto side = std::size_t(std::llround(clickSidesSeconds * join.rate));
    const double music =
        std::max(largestStep(join, channel, {turn.from - std::min(turn.from, side), turn.from}),
                 largestStep(join, channel, {turn.to, std::min(join.frames(), turn.to + side)}));
    const double atTurn = largestStep(join, channel, turn);
    if (atTurn == 0)
        return -std::numeric_limits<double>::infinity();
    return 20 * std::log10(atTurn / std::max(music, 1e-9));
}

struct Seam
{
    double silenceMs = 0;
    double dropoutMs = 0;
    double clickDecibels = -std::numeric_limits<double>::infinity();
};

// The worst channel's figures of what is heard, silence and dropout less the music's own
// there (never under 0).
inline Seam measure(const Join &heard, const Join &music)
{
    Seam seam;
    for (int channel = 0; channel < heard.channels; ++channel) {
        const int own = std::min(channel, music.channels - 1);
        seam.silenceMs =
            std::max(seam.silenceMs, silenceMs(heard, channel) - silenceMs(music, own));
        seam.dropoutMs =
            std::max(seam.dropoutMs, dropoutMs(heard, channel) - dropoutMs(music, own));
        seam.clickDecibels = std::max(seam.clickDecibels, clickDecibels(heard, channel));
    }
    return seam;
}

} // namespace seammeasures
