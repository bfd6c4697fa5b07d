// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "files/FileSystem.h"
#include "music/Loudness.h"
#include "music/Reason.h"

#include <complex>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <variant>

namespace core {

// What a music file holds.
struct AudioInfo
{
    std::string format; // as a player names it: "MP3", "FLAC", "Ogg Vorbis", ...
    bool isMp3 = false; // MPEG audio layer III in an MP3 file: copied as it is
    int sampleRate = 0;
    int channels = 0;
    // As its decoding delivers it: an MP3's encoder delay and padding, which its information
    // frame tells and the decoder drops, are no part of it.
    double seconds = 0;
    int bitRate = 0; // bits a second, the average where it varies; 0 where unknown
    // The length was guessed from the bit rate (an MP3 without a frame count), not counted.
    bool lengthEstimated = false;
    // The length is the frames its decoding delivers, to the frame. Elsewhere an encoder's
    // delay and padding, or a container's rounding, move it by some milliseconds.
    bool lengthExact = false;

    // The most sample frames the file may hold: its length, with room for the error where
    // that is an estimate; nothing where the length is unknown.
    std::optional<std::int64_t> mostFrames() const;
};

// Reads every music format the program knows, through the program's own file reading:
// no protocol, no other file is ever opened on a file's behalf.
class AudioDecoder
{
  public:
    // Interleaved samples, -1 to 1; false stops the decoding.
    using Sink = std::function<bool(const float *samples, std::size_t frames)>;

    virtual ~AudioDecoder() = default;
    // What the file holds, or why it is no music this program can read.
    virtual std::variant<AudioInfo, Reason> probe(const std::filesystem::path &file) = 0;
    // Decodes the whole file at the sample rate and channel count given; the reason where it
    // fails. A stop request ends it early without a failure.
    virtual std::optional<Reason> decode(const std::filesystem::path &file, int sampleRate,
                                         int channels, const Sink &sink,
                                         std::stop_token stop = {}) = 0;
    // Files are opened and read through this file system from then on; the native one
    // where never set.
    virtual void readThrough(FileSystem &fileSystem) = 0;
    // The system's error where the last probe or decode failed because the file could not
    // be opened or read (a failing disk), not for what it holds; else 0.
    virtual SystemError readError() const = 0;

    // 12 dB over full scale: no music goes past it. A float file's sample that is not a
    // number or infinite is no sound, and one far past full scale none that was meant: they
    // would take a meter's filter, or a loudness match's gain, and LAME's assertions, which
    // end the program, with them.
    static constexpr float largestSample = 4;
    // Holds the samples to the largest, what is not a finite number as silence.
    static void bound(float *samples, std::size_t count);
    // Whether every sample is within the largest.
    static bool isBounded(const float *samples, std::size_t count);
};

// Writes constant bit rate MP3 without tags.
class Mp3Encoder
{
  public:
    enum class Framing {
        // Led by the encoder's information frame, which tells a player its delay and padding
        // to drop, and with a bit reservoir: a frame's data may begin in the frames before.
        Gapless,
        // Only frames, each one's data within itself: any run of them decodes on its own.
        SelfContained,
        // The same in long blocks only, whose windows rise over a whole granule: the first
        // frame a decoder starts afresh with sounds from as early as the format allows.
        SelfContainedLongBlocks,
    };

    virtual ~Mp3Encoder() = default;
    virtual std::optional<Reason> start(int sampleRate, int channels, int kbps,
                                        Framing framing = Framing::Gapless) = 0;
    // Appends the encoded bytes to out.
    virtual std::optional<Reason> encode(const float *samples, std::size_t frames,
                                         std::string &out) = 0;
    virtual std::optional<Reason> finish(std::string &out) = 0;
    // After start: the frequency in Hz above which the encoder keeps nothing; 0 for none.
    virtual int lowpassHz() const = 0;
    // After start: the frames of silence the encoder puts before the first sample, which
    // a decoder that ignores its information frame plays.
    virtual int delayFrames() const = 0;
};

// Measures interleaved samples as they come; a mono stream counts as one channel.
class LoudnessMeter
{
  public:
    virtual ~LoudnessMeter() = default;
    virtual std::optional<Reason> start(int sampleRate, int channels, bool truePeak) = 0;
    virtual std::optional<Reason> add(const float *samples, std::size_t frames) = 0;
    virtual Loudness result() = 0;
};

// Plays one music file at a time on the default output device, off the caller's thread.
class AudioPlayer
{
  public:
    // Called once a playback ends: nothing when the music played to its end or was stopped,
    // else why it could not be played. It may come from any thread.
    using Ended = std::function<void(std::optional<Reason> failure)>;
    // Called once the music is heard: its file is open and its first samples are on the
    // output. It may come from any thread.
    using Sounding = std::function<void()>;

    virtual ~AudioPlayer() = default;
    virtual bool hasOutputDevice() = 0;
    // Stops what plays and starts the file; returns at once.
    virtual void play(const std::filesystem::path &file, Ended ended, Sounding sounding) = 0;
    // When it returns, the file is closed.
    virtual void stop() = 0;
    // What plays from now on is made this much louder (quieter where negative); each play
    // starts at 0 dB.
    virtual void setGain(double decibels) = 0;
};

// A real-to-complex discrete Fourier transform of one length.
class RealTransform
{
  public:
    virtual ~RealTransform() = default;
    virtual int size() const = 0;
    // size() samples in, size() / 2 + 1 bins out, unscaled; in is left as it was.
    virtual void forward(const float *in, std::complex<float> *out) = 0;
};

// The audio code: in the program on Windows; on Linux a module of its own, loaded at first
// use, so that a start that needs no music reading loads none of its libraries.
struct AudioCodecs
{
    std::unique_ptr<AudioDecoder> (*makeDecoder)();
    std::unique_ptr<Mp3Encoder> (*makeEncoder)();
    // Null in a build without sound output. Needs the toolkit's application object.
    std::unique_ptr<AudioPlayer> (*makePlayer)();
    std::unique_ptr<LoudnessMeter> (*makeMeter)();
    // Nothing for a length the transform does not support (an odd one, or one under 4).
    std::unique_ptr<RealTransform> (*makeRealTransform)(int size);

    // Nothing, and why in reason, where the module cannot be loaded.
    static const AudioCodecs *get(Reason *reason = nullptr);
    // Where the module belongs, for a player told it is missing: beside the program, or in
    // the library folder for an installed one. Empty where the audio code is linked in.
    static std::filesystem::path modulePath();
    // The codecs built into this binary, where it links them (tests, Windows).
    static const AudioCodecs &builtIn();
};

} // namespace core

// The one symbol the Linux module exports.
extern "C" const core::AudioCodecs *vmc_audio_codecs();
