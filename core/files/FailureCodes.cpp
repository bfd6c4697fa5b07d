// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/FailureCodes.h"

#include <system_error>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#endif

namespace core {

namespace {

enum class Cause { NotFound, Denied, Full, Io, Unavailable, Other };

Cause causeOf(SystemError error)
{
#ifdef _WIN32
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_NETPATH:
    case ERROR_INVALID_DRIVE:
        return Cause::NotFound;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return Cause::Denied;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return Cause::Full;
    case ERROR_CRC:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
    case ERROR_GEN_FAILURE:
        return Cause::Io;
    case ERROR_NOT_READY:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_UNRECOGNIZED_MEDIA:
        return Cause::Unavailable;
    default:
        return Cause::Other;
    }
#else
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return Cause::NotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
    case EBUSY: // as Windows' sharing violation
        return Cause::Denied;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return Cause::Full;
    case EIO:
        return Cause::Io;
    case ENXIO:
    case ENODEV:
    case ENOMEDIUM:
        return Cause::Unavailable;
    default:
        return Cause::Other;
    }
#endif
}

int codeForCall(Cause cause, bool onSource)
{
    switch (cause) {
    case Cause::NotFound:
        return onSource ? failure::fileNotFound : failure::pathNotFound;
    case Cause::Denied:
        return failure::permissionDenied;
    case Cause::Full:
        return failure::diskFull;
    case Cause::Io:
        return failure::deviceIo;
    case Cause::Unavailable:
        return failure::deviceUnavailable;
    case Cause::Other:
        break;
    }
    return failure::pathFileAccess;
}

} // namespace

int failureCodeFor(const FileError &error)
{
    switch (error.kind) {
    case FileError::Kind::BlankSource:
        return failure::fileNotFound;
    case FileError::Kind::SourceIsFolder:
    case FileError::Kind::SourceNotAFile:
    case FileError::Kind::DestinationIsFolder:
        return failure::pathFileAccess;
    case FileError::Kind::SourceCall:
        return codeForCall(causeOf(error.systemError), true);
    case FileError::Kind::DestinationCall:
        break;
    }
    return codeForCall(causeOf(error.systemError), false);
}

CommonFailure commonFailureOf(SystemError error)
{
    switch (error) {
#ifdef _WIN32
    case ERROR_WRITE_PROTECT:
        return CommonFailure::ReadOnly;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return CommonFailure::InUse;
#else
    case EROFS:
        return CommonFailure::ReadOnly;
    case ETXTBSY:
    case EBUSY:
        return CommonFailure::InUse;
#endif
    default:
        break;
    }
    switch (causeOf(error)) {
    case Cause::Denied:
        return CommonFailure::AccessDenied;
    case Cause::Full:
        return CommonFailure::DiskFull;
    case Cause::NotFound:
        return CommonFailure::NotFound;
    default:
        return CommonFailure::Other;
    }
}

std::string describeSystemError(SystemError error)
{
#ifdef _WIN32
    wchar_t *buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, DWORD(error), 0, reinterpret_cast<wchar_t *>(&buffer), 0, nullptr);
    std::wstring wide = length ? std::wstring(buffer, length) : L"error " + std::to_wstring(error);
    LocalFree(buffer);
    while (!wide.empty() && (wide.back() == L'\n' || wide.back() == L'\r' || wide.back() == L'.'))
        wide.pop_back();
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string text(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), text.data(), size, nullptr,
                        nullptr);
    return text;
#else
    return std::generic_category().message(error);
#endif
}

} // namespace core
