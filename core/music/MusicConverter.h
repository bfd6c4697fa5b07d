// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "music/AudioCodecs.h"
#include "music/DecodedStage.h"
#include "music/PickFit.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

namespace core {

// The MP3 a converted file is written as: the sample rate and channels of the game's own
// file of the slot (its reference), at its bit rate, as MPEG allows it.
struct Mp3Settings
{
    int sampleRate = 44100;
    int channels = 2;
    int kbps = 192;

    // No reference (the game has no file for the slot): 44.1 kHz stereo at 192 kbit/s.
    static Mp3Settings forReference(const std::optional<AudioInfo> &reference);
    // For a slot's game music: made like the first of files that reads as music (the place
    // of its kept original, then its game file).
    static Mp3Settings forGameMusic(AudioDecoder &decoder,
                                    const std::vector<std::filesystem::path> &files);
};

// Why a conversion did not end in a whole MP3.
struct ConversionFailure
{
    enum class Kind {
        NotMusic,  // the decoder or encoder refused what the source holds: reason
        Read,      // the source could not be read: systemError
        Write,     // the output could not be written: systemError
        Cancelled, // stopped on request
    };
    Kind kind = Kind::NotMusic;
    Reason reason;
    SystemError systemError = 0;
};

// Turns music of any format the decoder reads into the game's MP3 format.
class MusicConverter
{
  public:
    // Seconds of the source converted so far.
    using Progress = std::function<void(double seconds)>;
    // The caller's stage that passes on to the encoder, through the sink given, what is
    // written; it outlives the conversion, to tell what became of it.
    using StageMaker = std::function<DecodedStage &(AudioDecoder::Sink encode)>;

    // The source is read and the output written through fileSystem; gain: what the decoded
    // samples are multiplied by before the encoder.
    explicit MusicConverter(const AudioCodecs &codecs,
                            FileSystem &fileSystem = FileSystem::native(), float gain = 1)
        : codecs_(codecs), fileSystem_(fileSystem), gain_(gain)
    {
    }

    // Writes the MP3 to output, whole; why it did not where it fails. A stop request ends
    // it, within a block of samples, as Cancelled with no output. fit: what of the source is
    // written, in frames at the settings' sample rate; one that turns in whole frames
    // (SeamFraming) is written as a loop's turn that runs on into its own start.
    std::optional<ConversionFailure>
    convert(const std::filesystem::path &source, const Mp3Settings &settings,
            const std::filesystem::path &output, const Progress &progress = {},
            std::stop_token stop = {}, const PickFit &fit = {}) const;
    // The same with what is written decided by a stage of the caller's. Where the stage's
    // finish() refuses, nothing is written and nothing failed: the stage tells why.
    std::optional<ConversionFailure> convert(const std::filesystem::path &source,
                                             const Mp3Settings &settings,
                                             const std::filesystem::path &output,
                                             const Progress &progress, std::stop_token stop,
                                             const StageMaker &makeStage) const;

  private:
    std::optional<ConversionFailure>
    convert(std::unique_ptr<Mp3Encoder> encoder, const std::filesystem::path &source,
            const Mp3Settings &settings, const std::filesystem::path &output,
            const Progress &progress, std::stop_token stop, const StageMaker &makeStage) const;
    // The last frames of the fit's turn as the encoder takes them, gained; fewer where the
    // turn is shorter.
    std::vector<float> turnEnd(const std::filesystem::path &source, const Mp3Settings &settings,
                               const PickFit &fit, std::size_t frames, std::stop_token stop) const;
    std::optional<ConversionFailure> write(const std::filesystem::path &output,
                                           const std::string &mp3) const;

    const AudioCodecs &codecs_;
    FileSystem &fileSystem_;
    float gain_;
};

} // namespace core
