// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <vector>

namespace loopset {

// What the judge found of one loop. A side is the music before both ends or after them;
// a side with under a second of music beside either end is not judged (NaN).
struct Verdict
{
    double waveBefore = 0;
    double waveAfter = 0;
    double contextBefore = 0;
    double contextAfter = 0;
    // A loop of the whole track, end to start, has no sides: only its join is judged.
    bool whole = false;
    double joinChange = 0;    // the join's change over the track's own at the 80th percentile
    double joinLevelStep = 0; // dB between the half seconds either side of the join
    double joinQuietness = 0; // dB the quieter half second lies under the track's median
    bool good = false;
};

// The outside judge of a loop from start to end, fixed before the loop finder was tuned.
// It shares no code with the program. On mono music at 22.05 kHz:
//  - wave: the best normalised correlation, the end shifted within +-50 ms, of the 3 s before
//    the start against the 3 s before the end, and of the 3 s after each;
//  - context: the mean distance of 40-band log-mel frames (1024 samples, about 46 ms, each
//    band standardised over the track) over the 4 s before the start against the 4 s before
//    the end, and over the 4 s after each, over the track's median distance between two
//    random frames: 0 for the same music, about 1 for two random moments.
// A loop is good when both waves are at least 0.5, or when the nearer context is at most 0.45,
// the other at most 0.6 and one wave at least 0.3. A side cut short by the track's start or
// end is judged on what there is; where one side has under a second, the other alone must
// have a wave of at least 0.5 and a context of at most 0.45.
// A loop with neither side (the whole track end to start) is good when its join is no bigger
// a change of the mean log-mel second than 80% of the track's own seconds are, the half
// seconds either side of the join are within 4 dB of each other, and neither lies more than
// 12 dB under the track's median half second: no fade, no hole, no jump.
class LoopJudge
{
  public:
    static constexpr int rate = 22050;
    static constexpr std::size_t bands = 40;
    static constexpr std::size_t frameSamples = 1024;
    using Frame = std::array<float, bands>;

    explicit LoopJudge(std::vector<float> mono);

    Verdict judge(std::size_t start, std::size_t end) const;

    // The track's frames one after another, standardised: for a search of its own.
    const std::vector<Frame> &frames() const { return frames_; }
    double medianDistance() const { return medianDistance_; }
    std::size_t size() const { return mono_.size(); }
    static double distance(const Frame &a, const Frame &b);

  private:
    Frame frameAt(std::size_t sample) const;
    double wave(std::size_t fromA, std::size_t fromB, std::size_t length) const;
    double context(std::size_t fromA, std::size_t fromB, std::size_t count) const;
    void judgeSides(std::size_t start, std::size_t end, Verdict &verdict) const;
    void judgeJoin(std::size_t start, std::size_t end, Verdict &verdict) const;
    Frame meanFrame(std::size_t from, std::size_t count) const;
    double levelDecibels(std::size_t from, std::size_t length) const;
    void buildMelBank();
    void standardiseFrames();
    void measureTrack();

    std::vector<float> mono_;
    std::vector<float> window_;
    std::vector<std::vector<std::pair<std::size_t, float>>> melBank_;
    Frame bandMean_{};
    Frame bandSpread_{};
    std::vector<Frame> frames_;
    double medianDistance_ = 1;
    double ownChange80_ = 1;
    double medianLevel_ = 0;
};

} // namespace loopset
