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
    if (!encoder || encoder->start(settings.sampleRate, settings.channels, settings.kbps))
        return {settings.sampleRate, -1};
    return {settings.sampleRate, encoder->delayFrames()};
}

PickFit SeamFraming::framed(const PickFit &fit) const
{
    if (fit.crossfade <= 0 || !fit.end || encoderDelay_ < 0)
        return fit;
    const std::int64_t loop = *fit.end - fit.start;
    const std::int64_t frame = frameSize();
    // Two frames at the least: one would be all delay.
    const std::int64_t frames = std::max<std::int64_t>(2, std::llround(double(loop) / frame));
    const std::int64_t written = std::min(frames * frame - deadAir(), loop);
    if (written <= fit.crossfade)
        return fit;
    PickFit framed = fit;
    framed.end = fit.start + written;
    framed.fadeIn = std::min(fit.fadeIn, written);
    framed.fadeOut = std::min(fit.fadeOut, written - framed.fadeIn);
    return framed;
}

} // namespace core
