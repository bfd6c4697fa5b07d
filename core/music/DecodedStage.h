// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>

namespace core {

// What stands between a decoder and an encoder: given the decoded blocks in order, it passes
// on to the sink it was made with what of the music is written.
class DecodedStage
{
  public:
    virtual ~DecodedStage() = default;
    // Takes the decoder's next block; false where no more is wanted.
    virtual bool add(const float *samples, std::size_t frames) = 0;
    // At the music's end: passes on what is still held back; false where what was passed on
    // is not what is to be written after all, and nothing is to be written.
    virtual bool finish() { return true; }
};

} // namespace core
