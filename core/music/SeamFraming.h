// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "music/MusicConverter.h"
#include "music/PickFit.h"

#include <cstdint>

namespace core {

// Where the written file of a loop turns as the game plays it. Its decoder keeps what the
// encoder's information frame says to drop: each turn opens with the encoder's delay and its
// own as silence and closes with the encoder's padding, which runs to a whole MP3 frame and is
// a granule at the least. A seam's part is made as long as leaves the least padding, so that a
// turn lasts whole frames, as near the loop's length as frames allow, with the least silence.
class SeamFraming
{
  public:
    // The encoder pads at least a granule after the last sample, for the decoder's overlap
    // to finish. The decoder's own delay, 529 frames, moves that much of it to the turn's
    // start: no length is lost or gained by it.
    static constexpr int leastPadding = 576;

    // encoderDelay: negative where unknown; fits are then left as they are.
    SeamFraming(int sampleRate, int encoderDelay);
    // As the encoder the settings make it with tells its delay.
    static SeamFraming forEncoder(const AudioCodecs &codecs, const Mp3Settings &settings);

    int sampleRate() const { return sampleRate_; }
    // Samples in an MP3 frame: 1152 at 32 kHz and above, 576 below.
    int frameSize() const { return sampleRate_ >= 32000 ? 1152 : 576; }
    // What a turn holds besides the written frames where the padding is the least.
    int deadAir() const { return encoderDelay_ + leastPadding; }
    // The fit, at this rate, with the end of its seam brought in to the length that turns in
    // whole frames; a fit without a seam as it is.
    PickFit framed(const PickFit &fit) const;

  private:
    int sampleRate_;
    int encoderDelay_;
};

} // namespace core
