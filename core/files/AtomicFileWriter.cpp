// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/AtomicFileWriter.h"

#include "files/Platform.h"

#include <cstdio>
#include <memory>
#include <random>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#endif

namespace core {

namespace {

constexpr std::string_view temporaryPrefix = ".vmc3-";
constexpr std::string_view temporarySuffix = ".tmp";
constexpr int temporaryRandomDigits = 16;

#ifdef _WIN32
constexpr SystemError alreadyExists = ERROR_FILE_EXISTS;
constexpr SystemError isAFolder = ERROR_DIRECTORY;
constexpr SystemError unreadable = ERROR_READ_FAULT;
#else
constexpr SystemError alreadyExists = EEXIST;
constexpr SystemError isAFolder = EISDIR;
constexpr SystemError unreadable = EIO;
#endif

bool isAccessDenied(SystemError error)
{
#ifdef _WIN32
    return error == ERROR_ACCESS_DENIED;
#else
    return error == EACCES || error == EPERM;
#endif
}

// A file refused as its folder was, or gone: the folder's refusal says it for both.
bool refusedLikeItsFolder(SystemError error)
{
#ifdef _WIN32
    return error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT ||
           error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
#else
    return error == EACCES || error == EPERM || error == EROFS || error == ENOENT;
#endif
}

std::string randomDigits()
{
    thread_local std::mt19937_64 generator{std::random_device{}()};
    char digits[temporaryRandomDigits + 1];
    std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(generator()));
    return digits;
}

std::filesystem::path folderOf(const std::filesystem::path &target)
{
    std::filesystem::path folder = target.parent_path();
    return folder.empty() ? std::filesystem::path(".") : folder;
}

} // namespace

AtomicFileWriter::AtomicFileWriter(FileSystem &fileSystem) : fileSystem_(fileSystem) {}

// A link stays a link: the file it points to is the one replaced, in that file's folder.
// A hard-linked file is replaced as a new file of its own, and its other names keep the
// old content, as with any save that renames over a file.
std::filesystem::path AtomicFileWriter::resolveLinks(std::filesystem::path path)
{
    return resolveLinks(std::move(path), FileSystem::native());
}

std::filesystem::path AtomicFileWriter::resolveLinks(std::filesystem::path path,
                                                     FileSystem &fileSystem)
{
    constexpr int maximumLinks = 40;
    for (int hop = 0; hop < maximumLinks; ++hop) {
        FileStatus status;
        if (fileSystem.status(path, status, false) != 0 || status.type != FileStatus::Type::Link)
            break;
        std::filesystem::path pointed;
        if (fileSystem.readLink(path, pointed) != 0)
            break;
        path = pointed.is_absolute() ? pointed : path.parent_path() / pointed;
    }
    return path;
}

AtomicFileWriter::~AtomicFileWriter()
{
    syncFolders();
}

void AtomicFileWriter::syncFolders()
{
    for (const std::filesystem::path &folder : foldersToSync_)
        fileSystem_.syncFolder(folder);
    foldersToSync_.clear();
}

bool AtomicFileWriter::isTemporaryFileName(std::string_view name)
{
    const std::size_t expected =
        temporaryPrefix.size() + temporaryRandomDigits + temporarySuffix.size();
    if (name.size() != expected || name.substr(0, temporaryPrefix.size()) != temporaryPrefix ||
        name.substr(name.size() - temporarySuffix.size()) != temporarySuffix)
        return false;
    const std::string_view digits = name.substr(temporaryPrefix.size(), temporaryRandomDigits);
    return digits.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

void AtomicFileWriter::removeLeftovers(const std::filesystem::path &folder,
                                       std::optional<std::filesystem::file_time_type> olderThan)
{
    std::vector<std::filesystem::path> names;
    fileSystem_.listFolder(folder, names);
    for (const std::filesystem::path &name : names) {
        if (!isTemporaryFileName(platform::textFromPath(name)))
            continue;
        const std::filesystem::path file = folder / name;
        FileStatus status;
        if (fileSystem_.status(file, status) != 0 || !status.isFile())
            continue;
        if (olderThan && !(status.modified < olderThan->time_since_epoch().count()))
            continue;
        fileSystem_.remove(file);
    }
}

std::string AtomicFileWriter::newTemporaryName()
{
    return std::string(temporaryPrefix) + randomDigits() + std::string(temporarySuffix);
}

SystemError AtomicFileWriter::createTemporary(const std::filesystem::path &folder,
                                              std::filesystem::path &temporary,
                                              FileSystem::Handle &handle)
{
    SystemError error = 0;
    for (int attempt = 0; attempt < 8; ++attempt) {
        temporary = folder / newTemporaryName();
        error = fileSystem_.createNew(temporary, handle);
        if (error != alreadyExists)
            return error;
    }
    return error;
}

std::optional<FileError> AtomicFileWriter::prepare(
    const std::filesystem::path &requested,
    const std::function<std::optional<FileError>(FileSystem::Handle, WrittenFile::Hasher &)> &fill,
    bool mayStageElsewhere, Prepared &prepared)
{
    prepared = {};
    prepared.target = resolveLinks(requested, fileSystem_);
    if (fileSystem_.isFolder(prepared.target))
        return FileError{FileError::Kind::DestinationIsFolder, isAFolder};

    FileSystem::Handle handle = 0;
    if (const SystemError error =
            createTemporary(folderOf(prepared.target), prepared.content, handle)) {
        // A folder the user may not write can hold a file the user may (per-file rights):
        // there a plain copy overwrites the file, and so do we, from a staged copy.
        prepared.content.clear();
        if (!mayStageElsewhere || !isAccessDenied(error))
            return FileError::destination(error);
        prepared.inPlace = true;
        prepared.folderError = error;
        std::error_code tempError;
        const std::filesystem::path folder = stagingFolder_.empty()
                                                 ? std::filesystem::temp_directory_path(tempError)
                                                 : stagingFolder_;
        if (const SystemError created = createTemporary(folder, prepared.content, handle)) {
            prepared.content.clear();
            return FileError::destination(created);
        }
    } else {
        fileSystem_.copyPermissions(prepared.target, handle);
    }

    WrittenFile::Hasher hasher;
    std::optional<FileError> failure = fill(handle, hasher);
    if (!failure) {
        if (const SystemError error = fileSystem_.flushToDisk(handle))
            failure = FileError::destination(error);
    }
    fileSystem_.close(handle);
    if (!failure) {
        if (const std::optional<WrittenFile> made =
                WrittenFile::statOf(prepared.content, fileSystem_)) {
            prepared.written = *made;
            prepared.written.hash = hasher.hash();
        } else {
            failure = FileError::destination(unreadable);
        }
    }
    if (failure)
        discard(prepared);
    return failure;
}

std::optional<FileError> AtomicFileWriter::commit(Prepared &prepared)
{
    if (prepared.inPlace)
        return overwriteInPlace(prepared);
    if (const SystemError error = fileSystem_.replace(prepared.content, prepared.target)) {
        discard(prepared);
        return FileError::destination(error);
    }
    prepared.content.clear();
    foldersToSync_.insert(folderOf(prepared.target));
    return std::nullopt;
}

void AtomicFileWriter::discard(Prepared &prepared)
{
    if (!prepared.content.empty())
        fileSystem_.remove(prepared.content);
    prepared.content.clear();
}

std::optional<FileError> AtomicFileWriter::overwriteInPlace(Prepared &prepared)
{
    // Every read of the source happened before the target is touched.
    FileSystem::Handle staged = 0;
    FileSystem::Handle handle = 0;
    std::optional<FileError> failure;
    if (const SystemError error = fileSystem_.openForReading(prepared.content, staged)) {
        failure = FileError::destination(error);
    } else {
        // A file that is missing or not writable either: the folder's refusal is the answer.
        // Any other refusal (a file in use) is the open's own.
        if (const SystemError error = fileSystem_.openForOverwrite(prepared.target, handle)) {
            failure =
                FileError::destination(refusedLikeItsFolder(error) ? prepared.folderError : error);
        } else {
            failure = pump(staged, handle);
            if (!failure) {
                if (const SystemError error = fileSystem_.flushToDisk(handle))
                    failure = FileError::destination(error);
            }
            fileSystem_.close(handle);
        }
        // Closed before the staged file is removed, which Windows refuses for an open file.
        fileSystem_.close(staged);
    }
    if (!failure) {
        // The same time as the staged content, so that a look at size and time knows it.
        FileStatus staged;
        if (fileSystem_.status(prepared.content, staged) == 0 && staged.isFile())
            fileSystem_.setModified(prepared.target, staged.modified);
    }
    discard(prepared);
    return failure;
}

std::optional<FileError> AtomicFileWriter::writeBytes(const std::filesystem::path &target,
                                                      std::string_view bytes)
{
    // Written whole or not at all: never in place.
    Prepared prepared;
    if (std::optional<FileError> failure = prepare(
            target,
            [&](FileSystem::Handle handle, WrittenFile::Hasher &) -> std::optional<FileError> {
                if (const SystemError error = fileSystem_.write(handle, bytes.data(), bytes.size()))
                    return FileError::destination(error);
                return std::nullopt;
            },
            false, prepared))
        return failure;
    return commit(prepared);
}

std::optional<FileError> AtomicFileWriter::copyFile(const std::filesystem::path &source,
                                                    const std::filesystem::path &target,
                                                    const BeforeReplace &beforeReplace,
                                                    std::stop_token stop)
{
    Prepared prepared;
    if (std::optional<FileError> failure = prepareCopy(source, target, prepared, stop))
        return failure;
    if (beforeReplace) {
        if (std::optional<FileError> failure = beforeReplace(prepared)) {
            discard(prepared);
            return failure;
        }
    }
    return commit(prepared);
}

std::optional<FileError> AtomicFileWriter::prepareCopy(const std::filesystem::path &source,
                                                       const std::filesystem::path &target,
                                                       Prepared &prepared, std::stop_token stop)
{
    if (fileSystem_.isFolder(source))
        return FileError{FileError::Kind::SourceIsFolder, isAFolder};
    FileSystem::Handle input = 0;
    if (const SystemError error = fileSystem_.openForReading(source, input))
        return FileError{error == FileSystem::notAFile ? FileError::Kind::SourceNotAFile
                                                       : FileError::Kind::SourceCall,
                         error};
    // The source may be the target itself, which must never be emptied in place. It is
    // closed before any rename: Windows does not replace a file that is open.
    const bool ontoItself = fileSystem_.sameFile(source, target);
    const std::optional<FileError> failure = prepare(
        target,
        [&](FileSystem::Handle output, WrittenFile::Hasher &hasher) {
            return pump(input, output, &hasher, stop);
        },
        !ontoItself, prepared);
    fileSystem_.close(input);
    return failure;
}

std::optional<FileError> AtomicFileWriter::pump(FileSystem::Handle source,
                                                FileSystem::Handle destination,
                                                WrittenFile::Hasher *hasher, std::stop_token stop)
{
    bool sourceFailed = false;
    SystemError error = 0;
    if (!hasher) {
        error = fileSystem_.copyContent(source, destination, sourceFailed, stop);
    } else {
        // Read through the program, so that the bytes are hashed as they go by; written by the
        // kernel where it can, which takes them from the cache the read left them in.
        constexpr std::size_t bufferSize = std::size_t(1) << 20;
        const auto buffer = std::make_unique_for_overwrite<char[]>(bufferSize);
        std::int64_t position = 0;
        if ((error = fileSystem_.seek(source, 0, SEEK_CUR, position)))
            sourceFailed = true;
        while (!error) {
            if (stop.stop_requested()) {
                error = FileSystem::cancelled;
                break;
            }
            std::size_t got = 0;
            if ((error = fileSystem_.read(source, buffer.get(), bufferSize, got))) {
                sourceFailed = true;
                break;
            }
            if (got == 0)
                break;
            hasher->update(buffer.get(), got);
            if ((error = fileSystem_.writeCopyOf(source, position, destination, buffer.get(), got)))
                break;
            position += std::int64_t(got);
        }
    }
    if (!error)
        return std::nullopt;
    return FileError{sourceFailed ? FileError::Kind::SourceCall : FileError::Kind::DestinationCall,
                     error};
}
} // namespace core
