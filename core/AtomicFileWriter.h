// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FileError.h"
#include "FileSystem.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string_view>

namespace core {

// Replaces a file so that it always holds either its old bytes or the new ones: the new
// content goes into a temporary file of our own name pattern in the same folder, is flushed
// to disk, and is then renamed over the target. A failure removes the temporary file and
// leaves the target untouched.
class AtomicFileWriter
{
  public:
    // Runs once the new content is ready and flushed, in the file newContent, and before
    // the target changes; inPlace tells whether the target is about to be overwritten in
    // place. A failure stops the replacement and leaves the target untouched.
    using BeforeReplace =
        std::function<std::optional<FileError>(const std::filesystem::path &target, bool inPlace,
                                               const std::filesystem::path &newContent)>;

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
    // Where a source is staged before an overwrite in place; the system's temporary folder
    // unless set.
    void setStagingFolder(std::filesystem::path folder) { stagingFolder_ = std::move(folder); }

  private:
    // Makes the replacements durable: one folder sync for many files.
    void syncFolders();

    using Filler = std::function<std::optional<FileError>(FileSystem::Handle)>;
    // Makes the content ready before an overwrite in place: the file it is staged in.
    using Stager = std::function<std::optional<FileError>(std::filesystem::path &staged)>;

    // mayOverwrite: where no temporary file may be made in the folder, write the existing
    // file in place instead, as a plain copy does.
    std::optional<FileError> replaceWith(const std::filesystem::path &target, const Filler &fill,
                                         const Stager &stage, const BeforeReplace &beforeReplace);
    std::optional<FileError> overwriteInPlace(const std::filesystem::path &target,
                                              const Filler &fill, const Stager &stage,
                                              SystemError folderError,
                                              const BeforeReplace &beforeReplace);
    // Copies the open source whole into a new file of our pattern in the staging folder.
    std::optional<FileError> stageSource(FileSystem::Handle source, std::filesystem::path &staged,
                                         std::stop_token stop);
    // Fills the open file, flushes it to disk and closes it.
    std::optional<FileError> fillAndFlush(FileSystem::Handle handle, const Filler &fill);
    SystemError createTemporary(const std::filesystem::path &folder,
                                std::filesystem::path &temporary, FileSystem::Handle &handle);
    std::optional<FileError> pump(FileSystem::Handle source, FileSystem::Handle destination,
                                  std::stop_token stop = {});

    FileSystem &fileSystem_;
    std::set<std::filesystem::path> foldersToSync_;
    std::filesystem::path stagingFolder_;
};

} // namespace core
