// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/NativeFileSystem.h"

#include <cstdio>
#include <memory>
#include <system_error>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace core {

FileSystem &FileSystem::native()
{
    static NativeFileSystem fileSystem;
    return fileSystem;
}

bool FileSystem::isRegularFile(const std::filesystem::path &path)
{
    Handle handle = 0;
    if (native().openForReading(path, handle))
        return false;
    native().close(handle);
    return true;
}

SystemError FileSystem::copyContent(Handle source, Handle destination, bool &sourceFailed,
                                    std::stop_token stop)
{
    constexpr std::size_t bufferSize = std::size_t(1) << 20;
    const auto buffer = std::make_unique_for_overwrite<char[]>(bufferSize);
    for (;;) {
        if (stop.stop_requested()) {
            sourceFailed = false;
            return cancelled;
        }
        std::size_t got = 0;
        if (const SystemError error = read(source, buffer.get(), bufferSize, got)) {
            sourceFailed = true;
            return error;
        }
        if (got == 0)
            return 0;
        if (const SystemError error = write(destination, buffer.get(), got)) {
            sourceFailed = false;
            return error;
        }
    }
}

SystemError FileSystem::writeCopyOf(Handle, std::int64_t, Handle destination, const char *data,
                                    std::size_t size)
{
    return write(destination, data, size);
}

void FileSystem::pause(std::chrono::milliseconds duration)
{
    std::this_thread::sleep_for(duration);
}

bool FileSystem::exists(const std::filesystem::path &path, bool followLinks)
{
    FileStatus found;
    return status(path, found, followLinks) == 0 && found.exists();
}

bool FileSystem::sameFile(const std::filesystem::path &a, const std::filesystem::path &b)
{
    FileStatus first;
    FileStatus second;
    return status(a, first) == 0 && status(b, second) == 0 && first.sameFileAs(second);
}

SystemError FileSystem::readWhole(const std::filesystem::path &path, std::string &bytes)
{
    bytes.clear();
    Handle handle = 0;
    if (const SystemError error = openForReading(path, handle))
        return error;
    constexpr std::size_t chunk = 64 * 1024;
    SystemError error = 0;
    for (;;) {
        const std::size_t had = bytes.size();
        bytes.resize(had + chunk);
        std::size_t got = 0;
        if ((error = read(handle, bytes.data() + had, chunk, got))) {
            bytes.resize(had);
            break;
        }
        bytes.resize(had + got);
        if (got == 0)
            break;
    }
    close(handle);
    return error;
}

bool NativeFileSystem::isFolder(const std::filesystem::path &path)
{
    std::error_code error;
    return std::filesystem::is_directory(path, error);
}

SystemError NativeFileSystem::listFolder(const std::filesystem::path &folder,
                                         std::vector<std::filesystem::path> &names)
{
    names.clear();
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error))
        names.push_back(it->path().filename());
    return error ? SystemError(error.value()) : 0;
}

SystemError NativeFileSystem::readLink(const std::filesystem::path &link,
                                       std::filesystem::path &target)
{
    std::error_code error;
    target = std::filesystem::read_symlink(link, error);
    return error ? SystemError(error.value()) : 0;
}

SystemError NativeFileSystem::setModified(const std::filesystem::path &path, std::int64_t modified)
{
    std::error_code error;
    std::filesystem::last_write_time(
        path, std::filesystem::file_time_type(std::filesystem::file_time_type::duration(modified)),
        error);
    return error ? SystemError(error.value()) : 0;
}

namespace {
// The file clock's ticks, as std::filesystem gives them on every platform.
std::int64_t modifiedTicks(const std::filesystem::path &path)
{
    std::error_code error;
    const auto time = std::filesystem::last_write_time(path, error);
    return error ? 0 : std::int64_t(time.time_since_epoch().count());
}
} // namespace

#ifdef _WIN32

// What GetFileType reports as no disk file (a device, a pipe, a console).
const SystemError FileSystem::notAFile = ERROR_BAD_FILE_TYPE;
const SystemError FileSystem::cancelled = ERROR_CANCELLED;
const SystemError FileSystem::lockHeld = ERROR_SHARING_VIOLATION;

namespace {
HANDLE toWin(FileSystem::Handle handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

SystemError openForWriting(const std::filesystem::path &path, DWORD disposition,
                           FileSystem::Handle &handle)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, disposition,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return SystemError(GetLastError());
    handle = reinterpret_cast<FileSystem::Handle>(file);
    return 0;
}
} // namespace

SystemError NativeFileSystem::openForReading(const std::filesystem::path &path, Handle &handle)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return ERROR_DIRECTORY;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return SystemError(GetLastError());
    // A pipe, a console or a printer port would wait or never end.
    if (GetFileType(file) != FILE_TYPE_DISK) {
        CloseHandle(file);
        return notAFile;
    }
    handle = reinterpret_cast<Handle>(file);
    return 0;
}

SystemError NativeFileSystem::createNew(const std::filesystem::path &path, Handle &handle)
{
    return openForWriting(path, CREATE_NEW, handle);
}

SystemError NativeFileSystem::openForOverwrite(const std::filesystem::path &path, Handle &handle)
{
    return openForWriting(path, TRUNCATE_EXISTING, handle);
}

SystemError NativeFileSystem::read(Handle handle, char *buffer, std::size_t capacity,
                                   std::size_t &bytesRead)
{
    DWORD got = 0;
    if (!ReadFile(toWin(handle), buffer, DWORD(capacity), &got, nullptr))
        return SystemError(GetLastError());
    bytesRead = got;
    return 0;
}

SystemError NativeFileSystem::seek(Handle handle, std::int64_t offset, int whence,
                                   std::int64_t &position)
{
    const DWORD method = whence == SEEK_END   ? FILE_END
                         : whence == SEEK_CUR ? FILE_CURRENT
                                              : FILE_BEGIN;
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    LARGE_INTEGER now;
    if (!SetFilePointerEx(toWin(handle), distance, &now, method))
        return SystemError(GetLastError());
    position = now.QuadPart;
    return 0;
}

SystemError NativeFileSystem::write(Handle handle, const char *data, std::size_t size)
{
    while (size > 0) {
        DWORD written = 0;
        if (!WriteFile(toWin(handle), data, DWORD(size), &written, nullptr))
            return SystemError(GetLastError());
        data += written;
        size -= written;
    }
    return 0;
}

SystemError NativeFileSystem::flushToDisk(Handle handle)
{
    return FlushFileBuffers(toWin(handle)) ? 0 : SystemError(GetLastError());
}

void NativeFileSystem::close(Handle handle)
{
    CloseHandle(toWin(handle));
}

void NativeFileSystem::copyPermissions(const std::filesystem::path &, Handle)
{
    // A new file inherits the folder's access list, as the replaced one did.
}

SystemError NativeFileSystem::replace(const std::filesystem::path &from,
                                      const std::filesystem::path &to)
{
    // A read-only file is not to be overwritten, as a copy onto it would not be.
    const DWORD attributes = GetFileAttributesW(to.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        return ERROR_ACCESS_DENIED;
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return 0;
    return SystemError(GetLastError());
}

void NativeFileSystem::syncFolder(const std::filesystem::path &)
{
    // MOVEFILE_WRITE_THROUGH has already made each rename durable.
}

SystemError NativeFileSystem::remove(const std::filesystem::path &path)
{
    if (DeleteFileW(path.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND)
        return 0;
    return SystemError(GetLastError());
}

SystemError NativeFileSystem::hardLink(const std::filesystem::path &existing,
                                       const std::filesystem::path &link)
{
    return CreateHardLinkW(link.c_str(), existing.c_str(), nullptr) ? 0
                                                                    : SystemError(GetLastError());
}

SystemError NativeFileSystem::createFolder(const std::filesystem::path &path)
{
    if (CreateDirectoryW(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS)
        return 0;
    return SystemError(GetLastError());
}

SystemError NativeFileSystem::removeFolder(const std::filesystem::path &path)
{
    if (RemoveDirectoryW(path.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND ||
        GetLastError() == ERROR_PATH_NOT_FOUND)
        return 0;
    return SystemError(GetLastError());
}

SystemError NativeFileSystem::status(const std::filesystem::path &path, FileStatus &status,
                                     bool followLinks)
{
    status = {};
    const DWORD flags =
        FILE_FLAG_BACKUP_SEMANTICS | (followLinks ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    HANDLE file = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, flags, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? 0
                                                                              : SystemError(error);
    }
    BY_HANDLE_FILE_INFORMATION information{};
    FILE_BASIC_INFO basic{};
    const bool known = GetFileInformationByHandle(file, &information) &&
                       GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic);
    const DWORD error = known ? 0 : GetLastError();
    const DWORD type = GetFileType(file);
    CloseHandle(file);
    if (!known)
        return SystemError(error);
    const DWORD attributes = information.dwFileAttributes;
    status.type = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) && !followLinks
                      ? FileStatus::Type::Link
                  : (attributes & FILE_ATTRIBUTE_DIRECTORY) ? FileStatus::Type::Folder
                  : type == FILE_TYPE_DISK                  ? FileStatus::Type::File
                                                            : FileStatus::Type::Other;
    status.device = information.dwVolumeSerialNumber;
    status.inode = (std::uint64_t(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
    status.size = (std::uint64_t(information.nFileSizeHigh) << 32) | information.nFileSizeLow;
    status.links = information.nNumberOfLinks;
    status.changed = basic.ChangeTime.QuadPart;
    status.mode = (attributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666;
    status.modified = modifiedTicks(path);
    return 0;
}

SystemError NativeFileSystem::rename(const std::filesystem::path &from,
                                     const std::filesystem::path &to)
{
    return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)
               ? 0
               : SystemError(GetLastError());
}

SystemError NativeFileSystem::openLock(const std::filesystem::path &path, bool create,
                                       Handle &handle)
{
    // Opened without sharing and never deleted on close: while one copy has it open, every
    // other open fails. A file made by an elevated copy may be read only to us.
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              create ? OPEN_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_HIDDEN, nullptr);
    DWORD error = file == INVALID_HANDLE_VALUE ? GetLastError() : 0;
    const DWORD openError = error;
    if (error == ERROR_ACCESS_DENIED) {
        file = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        error = file == INVALID_HANDLE_VALUE ? GetLastError() : 0;
        // The first refusal says why where there is no lock file to open read-only.
        if (error == ERROR_FILE_NOT_FOUND)
            error = openError;
    }
    if (error == ERROR_LOCK_VIOLATION)
        error = ERROR_SHARING_VIOLATION;
    if (error)
        return SystemError(error);
    handle = reinterpret_cast<Handle>(file);
    return 0;
}

SystemError NativeFileSystem::tryLock(Handle)
{
    // The open without sharing is the lock.
    return 0;
}

bool NativeFileSystem::inUse(const std::filesystem::path &path)
{
    // An open for deletion that shares everything fails only where another open does not
    // share deletion; opening it deletes nothing.
    HANDLE file =
        CreateFileW(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_SHARING_VIOLATION;
    CloseHandle(file);
    return false;
}

#else

// A device or pipe is taken for a bad argument: no errno says "no regular file".
const SystemError FileSystem::notAFile = EINVAL;
const SystemError FileSystem::cancelled = ECANCELED;
const SystemError FileSystem::lockHeld = EWOULDBLOCK;

namespace {

int toFd(FileSystem::Handle handle)
{
    return int(handle);
}

// What copy_file_range answers where it is not offered between two files (another file
// system, an old kernel, a special file): the program then copies them itself.
bool kernelCopyRefused(int error)
{
    return error == EXDEV || error == EINVAL || error == ENOSYS || error == EOPNOTSUPP ||
           error == EBADF;
}

// No write bit for anyone: refused whatever the caller's privileges, as on Windows.
bool isReadOnlyFile(const std::filesystem::path &path)
{
    struct stat status
    {
    };
    return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
           (status.st_mode & 0222) == 0;
}

} // namespace

SystemError NativeFileSystem::openForReading(const std::filesystem::path &path, Handle &handle)
{
    // Without waiting: a pipe with no writer opens at once, and is then refused.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    struct stat status
    {
    };
    SystemError error = 0;
    if (::fstat(fd, &status) != 0)
        error = errno;
    else if (S_ISDIR(status.st_mode))
        error = EISDIR;
    else if (!S_ISREG(status.st_mode))
        error = notAFile;
    if (error) {
        ::close(fd);
        return error;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    handle = fd;
    return 0;
}

SystemError NativeFileSystem::createNew(const std::filesystem::path &path, Handle &handle)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return errno;
    handle = fd;
    return 0;
}

SystemError NativeFileSystem::openForOverwrite(const std::filesystem::path &path, Handle &handle)
{
    if (isReadOnlyFile(path))
        return EACCES;
    const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0)
        return errno;
    handle = fd;
    return 0;
}

SystemError NativeFileSystem::read(Handle handle, char *buffer, std::size_t capacity,
                                   std::size_t &bytesRead)
{
    for (;;) {
        const ssize_t got = ::read(toFd(handle), buffer, capacity);
        if (got >= 0) {
            bytesRead = std::size_t(got);
            return 0;
        }
        if (errno != EINTR)
            return errno;
    }
}

SystemError NativeFileSystem::seek(Handle handle, std::int64_t offset, int whence,
                                   std::int64_t &position)
{
    const off_t now = ::lseek(toFd(handle), off_t(offset), whence);
    if (now < 0)
        return errno;
    position = now;
    return 0;
}

SystemError NativeFileSystem::write(Handle handle, const char *data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(toFd(handle), data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        data += written;
        size -= std::size_t(written);
    }
    return 0;
}

SystemError NativeFileSystem::copyContent(Handle source, Handle destination, bool &sourceFailed,
                                          std::stop_token stop)
{
    // Small enough that a stop request is heard within a moment even on a slow stick.
    constexpr std::size_t chunk = std::size_t(16) << 20;
    for (;;) {
        if (stop.stop_requested()) {
            sourceFailed = false;
            return cancelled;
        }
        const ssize_t copied =
            ::copy_file_range(toFd(source), nullptr, toFd(destination), nullptr, chunk, 0);
        if (copied > 0)
            continue;
        if (copied == 0)
            return 0;
        if (errno == EINTR)
            continue;
        // Not offered between these files: copy through the program, from where the kernel
        // stopped.
        if (kernelCopyRefused(errno))
            return FileSystem::copyContent(source, destination, sourceFailed, stop);
        sourceFailed = errno == EISDIR;
        return errno;
    }
}

SystemError NativeFileSystem::writeCopyOf(Handle source, std::int64_t offset, Handle destination,
                                          const char *data, std::size_t size)
{
    std::size_t done = 0;
    while (done < size) {
        off_t from = off_t(offset) + off_t(done);
        const ssize_t copied =
            ::copy_file_range(toFd(source), &from, toFd(destination), nullptr, size - done, 0);
        if (copied > 0) {
            done += std::size_t(copied);
            continue;
        }
        if (copied < 0 && errno == EINTR)
            continue;
        // Not offered here, or the source is shorter than when it was read: the rest as read.
        if (copied == 0 || kernelCopyRefused(errno))
            return write(destination, data + done, size - done);
        return errno;
    }
    return 0;
}

SystemError NativeFileSystem::flushToDisk(Handle handle)
{
    return ::fsync(toFd(handle)) == 0 ? 0 : errno;
}

void NativeFileSystem::close(Handle handle)
{
    ::close(toFd(handle));
}

void NativeFileSystem::copyPermissions(const std::filesystem::path &from, Handle to)
{
    struct stat status
    {
    };
    if (::stat(from.c_str(), &status) == 0)
        ::fchmod(toFd(to), status.st_mode & 07777);
}

SystemError NativeFileSystem::replace(const std::filesystem::path &from,
                                      const std::filesystem::path &to)
{
    if (isReadOnlyFile(to))
        return EACCES;
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

void NativeFileSystem::syncFolder(const std::filesystem::path &folder)
{
    // The data is on disk before any rename, so a folder that cannot be synced leaves every
    // file whole, either old or new.
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

SystemError NativeFileSystem::remove(const std::filesystem::path &path)
{
    return ::unlink(path.c_str()) == 0 || errno == ENOENT ? 0 : errno;
}

SystemError NativeFileSystem::hardLink(const std::filesystem::path &existing,
                                       const std::filesystem::path &link)
{
    return ::link(existing.c_str(), link.c_str()) == 0 ? 0 : errno;
}

SystemError NativeFileSystem::createFolder(const std::filesystem::path &path)
{
    return ::mkdir(path.c_str(), 0777) == 0 || errno == EEXIST ? 0 : errno;
}

SystemError NativeFileSystem::removeFolder(const std::filesystem::path &path)
{
    return ::rmdir(path.c_str()) == 0 || errno == ENOENT ? 0 : errno;
}

SystemError NativeFileSystem::status(const std::filesystem::path &path, FileStatus &status,
                                     bool followLinks)
{
    status = {};
    struct stat found
    {
    };
    if ((followLinks ? ::stat(path.c_str(), &found) : ::lstat(path.c_str(), &found)) != 0)
        return errno == ENOENT || errno == ENOTDIR ? 0 : errno;
    status.type = S_ISREG(found.st_mode)   ? FileStatus::Type::File
                  : S_ISDIR(found.st_mode) ? FileStatus::Type::Folder
                  : S_ISLNK(found.st_mode) ? FileStatus::Type::Link
                                           : FileStatus::Type::Other;
    status.device = std::uint64_t(found.st_dev);
    status.inode = std::uint64_t(found.st_ino);
    status.size = std::uint64_t(found.st_size);
    status.changed = std::int64_t(found.st_ctim.tv_sec) * 1000000000 + found.st_ctim.tv_nsec;
    status.mode = std::uint32_t(found.st_mode & 07777);
    status.links = std::uint32_t(found.st_nlink);
    if (status.type != FileStatus::Type::Link)
        status.modified = modifiedTicks(path);
    return 0;
}

SystemError NativeFileSystem::rename(const std::filesystem::path &from,
                                     const std::filesystem::path &to)
{
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

SystemError NativeFileSystem::openLock(const std::filesystem::path &path, bool create,
                                       Handle &handle)
{
    int fd = ::open(path.c_str(), O_RDWR | (create ? O_CREAT : 0) | O_CLOEXEC | O_NOFOLLOW, 0644);
    // The first refusal says why: a read-only folder without a lock file is read-only.
    const int openError = fd < 0 ? errno : 0;
    // A lock file another user made: a lock needs no write access.
    if (fd < 0 && (errno == EACCES || errno == EROFS))
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return openError;
    handle = fd;
    return 0;
}

SystemError NativeFileSystem::tryLock(Handle handle)
{
    for (;;) {
        if (::flock(toFd(handle), LOCK_EX | LOCK_NB) == 0)
            return 0;
        if (errno != EINTR)
            return errno == EWOULDBLOCK ? lockHeld : errno;
    }
}

#endif

} // namespace core
