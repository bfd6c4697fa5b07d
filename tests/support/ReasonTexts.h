// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "LanguageCodes.h"
#include "music/Reason.h"

#include <QString>

#include <vector>

namespace reasontexts {

inline std::vector<core::Reason::Code> allCodes()
{
    std::vector<core::Reason::Code> codes;
    for (int code = 0; code <= int(core::Reason::Code::FitCrossfadeTooLong); ++code)
        codes.push_back(core::Reason::Code(code));
    return codes;
}

inline QString words(core::Reason::Code code, std::uint8_t language)
{
    return QString::fromStdString(core::Reason{code, {}}.text(language));
}

// The first English reason that the text holds, else nothing.
inline QString englishReasonIn(const QString &text)
{
    for (const core::Reason::Code code : allCodes()) {
        if (text.contains(words(code, languagecodes::english)))
            return words(code, languagecodes::english);
    }
    return {};
}

} // namespace reasontexts
