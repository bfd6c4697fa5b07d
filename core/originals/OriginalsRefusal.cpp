// SPDX-License-Identifier: GPL-3.0-or-later
#include "originals/OriginalsRefusal.h"

#include "TextTable.h"
#include "files/FailureCodes.h"
#include "files/FileError.h"
#include "files/Platform.h"

#include <string_view>
#include <system_error>

namespace core {

namespace {

namespace fs = std::filesystem;

enum class InPlace { Nothing, Folder, Link, Other };

InPlace whatIsAt(const fs::path &file)
{
    std::error_code error;
    const fs::file_status status = fs::symlink_status(file, error);
    if (fs::is_symlink(status))
        return InPlace::Link;
    if (fs::is_directory(status))
        return InPlace::Folder;
    return fs::exists(status) ? InPlace::Other : InPlace::Nothing;
}

std::string filled(std::string text, std::string_view first, std::string_view second = {})
{
    for (const auto &[marker, value] :
         {std::pair{std::string_view("%1"), first}, std::pair{std::string_view("%2"), second}}) {
        if (const std::size_t at = text.find(marker); at != std::string::npos)
            text.replace(at, marker.size(), value);
    }
    return text;
}

} // namespace

std::string OriginalsRefusal::reason(std::uint8_t language) const
{
    const TextTable &texts = TextTable::forLanguage(language);
    switch (whatIsAt(file)) {
    case InPlace::Folder:
        return texts.reasonFolderInPlace;
    case InPlace::Link:
        return texts.reasonLinkInPlace;
    default:
        break;
    }
    switch (commonFailureOf(systemError)) {
    case CommonFailure::AccessDenied:
        return texts.reasonAccessDenied;
    case CommonFailure::ReadOnly:
        return texts.reasonReadOnly;
    case CommonFailure::DiskFull:
        return texts.reasonDiskFull;
    case CommonFailure::NotFound:
        return texts.reasonNotFound;
    case CommonFailure::InUse:
        return texts.reasonInUse;
    case CommonFailure::Other:
        break;
    }
    return describeSystemError(systemError);
}

std::string OriginalsRefusal::message(std::uint8_t language) const
{
    const TextTable &texts = TextTable::forLanguage(language);
    const std::string name = platform::textFromPath(file.lexically_normal());
    switch (kind) {
    case Kind::LockNotTaken:
        return filled(texts.lockNotTaken, name, reason(language));
    case Kind::FolderIsLink:
        return filled(texts.originalsFolderIsLink, name);
    case Kind::RecordUnreadable:
        return filled(texts.originalsRecordUnreadable, name, reason(language));
    case Kind::FolderIsGameFolder:
        break;
    }
    return filled(texts.originalsFolderIsGameFolder, name);
}

RunResult OriginalsRefusal::result(std::uint8_t language) const
{
    const bool callRefused = (kind == Kind::LockNotTaken || kind == Kind::RecordUnreadable) &&
                             whatIsAt(file) != InPlace::Folder && whatIsAt(file) != InPlace::Link;
    RunResult refused{RunResult::Outcome::Failed, -1,
                      callRefused ? failureCodeFor(FileError::destination(systemError))
                                  : failure::pathFileAccess,
                      message(language)};
    refused.systemError = callRefused ? systemError : 0;
    return refused;
}

} // namespace core
