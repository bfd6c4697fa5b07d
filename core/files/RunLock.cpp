// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/RunLock.h"

#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace core {

namespace {

constexpr std::chrono::milliseconds retryEvery{50};

} // namespace

RunLock::RunLock(const std::filesystem::path &folder, std::chrono::milliseconds wait, bool create)
    : RunLock(std::vector<std::filesystem::path>{folder}, wait, create)
{
}

RunLock::RunLock(const std::vector<std::filesystem::path> &folders, std::chrono::milliseconds wait,
                 bool create)
{
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (const std::filesystem::path &folder : folders) {
        const Outcome outcome = lockFile(folder / fileName, deadline, create);
        if (outcome == Outcome::HeldElsewhere) {
            release();
            outcome_ = Outcome::HeldElsewhere;
            return;
        }
    }
    outcome_ = handles_.empty() ? Outcome::Unavailable : Outcome::Held;
}

RunLock::Outcome RunLock::lockFile(const std::filesystem::path &file,
                                   std::chrono::steady_clock::time_point deadline, bool create)
{
#ifdef _WIN32
    // Opened without sharing and never deleted on close: while one copy has it open, every
    // other open fails, so the open itself is the lock and no second copy can think it holds
    // a file that is going away. A file made by an elevated copy may be read only to us.
    for (;;) {
        HANDLE handle =
            CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                        create ? OPEN_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_HIDDEN, nullptr);
        DWORD error = handle == INVALID_HANDLE_VALUE ? GetLastError() : 0;
        const DWORD openError = error;
        if (error == ERROR_ACCESS_DENIED) {
            handle = CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
            error = handle == INVALID_HANDLE_VALUE ? GetLastError() : 0;
            if (error == ERROR_FILE_NOT_FOUND)
                error = openError;
        }
        if (error == 0) {
            handles_.push_back(reinterpret_cast<std::intptr_t>(handle));
            return Outcome::Held;
        }
        if (error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION) {
            error_ = int(error);
            return Outcome::Unavailable;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return Outcome::HeldElsewhere;
        std::this_thread::sleep_for(retryEvery);
    }
#else
    int fd = ::open(file.c_str(), O_RDWR | (create ? O_CREAT : 0) | O_CLOEXEC | O_NOFOLLOW, 0644);
    // The first refusal says why: a read-only folder without a lock file is read-only.
    const int openError = fd < 0 ? errno : 0;
    // A lock file another user made: a lock needs no write access.
    if (fd < 0 && (errno == EACCES || errno == EROFS))
        fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        error_ = openError;
        return Outcome::Unavailable;
    }
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            handles_.push_back(fd);
            return Outcome::Held;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            error_ = errno;
            ::close(fd);
            return Outcome::Unavailable;
        }
        if (errno == EWOULDBLOCK && std::chrono::steady_clock::now() >= deadline) {
            ::close(fd);
            return Outcome::HeldElsewhere;
        }
        std::this_thread::sleep_for(retryEvery);
    }
#endif
}

void RunLock::release()
{
    for (const std::intptr_t handle : handles_) {
#ifdef _WIN32
        CloseHandle(reinterpret_cast<HANDLE>(handle));
#else
        ::close(int(handle));
#endif
    }
    handles_.clear();
}

RunLock::~RunLock()
{
    release();
}

} // namespace core
