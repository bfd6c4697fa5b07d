// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "files/NativeFileSystem.h"

#include <map>
#include <mutex>
#include <set>

// The real file system, except that one chosen call fails with a chosen error: the way to
// run every failure path where this machine cannot make the fault happen for real. A run's
// conversions call it from several threads at once.
class FaultyFileSystem : public core::NativeFileSystem
{
  public:
    enum class Call {
        OpenForReading,
        CreateNew,
        Read,
        Write,
        WriteInPlace, // a write to a file opened for an overwrite in place
        Flush,
        Replace,
        HardLink,
        Remove,
        CreateFolder,
        OpenForOverwrite
    };

    // The call fails once it has succeeded `successesBefore` times, or every time from then
    // on where `everyTime`; with a folder, only calls on paths inside it count.
    void failOn(Call call, core::SystemError error, int successesBefore = 0,
                std::filesystem::path onlyIn = {}, bool everyTime = false)
    {
        const std::lock_guard lock(mutex_);
        faults_[call] = {error, successesBefore, std::move(onlyIn), everyTime};
    }

    core::SystemError openForReading(const std::filesystem::path &path, Handle &handle) override
    {
        if (const auto error = fault(Call::OpenForReading, path))
            return error;
        return NativeFileSystem::openForReading(path, handle);
    }
    core::SystemError createNew(const std::filesystem::path &path, Handle &handle) override
    {
        if (const auto error = fault(Call::CreateNew, path))
            return error;
        return NativeFileSystem::createNew(path, handle);
    }
    core::SystemError openForOverwrite(const std::filesystem::path &path, Handle &handle) override
    {
        if (const auto error = fault(Call::OpenForOverwrite, path))
            return error;
        const core::SystemError error = NativeFileSystem::openForOverwrite(path, handle);
        if (error == 0) {
            const std::lock_guard lock(mutex_);
            overwritten_.insert(handle);
        }
        return error;
    }
    void close(Handle handle) override
    {
        {
            const std::lock_guard lock(mutex_);
            overwritten_.erase(handle);
        }
        NativeFileSystem::close(handle);
    }
    core::SystemError read(Handle handle, char *buffer, std::size_t capacity,
                           std::size_t &bytesRead) override
    {
        if (const auto error = fault(Call::Read))
            return error;
        return NativeFileSystem::read(handle, buffer, capacity, bytesRead);
    }
    core::SystemError write(Handle handle, const char *data, std::size_t size) override
    {
        if (const auto error = fault(Call::Write))
            return error;
        if (isOverwritten(handle)) {
            if (const auto error = fault(Call::WriteInPlace))
                return error;
        }
        return NativeFileSystem::write(handle, data, size);
    }
    // Through read() and write(), so that their faults apply.
    core::SystemError copyContent(Handle source, Handle destination, bool &sourceFailed,
                                  std::stop_token stop = {}) override
    {
        return FileSystem::copyContent(source, destination, sourceFailed, stop);
    }
    core::SystemError writeCopyOf(Handle source, std::int64_t offset, Handle destination,
                                  const char *data, std::size_t size) override
    {
        return FileSystem::writeCopyOf(source, offset, destination, data, size);
    }
    core::SystemError flushToDisk(Handle handle) override
    {
        if (const auto error = fault(Call::Flush))
            return error;
        return NativeFileSystem::flushToDisk(handle);
    }
    core::SystemError replace(const std::filesystem::path &from,
                              const std::filesystem::path &to) override
    {
        if (const auto error = fault(Call::Replace))
            return error;
        return NativeFileSystem::replace(from, to);
    }

    core::SystemError hardLink(const std::filesystem::path &existing,
                               const std::filesystem::path &link) override
    {
        if (const auto error = fault(Call::HardLink))
            return error;
        return NativeFileSystem::hardLink(existing, link);
    }
    core::SystemError remove(const std::filesystem::path &path) override
    {
        if (const auto error = fault(Call::Remove, path))
            return error;
        return NativeFileSystem::remove(path);
    }
    core::SystemError createFolder(const std::filesystem::path &path) override
    {
        if (const auto error = fault(Call::CreateFolder, path))
            return error;
        return NativeFileSystem::createFolder(path);
    }

    // How many times the call was made so far.
    int count(Call call) const
    {
        const std::lock_guard lock(mutex_);
        const auto it = counts_.find(call);
        return it == counts_.end() ? 0 : it->second;
    }

  private:
    struct Fault
    {
        core::SystemError error;
        int successesBefore;
        std::filesystem::path onlyIn;
        bool everyTime;
    };

    bool isOverwritten(Handle handle) const
    {
        const std::lock_guard lock(mutex_);
        return overwritten_.count(handle) != 0;
    }

    core::SystemError fault(Call call, const std::filesystem::path &path = {})
    {
        const std::lock_guard lock(mutex_);
        const auto it = faults_.find(call);
        if (it != faults_.end() && !it->second.onlyIn.empty()) {
            const auto relative = path.lexically_relative(it->second.onlyIn);
            if (relative.empty() || *relative.begin() == "..")
                return 0;
        }
        const int seen = counts_[call]++;
        if (it == faults_.end() || seen < it->second.successesBefore ||
            (seen > it->second.successesBefore && !it->second.everyTime))
            return 0;
        return it->second.error;
    }

    mutable std::mutex mutex_;
    std::map<Call, Fault> faults_;
    std::map<Call, int> counts_;
    std::set<Handle> overwritten_;
};
