// SPDX-License-Identifier: GPL-3.0-or-later
#include "AtomicFileWriter.h"

#include "Platform.h"

#include <cstdio>
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
#else
constexpr SystemError alreadyExists = EEXIST;
constexpr SystemError isAFolder = EISDIR;
#endif

bool isAccessDenied(SystemError error)
{
#ifdef _WIN32
    return error == ERROR_ACCESS_DENIED;
#else
    return error == EACCES || error == EPERM;
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
    constexpr int maximumLinks = 40;
    std::error_code error;
    for (int hop = 0; hop < maximumLinks && std::filesystem::is_symlink(path, error); ++hop) {
        const std::filesystem::path pointed = std::filesystem::read_symlink(path, error);
        if (error)
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
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        std::error_code entryError;
        if (!it->is_regular_file(entryError) ||
            !isTemporaryFileName(platform::textFromPath(it->path().filename())))
            continue;
        if (olderThan && !(it->last_write_time(entryError) < *olderThan && !entryError))
            continue;
        fileSystem_.remove(it->path());
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

std::optional<FileError> AtomicFileWriter::replaceWith(const std::filesystem::path &requested,
                                                       const Filler &fill, const Stager &stage,
                                                       const BeforeReplace &beforeReplace)
{
    const std::filesystem::path target = resolveLinks(requested);
    if (fileSystem_.isFolder(target))
        return FileError{FileError::Kind::DestinationIsFolder, isAFolder};

    std::filesystem::path temporary;
    FileSystem::Handle handle = 0;
    if (const SystemError error = createTemporary(folderOf(target), temporary, handle)) {
        // A folder the user may not write can hold a file the user may (per-file rights):
        // there a plain copy overwrites the file, and so do we.
        if (stage && isAccessDenied(error))
            return overwriteInPlace(target, fill, stage, error, beforeReplace);
        return FileError::destination(error);
    }
    fileSystem_.copyPermissions(target, handle);

    std::optional<FileError> failure = fillAndFlush(handle, fill);
    if (!failure && beforeReplace)
        failure = beforeReplace(target, false, temporary);
    if (!failure) {
        if (const SystemError error = fileSystem_.replace(temporary, target))
            failure = FileError::destination(error);
        else
            foldersToSync_.insert(folderOf(target));
    }
    if (failure)
        fileSystem_.remove(temporary);
    return failure;
}

std::optional<FileError> AtomicFileWriter::overwriteInPlace(const std::filesystem::path &target,
                                                            const Filler &fill, const Stager &stage,
                                                            SystemError folderError,
                                                            const BeforeReplace &beforeReplace)
{
    // Every read of the source happens before the target is touched.
    std::filesystem::path staged;
    std::optional<FileError> failure = stage(staged);
    if (!failure && beforeReplace)
        failure = beforeReplace(target, true, staged);
    // A file that is missing or not writable either: the folder's refusal is the answer.
    FileSystem::Handle handle = 0;
    if (!failure && fileSystem_.openForOverwrite(target, handle))
        failure = FileError::destination(folderError);
    if (!failure) {
        failure = fillAndFlush(handle, fill);
        // The same time as the staged content, so that a look at size and time knows it.
        std::error_code error;
        if (!failure)
            std::filesystem::last_write_time(
                target, std::filesystem::last_write_time(staged, error), error);
    }
    if (!staged.empty())
        fileSystem_.remove(staged);
    return failure;
}

std::optional<FileError> AtomicFileWriter::stageSource(FileSystem::Handle source,
                                                       std::filesystem::path &staged,
                                                       std::stop_token stop)
{
    std::error_code error;
    const std::filesystem::path folder =
        stagingFolder_.empty() ? std::filesystem::temp_directory_path(error) : stagingFolder_;
    FileSystem::Handle handle = 0;
    if (const SystemError created = createTemporary(folder, staged, handle)) {
        staged.clear();
        return FileError::destination(created);
    }
    return fillAndFlush(handle,
                        [&](FileSystem::Handle output) { return pump(source, output, stop); });
}

std::optional<FileError> AtomicFileWriter::fillAndFlush(FileSystem::Handle handle,
                                                        const Filler &fill)
{
    std::optional<FileError> failure = fill(handle);
    if (!failure) {
        if (const SystemError error = fileSystem_.flushToDisk(handle))
            failure = FileError::destination(error);
    }
    fileSystem_.close(handle);
    return failure;
}

std::optional<FileError> AtomicFileWriter::writeBytes(const std::filesystem::path &target,
                                                      std::string_view bytes)
{
    // Written whole or not at all: never in place.
    return replaceWith(target,
                       [&](FileSystem::Handle handle) -> std::optional<FileError> {
                           if (const SystemError error =
                                   fileSystem_.write(handle, bytes.data(), bytes.size()))
                               return FileError::destination(error);
                           return std::nullopt;
                       },
                       {}, {});
}

std::optional<FileError> AtomicFileWriter::copyFile(const std::filesystem::path &source,
                                                    const std::filesystem::path &target,
                                                    const BeforeReplace &beforeReplace,
                                                    std::stop_token stop)
{
    if (fileSystem_.isFolder(source))
        return FileError{FileError::Kind::SourceIsFolder, isAFolder};
    FileSystem::Handle input = 0;
    if (const SystemError error = fileSystem_.openForReading(source, input))
        return FileError{error == FileSystem::notAFile ? FileError::Kind::SourceNotAFile
                                                       : FileError::Kind::SourceCall,
                         error};

    // The source is closed before the rename: Windows does not replace a file that is
    // open, and the source may be the target itself, which must never be emptied in place.
    std::error_code sameFileError;
    const bool ontoItself = std::filesystem::equivalent(source, target, sameFileError);
    FileSystem::Handle staged = 0;
    bool inputOpen = true;
    bool stagedOpen = false;
    const auto closeInput = [&] {
        if (std::exchange(inputOpen, false))
            fileSystem_.close(input);
    };
    const auto stage = [&](std::filesystem::path &stagedFile) -> std::optional<FileError> {
        std::optional<FileError> failure = stageSource(input, stagedFile, stop);
        closeInput();
        if (!failure) {
            if (const SystemError error = fileSystem_.openForReading(stagedFile, staged))
                failure = FileError::destination(error);
            stagedOpen = !failure;
        }
        return failure;
    };
    const std::optional<FileError> failure = replaceWith(
        target,
        [&](FileSystem::Handle output) {
            // Written in place from the staged copy: never stopped halfway.
            const std::optional<FileError> pumped =
                stagedOpen ? pump(staged, output) : pump(input, output, stop);
            closeInput();
            // Closed before the staged file is removed, which Windows refuses for an open file.
            if (std::exchange(stagedOpen, false))
                fileSystem_.close(staged);
            return pumped;
        },
        ontoItself ? Stager{} : Stager{stage}, beforeReplace);
    closeInput();
    if (stagedOpen)
        fileSystem_.close(staged);
    return failure;
}

std::optional<FileError> AtomicFileWriter::pump(FileSystem::Handle source,
                                                FileSystem::Handle destination,
                                                std::stop_token stop)
{
    bool sourceFailed = false;
    const SystemError error = fileSystem_.copyContent(source, destination, sourceFailed, stop);
    if (!error)
        return std::nullopt;
    return FileError{sourceFailed ? FileError::Kind::SourceCall : FileError::Kind::DestinationCall,
                     error};
}
} // namespace core
