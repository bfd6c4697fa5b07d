// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/RunMessages.h"

#include "files/FailureCodes.h"
#include "music/Reason.h"
#include "report/RunTexts.h"

namespace core {

std::string RunMessages::failure(std::uint8_t language, std::string_view label, int code)
{
    const RunTexts &texts = RunTexts::forLanguage(language);
    std::string message;
    if (code == failure::fileNotFound) {
        message.append(texts.notFoundPrefix).append(label).append(texts.notFoundSuffix);
    } else {
        message.append(texts.failurePrefix).append(label).append(texts.failureSuffix);
        message.append(std::to_string(code)).append(".");
    }
    return message;
}

std::string RunMessages::notMusic(std::uint8_t language, std::string_view label,
                                  std::string_view reason)
{
    const RunTexts &texts = RunTexts::forLanguage(language);
    return std::string(texts.notMusicPrefix)
               .append(label)
               .append(texts.notMusicSuffix)
               .append(reason) +
           ".";
}

std::string RunMessages::writeFailureReason(std::uint8_t language, SystemError error)
{
    const RunTexts &texts = RunTexts::forLanguage(language);
    switch (commonFailureOf(error)) {
    case CommonFailure::AccessDenied:
        return std::string(texts.reasonAccessDenied);
    case CommonFailure::ReadOnly:
        return std::string(texts.reasonReadOnly);
    case CommonFailure::DiskFull:
        return std::string(texts.reasonDiskFull);
    case CommonFailure::NotFound:
        return std::string(texts.reasonNotFound);
    case CommonFailure::InUse:
        return std::string(texts.reasonInUse);
    case CommonFailure::Other:
        break;
    }
    return Reason{Reason::Code::SystemFault, describeSystemError(error)}.text(language);
}

} // namespace core
