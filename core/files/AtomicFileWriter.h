// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "files/FileError.h"
#include "files/FileSystem.h"
#include "files/WrittenFile.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <stop_token>
#include <string_view>

namespace core {

// Replaces a file so that it always holds either its old bytes or the new ones: the new
// content goes into a temporary file of our own name pattern in the same folder, is flushed
// to disk, and is then renamed over the target. A failure removes the temporary file and
// leaves the target untouched.
class AtomicFileWriter
{
  public:
    // A replacement made ready but not yet seen: the new content is whole and flushed, in a
    // temporary file beside the target or, where the target's folder takes none, staged
    // elsewhere to be written over the target in place.
    struct Prepared
    {
        std::filesystem::path target;  // its links followed
        std::filesystem::path content; // the new bytes
        bool inPlace = false;
        SystemError folderError = 0; // why the folder took no temporary file
        WrittenFile written;         // the new content's size, time and hash
    };

    // Runs once the new content is ready and flushed, before the target changes. A failure
    // stops the replacement and leaves the target untouched.
    using BeforeReplace = std::function<std::optional<FileError>(const Prepared &)>;

    explicit AtomicFileWriter(FileSystem &fileSystem = FileSystem::native());
    // Syncs the folders it has renamed into.
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter &) = delete;
    AtomicFileWriter &operator=(const AtomicFileWriter &) = delete;

    // Only ever atomic: fails where the folder takes no temporary file.
    std::optional<FileError> writeBytes(const std::filesystem::path &target,
                                        std::string_view bytes);
    // Atomic where the folder allows; else overwrites a file the user may write in place,
    // after reading the whole source into a staging file, so that a failing source never
    // leaves the target part-written.
    // A stop request ends the reading of the source between blocks, target untouched, with
    // FileSystem::cancelled.
    std::optional<FileError> copyFile(const std::filesystem::path &source,
                                      const std::filesystem::path &target,
                                      const BeforeReplace &beforeReplace = {},
                                      std::stop_token stop = {});

    // copyFile in steps, so that many replacements can be made ready, recorded together and
    // then made seen: the source is read whole (and hashed) here, the target not touched.
    std::optional<FileError> prepareCopy(const std::filesystem::path &source,
                                         const std::filesystem::path &target, Prepared &prepared,
                                         std::stop_token stop = {});
    // Renames the content over the target, or writes it over the target in place.
    std::optional<FileError> commit(Prepared &prepared);
    // Removes the content of a replacement that is not to be committed.
    void discard(Prepared &prepared);
    // Makes the renames done so far durable: one folder sync for many files.
    void syncFolders();

    // Temporary files that an interrupted replacement left behind in the folder, those last
    // written before olderThan where given; nothing else there is touched.
    void removeLeftovers(const std::filesystem::path &folder,
                         std::optional<std::filesystem::file_time_type> olderThan = {});

    static bool isTemporaryFileName(std::string_view fileName);
    // A new name of our temporary file pattern.
    static std::string newTemporaryName();
    // The file a path names once its symbolic links are followed: the one a replacement
    // writes, and the link stays a link.
    static std::filesystem::path resolveLinks(std::filesystem::path path);
    static std::filesystem::path resolveLinks(std::filesystem::path path, FileSystem &fileSystem);
    // Where a source is staged before an overwrite in place; the system's temporary folder
    // unless set.
    void setStagingFolder(std::filesystem::path folder) { stagingFolder_ = std::move(folder); }

  private:
    // Fills a new temporary file in the folder (or, where the folder takes none and
    // mayStageElsewhere, in the staging folder), flushes and closes it, and describes it.
    std::optional<FileError>
    prepare(const std::filesystem::path &requested,
            const std::function<std::optional<FileError>(FileSystem::Handle, WrittenFile::Hasher &)>
                &fill,
            bool mayStageElsewhere, Prepared &prepared);
    std::optional<FileError> overwriteInPlace(Prepared &prepared);
    SystemError createTemporary(const std::filesystem::path &folder,
                                std::filesystem::path &temporary, FileSystem::Handle &handle);
    // Copies the rest of the source into the destination, hashing what goes by.
    std::optional<FileError> pump(FileSystem::Handle source, FileSystem::Handle destination,
                                  WrittenFile::Hasher *hasher = nullptr, std::stop_token stop = {});

    FileSystem &fileSystem_;
    std::set<std::filesystem::path> foldersToSync_;
    std::filesystem::path stagingFolder_;
};

} // namespace core
