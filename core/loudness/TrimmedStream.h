// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "loudness/SilenceGate.h"
#include "music/AudioCodecs.h"
#include "music/DecodedStage.h"
#include "music/PickFit.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace core {

// Passes on decoded music without the silence at its ends while the music is read once. It
// is given where the music starts to sound at the gate's floor; the gate it keeps hears the
// whole music, and what follows the last stretch known to sound at the floor is held back
// until more sound follows or the music ends, when the gate's exact ends are known. It
// refuses at the end where what it passed on is not the exact part: where the exact start is
// not the start given (a quiet pick, whose gate lies under the floor, or a pick changed since
// its start was found), or the exact end in what it had to pass on because holding it back
// grew too long.
class TrimmedStream : public DecodedStage
{
  public:
    TrimmedStream(int sampleRate, int channels, std::int64_t start, std::int64_t mostHeld,
                  AudioDecoder::Sink sink);

    bool add(const float *samples, std::size_t frames) override;
    bool finish() override;
    // Whether finish() passed on the exact part.
    bool isWritten() const { return written_; }
    // Where it did not: what of the music is to be written.
    PickFit exactFit() const { return withoutSilence(gate_); }

    // The music the gate heard without the silence at its ends; whole where it never sounds.
    static PickFit withoutSilence(const SilenceGate &gate);

  private:
    bool passOn(std::int64_t upTo);

    SilenceGate gate_;
    std::size_t channels_;
    std::int64_t start_;
    std::int64_t mostHeld_;
    AudioDecoder::Sink sink_;
    std::int64_t heard_ = 0;
    std::int64_t passedOnTo_;
    // From passedOnTo_ to heard_ after what was passed on before it, which is dropped only
    // once it is the larger part: no more is moved than is passed on.
    std::vector<float> held_;
    std::size_t passedOnInHeld_ = 0;
    bool written_ = false;
};

} // namespace core
