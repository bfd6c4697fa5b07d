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

GatedLoudness::GatedLoudness(int sampleRate, int channels, double keptBelowHz)
    : keeps_(keptBelowHz > 0), states_(std::size_t(std::max(channels, 1))),
      hopFrames_(std::size_t(std::max((sampleRate + 5) / 10, 1)))
{
    const double rate = std::max(sampleRate, 1);
    double k = std::tan(std::numbers::pi * shelfHz / rate);
    const double high = std::pow(10.0, shelfGainDb / 20);
    const double band = std::pow(high, 0.4996667741545416);
    double a0 = 1 + k / shelfQuality + k * k;
    stages_[0] = {(high + band * k / shelfQuality + k * k) / a0, 2 * (k * k - high) / a0,
                  (high - band * k / shelfQuality + k * k) / a0, 2 * (k * k - 1) / a0,
                  (1 - k / shelfQuality + k * k) / a0};
    k = std::tan(std::numbers::pi * highPassHz / rate);
    a0 = 1 + k / highPassQuality + k * k;
    stages_[1] = {1, -2, 1, 2 * (k * k - 1) / a0, (1 - k / highPassQuality + k * k) / a0};
    if (keeps_) {
        const auto lowPass = LowPass::design(std::max(sampleRate, 1), keptBelowHz);
        std::copy(lowPass.begin(), lowPass.end(), stages_.begin() + 2);
    }
    for (States &states : states_)
        states = {};
}

template <std::size_t Channels, bool Keeps>
void GatedLoudness::filter(const float *samples, std::size_t frames, std::size_t stride,
                           States *states, double &whole, double &kept)
{
    // Every channel's stages in locals, transposed direct form II, the channels side by side:
    // the loop the compiler keeps in registers is most of a reading's filtering.
    constexpr std::size_t stages = Keeps ? stageCount : 2;
    std::array<States, Channels> z;
    for (std::size_t c = 0; c < Channels; ++c)
        z[c] = states[c];
    double peak = peak_;
    for (std::size_t i = 0; i < frames; ++i) {
#pragma GCC unroll 2
        for (std::size_t c = 0; c < Channels; ++c) {
            double value = samples[i * stride + c];
            peak = std::max(peak, std::abs(value));
#pragma GCC unroll 6
            for (std::size_t stage = 0; stage < stages; ++stage) {
                const Section &s = stages_[stage];
                std::array<double, 2> &state = z[c][stage];
                const double out = s.b0 * value + state[0];
                state[0] = s.b1 * value - s.a1 * out + state[1];
                state[1] = s.b2 * value - s.a2 * out;
                value = out;
                if (stage == 1)
                    whole += value * value;
            }
            if constexpr (Keeps)
                kept += value * value;
        }
    }
    for (std::size_t c = 0; c < Channels; ++c)
        states[c] = z[c];
    peak_ = peak;
}

void GatedLoudness::add(const float *samples, std::size_t frames)
{
    const std::size_t channels = states_.size();
    while (frames > 0) {
        const std::size_t take = std::min(frames, hopFrames_ - inHop_);
        if (channels == 2) {
            const auto run = keeps_ ? &GatedLoudness::filter<2, true>
                                    : &GatedLoudness::filter<2, false>;
            (this->*run)(samples, take, 2, states_.data(), wholeSum_, keptSum_);
        } else {
            const auto run = keeps_ ? &GatedLoudness::filter<1, true>
                                    : &GatedLoudness::filter<1, false>;
            for (std::size_t channel = 0; channel < channels; ++channel)
                (this->*run)(samples + channel, take, channels, &states_[channel], wholeSum_,
                             keptSum_);
        }
        inHop_ += take;
        samples += take * channels;
        frames -= take;
        if (inHop_ == hopFrames_) {
            whole_.closeHop(wholeSum_, hopFrames_);
            kept_.closeHop(keptSum_, hopFrames_);
            wholeSum_ = keptSum_ = 0;
            inHop_ = 0;
        }
    }
}

void GatedLoudness::Gating::closeHop(double sum, std::size_t hopFrames)
{
    hops_.push_back(sum);
    if (hops_.size() < hopsInBlock)
        return;
    double blockSum = 0;
    for (std::size_t i = hops_.size() - hopsInBlock; i < hops_.size(); ++i)
        blockSum += hops_[i];
    // Only the last block's hops are needed again.
    hops_.erase(hops_.begin());
    const double meanSquare = blockSum / double(hopsInBlock * hopFrames);
    if (meanSquare >= meanSquareAt(absoluteGateLufs))
        blocks_.push_back(meanSquare);
}

double GatedLoudness::Gating::lufs() const
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
