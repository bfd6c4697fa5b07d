// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <span>
#include <vector>

namespace core {

// The beat period of music from its onset strength: the lag at which the envelope best
// repeats itself, leaning towards a moderate tempo where several lags repeat about as well.
class TempoEstimator
{
  public:
    explicit TempoEstimator(double framesPerSecond);

    // The onset strength with its slow swells taken out: what repeats at the beat.
    std::vector<float> pulse(std::span<const float> onsetStrength) const;
    // Frames from one beat to the next, or nothing where the music has no steady pulse.
    std::optional<double> beatPeriod(std::span<const float> onsetStrength) const;

  private:
    std::vector<double> autocorrelation(std::span<const float> pulse, std::size_t longestLag) const;
    double tempoPreference(double lag) const;

    double framesPerSecond_;
};

} // namespace core
