// SPDX-License-Identifier: GPL-3.0-or-later
// The one place that speaks to libebur128: integrated loudness and true peak.
#include "AudioCodecs.h"

#include <ebur128.h>

#include <cmath>
#include <limits>
#include <memory>

namespace core {

namespace {

struct StateDestroy
{
    void operator()(ebur128_state *state) const { ebur128_destroy(&state); }
};

class Ebur128Meter : public LoudnessMeter
{
  public:
    std::optional<std::string> start(int sampleRate, int channels) override
    {
        if (sampleRate <= 0 || channels <= 0)
            return std::string("the loudness meter takes no music of ") + std::to_string(channels) +
                   " channels at " + std::to_string(sampleRate) + " Hz";
        state_.reset(ebur128_init(unsigned(channels), static_cast<unsigned long>(sampleRate),
                                  EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK));
        if (!state_)
            return std::string("the loudness meter cannot start");
        channels_ = channels;
        return std::nullopt;
    }

    std::optional<std::string> add(const float *samples, std::size_t frames) override
    {
        if (ebur128_add_frames_float(state_.get(), samples, frames) != EBUR128_SUCCESS)
            return std::string("the loudness meter failed");
        return std::nullopt;
    }

    Loudness result() override
    {
        Loudness loudness;
        loudness.lufs = -std::numeric_limits<double>::infinity();
        loudness.truePeak = -std::numeric_limits<double>::infinity();
        double lufs = 0;
        if (ebur128_loudness_global(state_.get(), &lufs) == EBUR128_SUCCESS)
            loudness.lufs = lufs;
        double peak = 0;
        for (int channel = 0; channel < channels_; ++channel) {
            double channelPeak = 0;
            if (ebur128_true_peak(state_.get(), unsigned(channel), &channelPeak) == EBUR128_SUCCESS)
                peak = std::max(peak, channelPeak);
        }
        if (peak > 0)
            loudness.truePeak = 20 * std::log10(peak);
        return loudness;
    }

  private:
    std::unique_ptr<ebur128_state, StateDestroy> state_;
    int channels_ = 0;
};

} // namespace

std::unique_ptr<LoudnessMeter> makeEbur128Meter()
{
    return std::make_unique<Ebur128Meter>();
}

} // namespace core
