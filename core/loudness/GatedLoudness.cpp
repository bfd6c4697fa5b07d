// SPDX-License-Identifier: GPL-3.0-or-later
#include "loudness/GatedLoudness.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace core {

namespace {

// The K-weighting's two stages as analogue prototypes, taken to the sample rate by the
// bilinear transform so that every rate is weighted alike.
constexpr double shelfHz = 1681.974450955533;
constexpr double shelfGainDb = 3.999843853973347;
constexpr double shelfQuality = 0.7071752369554196;
constexpr double highPassHz = 38.13547087602444;
constexpr double highPassQuality = 0.5003270373238773;
constexpr double blocksOffset = -0.691;
constexpr double absoluteGateLufs = -70;
constexpr double relativeGateLu = -10;
constexpr std::size_t hopsInBlock = 4;

double meanSquareAt(double lufs)
{
    return std::pow(10.0, (lufs - blocksOffset) / 10);
}

} // namespace

GatedLoudness::GatedLoudness(int sampleRate, int channels)
    : states_(std::size_t(std::max(channels, 1))),
      hopFrames_(std::size_t(std::max((sampleRate + 5) / 10, 1)))
{
    const double rate = std::max(sampleRate, 1);
    double k = std::tan(std::numbers::pi * shelfHz / rate);
    const double high = std::pow(10.0, shelfGainDb / 20);
    const double band = std::pow(high, 0.4996667741545416);
    double a0 = 1 + k / shelfQuality + k * k;
    sections_[0] = {(high + band * k / shelfQuality + k * k) / a0, 2 * (k * k - high) / a0,
                    (high - band * k / shelfQuality + k * k) / a0, 2 * (k * k - 1) / a0,
                    (1 - k / shelfQuality + k * k) / a0};
    k = std::tan(std::numbers::pi * highPassHz / rate);
    a0 = 1 + k / highPassQuality + k * k;
    sections_[1] = {1, -2, 1, 2 * (k * k - 1) / a0, (1 - k / highPassQuality + k * k) / a0};
}

void GatedLoudness::add(const float *samples, std::size_t frames)
{
    const std::size_t channels = states_.size();
    // Both stages in locals, transposed direct form II: the loop the compiler keeps in
    // registers is most of a reading's filtering.
    const Section shelf = sections_[0];
    const Section highPass = sections_[1];
    while (frames > 0) {
        const std::size_t take = std::min(frames, hopFrames_ - inHop_);
        double sum = 0;
        for (std::size_t channel = 0; channel < channels; ++channel) {
            std::array<State, 2> &state = states_[channel];
            double s1 = state[0].z1, s2 = state[0].z2, h1 = state[1].z1, h2 = state[1].z2;
            double peak = peak_;
            for (std::size_t i = 0; i < take; ++i) {
                const double value = samples[i * channels + channel];
                peak = std::max(peak, std::abs(value));
                const double shelved = shelf.b0 * value + s1;
                s1 = shelf.b1 * value - shelf.a1 * shelved + s2;
                s2 = shelf.b2 * value - shelf.a2 * shelved;
                const double weighted = highPass.b0 * shelved + h1;
                h1 = highPass.b1 * shelved - highPass.a1 * weighted + h2;
                h2 = highPass.b2 * shelved - highPass.a2 * weighted;
                sum += weighted * weighted;
            }
            state[0] = {s1, s2};
            state[1] = {h1, h2};
            peak_ = peak;
        }
        hopSum_ += sum;
        inHop_ += take;
        samples += take * channels;
        frames -= take;
        if (inHop_ == hopFrames_)
            closeHop();
    }
}

void GatedLoudness::closeHop()
{
    hops_.push_back(hopSum_);
    hopSum_ = 0;
    inHop_ = 0;
    if (hops_.size() < hopsInBlock)
        return;
    double sum = 0;
    for (std::size_t i = hops_.size() - hopsInBlock; i < hops_.size(); ++i)
        sum += hops_[i];
    const double meanSquare = sum / double(hopsInBlock * hopFrames_);
    if (meanSquare >= meanSquareAt(absoluteGateLufs))
        blocks_.push_back(meanSquare);
}

double GatedLoudness::lufs() const
{
    if (blocks_.empty())
        return -std::numeric_limits<double>::infinity();
    double sum = 0;
    for (const double block : blocks_)
        sum += block;
    const double relativeGate = sum / double(blocks_.size()) * std::pow(10.0, relativeGateLu / 10);
    double gatedSum = 0;
    std::size_t count = 0;
    for (const double block : blocks_) {
        if (block >= relativeGate) {
            gatedSum += block;
            ++count;
        }
    }
    return blocksOffset + 10 * std::log10(gatedSum / double(count));
}

} // namespace core
