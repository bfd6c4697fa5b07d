// SPDX-License-Identifier: GPL-3.0-or-later
#include "RunLock.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace core {

RunLock::RunLock(const std::filesystem::path &folder) : file_(folder / fileName)
{
#ifdef _WIN32
    // Opened without sharing and removed on close: a second opener is refused.
    const HANDLE handle =
        CreateFileW(file_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        outcome_ = GetLastError() == ERROR_SHARING_VIOLATION ? Outcome::HeldElsewhere
                                                             : Outcome::Unavailable;
        return;
    }
    handle_ = reinterpret_cast<std::intptr_t>(handle);
#else
    const int fd = ::open(file_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0)
        return;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        outcome_ = errno == EWOULDBLOCK ? Outcome::HeldElsewhere : Outcome::Unavailable;
        ::close(fd);
        return;
    }
    handle_ = fd;
#endif
    outcome_ = Outcome::Held;
}

RunLock::~RunLock()
{
    if (outcome_ != Outcome::Held)
        return;
#ifdef _WIN32
    CloseHandle(reinterpret_cast<HANDLE>(handle_));
#else
    // Removed while still held, so that no other copy locks a file that is going away.
    ::unlink(file_.c_str());
    ::close(int(handle_));
#endif
}

} // namespace core
