// SPDX-License-Identifier: GPL-3.0-or-later
#include "music/Reason.h"

#include "TextTable.h"

namespace core {

namespace {

const char *wordsOf(Reason::Code code, const TextTable &texts)
{
    switch (code) {
    case Reason::Code::CannotOpen:
        return texts.reasonCannotOpen;
    case Reason::Code::NotAFile:
        return texts.notAFile;
    case Reason::Code::EmptyFile:
        return texts.reasonEmptyFile;
    case Reason::Code::NotMusic:
        return texts.reasonNotMusic;
    case Reason::Code::NoSound:
        return texts.reasonNoSound;
    case Reason::Code::UnknownSound:
        return texts.reasonUnknownSound;
    case Reason::Code::OutOfMemory:
        return texts.reasonOutOfMemory;
    case Reason::Code::ReadFailed:
        return texts.reasonReadFailed;
    case Reason::Code::DecodeFailed:
        return texts.reasonDecodeFailed;
    case Reason::Code::WriteFailed:
        return texts.reasonWriteFailed;
    case Reason::Code::SystemFault:
        return texts.reasonSystemFault;
    case Reason::Code::EncoderFailed:
        return texts.reasonEncoderFailed;
    case Reason::Code::MeterFailed:
        return texts.reasonMeterFailed;
    case Reason::Code::NoLoudnessMeter:
        return texts.reasonNoLoudnessMeter;
    case Reason::Code::Cancelled:
        return texts.reasonCancelled;
    case Reason::Code::NoAudioPart:
        return texts.reasonNoAudioPart;
    case Reason::Code::Mp3Only:
        return texts.reasonMp3Only;
    case Reason::Code::NoPlayback:
        return texts.reasonNoPlayback;
    case Reason::Code::NoOutputDevice:
        return texts.reasonNoOutputDevice;
    case Reason::Code::OutputNotOpened:
        return texts.reasonOutputNotOpened;
    case Reason::Code::OutputFailed:
        return texts.reasonOutputFailed;
    case Reason::Code::FitNegative:
        return texts.reasonFitNegative;
    case Reason::Code::FitEndBeforeStart:
        return texts.reasonFitEndBeforeStart;
    case Reason::Code::FitPastEnd:
        return texts.reasonFitPastEnd;
    case Reason::Code::FitFadesTooLong:
        return texts.reasonFitFadesTooLong;
    case Reason::Code::FitCrossfadeTooLong:
        return texts.reasonFitCrossfadeTooLong;
    }
    return texts.reasonNotMusic;
}

} // namespace

std::string Reason::text(std::uint8_t language) const
{
    std::string said = wordsOf(code, TextTable::forLanguage(language));
    if (!detail.empty())
        said.append(" (").append(detail).append(")");
    return said;
}

} // namespace core
