// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/RunLock.h"

namespace core {

namespace {

constexpr std::chrono::milliseconds retryEvery{50};

} // namespace

RunLock::RunLock(const std::filesystem::path &folder, std::chrono::milliseconds wait, bool create,
                 FileSystem &fileSystem)
    : RunLock(std::vector<std::filesystem::path>{folder}, wait, create, fileSystem)
{
}

RunLock::RunLock(const std::vector<std::filesystem::path> &folders, std::chrono::milliseconds wait,
                 bool create, FileSystem &fileSystem)
    : fileSystem_(fileSystem)
{
    const auto deadline = fileSystem_.now() + wait;
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
    // On Windows the open is the lock and a held lock refuses the open; on POSIX the open
    // succeeds and flock refuses.
    for (;;) {
        FileSystem::Handle handle = 0;
        SystemError error = fileSystem_.openLock(file, create, handle);
        if (error == 0) {
            error = fileSystem_.tryLock(handle);
            if (error == 0) {
                handles_.push_back(handle);
                return Outcome::Held;
            }
            fileSystem_.close(handle);
        }
        if (error != FileSystem::lockHeld) {
            error_ = int(error);
            return Outcome::Unavailable;
        }
        if (fileSystem_.now() >= deadline)
            return Outcome::HeldElsewhere;
        fileSystem_.pause(retryEvery);
    }
}

void RunLock::release()
{
    for (const FileSystem::Handle handle : handles_)
        fileSystem_.close(handle);
    handles_.clear();
}

RunLock::~RunLock()
{
    release();
}

} // namespace core
