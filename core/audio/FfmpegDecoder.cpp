// SPDX-License-Identifier: GPL-3.0-or-later
// The one place that speaks to FFmpeg: music of every format the program reads, opened only
// through the program's own read callback.
#include "audio/Mp3Gain.h"
#include "music/AudioCodecs.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avstring.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <array>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>

namespace core {

namespace {

// The demuxers and decoders of the formats players keep music in; nothing else is reachable.
constexpr char formatWhitelist[] = "mp3,flac,ogg,mov,wav,aiff,asf,matroska";
constexpr char codecWhitelist[] =
    "mp3,mp3float,flac,vorbis,opus,aac,alac,wmav1,wmav2,pcm_s16le,pcm_s16be,pcm_s24le,"
    "pcm_s24be,pcm_s32le,pcm_s32be,pcm_f32le,pcm_f32be,pcm_u8,pcm_s8";
constexpr int64_t probeBytes = 4 << 20;
// Longer than any piece of music: a file claiming more is read for this much at the most.
constexpr double longestSeconds = 4 * 3600;
constexpr int ioBufferSize = 64 * 1024;
// No single allocation a damaged file asks for may be larger: real music never needs it.
constexpr std::size_t largestAllocation = 64 << 20;

struct FormatClose
{
    void operator()(AVFormatContext *context) const { avformat_close_input(&context); }
};
struct IoFree
{
    void operator()(AVIOContext *io) const
    {
        av_freep(&io->buffer);
        avio_context_free(&io);
    }
};
struct CodecFree
{
    void operator()(AVCodecContext *context) const { avcodec_free_context(&context); }
};
struct ResamplerFree
{
    void operator()(SwrContext *context) const { swr_free(&context); }
};
struct PacketFree
{
    void operator()(AVPacket *packet) const { av_packet_free(&packet); }
};
struct FrameFree
{
    void operator()(AVFrame *frame) const { av_frame_free(&frame); }
};

// One open file, read through the program's file system seam.
class Input
{
  public:
    explicit Input(FileSystem &fileSystem) : fileSystem_(fileSystem) {}
    ~Input()
    {
        if (open_)
            fileSystem_.close(handle_);
    }
    Input(const Input &) = delete;
    Input &operator=(const Input &) = delete;

    SystemError open(const std::filesystem::path &path)
    {
        error_ = fileSystem_.openForReading(path, handle_);
        open_ = error_ == 0;
        return error_;
    }
    SystemError error() const { return error_; }
    // Up to size bytes from offset, leaving where the library reads as it was; empty where
    // they cannot be read.
    std::string bytesAt(std::int64_t offset, std::size_t size)
    {
        std::string bytes(size, '\0');
        std::int64_t here = 0;
        std::int64_t position = 0;
        std::size_t got = 0;
        if (fileSystem_.seek(handle_, 0, SEEK_CUR, here) ||
            fileSystem_.seek(handle_, offset, SEEK_SET, position) ||
            fileSystem_.read(handle_, bytes.data(), size, got))
            got = 0;
        bytes.resize(got);
        fileSystem_.seek(handle_, here, SEEK_SET, position);
        return bytes;
    }
    // Nothing read yet: from an opened file, one that is empty.
    bool readAny() const { return readAny_; }

    static int read(void *opaque, uint8_t *buffer, int size)
    {
        auto &input = *static_cast<Input *>(opaque);
        std::size_t got = 0;
        // A failed read is no end of the music: a truncated conversion must not pass as one.
        if (const SystemError error = input.fileSystem_.read(
                input.handle_, reinterpret_cast<char *>(buffer), std::size_t(size), got)) {
            input.error_ = error;
            return AVERROR(EIO);
        }
        input.readAny_ = input.readAny_ || got > 0;
        return got == 0 ? AVERROR_EOF : int(got);
    }

    static int64_t seek(void *opaque, int64_t offset, int whence)
    {
        auto &input = *static_cast<Input *>(opaque);
        std::int64_t position = 0;
        FileSystem &files = input.fileSystem_;
        if (whence == AVSEEK_SIZE) {
            std::int64_t here = 0;
            std::int64_t size = 0;
            if (files.seek(input.handle_, 0, SEEK_CUR, here) ||
                files.seek(input.handle_, 0, SEEK_END, size) ||
                files.seek(input.handle_, here, SEEK_SET, position))
                return -1;
            return size;
        }
        if (files.seek(input.handle_, offset, whence & ~AVSEEK_FORCE, position))
            return -1;
        return position;
    }

  private:
    FileSystem &fileSystem_;
    FileSystem::Handle handle_ = 0;
    bool open_ = false;
    bool readAny_ = false;
    SystemError error_ = 0;
};

// A file asks to open another (a playlist, a reference): always refused.
int refuseNestedOpen(AVFormatContext *, AVIOContext **, const char *, int, AVDictionary **)
{
    return AVERROR(EPERM);
}

// The library's error as a reason, its own words kept as the detail.
Reason describe(Reason::Code code, int error)
{
    std::array<char, AV_ERROR_MAX_STRING_SIZE> text{};
    av_strerror(error, text.data(), text.size());
    return {code, text.data()};
}

std::string formatName(const AVFormatContext &format, const AVCodecParameters &codec)
{
    switch (codec.codec_id) {
    case AV_CODEC_ID_MP3:
        return "MP3";
    case AV_CODEC_ID_FLAC:
        return "FLAC";
    case AV_CODEC_ID_VORBIS:
        return "Ogg Vorbis";
    case AV_CODEC_ID_OPUS:
        return "Opus";
    case AV_CODEC_ID_AAC:
        return "AAC";
    case AV_CODEC_ID_ALAC:
        return "ALAC";
    case AV_CODEC_ID_WMAV1:
    case AV_CODEC_ID_WMAV2:
        return "WMA";
    default:
        break;
    }
    const std::string demuxer = format.iformat->name;
    if (demuxer == "wav")
        return "WAV";
    if (demuxer == "aiff")
        return "AIFF";
    return avcodec_get_name(codec.codec_id);
}

// Whether the container's length counts the frames the decoder delivers.
bool statesDecodedFrames(const AVFormatContext &format, const AVCodecParameters &codec)
{
    const std::string_view demuxer = format.iformat->name;
    const bool pcm =
        codec.codec_id >= AV_CODEC_ID_PCM_S16LE && codec.codec_id < AV_CODEC_ID_ADPCM_IMA_QT;
    switch (codec.codec_id) {
    case AV_CODEC_ID_FLAC:
        return demuxer == "flac";
    case AV_CODEC_ID_VORBIS:
        return demuxer == "ogg";
    default:
        return pcm && (demuxer == "wav" || demuxer == "aiff");
    }
}

// One opened file: its reading, its container and its audio stream.
class OpenedMusic
{
  public:
    explicit OpenedMusic(FileSystem &fileSystem) : input_(fileSystem) {}

    // Nothing on success.
    std::optional<Reason> open(const std::filesystem::path &path)
    {
        if (const SystemError error = input_.open(path))
            return Reason{error == FileSystem::notAFile ? Reason::Code::NotAFile
                                                        : Reason::Code::CannotOpen,
                          {}};
        auto *buffer = static_cast<unsigned char *>(av_malloc(ioBufferSize));
        io_.reset(avio_alloc_context(buffer, ioBufferSize, 0, &input_, Input::read, nullptr,
                                     Input::seek));
        if (!io_) {
            av_free(buffer);
            return Reason{Reason::Code::OutOfMemory, {}};
        }
        AVFormatContext *context = avformat_alloc_context();
        context->pb = io_.get();
        context->flags |= AVFMT_FLAG_CUSTOM_IO;
        context->io_open = refuseNestedOpen;
        AVDictionary *options = nullptr;
        av_dict_set(&options, "format_whitelist", formatWhitelist, 0);
        av_dict_set(&options, "codec_whitelist", codecWhitelist, 0);
        av_dict_set(&options, "protocol_whitelist", "", 0);
        av_dict_set_int(&options, "probesize", probeBytes, 0);
        const int opened = avformat_open_input(&context, nullptr, nullptr, &options);
        av_dict_free(&options);
        if (opened < 0)
            return input_.error()     ? describe(Reason::Code::ReadFailed, opened)
                   : input_.readAny() ? Reason{Reason::Code::NotMusic, {}}
                                      : Reason{Reason::Code::EmptyFile, {}};
        format_.reset(context);
        if (const int error = avformat_find_stream_info(context, nullptr); error < 0)
            return failure(error);
        stream_ = av_find_best_stream(context, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
        if (stream_ < 0)
            return Reason{Reason::Code::NoSound, {}};
        const AVCodecParameters *parameters = context->streams[stream_]->codecpar;
        const AVCodec *decoder = avcodec_find_decoder(parameters->codec_id);
        if (!decoder || !av_match_list(decoder->name, codecWhitelist, ','))
            return Reason{Reason::Code::UnknownSound, avcodec_get_name(parameters->codec_id)};
        codec_.reset(avcodec_alloc_context3(decoder));
        avcodec_parameters_to_context(codec_.get(), parameters);
        if (const int error = avcodec_open2(codec_.get(), decoder, nullptr); error < 0)
            return failure(error);
        return std::nullopt;
    }

    AudioInfo info()
    {
        const AVStream &stream = *format_->streams[stream_];
        AudioInfo info;
        info.format = formatName(*format_, *stream.codecpar);
        info.isMp3 = stream.codecpar->codec_id == AV_CODEC_ID_MP3 &&
                     std::string_view(format_->iformat->name) == "mp3";
        info.sampleRate = stream.codecpar->sample_rate;
        info.channels = stream.codecpar->ch_layout.nb_channels;
        if (stream.duration > 0)
            info.seconds = double(stream.duration) * av_q2d(stream.time_base);
        else if (format_->duration > 0)
            info.seconds = double(format_->duration) / AV_TIME_BASE;
        // Every other way counts the frames or reads them from the file's own header, where
        // the encoder's delay and padding and the container's rounding may still be counted.
        info.lengthEstimated = format_->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE;
        info.lengthExact = !info.lengthEstimated && statesDecodedFrames(*format_, *stream.codecpar);
        if (stream.codecpar->codec_id == AV_CODEC_ID_MP3 && !info.lengthEstimated &&
            info.sampleRate > 0) {
            // Its stated length holds the encoder's delay and padding, its decoding does not:
            // the tag is taken where its frames are the demuxer's.
            const std::optional<Mp3Gain::Length> length =
                Mp3Gain::length([this](std::int64_t offset, std::size_t size) {
                    return input_.bytesAt(offset, size);
                });
            info.lengthExact =
                length && length->coded == std::llround(info.seconds * info.sampleRate);
            if (info.lengthExact)
                info.seconds = double(length->decoded) / info.sampleRate;
        }
        info.bitRate =
            int(stream.codecpar->bit_rate > 0 ? stream.codecpar->bit_rate : format_->bit_rate);
        return info;
    }

    // Every decoded frame of the audio stream, until the file ends, the frame handler says
    // stop, or a failure.
    template <class OnFrame> std::optional<Reason> eachFrame(OnFrame onFrame)
    {
        const std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
        const std::unique_ptr<AVFrame, FrameFree> frame(av_frame_alloc());
        bool reading = true;
        while (true) {
            if (reading) {
                const int read = av_read_frame(format_.get(), packet.get());
                if (read == AVERROR_EOF) {
                    reading = false;
                    avcodec_send_packet(codec_.get(), nullptr);
                } else if (read < 0) {
                    return failure(read);
                } else {
                    const bool ours = packet->stream_index == stream_;
                    const int sent = ours ? avcodec_send_packet(codec_.get(), packet.get()) : 0;
                    av_packet_unref(packet.get());
                    // A damaged packet is passed over, as players do.
                    if (sent < 0 && sent != AVERROR(EAGAIN) && sent != AVERROR_INVALIDDATA)
                        return failure(sent);
                }
            }
            while (true) {
                const int received = avcodec_receive_frame(codec_.get(), frame.get());
                if (received == AVERROR(EAGAIN))
                    break;
                if (received == AVERROR_EOF)
                    return std::nullopt;
                if (received < 0)
                    return failure(received);
                const bool more = onFrame(*frame);
                av_frame_unref(frame.get());
                if (!more)
                    return std::nullopt;
            }
        }
    }

    SystemError readError() const { return input_.error(); }

  private:
    // A failed read of the file, or else what it holds not decoding.
    Reason failure(int error) const
    {
        return describe(input_.error() ? Reason::Code::ReadFailed : Reason::Code::DecodeFailed,
                        error);
    }

    Input input_;
    std::unique_ptr<AVIOContext, IoFree> io_;
    std::unique_ptr<AVFormatContext, FormatClose> format_;
    std::unique_ptr<AVCodecContext, CodecFree> codec_;
    int stream_ = -1;
};

class FfmpegDecoder : public AudioDecoder
{
  public:
    FfmpegDecoder()
    {
        static std::once_flag bounded;
        std::call_once(bounded, [] { av_max_alloc(largestAllocation); });
    }

    void readThrough(FileSystem &fileSystem) override { fileSystem_ = &fileSystem; }
    SystemError readError() const override { return readError_; }

    std::variant<AudioInfo, Reason> probe(const std::filesystem::path &path) override
    {
        OpenedMusic music(*fileSystem_);
        const auto failed = [&](Reason reason) {
            readError_ = music.readError();
            return reason;
        };
        if (std::optional<Reason> reason = music.open(path))
            return failed(std::move(*reason));
        // A file that decodes to no samples is no music.
        bool sound = false;
        std::optional<Reason> failure = music.eachFrame([&](const AVFrame &frame) {
            sound = frame.nb_samples > 0;
            return !sound;
        });
        if (!sound)
            return failed(failure ? std::move(*failure) : Reason{Reason::Code::NoSound, {}});
        readError_ = 0;
        return music.info();
    }

    std::optional<Reason> decode(const std::filesystem::path &path, int sampleRate, int channels,
                                 const Sink &sink, std::stop_token stop) override
    {
        OpenedMusic music(*fileSystem_);
        readError_ = 0;
        if (std::optional<Reason> reason = music.open(path)) {
            readError_ = music.readError();
            return reason;
        }
        AVChannelLayout layout;
        av_channel_layout_default(&layout, channels);
        // Made for the frames as they come: a stream may change its layout, format or rate
        // on the way, whatever its header said.
        std::unique_ptr<SwrContext, ResamplerFree> resampler;
        AVChannelLayout inputLayout{};
        int inputFormat = -1;
        int inputRate = 0;
        const auto resamplerFor = [&](const AVFrame &frame) {
            if (resampler && frame.format == inputFormat && frame.sample_rate == inputRate &&
                av_channel_layout_compare(&frame.ch_layout, &inputLayout) == 0)
                return true;
            if (frame.sample_rate <= 0 || frame.ch_layout.nb_channels <= 0)
                return false;
            SwrContext *raw = nullptr;
            // This FFmpeg takes the layout as not const; it only reads it.
            auto *frameLayout = const_cast<AVChannelLayout *>(&frame.ch_layout);
            if (swr_alloc_set_opts2(&raw, &layout, AV_SAMPLE_FMT_FLT, sampleRate, frameLayout,
                                    AVSampleFormat(frame.format), frame.sample_rate, 0,
                                    nullptr) < 0 ||
                swr_init(raw) < 0) {
                swr_free(&raw);
                return false;
            }
            resampler.reset(raw);
            av_channel_layout_uninit(&inputLayout);
            av_channel_layout_copy(&inputLayout, &frame.ch_layout);
            inputFormat = frame.format;
            inputRate = frame.sample_rate;
            return true;
        };
        std::vector<float> samples;
        double secondsLeft = longestSeconds;
        bool stopped = false;
        const auto deliver = [&](const uint8_t **input, int inputFrames) {
            if (!resampler)
                return true;
            const int capacity = swr_get_out_samples(resampler.get(), inputFrames);
            if (capacity <= 0)
                return true;
            samples.resize(std::size_t(capacity) * std::size_t(channels));
            auto *output = reinterpret_cast<uint8_t *>(samples.data());
            const int frames = swr_convert(resampler.get(), &output, capacity, input, inputFrames);
            if (frames < 0)
                return false;
            secondsLeft -= double(frames) / sampleRate;
            bound(samples.data(), std::size_t(frames) * std::size_t(channels));
            return sink(samples.data(), std::size_t(frames)) && secondsLeft > 0;
        };
        std::optional<Reason> failure = music.eachFrame([&](const AVFrame &frame) {
            if (stop.stop_requested()) {
                stopped = true;
                return false;
            }
            // A frame the resampler cannot take is passed over.
            if (!resamplerFor(frame))
                return true;
            if (!deliver(const_cast<const uint8_t **>(frame.extended_data), frame.nb_samples)) {
                stopped = true;
                return false;
            }
            return true;
        });
        av_channel_layout_uninit(&inputLayout);
        readError_ = music.readError();
        // A demuxer may take a failed read for the end of its data: the read still failed.
        if (failure || readError_)
            return failure ? std::move(failure) : describe(Reason::Code::ReadFailed, AVERROR(EIO));
        if (!stopped)
            deliver(nullptr, 0);
        return std::nullopt;
    }

  private:
    FileSystem *fileSystem_ = &FileSystem::native();
    SystemError readError_ = 0;
};

} // namespace

std::unique_ptr<AudioDecoder> makeFfmpegDecoder()
{
    // What goes wrong is told as a failure value; the library's own warnings about files it
    // reads anyway would only fill the terminal of a program with windows.
    static std::once_flag quietened;
    std::call_once(quietened, [] { av_log_set_level(AV_LOG_ERROR); });
    return std::make_unique<FfmpegDecoder>();
}

} // namespace core
