// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "music/MusicConverter.h"
#include "music/PickFit.h"

#include <cstdint>
#include <optional>

namespace core {

// How the written file of a loop turns as the game plays it: decoded every sample, every
// frame's, from the first to the last, and again. A turn is whole MP3 frames of the loop's
// music alone, as near the loop's length as frames allow: encoded as one stretch of the loop
// running on across its seam, from which one turn of frames is kept (LoopTurnEncoder).
class SeamFraming
{
  public:
    // What the decoder's synthesis adds to the encoder's delay: a frame's samples come out
    // this much after the encoder took them.
    static constexpr int decoderDelay = 529;

    // encoderDelay: negative where unknown; fits are then left as they are.
    SeamFraming(int sampleRate, int encoderDelay);
    // As the encoder the settings make it with tells its delay.
    static SeamFraming forEncoder(const AudioCodecs &codecs, const Mp3Settings &settings);

    int sampleRate() const { return sampleRate_; }
    // Samples in an MP3 frame: 1152 at 32 kHz and above, 576 below.
    int frameSize() const { return sampleRate_ >= 32000 ? 1152 : 576; }
    // The fit, at this rate, with the end of its seam moved to the nearest length of whole
    // frames, never past the pick's end where known; a fit without a seam as it is.
    PickFit framed(const PickFit &fit, std::optional<std::int64_t> pickFrames = {}) const;
    // Whether the fit, framed, is written as a loop's turn.
    bool turns(const PickFit &fit) const;

    // The first frame of the encoded stretch that is kept: the first whose samples the
    // decoder gives all from the turn's own music, with a frame of it before to encode from.
    int firstKeptFrame() const;
    // The frames of the turn's end that lead the stretch into the turn's start.
    int leadIn() const { return firstKeptFrame() * frameSize() - startDelay(); }

  private:
    int startDelay() const { return encoderDelay_ + decoderDelay; }

    int sampleRate_;
    int encoderDelay_;
};

} // namespace core
