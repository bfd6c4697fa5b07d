// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "music/AudioCodecs.h"
#include "music/DecodedStage.h"
#include "music/PickFit.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace core {

// Passes on, of decoded blocks, what a fit keeps: its part from start to end, faded, with the
// music before the start crossfaded into the end. The fit is in frames at the decoded rate;
// fades and crossfade at the end take effect only where the fit gives its end.
class FittedStream : public DecodedStage
{
  public:
    FittedStream(const PickFit &fit, int channels, AudioDecoder::Sink sink);

    // Takes the decoder's next block; false once the fit's end is passed or the sink refused.
    bool add(const float *samples, std::size_t frames) override;

  private:
    // The samples of position's frame, shaped by the fades and the crossfade.
    void shape(float *frame, std::int64_t position) const;
    bool shapes(std::int64_t from, std::int64_t to) const;
    void keepBeforeStart(const float *samples, std::int64_t blockStart, std::int64_t blockEnd);

    PickFit fit_;
    std::size_t channels_;
    AudioDecoder::Sink sink_;
    std::int64_t position_ = 0;
    std::vector<float> beforeStart_; // the crossfade's frames just before the start
    std::vector<float> shaped_;
};

} // namespace core
