// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <stop_token>
#include <string>
#include <vector>

namespace core {

// The operating system's error number: errno on POSIX, GetLastError() on Windows.
// 0 means success.
using SystemError = int;

// What a file system says of a name: its kind, its identity (device and inode; on Windows the
// volume serial number and file ID) and what a program cannot set (the change time).
struct FileStatus
{
    enum class Type { None, File, Folder, Link, Other };
    Type type = Type::None;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t modified = 0; // the file clock's ticks, as WrittenFile keeps them
    std::int64_t changed = 0;  // set by the system on every change, by no program
    std::uint32_t mode = 0;    // the permission bits; on Windows 0444 for a read-only file
    std::uint32_t links = 1;

    bool exists() const { return type != Type::None; }
    bool isFile() const { return type == Type::File; }
    bool isFolder() const { return type == Type::Folder; }
    bool sameFileAs(const FileStatus &other) const
    {
        return exists() && other.exists() && device == other.device && inode == other.inode;
    }
};

// The calls that read and write files, as one seam: the program uses native(), tests put a
// faulty file system in its place to make any single call fail.
class FileSystem
{
  public:
    using Handle = std::intptr_t;

    virtual ~FileSystem() = default;

    // Opens an existing regular file without ever waiting for it: a folder is refused with the
    // platform's "is a directory" error, anything else that is no regular file (a pipe, a
    // device) with notAFile.
    virtual SystemError openForReading(const std::filesystem::path &path, Handle &handle) = 0;
    // Creates a file that must not exist yet, for writing.
    virtual SystemError createNew(const std::filesystem::path &path, Handle &handle) = 0;
    // Opens an existing file for writing and empties it; a read-only file is refused.
    virtual SystemError openForOverwrite(const std::filesystem::path &path, Handle &handle) = 0;
    virtual SystemError read(Handle handle, char *buffer, std::size_t capacity,
                             std::size_t &bytesRead) = 0;
    // Moves the read position of a file opened for reading, whence as for fseek; position is
    // where it is then.
    virtual SystemError seek(Handle handle, std::int64_t offset, int whence,
                             std::int64_t &position) = 0;
    // Writes all of the data or fails.
    virtual SystemError write(Handle handle, const char *data, std::size_t size) = 0;
    // Copies the rest of the source into the destination. On failure, sourceFailed tells
    // which side failed. A stop request ends it between blocks with cancelled. This one goes
    // through read() and write().
    virtual SystemError copyContent(Handle source, Handle destination, bool &sourceFailed,
                                    std::stop_token stop = {});
    // Writes the size bytes that the source holds at offset, which the program has just read
    // into data: in the kernel where it can, without passing them through the program again.
    // This one writes data.
    virtual SystemError writeCopyOf(Handle source, std::int64_t offset, Handle destination,
                                    const char *data, std::size_t size);
    virtual SystemError flushToDisk(Handle handle) = 0;
    virtual void close(Handle handle) = 0;
    // Gives a new file the permissions of the file it is about to replace, where it exists.
    virtual void copyPermissions(const std::filesystem::path &from, Handle to) = 0;
    // Renames over an existing file in one step; a read-only file is refused, as a copy
    // onto it would be.
    virtual SystemError replace(const std::filesystem::path &from,
                                const std::filesystem::path &to) = 0;
    // Makes the renames done in the folder durable; best effort.
    virtual void syncFolder(const std::filesystem::path &folder) = 0;
    // Removes a file; a file that is not there is no failure.
    virtual SystemError remove(const std::filesystem::path &path) = 0;
    // A second name for an existing file, on the same file system.
    virtual SystemError hardLink(const std::filesystem::path &existing,
                                 const std::filesystem::path &link) = 0;
    // Creates a folder; one that is already there is no failure.
    virtual SystemError createFolder(const std::filesystem::path &path) = 0;
    virtual bool isFolder(const std::filesystem::path &path) = 0;
    // Removes an empty folder; one that is not there is no failure.
    virtual SystemError removeFolder(const std::filesystem::path &path) = 0;
    // What the name is; with followLinks the file a link points to. A name that is not there
    // is no failure: its type is None.
    virtual SystemError status(const std::filesystem::path &path, FileStatus &status,
                               bool followLinks = true) = 0;
    // The names in a folder, without "." and "..".
    virtual SystemError listFolder(const std::filesystem::path &folder,
                                   std::vector<std::filesystem::path> &names) = 0;
    // A plain rename, over an existing file where there is one, whatever its rights.
    virtual SystemError rename(const std::filesystem::path &from,
                               const std::filesystem::path &to) = 0;
    // Where a symbolic link points, as written in it.
    virtual SystemError readLink(const std::filesystem::path &link,
                                 std::filesystem::path &target) = 0;
    // Sets the modification time, in the file clock's ticks.
    virtual SystemError setModified(const std::filesystem::path &path, std::int64_t modified) = 0;
    // Opens (or, with create, makes) a lock file, following no link. On Windows the open
    // itself is the lock: another copy's open fails with lockHeld.
    virtual SystemError openLock(const std::filesystem::path &path, bool create,
                                 Handle &handle) = 0;
    // Takes the lock of an opened lock file without waiting: lockHeld where another holds it.
    virtual SystemError tryLock(Handle handle) = 0;
    // Another program holds the file open so that none of its names can be removed or renamed
    // (Windows' sharing rule, as the game holds its music); never where no such rule exists.
    virtual bool inUse(const std::filesystem::path &) { return false; }

    // The clock a lock's wait is measured by, and the wait between tries.
    virtual std::chrono::steady_clock::time_point now() { return std::chrono::steady_clock::now(); }
    virtual void pause(std::chrono::milliseconds duration);

    // Helpers made of the calls above.
    bool exists(const std::filesystem::path &path, bool followLinks = false);
    bool sameFile(const std::filesystem::path &a, const std::filesystem::path &b);
    // The whole of a file, however long.
    SystemError readWhole(const std::filesystem::path &path, std::string &bytes);

    static FileSystem &native();
    // What openForReading refuses a pick with that is no regular file.
    static const SystemError notAFile;
    // What copyContent ends with on a stop request.
    static const SystemError cancelled;
    // What a lock held by another process is refused with.
    static const SystemError lockHeld;
    // True where the path opens for reading as a regular file; found without waiting on a
    // pipe or a device, which are false.
    static bool isRegularFile(const std::filesystem::path &path);
};

} // namespace core
