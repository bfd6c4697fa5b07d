// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "files/FileSystem.h"

namespace core {

// The real calls: POSIX on Linux, Win32 on Windows.
class NativeFileSystem : public FileSystem
{
  public:
    SystemError openForReading(const std::filesystem::path &path, Handle &handle) override;
    SystemError createNew(const std::filesystem::path &path, Handle &handle) override;
    SystemError openForOverwrite(const std::filesystem::path &path, Handle &handle) override;
    SystemError read(Handle handle, char *buffer, std::size_t capacity,
                     std::size_t &bytesRead) override;
    SystemError seek(Handle handle, std::int64_t offset, int whence,
                     std::int64_t &position) override;
    SystemError write(Handle handle, const char *data, std::size_t size) override;
#ifndef _WIN32
    // In the kernel where it can, without copying through the program.
    SystemError copyContent(Handle source, Handle destination, bool &sourceFailed,
                            std::stop_token stop = {}) override;
    SystemError writeCopyOf(Handle source, std::int64_t offset, Handle destination,
                            const char *data, std::size_t size) override;
#endif
    SystemError flushToDisk(Handle handle) override;
    void close(Handle handle) override;
    void copyPermissions(const std::filesystem::path &from, Handle to) override;
    SystemError replace(const std::filesystem::path &from,
                        const std::filesystem::path &to) override;
    void syncFolder(const std::filesystem::path &folder) override;
    SystemError remove(const std::filesystem::path &path) override;
    SystemError hardLink(const std::filesystem::path &existing,
                         const std::filesystem::path &link) override;
    SystemError createFolder(const std::filesystem::path &path) override;
    bool isFolder(const std::filesystem::path &path) override;
    SystemError removeFolder(const std::filesystem::path &path) override;
    SystemError status(const std::filesystem::path &path, FileStatus &status,
                       bool followLinks = true) override;
    SystemError listFolder(const std::filesystem::path &folder,
                           std::vector<std::filesystem::path> &names) override;
    SystemError rename(const std::filesystem::path &from, const std::filesystem::path &to) override;
    SystemError readLink(const std::filesystem::path &link, std::filesystem::path &target) override;
    SystemError setModified(const std::filesystem::path &path, std::int64_t modified) override;
    SystemError openLock(const std::filesystem::path &path, bool create, Handle &handle) override;
    SystemError tryLock(Handle handle) override;
#ifdef _WIN32
    bool inUse(const std::filesystem::path &path) override;
#endif
};

} // namespace core
