// SPDX-License-Identifier: GPL-3.0-or-later
#include "fit/RepeatMeasure.h"

#include "fit/SeamAligner.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace core {

namespace {

// The first search compares averages of this many reduced samples: about 2.8 kHz, enough for
// the shape of the bass and the beat.
constexpr std::size_t coarseStep = 8;
// Around the start, the seconds matched by the first search and by the finer one.
constexpr double coarseWindowSeconds = 3;
constexpr double fineWindowSeconds = 0.5;

// Summed in eight lanes, which the compiler can keep in one vector register.
double dot(const float *a, const float *b, std::size_t count)
{
    constexpr std::size_t lanes = 8;
    std::array<float, lanes> sums{};
    std::size_t i = 0;
    for (; i + lanes <= count; i += lanes)
        for (std::size_t lane = 0; lane < lanes; ++lane)
            sums[lane] += a[i + lane] * b[i + lane];
    double sum = 0;
    for (float lane : sums)
        sum += lane;
    for (; i < count; ++i)
        sum += double(a[i]) * b[i];
    return sum;
}

// The end among from..to (samples of signal) where the window around it is most like the
// window around start, from half before to half after.
std::size_t bestMatch(std::span<const float> signal, std::size_t start, std::size_t from,
                      std::size_t to, std::size_t half)
{
    const std::size_t before = std::min({half, start, from});
    const std::size_t after = std::min(half, signal.size() - std::max(start, to));
    const std::size_t length = before + after;
    if (length == 0)
        return (from + to) / 2;
    const float *around = signal.data() + start - before;
    std::size_t best = from;
    double bestLikeness = -HUGE_VAL;
    for (std::size_t end = from; end <= to; ++end) {
        const float *other = signal.data() + end - before;
        const double energy = dot(other, other, length);
        const double likeness = energy > 0 ? dot(around, other, length) / std::sqrt(energy) : 0;
        if (likeness > bestLikeness) {
            bestLikeness = likeness;
            best = end;
        }
    }
    return best;
}

} // namespace

RepeatMeasure::RepeatMeasure(const PieceFrames &piece, const FrameDistances &distances,
                             std::span<const float> mono, int sampleRate)
    : piece_(piece), distances_(distances), mono_(mono), sampleRate_(sampleRate),
      coarse_(boxAveraged(piece.reduced, coarseStep))
{
}

std::size_t RepeatMeasure::contextFrames() const
{
    return std::size_t(
        std::lround(contextSeconds * piece_.rate / double(piece_.features.chromaHop)));
}

std::size_t RepeatMeasure::shortestSideFrames() const
{
    return std::size_t(
        std::lround(shortestSideSeconds * piece_.rate / double(piece_.features.chromaHop)));
}

Repeat RepeatMeasure::measure(std::size_t start, std::size_t roughEnd, std::size_t reach) const
{
    Repeat repeat;
    repeat.start = start;
    const std::size_t coarse = coarseEnd(start, roughEnd, reach);
    const std::size_t reduced = reducedEnd(start, coarse, 2 * coarseStep * piece_.factor);
    const double fineReach = double(2 * piece_.factor) / sampleRate_;
    repeat.end = std::min(mono_.size(),
                          SeamAligner(mono_, sampleRate_, fineReach).alignedEnd(start, reduced));
    measureSides(repeat);
    return repeat;
}

std::size_t RepeatMeasure::coarseEnd(std::size_t start, std::size_t roughEnd,
                                     std::size_t reach) const
{
    const std::size_t step = coarseStep * piece_.factor;
    const std::size_t at = start / step;
    const std::size_t middle = roughEnd / step;
    const std::size_t coarseReach = reach / step + 1;
    const std::size_t from = std::max(at + 1, middle > coarseReach ? middle - coarseReach : 0);
    const std::size_t to = std::min(middle + coarseReach, coarse_.size());
    if (from >= to)
        return roughEnd;
    const auto half = std::size_t(coarseWindowSeconds * piece_.rate / coarseStep);
    return bestMatch(coarse_, at, from, to, half) * step + start % step;
}

std::size_t RepeatMeasure::reducedEnd(std::size_t start, std::size_t roughEnd,
                                      std::size_t reach) const
{
    const std::size_t factor = piece_.factor;
    const std::size_t at = start / factor;
    const std::size_t middle = roughEnd / factor;
    const std::size_t reducedReach = reach / factor + 1;
    const std::size_t from = std::max(at + 1, middle > reducedReach ? middle - reducedReach : 0);
    const std::size_t to = std::min(middle + reducedReach, piece_.reduced.size());
    if (from >= to)
        return roughEnd;
    const auto half = std::size_t(fineWindowSeconds * piece_.rate);
    return bestMatch(piece_.reduced, at, from, to, half) * factor + start % factor;
}

double RepeatMeasure::wave(std::size_t fromA, std::size_t fromB, std::size_t length) const
{
    const float *a = piece_.reduced.data() + fromA;
    const float *b = piece_.reduced.data() + fromB;
    const double energy = dot(a, a, length) * dot(b, b, length);
    return energy > 0 ? dot(a, b, length) / std::sqrt(energy) : 0;
}

void RepeatMeasure::measureSides(Repeat &repeat) const
{
    const std::size_t a = repeat.start / piece_.factor;
    const std::size_t b = repeat.end / piece_.factor;
    const std::size_t size = piece_.reduced.size();
    const auto waveLength = std::size_t(waveSeconds * piece_.rate);
    const auto shortest = std::size_t(shortestSideSeconds * piece_.rate);
    repeat.waveBefore = repeat.waveAfter = repeat.contextBefore = repeat.contextAfter = NAN;
    // A frame is heard about its middle, two hops in.
    const std::size_t hop = piece_.features.chromaHop;
    const auto frameAt = [&](std::size_t sample) {
        return std::size_t(std::max(0L, std::lround(double(sample) / double(hop)) - 2));
    };
    const std::size_t frameA = frameAt(a);
    const std::size_t frameB = frameAt(b);
    const std::size_t frames = distances_.size();
    if (a >= shortest && b <= size) {
        const std::size_t length = std::min(waveLength, a);
        repeat.waveBefore = wave(a - length, b - length, length);
        const std::size_t count = std::min(contextFrames(), frameA);
        if (count >= shortestSideFrames())
            repeat.contextBefore = distances_.context(frameA - count, frameB - count, count);
    }
    if (b + shortest <= size) {
        repeat.waveAfter = wave(a, b, std::min(waveLength, size - b));
        const std::size_t count = std::min(contextFrames(), frames - std::min(frames, frameB));
        if (count >= shortestSideFrames())
            repeat.contextAfter = distances_.context(frameA, frameB, count);
    }
    // A side measured by its wave alone is not measured.
    if (std::isnan(repeat.contextBefore))
        repeat.waveBefore = NAN;
    if (std::isnan(repeat.contextAfter))
        repeat.waveAfter = NAN;
}

} // namespace core
