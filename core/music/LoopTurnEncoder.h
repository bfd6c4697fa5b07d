// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "music/AudioCodecs.h"
#include "music/SeamFraming.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace core {

// Encodes one turn of a loop for a game that decodes the file every sample and plays it again
// from its start: what it writes runs on from its last sample into its first as the music
// does. The encoder is given the loop running across its seam (the turn's end, the turn, its
// start again), in frames that each decode on their own, and one turn of whole frames is kept
// from the middle. A decoder starting afresh at each turn is then all the seam holds: its
// synthesis has no samples before the first frame's to start from, so the turn's first
// milliseconds rise from silence as its filters fill; a first frame in long blocks rises
// soonest. The turn's end is faded down into that silence, as fast as its own music moves,
// so that it does not drop into it with a click.
class LoopTurnEncoder : public Mp3Encoder
{
  public:
    // The two encoders are alike: one for the turn, one for its first frames in long blocks.
    // leadIn: the turn's last framing.leadIn() frames, interleaved, as the encoder is to take
    // them (gained); fewer where the turn is shorter: the turn's end is its whole.
    LoopTurnEncoder(std::unique_ptr<Mp3Encoder> encoder, std::unique_ptr<Mp3Encoder> startEncoder,
                    const SeamFraming &framing, std::vector<float> leadIn);

    // Frames each decoding on their own, whatever the framing asked.
    std::optional<Reason> start(int sampleRate, int channels, int kbps,
                                Framing framing = Framing::Gapless) override;
    // Takes the turn's samples in order; out is left as it is until finish.
    std::optional<Reason> encode(const float *samples, std::size_t frames,
                                 std::string &out) override;
    // Appends the turn's frames: as many whole frames as the turn's length rounds to.
    std::optional<Reason> finish(std::string &out) override;
    int lowpassHz() const override { return turn_.encoder->lowpassHz(); }
    // The turn's first sample is the file's first.
    int delayFrames() const override { return 0; }

  private:
    // One encoder's run over the stretch: the lead-in, the turn, its start again.
    struct Stretch
    {
        std::unique_ptr<Mp3Encoder> encoder;
        std::string bytes;
        std::size_t taken = 0; // frames of samples
        std::size_t wanted = 0;

        std::optional<Reason> take(const float *samples, std::size_t frames);
        // Where each whole frame starts, and its end last.
        std::vector<std::size_t> frameStarts(std::size_t frameBytes) const;
    };

    std::size_t tailFrames() const;
    // The turn's last frames, held back from the encoders to be faded.
    std::size_t heldFrames() const;
    // Fades the end of what is held down to silence over as many frames as keep each step
    // within the largest step of the music before it, from 1 ms to 5 ms; returns them.
    std::size_t fadeEnd();
    // The gain of the fade's frame at, counted from its start.
    static float fadeGain(std::size_t at, std::size_t fade);
    void scale(std::vector<float> &samples, std::size_t frame, float gain) const;
    // The turn's part repeated as the loop repeats it, count frames of it.
    std::vector<float> repeated(const std::vector<float> &turnPart, std::size_t count) const;
    std::vector<float> leadIn() const;
    std::optional<Reason> take(const float *samples, std::size_t frames);
    // How many of the turn's first frames come from the start encoder: up to where the turn
    // encoder's frames begin in a long window, as the start encoder's end.
    std::size_t startFrames(const std::vector<std::size_t> &turnStarts, std::size_t kept) const;

    Stretch turn_;
    Stretch start_;
    SeamFraming framing_;
    std::vector<float> leadIn_;
    std::size_t channels_ = 2;
    std::size_t frameBytes_ = 0; // without padding
    std::size_t turnFrames_ = 0;
    bool ledIn_ = false;
    std::vector<float> turnStart_; // the turn's first frames, for after its end
    std::vector<float> held_;
};

} // namespace core
