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

namespace {

// A frame's channels in one register where the machine has room for them, so that filtering
// is arithmetic on both channels of a stereo stream at once.
template <std::size_t Channels> struct Lanes
{
    using Type = double;
    static Type load(const float *samples) { return samples[0]; }
    static double get(Type value, std::size_t) { return value; }
    static void set(Type &value, std::size_t, double lane) { value = lane; }
    static Type magnitude(Type value) { return std::abs(value); }
    static Type larger(Type a, Type b) { return std::max(a, b); }
};

template <> struct Lanes<2>
{
    using Type = double __attribute__((vector_size(2 * sizeof(double))));
    static Type load(const float *samples) { return Type{samples[0], samples[1]}; }
    static double get(Type value, std::size_t channel) { return value[channel]; }
    static void set(Type &value, std::size_t channel, double lane) { value[channel] = lane; }
    static Type magnitude(Type value) { return value < 0 ? -value : value; }
    static Type larger(Type a, Type b) { return a > b ? a : b; }
};

} // namespace

template <std::size_t Channels, bool Keeps>
void GatedLoudness::filter(const float *samples, std::size_t frames, std::size_t stride,
                           States *states, double &whole, double &kept)
{
    // Transposed direct form II in locals: the loop the compiler keeps in registers is most
    // of a reading's filtering.
    using L = Lanes<Channels>;
    using Value = typename L::Type;
    constexpr std::size_t stages = Keeps ? stageCount : 2;
    std::array<std::array<Value, 2>, stages> z{};
    Value peak{};
    for (std::size_t c = 0; c < Channels; ++c) {
        L::set(peak, c, peak_);
        for (std::size_t stage = 0; stage < stages; ++stage)
            for (std::size_t k = 0; k < 2; ++k)
                L::set(z[stage][k], c, states[c][stage][k]);
    }
    Value wholeSum{};
    Value keptSum{};
    for (std::size_t i = 0; i < frames; ++i) {
        Value value = L::load(samples + i * stride);
        peak = L::larger(peak, L::magnitude(value));
#pragma GCC unroll 6
        for (std::size_t stage = 0; stage < stages; ++stage) {
            const Section &s = stages_[stage];
            std::array<Value, 2> &state = z[stage];
            const Value out = s.b0 * value + state[0];
            state[0] = s.b1 * value - s.a1 * out + state[1];
            state[1] = s.b2 * value - s.a2 * out;
            value = out;
            if (stage == 1)
                wholeSum += value * value;
        }
        if constexpr (Keeps)
            keptSum += value * value;
    }
    for (std::size_t c = 0; c < Channels; ++c) {
        peak_ = std::max(peak_, L::get(peak, c));
        whole += L::get(wholeSum, c);
        kept += L::get(keptSum, c);
        for (std::size_t stage = 0; stage < stages; ++stage)
            for (std::size_t k = 0; k < 2; ++k)
                states[c][stage][k] = L::get(z[stage][k], c);
    }
}

void GatedLoudness::add(const float *samples, std::size_t frames)
{
    const std::size_t channels = states_.size();
    while (frames > 0) {
        const std::size_t take = std::min(frames, hopFrames_ - inHop_);
        if (channels == 2) {
            const auto run =
                keeps_ ? &GatedLoudness::filter<2, true> : &GatedLoudness::filter<2, false>;
            (this->*run)(samples, take, 2, states_.data(), wholeSum_, keptSum_);
        } else {
            const auto run =
                keeps_ ? &GatedLoudness::filter<1, true> : &GatedLoudness::filter<1, false>;
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
