// SPDX-License-Identifier: GPL-3.0-or-later
// The audio module's entry: its decoder, encoder, player, meter and transform.
#include "music/AudioCodecs.h"

#ifdef VMC_HAVE_PLAYBACK
// The sound output, from the listening code linked into the module.
std::unique_ptr<core::AudioPlayer> makeSinkPlayer();
#endif

namespace core {

std::unique_ptr<AudioDecoder> makeFfmpegDecoder();
std::unique_ptr<Mp3Encoder> makeLameEncoder();
std::unique_ptr<LoudnessMeter> makeEbur128Meter();
std::unique_ptr<RealTransform> makeFfmpegRealTransform(int size);

const AudioCodecs &AudioCodecs::builtIn()
{
#ifdef VMC_HAVE_PLAYBACK
    static const AudioCodecs codecs{makeFfmpegDecoder, makeLameEncoder, makeSinkPlayer,
                                    makeEbur128Meter, makeFfmpegRealTransform};
#else
    static const AudioCodecs codecs{makeFfmpegDecoder, makeLameEncoder, nullptr, makeEbur128Meter,
                                    makeFfmpegRealTransform};
#endif
    return codecs;
}

#ifdef _WIN32
// Linked into the program: no module to load.
const AudioCodecs *AudioCodecs::get(Reason *)
{
    return &builtIn();
}
#endif

} // namespace core

extern "C" const core::AudioCodecs *vmc_audio_codecs()
{
    return &core::AudioCodecs::builtIn();
}
