// SPDX-License-Identifier: GPL-3.0-or-later
// The one place that speaks to LAME: constant bit rate MP3, algorithm quality 3, no tags
// but the encoder's own information frame, which players use to drop its delay; or for a
// loop's turn, frames alone that each decode on their own.
#include "music/AudioCodecs.h"

#include <lame/lame.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace core {

namespace {

constexpr int algorithmQuality = 3;

struct LameClose
{
    void operator()(lame_global_flags *flags) const { lame_close(flags); }
};

class LameEncoder : public Mp3Encoder
{
  public:
    std::optional<Reason> start(int sampleRate, int channels, int kbps,
                                Framing framing = Framing::Gapless) override
    {
        flags_.reset(lame_init());
        if (!flags_)
            return Reason{Reason::Code::EncoderFailed, {}};
        lame_global_flags *f = flags_.get();
        lame_set_in_samplerate(f, sampleRate);
        lame_set_out_samplerate(f, sampleRate);
        lame_set_num_channels(f, channels);
        lame_set_mode(f, channels == 1 ? MONO : JOINT_STEREO);
        lame_set_VBR(f, vbr_off);
        lame_set_brate(f, kbps);
        lame_set_quality(f, algorithmQuality);
        lame_set_write_id3tag_automatic(f, 0);
        lame_set_bWriteVbrTag(f, framing == Framing::Gapless ? 1 : 0);
        lame_set_disable_reservoir(f, framing == Framing::Gapless ? 0 : 1);
        lame_set_no_short_blocks(f, framing == Framing::SelfContainedLongBlocks ? 1 : 0);
        if (lame_init_params(f) < 0)
            return Reason{Reason::Code::EncoderFailed,
                          std::to_string(sampleRate) + " Hz, " + std::to_string(kbps) + " kbit/s"};
        channels_ = channels;
        return std::nullopt;
    }

    std::optional<Reason> encode(const float *samples, std::size_t frames,
                                 std::string &out) override
    {
        samples = bounded(samples, frames * std::size_t(channels_));
        // LAME reads interleaved samples in pairs; mono goes through its one-channel entry.
        buffer_.resize(frames + frames / 4 + 7200);
        int written = 0;
        if (channels_ == 1) {
            written = lame_encode_buffer_ieee_float(flags_.get(), samples, samples, int(frames),
                                                    buffer_.data(), int(buffer_.size()));
        } else {
            written = lame_encode_buffer_interleaved_ieee_float(
                flags_.get(), samples, int(frames), buffer_.data(), int(buffer_.size()));
        }
        if (written < 0)
            return Reason{Reason::Code::EncoderFailed, std::to_string(written)};
        firstFrameAt_ = firstFrameAt_ < 0 ? std::ptrdiff_t(out.size()) : firstFrameAt_;
        out.append(reinterpret_cast<const char *>(buffer_.data()), std::size_t(written));
        return std::nullopt;
    }

    std::optional<Reason> finish(std::string &out) override
    {
        buffer_.resize(7200);
        const int written = lame_encode_flush(flags_.get(), buffer_.data(), int(buffer_.size()));
        if (written < 0)
            return Reason{Reason::Code::EncoderFailed, std::to_string(written)};
        out.append(reinterpret_cast<const char *>(buffer_.data()), std::size_t(written));
        // The information frame LAME reserved at the start now gets its numbers.
        std::vector<unsigned char> tag(8192);
        const std::size_t size = lame_get_lametag_frame(flags_.get(), tag.data(), tag.size());
        const std::size_t at = firstFrameAt_ < 0 ? 0 : std::size_t(firstFrameAt_);
        if (size > 0 && at + size <= out.size())
            out.replace(at, size, reinterpret_cast<const char *>(tag.data()), size);
        return std::nullopt;
    }

    int lowpassHz() const override
    {
        const int lowpass = flags_ ? lame_get_lowpassfreq(flags_.get()) : 0;
        return lowpass > 0 ? lowpass : 0;
    }

    int delayFrames() const override { return flags_ ? lame_get_encoder_delay(flags_.get()) : 0; }

  private:
    // The samples as LAME takes them, held as a decoder holds them: its assertions end the
    // program. A copy only where any is past the largest sample.
    const float *bounded(const float *samples, std::size_t count)
    {
        if (AudioDecoder::isBounded(samples, count))
            return samples;
        bounded_.assign(samples, samples + count);
        AudioDecoder::bound(bounded_.data(), count);
        return bounded_.data();
    }

    std::unique_ptr<lame_global_flags, LameClose> flags_;
    std::vector<float> bounded_;
    std::vector<unsigned char> buffer_;
    int channels_ = 2;
    std::ptrdiff_t firstFrameAt_ = -1;
};

} // namespace

std::unique_ptr<Mp3Encoder> makeLameEncoder()
{
    return std::make_unique<LameEncoder>();
}

} // namespace core
