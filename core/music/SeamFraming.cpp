// SPDX-License-Identifier: GPL-3.0-or-later
#include "music/SeamFraming.h"

#include <algorithm>
#include <cmath>

namespace core {

SeamFraming::SeamFraming(int sampleRate, int encoderDelay)
    : sampleRate_(sampleRate), encoderDelay_(encoderDelay)
{
}

SeamFraming SeamFraming::forEncoder(const AudioCodecs &codecs, const Mp3Settings &settings)
{
    // A build that reads MP3 only has no encoder, and writes nothing to frame.
    const std::unique_ptr<Mp3Encoder> encoder = codecs.makeEncoder ? codecs.makeEncoder() : nullptr;
    if (!encoder || encoder->start(settings.sampleRate, settings.channels, settings.kbps,
                                   Mp3Encoder::Framing::SelfContained))
        return {settings.sampleRate, -1};
    return {settings.sampleRate, encoder->delayFrames()};
}

PickFit SeamFraming::framed(const PickFit &fit, std::optional<std::int64_t> pickFrames) const
{
    if (!fit.isFoundLoop() || !fit.end || encoderDelay_ < 0)
        return fit;
    const std::int64_t loop = *fit.end - fit.start;
    const std::int64_t frame = frameSize();
    std::int64_t frames = std::llround(double(loop) / frame);
    // Past the pick's end there is no music to play.
    if (pickFrames && fit.start + frames * frame > *pickFrames)
        frames = (*pickFrames - fit.start) / frame;
    const std::int64_t turn = frames * frame;
    // A stream of one frame is none to a demuxer that finds a frame by the next.
    if (frames < 2 || turn <= fit.crossfade)
        return fit;
    PickFit framed = fit;
    framed.end = fit.start + turn;
    framed.fadeIn = std::min(fit.fadeIn, turn);
    framed.fadeOut = std::min(fit.fadeOut, turn - framed.fadeIn);
    return framed;
}

bool SeamFraming::turns(const PickFit &fit) const
{
    return fit.isFoundLoop() && fit.end && encoderDelay_ >= 0 &&
           *fit.end - fit.start > fit.crossfade && (*fit.end - fit.start) % frameSize() == 0;
}

int SeamFraming::firstKeptFrame() const
{
    // Rounded up: at least a frame of the turn's end goes before its start.
    return (startDelay() + 2 * frameSize() - 1) / frameSize();
}

} // namespace core
