// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "NativeFileSystem.h"

#include <functional>
#include <map>
#include <mutex>

// The real file system, except that one chosen call fails with a chosen error: the way to
// run every failure path where this machine cannot make the fault happen for real.
class FaultyFileSystem : public core::NativeFileSystem
{
  public:
    enum class Call {
        OpenForReading,
        CreateNew,
        Read,
        Write,
        Flush,
        Replace,
        HardLink,
        Remove,
        CreateFolder
    };

    // The call fails once it has succeeded `successesBefore` times; with a folder, only calls
    // on paths inside it count.
    void failOn(Call call, core::SystemError error, int successesBefore = 0,
                std::filesystem::path onlyIn = {})
    {
        faults_[call] = {error, successesBefore, std::move(onlyIn)};
    }

    // Reads (or writes) of every file opened at a path the test names fail with the error
    // once `afterBytes` have gone through, on whichever thread: a disk failing midway.
    void failTransfersOf(Call call, std::function<bool(const std::filesystem::path &)> names,
                         core::SystemError error, std::size_t afterBytes = 0)
    {
        const std::lock_guard lock(mutex_);
        transferFault_ = {call, std::move(names), error, afterBytes};
    }

    core::SystemError openForReading(const std::filesystem::path &path, Handle &handle) override
    {
        if (const auto error = fault(Call::OpenForReading, path))
            return error;
        return watched(path, handle, NativeFileSystem::openForReading(path, handle));
    }
    core::SystemError createNew(const std::filesystem::path &path, Handle &handle) override
    {
        if (const auto error = fault(Call::CreateNew, path))
            return error;
        return watched(path, handle, NativeFileSystem::createNew(path, handle));
    }
    core::SystemError read(Handle handle, char *buffer, std::size_t capacity,
                           std::size_t &bytesRead) override
    {
        if (const auto error = fault(Call::Read))
            return error;
        if (const auto error = transferFault(Call::Read, handle, capacity))
            return error;
        return NativeFileSystem::read(handle, buffer, capacity, bytesRead);
    }
    core::SystemError write(Handle handle, const char *data, std::size_t size) override
    {
        if (const auto error = fault(Call::Write))
            return error;
        if (const auto error = transferFault(Call::Write, handle, size))
            return error;
        return NativeFileSystem::write(handle, data, size);
    }
    void close(Handle handle) override
    {
        {
            const std::lock_guard lock(mutex_);
            transferred_.erase(handle);
        }
        NativeFileSystem::close(handle);
    }
    // Through read() and write(), so that their faults apply.
    core::SystemError copyContent(Handle source, Handle destination, bool &sourceFailed,
                                  std::stop_token stop = {}) override
    {
        return FileSystem::copyContent(source, destination, sourceFailed, stop);
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

  private:
    struct TransferFault
    {
        Call call = Call::Read;
        std::function<bool(const std::filesystem::path &)> names;
        core::SystemError error = 0;
        std::size_t afterBytes = 0;
    };

    core::SystemError watched(const std::filesystem::path &path, Handle handle,
                              core::SystemError opened)
    {
        const std::lock_guard lock(mutex_);
        if (!opened && transferFault_.names && transferFault_.names(path))
            transferred_[handle] = 0;
        return opened;
    }

    core::SystemError transferFault(Call call, Handle handle, std::size_t size)
    {
        const std::lock_guard lock(mutex_);
        const auto it = transferred_.find(handle);
        if (call != transferFault_.call || it == transferred_.end())
            return 0;
        if (it->second + size > transferFault_.afterBytes)
            return transferFault_.error;
        it->second += size;
        return 0;
    }

    struct Fault
    {
        core::SystemError error;
        int successesBefore;
        std::filesystem::path onlyIn;
    };

    core::SystemError fault(Call call, const std::filesystem::path &path = {})
    {
        const auto it = faults_.find(call);
        if (it != faults_.end() && !it->second.onlyIn.empty()) {
            const auto relative = path.lexically_relative(it->second.onlyIn);
            if (relative.empty() || *relative.begin() == "..")
                return 0;
        }
        const int seen = counts_[call]++;
        if (it == faults_.end() || seen != it->second.successesBefore)
            return 0;
        return it->second.error;
    }

    std::map<Call, Fault> faults_;
    std::map<Call, int> counts_;
    std::mutex mutex_;
    TransferFault transferFault_;
    std::map<Handle, std::size_t> transferred_;
};
