// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#endif

namespace testfiles {

// Whether this process holds the file open, or held it while it was replaced: on Windows,
// whether another opening without sharing is refused, as a replacement of the file would be.
inline bool isHeldOpen(const std::filesystem::path &file)
{
#ifdef _WIN32
    HANDLE handle = CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_SHARING_VIOLATION;
    CloseHandle(handle);
    return false;
#else
    std::error_code error;
    const std::filesystem::path wanted = std::filesystem::canonical(file, error);
    for (const auto &entry : std::filesystem::directory_iterator("/proc/self/fd", error)) {
        std::error_code linkError;
        // A replaced file held open shows as "<path> (deleted)".
        if (std::filesystem::read_symlink(entry.path(), linkError)
                .string()
                .starts_with(wanted.string()))
            return true;
    }
    return false;
#endif
}

#ifndef _WIN32
// Whether this process still holds a file that was replaced since it was opened: what would
// have kept Windows from replacing it. Whoever opens the new file does not count.
inline bool holdsReplacedFile(const std::filesystem::path &file)
{
    std::error_code error;
    const std::string replaced =
        (std::filesystem::canonical(file.parent_path(), error) / file.filename()).string() +
        " (deleted)";
    for (const auto &entry : std::filesystem::directory_iterator("/proc/self/fd", error)) {
        std::error_code linkError;
        if (std::filesystem::read_symlink(entry.path(), linkError).string() == replaced)
            return true;
    }
    return false;
}
#endif

} // namespace testfiles
