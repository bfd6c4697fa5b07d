// SPDX-License-Identifier: GPL-3.0-or-later
// The audio module's entry: its decoder and encoder.
#include "AudioCodecs.h"

namespace core {

std::unique_ptr<AudioDecoder> makeFfmpegDecoder();
std::unique_ptr<Mp3Encoder> makeLameEncoder();

const AudioCodecs &AudioCodecs::builtIn()
{
    static const AudioCodecs codecs{makeFfmpegDecoder, makeLameEncoder};
    return codecs;
}

#ifdef _WIN32
// Linked into the program: no module to load.
const AudioCodecs *AudioCodecs::get(std::string *)
{
    return &builtIn();
}
#endif

} // namespace core

extern "C" const core::AudioCodecs *vmc_audio_codecs()
{
    return &core::AudioCodecs::builtIn();
}
