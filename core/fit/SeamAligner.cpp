// SPDX-License-Identifier: GPL-3.0-or-later
#include "fit/SeamAligner.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace core {

namespace {

constexpr double windowSeconds = 0.25;
// The coarse search compares averages at about this rate: enough for the shape of a beat.
constexpr int coarseRate = 8000;

// How much of a is in b: their product over b's level, so that a louder b does not win.
double likeness(const float *a, const float *b, std::size_t count)
{
    double product = 0;
    double energy = 0;
    for (std::size_t i = 0; i < count; ++i) {
        product += double(a[i]) * b[i];
        energy += double(b[i]) * b[i];
    }
    return energy > 0 ? product / std::sqrt(energy) : 0;
}

} // namespace

std::vector<float> boxAveraged(std::span<const float> samples, std::size_t step)
{
    std::vector<float> averaged(samples.size() / step);
    for (std::size_t i = 0; i < averaged.size(); ++i) {
        float sum = 0;
        for (std::size_t j = 0; j < step; ++j)
            sum += samples[i * step + j];
        averaged[i] = sum / float(step);
    }
    return averaged;
}

SeamAligner::SeamAligner(std::span<const float> mono, int sampleRate, double reachSeconds)
    : mono_(mono), reach_(std::size_t(reachSeconds * sampleRate)),
      window_(std::size_t(windowSeconds * sampleRate)),
      coarseStep_(std::size_t(std::max(1, sampleRate / coarseRate)))
{
}

std::size_t SeamAligner::alignedEnd(std::size_t start, std::size_t end) const
{
    if (mono_.size() < window_ || start + window_ > mono_.size())
        return end;
    const std::size_t from = std::max(start + 1, end > reach_ ? end - reach_ : 0);
    const std::size_t to = std::min(end + reach_, mono_.size() - window_);
    if (from > to)
        return end;
    const std::size_t coarse = coarseEnd(start, from, to);
    const std::size_t margin = 2 * coarseStep_;
    return fineEnd(start, std::max(from, coarse > margin ? coarse - margin : 0),
                   std::min(to, coarse + margin));
}

std::size_t SeamAligner::coarseEnd(std::size_t start, std::size_t from, std::size_t to) const
{
    const std::vector<float> heardAfterStart =
        boxAveraged(mono_.subspan(start, window_), coarseStep_);
    const std::vector<float> around =
        boxAveraged(mono_.subspan(from, to - from + window_), coarseStep_);
    std::size_t best = 0;
    double bestLikeness = -HUGE_VAL;
    for (std::size_t at = 0; at + heardAfterStart.size() <= around.size(); ++at) {
        const double alike =
            likeness(heardAfterStart.data(), around.data() + at, heardAfterStart.size());
        if (alike > bestLikeness) {
            bestLikeness = alike;
            best = at;
        }
    }
    return from + best * coarseStep_;
}

std::size_t SeamAligner::fineEnd(std::size_t start, std::size_t from, std::size_t to) const
{
    std::size_t best = from;
    double bestLikeness = -HUGE_VAL;
    for (std::size_t end = from; end <= to; ++end) {
        const double alike = likeness(mono_.data() + start, mono_.data() + end, window_);
        if (alike > bestLikeness) {
            bestLikeness = alike;
            best = end;
        }
    }
    return best;
}

} // namespace core
