// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

namespace core {

// Why music could not be read, converted, measured or played. The code's words come from the
// text tables in the interface's language; a library's own words, where it gave any, are kept
// as the detail. The file is never part of it: whoever shows the reason names the file.
struct Reason
{
    enum class Code {
        CannotOpen,
        NotAFile,     // a folder, a device or a pipe
        EmptyFile,    // not one byte in it
        NotMusic,     // no format this program reads
        NoSound,      // no audio in it, or none that decodes to samples
        UnknownSound, // detail: the codec
        OutOfMemory,
        ReadFailed,   // a call reading the file failed
        DecodeFailed, // what it holds could not be decoded
        WriteFailed,
        SystemFault, // a file call failed as players seldom meet; detail: the system's words
        EncoderFailed,
        MeterFailed,
        NoLoudnessMeter, // a build without the loudness meter
        Cancelled,
        NoAudioPart, // the audio module did not load; detail: why, or where it was looked for
        Mp3Only,     // a build without the audio code
        NoPlayback,  // a build without sound output
        NoOutputDevice,
        OutputNotOpened,
        OutputFailed,
        // A fit no pick, or not this pick, can be written with.
        FitNegative,
        FitEndBeforeStart,
        FitPastEnd,
        FitFadesTooLong,
        FitCrossfadeTooLong,
    };

    Code code = Code::NotMusic;
    std::string detail;

    // "<words>" or "<words> (<detail>)" in the language of the code given (see
    // languageFromCode).
    std::string text(std::uint8_t language) const;
};

} // namespace core
