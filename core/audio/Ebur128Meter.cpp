// SPDX-License-Identifier: GPL-3.0-or-later
// The one place that speaks to libebur128: integrated loudness, sample and true peak.
#include "music/AudioCodecs.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

namespace core {

namespace {

struct StateDestroy
{
    void operator()(ebur128_state *state) const { ebur128_destroy(&state); }
};

double decibels(double factor)
{
    return factor > 0 ? 20 * std::log10(factor) : -std::numeric_limits<double>::infinity();
}

class Ebur128Meter : public LoudnessMeter
{
  public:
    std::optional<Reason> start(int sampleRate, int channels, bool truePeak) override
    {
        if (sampleRate <= 0 || channels <= 0)
            return Reason{Reason::Code::MeterFailed,
                          std::to_string(channels) + " ch, " + std::to_string(sampleRate) + " Hz"};
        // The library's default channel map counts a single channel once.
        const int mode =
            EBUR128_MODE_I | (truePeak ? EBUR128_MODE_TRUE_PEAK : EBUR128_MODE_SAMPLE_PEAK);
        state_.reset(
            ebur128_init(unsigned(channels), static_cast<unsigned long>(sampleRate), mode));
        if (!state_)
            return Reason{Reason::Code::MeterFailed, {}};
        channels_ = channels;
        truePeak_ = truePeak;
        return std::nullopt;
    }

    std::optional<Reason> add(const float *samples, std::size_t frames) override
    {
        if (ebur128_add_frames_float(state_.get(), samples, frames) != EBUR128_SUCCESS)
            return Reason{Reason::Code::MeterFailed, {}};
        return std::nullopt;
    }

    Loudness result() override
    {
        Loudness loudness;
        loudness.lufs = -std::numeric_limits<double>::infinity();
        double lufs = 0;
        if (ebur128_loudness_global(state_.get(), &lufs) == EBUR128_SUCCESS)
            loudness.lufs = lufs;
        loudness.samplePeak = decibels(peakOf(ebur128_sample_peak));
        loudness.truePeakMeasured = truePeak_;
        loudness.truePeak = truePeak_ ? decibels(peakOf(ebur128_true_peak))
                                      : loudness.samplePeak + Loudness::intersampleMargin;
        return loudness;
    }

  private:
    using PeakOfChannel = int (*)(ebur128_state *, unsigned int, double *);

    // The highest of every channel's, as a factor of full scale.
    double peakOf(PeakOfChannel peakOfChannel) const
    {
        double peak = 0;
        for (int channel = 0; channel < channels_; ++channel) {
            double channelPeak = 0;
            if (peakOfChannel(state_.get(), unsigned(channel), &channelPeak) == EBUR128_SUCCESS)
                peak = std::max(peak, channelPeak);
        }
        return peak;
    }

    std::unique_ptr<ebur128_state, StateDestroy> state_;
    int channels_ = 0;
    bool truePeak_ = true;
};

} // namespace

std::unique_ptr<LoudnessMeter> makeEbur128Meter()
{
    return std::make_unique<Ebur128Meter>();
}

} // namespace core
