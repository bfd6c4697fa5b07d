// SPDX-License-Identifier: GPL-3.0-or-later
// FFmpeg's real FFT, for the analysis that finds a loop in a pick.
#include "music/AudioCodecs.h"

extern "C" {
#include <libavutil/mem.h>
#include <libavutil/tx.h>
}

#include <algorithm>
#include <cstring>
#include <memory>

namespace core {

namespace {

struct ContextFree
{
    void operator()(AVTXContext *context) const { av_tx_uninit(&context); }
};

struct BufferFree
{
    void operator()(void *buffer) const { av_free(buffer); }
};

template <typename T> std::unique_ptr<T[], BufferFree> alignedBuffer(std::size_t count)
{
    return std::unique_ptr<T[], BufferFree>(static_cast<T *>(av_malloc(count * sizeof(T))));
}

class FfmpegRealTransform : public RealTransform
{
  public:
    FfmpegRealTransform(AVTXContext *context, av_tx_fn transform, int size)
        : context_(context), transform_(transform), size_(size),
          // The transform may use its input as scratch; it gets a copy.
          input_(alignedBuffer<float>(std::size_t(size) + 2)),
          output_(alignedBuffer<AVComplexFloat>(std::size_t(size) / 2 + 2))
    {
    }

    bool ready() const { return input_ && output_; }
    int size() const override { return size_; }

    void forward(const float *in, std::complex<float> *out) override
    {
        std::memcpy(input_.get(), in, std::size_t(size_) * sizeof(float));
        const std::size_t bins = std::size_t(size_) / 2 + 1;
        std::memset(output_.get(), 0, bins * sizeof(AVComplexFloat));
        transform_(context_.get(), output_.get(), input_.get(), sizeof(float));
        for (std::size_t bin = 0; bin < bins; ++bin)
            out[bin] = {output_[bin].re, output_[bin].im};
        // Of a real signal these two are real; the library leaves their imaginary parts
        // unwritten.
        out[0].imag(0);
        out[bins - 1].imag(0);
    }

  private:
    std::unique_ptr<AVTXContext, ContextFree> context_;
    av_tx_fn transform_;
    int size_;
    std::unique_ptr<float[], BufferFree> input_;
    std::unique_ptr<AVComplexFloat[], BufferFree> output_;
};

} // namespace

std::unique_ptr<RealTransform> makeFfmpegRealTransform(int size)
{
    if (size < 4 || size % 2 != 0)
        return nullptr;
    AVTXContext *context = nullptr;
    av_tx_fn transform = nullptr;
    const float scale = 1.0f;
    if (av_tx_init(&context, &transform, AV_TX_FLOAT_RDFT, 0, size, &scale, 0) < 0 || !context)
        return nullptr;
    auto made = std::make_unique<FfmpegRealTransform>(context, transform, size);
    if (!made->ready())
        return nullptr;
    return made;
}

} // namespace core
