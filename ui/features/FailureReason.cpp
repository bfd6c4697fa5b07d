// SPDX-License-Identifier: GPL-3.0-or-later
#include "features/FailureReason.h"

#include "TextTable.h"
#include "files/FailureCodes.h"
#include "music/Reason.h"

QString failureReason(core::SystemError error, std::uint8_t language)
{
    const TextTable &texts = TextTable::forLanguage(language);
    switch (core::commonFailureOf(error)) {
    case core::CommonFailure::AccessDenied:
        return QString::fromUtf8(texts.reasonAccessDenied);
    case core::CommonFailure::ReadOnly:
        return QString::fromUtf8(texts.reasonReadOnly);
    case core::CommonFailure::DiskFull:
        return QString::fromUtf8(texts.reasonDiskFull);
    case core::CommonFailure::NotFound:
        return QString::fromUtf8(texts.reasonNotFound);
    case core::CommonFailure::InUse:
        return QString::fromUtf8(texts.reasonInUse);
    case core::CommonFailure::Other:
        break;
    }
    return QString::fromStdString(
        core::Reason{core::Reason::Code::SystemFault, core::describeSystemError(error)}.text(
            language));
}

QString reasonAfterColon(const QString &reason)
{
    if (reason.size() < 2 || !reason[0].isUpper() || reason[1].isUpper() || reason[1].isDigit())
        return reason;
    return reason.left(1).toLower() + reason.mid(1);
}
