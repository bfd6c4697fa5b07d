// SPDX-License-Identifier: GPL-3.0-or-later
#include "LoopJudge.h"

#include "Fourier.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <random>

namespace loopset {

namespace {

constexpr std::size_t waveSamples = 3 * LoopJudge::rate;
constexpr std::size_t waveReach = LoopJudge::rate / 20; // 50 ms
constexpr std::size_t contextFrames = 4 * LoopJudge::rate / LoopJudge::frameSamples;
constexpr std::size_t secondFrames = LoopJudge::rate / LoopJudge::frameSamples;
constexpr std::size_t shortestSide = LoopJudge::rate;
constexpr std::size_t halfSecond = LoopJudge::rate / 2;
constexpr std::size_t randomPairs = 20000;

double melOf(double hertz)
{
    return 2595 * std::log10(1 + hertz / 700);
}

double hertzOf(double mel)
{
    return 700 * (std::pow(10, mel / 2595) - 1);
}

double percentile(std::vector<double> values, double share)
{
    if (values.empty())
        return 1;
    const auto at = std::size_t(share * double(values.size() - 1));
    std::nth_element(values.begin(), values.begin() + std::ptrdiff_t(at), values.end());
    return values[at];
}

bool bothWavesRepeat(double before, double after)
{
    return before >= 0.5 && after >= 0.5;
}

bool contextsClose(double before, double after)
{
    return std::min(before, after) <= 0.45 && std::max(before, after) <= 0.6;
}

} // namespace

LoopJudge::LoopJudge(std::vector<float> mono) : mono_(std::move(mono)), window_(frameSamples)
{
    for (std::size_t i = 0; i < frameSamples; ++i)
        window_[i] = float(0.5 - 0.5 * std::cos(2 * std::numbers::pi * double(i) / frameSamples));
    buildMelBank();
    standardiseFrames();
    measureTrack();
}

void LoopJudge::buildMelBank()
{
    const std::size_t bins = frameSamples / 2 + 1;
    const double top = melOf(rate / 2.0);
    melBank_.assign(bands, {});
    for (std::size_t band = 0; band < bands; ++band) {
        const double low = hertzOf(top * double(band) / (bands + 1));
        const double middle = hertzOf(top * double(band + 1) / (bands + 1));
        const double high = hertzOf(top * double(band + 2) / (bands + 1));
        for (std::size_t bin = 0; bin < bins; ++bin) {
            const double hertz = double(bin) * rate / frameSamples;
            double weight = 0;
            if (hertz > low && hertz <= middle)
                weight = (hertz - low) / (middle - low);
            else if (hertz > middle && hertz < high)
                weight = (high - hertz) / (high - middle);
            if (weight > 0)
                melBank_[band].emplace_back(bin, float(weight));
        }
    }
}

LoopJudge::Frame LoopJudge::frameAt(std::size_t sample) const
{
    std::vector<std::complex<double>> values(frameSamples);
    for (std::size_t i = 0; i < frameSamples && sample + i < mono_.size(); ++i)
        values[i] = double(mono_[sample + i]) * window_[i];
    Fourier::transform(values);
    Frame frame{};
    for (std::size_t band = 0; band < bands; ++band) {
        double energy = 0;
        for (const auto &[bin, weight] : melBank_[band])
            energy += weight * std::norm(values[bin]);
        frame[band] = float((std::log10(energy + 1e-10) - bandMean_[band]) / bandSpread_[band]);
    }
    return frame;
}

void LoopJudge::standardiseFrames()
{
    bandMean_.fill(0);
    bandSpread_.fill(1);
    for (std::size_t at = 0; at + frameSamples <= mono_.size(); at += frameSamples)
        frames_.push_back(frameAt(at));
    if (frames_.empty())
        return;
    Frame square{};
    for (const Frame &frame : frames_)
        for (std::size_t band = 0; band < bands; ++band) {
            bandMean_[band] += frame[band];
            square[band] += frame[band] * frame[band];
        }
    const auto count = float(frames_.size());
    for (std::size_t band = 0; band < bands; ++band) {
        bandMean_[band] /= count;
        const float variance = square[band] / count - bandMean_[band] * bandMean_[band];
        bandSpread_[band] = std::sqrt(std::max(variance, 1e-6F));
    }
    for (Frame &frame : frames_)
        for (std::size_t band = 0; band < bands; ++band)
            frame[band] = (frame[band] - bandMean_[band]) / bandSpread_[band];
}

double LoopJudge::distance(const Frame &a, const Frame &b)
{
    double sum = 0;
    for (std::size_t band = 0; band < bands; ++band)
        sum += double(a[band] - b[band]) * (a[band] - b[band]);
    return std::sqrt(sum);
}

void LoopJudge::measureTrack()
{
    if (frames_.size() < 2 * secondFrames + 1)
        return;
    std::mt19937 generator(20240521u);
    std::uniform_int_distribution<std::size_t> pick(0, frames_.size() - 1);
    std::vector<double> distances;
    for (std::size_t pair = 0; pair < randomPairs; ++pair)
        distances.push_back(distance(frames_[pick(generator)], frames_[pick(generator)]));
    medianDistance_ = std::max(percentile(distances, 0.5), 1e-9);

    std::vector<double> changes;
    for (std::size_t at = secondFrames; at + secondFrames <= frames_.size(); ++at) {
        const std::size_t sample = at * frameSamples;
        changes.push_back(distance(meanFrame(sample - secondFrames * frameSamples, secondFrames),
                                   meanFrame(sample, secondFrames)));
    }
    ownChange80_ = std::max(percentile(changes, 0.8), 1e-9);

    std::vector<double> levels;
    for (std::size_t at = 0; at + halfSecond <= mono_.size(); at += halfSecond)
        levels.push_back(levelDecibels(at, halfSecond));
    medianLevel_ = percentile(levels, 0.5);
}

// Of grid frames where the stretch lies on the grid, else computed.
LoopJudge::Frame LoopJudge::meanFrame(std::size_t from, std::size_t count) const
{
    Frame mean{};
    for (std::size_t k = 0; k < count; ++k) {
        const std::size_t at = from + k * frameSamples;
        const Frame frame = at % frameSamples == 0 && at / frameSamples < frames_.size()
                                ? frames_[at / frameSamples]
                                : frameAt(at);
        for (std::size_t band = 0; band < bands; ++band)
            mean[band] += frame[band] / float(count);
    }
    return mean;
}

double LoopJudge::levelDecibels(std::size_t from, std::size_t length) const
{
    double sum = 0;
    const std::size_t to = std::min(mono_.size(), from + length);
    for (std::size_t i = from; i < to; ++i)
        sum += double(mono_[i]) * mono_[i];
    return 10 * std::log10(sum / double(std::max<std::size_t>(1, to - from)) + 1e-12);
}

// The best normalised correlation of length samples from fromA against the same from fromB
// shifted within the reach.
double LoopJudge::wave(std::size_t fromA, std::size_t fromB, std::size_t length) const
{
    const std::size_t early = std::min(waveReach, fromB);
    const std::size_t late = std::min(waveReach, mono_.size() - fromB - length);
    const std::size_t span = length + early + late;
    const std::size_t size = Fourier::powerOfTwoAtLeast(span);
    std::vector<std::complex<double>> a(size);
    std::vector<std::complex<double>> b(size);
    double energyA = 0;
    for (std::size_t i = 0; i < length; ++i) {
        a[i] = mono_[fromA + i];
        energyA += double(mono_[fromA + i]) * mono_[fromA + i];
    }
    std::vector<double> runningEnergy(span + 1, 0);
    for (std::size_t i = 0; i < span; ++i) {
        const double value = mono_[fromB - early + i];
        b[i] = value;
        runningEnergy[i + 1] = runningEnergy[i] + value * value;
    }
    Fourier::transform(a);
    Fourier::transform(b);
    for (std::size_t i = 0; i < size; ++i)
        b[i] *= std::conj(a[i]);
    Fourier::transform(b, true);
    double best = 0;
    for (std::size_t shift = 0; shift <= early + late; ++shift) {
        const double energyB = runningEnergy[shift + length] - runningEnergy[shift];
        if (energyA > 0 && energyB > 0)
            best = std::max(best, b[shift].real() / double(size) / std::sqrt(energyA * energyB));
    }
    return best;
}

double LoopJudge::context(std::size_t fromA, std::size_t fromB, std::size_t count) const
{
    double sum = 0;
    for (std::size_t k = 0; k < count; ++k) {
        const Frame a = meanFrame(fromA + k * frameSamples, 1);
        const Frame b = meanFrame(fromB + k * frameSamples, 1);
        sum += distance(a, b);
    }
    return count > 0 ? sum / double(count) / medianDistance_ : NAN;
}

Verdict LoopJudge::judge(std::size_t start, std::size_t end) const
{
    Verdict verdict;
    end = std::min(end, mono_.size());
    if (start >= end)
        return verdict;
    const bool before = start >= shortestSide;
    const bool after = mono_.size() - end >= shortestSide;
    if (!before && !after) {
        verdict.whole = true;
        judgeJoin(start, end, verdict);
        return verdict;
    }
    judgeSides(start, end, verdict);
    if (before && after)
        verdict.good = bothWavesRepeat(verdict.waveBefore, verdict.waveAfter) ||
                       (contextsClose(verdict.contextBefore, verdict.contextAfter) &&
                        std::max(verdict.waveBefore, verdict.waveAfter) >= 0.3);
    else if (before)
        verdict.good = verdict.waveBefore >= 0.5 && verdict.contextBefore <= 0.45;
    else
        verdict.good = verdict.waveAfter >= 0.5 && verdict.contextAfter <= 0.45;
    return verdict;
}

void LoopJudge::judgeSides(std::size_t start, std::size_t end, Verdict &verdict) const
{
    verdict.waveBefore = verdict.contextBefore = NAN;
    verdict.waveAfter = verdict.contextAfter = NAN;
    if (start >= shortestSide) {
        const std::size_t length = std::min(waveSamples, start);
        verdict.waveBefore = wave(start - length, end - length, length);
        const std::size_t count = std::min(contextFrames, start / frameSamples);
        verdict.contextBefore =
            context(start - count * frameSamples, end - count * frameSamples, count);
    }
    const std::size_t room = mono_.size() - end;
    if (room >= shortestSide) {
        verdict.waveAfter = wave(start, end, std::min(waveSamples, room));
        verdict.contextAfter = context(start, end, std::min(contextFrames, room / frameSamples));
    }
}

void LoopJudge::judgeJoin(std::size_t start, std::size_t end, Verdict &verdict) const
{
    const std::size_t second = secondFrames * frameSamples;
    if (end < second || start + second > mono_.size())
        return;
    verdict.joinChange =
        distance(meanFrame(end - second, secondFrames), meanFrame(start, secondFrames)) /
        ownChange80_;
    const double beforeJoin = levelDecibels(end - halfSecond, halfSecond);
    const double afterJoin = levelDecibels(start, halfSecond);
    verdict.joinLevelStep = std::abs(beforeJoin - afterJoin);
    verdict.joinQuietness = medianLevel_ - std::min(beforeJoin, afterJoin);
    verdict.good =
        verdict.joinChange <= 1 && verdict.joinLevelStep <= 4 && verdict.joinQuietness <= 12;
}

} // namespace loopset
