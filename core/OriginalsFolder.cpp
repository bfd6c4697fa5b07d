#include "OriginalsFolder.h"

#include "FailureCodes.h"
#include "Platform.h"

#include <system_error>

namespace core {

namespace {

bool isThere(const std::filesystem::path &path)
{
    std::error_code error;
    return std::filesystem::exists(std::filesystem::symlink_status(path, error));
}

bool sameFile(const std::filesystem::path &a, const std::filesystem::path &b)
{
    std::error_code error;
    return std::filesystem::equivalent(a, b, error);
}

} // namespace

OriginalsFolder::OriginalsFolder(std::string_view musicFolder, FileSystem &fileSystem)
    : fileSystem_(fileSystem), musicFolder_(musicFolder),
      folder_(gameFolder() / platform::pathFromText(folderName))
{
}

std::filesystem::path OriginalsFolder::gameFolder() const
{
    return platform::pathFromText(musicFolder_ + "x").parent_path();
}

std::filesystem::path OriginalsFolder::gameFile(std::string_view targetName) const
{
    // The target name is glued to the folder text, as the replacement run does.
    const std::filesystem::path exact = platform::pathFromText(musicFolder_ + std::string(targetName));
#ifdef _WIN32
    return exact;
#else
    // Installs copied from Windows media carry other letter cases; Windows would replace
    // such a file, and so do we when it is the only one.
    if (isThere(exact))
        return exact;
    const std::string wanted = platform::asciiLowerCase(exact.filename().string());
    std::filesystem::path match;
    std::error_code error;
    const std::filesystem::path folder = exact.parent_path().empty() ? "." : exact.parent_path();
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        if (platform::asciiLowerCase(it->path().filename().string()) != wanted)
            continue;
        if (!match.empty())
            return exact;
        match = exact.parent_path() / it->path().filename();
    }
    return match.empty() ? exact : match;
#endif
}

std::filesystem::path OriginalsFolder::keptFile(std::string_view targetName) const
{
    return folder_ / platform::pathFromText(targetName);
}

std::filesystem::path OriginalsFolder::absentMarker(std::string_view targetName) const
{
    return folder_ / platform::pathFromText(std::string(targetName) + std::string(absentSuffix));
}

bool OriginalsFolder::isKept(std::string_view targetName) const
{
    return isThere(keptFile(targetName)) || isThere(absentMarker(targetName));
}

int OriginalsFolder::keptCount(const SlotTable &slots) const
{
    int count = 0;
    for (int i = 0; i < slotCount; ++i)
        count += isKept(slots.targetFileName(i)) ? 1 : 0;
    return count;
}

std::optional<FileError> OriginalsFolder::keep(const std::filesystem::path &gameFile,
                                               std::string_view targetName, bool inPlace)
{
    const std::filesystem::path kept = keptFile(targetName);
    if (isKept(targetName)) {
        // A kept second name of the very file about to be overwritten in place would be
        // overwritten with it: it becomes a copy of its own first.
        if (inPlace && sameFile(kept, gameFile))
            return keepCopy(gameFile, kept);
        return std::nullopt;
    }
    if (const SystemError error = fileSystem_.createFolder(folder_))
        return FileError::destination(error);
    if (!isThere(gameFile)) {
        AtomicFileWriter writer(fileSystem_);
        return writer.writeBytes(absentMarker(targetName), {});
    }
    // A second name costs no copying; the new file then takes the game file's name by
    // rename, leaving the old data under the kept name.
    if (!inPlace && fileSystem_.hardLink(gameFile, kept) == 0) {
        fileSystem_.syncFolder(folder_);
        return std::nullopt;
    }
    return keepCopy(gameFile, kept);
}

std::optional<FileError> OriginalsFolder::keepCopy(const std::filesystem::path &gameFile,
                                                   const std::filesystem::path &kept)
{
    std::error_code error;
    const auto modified = std::filesystem::last_write_time(gameFile, error);
    {
        AtomicFileWriter writer(fileSystem_);
        if (std::optional<FileError> failure = writer.copyFile(gameFile, kept))
            return failure;
    }
    if (!error)
        std::filesystem::last_write_time(kept, modified, error);
    return std::nullopt;
}

RunResult OriginalsFolder::restore(const SlotTable &slots, const SlotTexts &labels,
                                   std::uint8_t language)
{
    AtomicFileWriter writer(fileSystem_);
    writer.removeLeftovers(gameFolder());
    for (int i = 0; i < slotCount; ++i) {
        if (const std::optional<FileError> error = restoreSlot(writer, slots.targetFileName(i))) {
            const int code = failureCodeFor(*error);
            return {RunResult::Outcome::Failed, i, code,
                    ReplacementRun::failureMessage(language, labels[i], code)};
        }
    }
    return {};
}

std::optional<FileError> OriginalsFolder::restoreSlot(AtomicFileWriter &writer,
                                                      std::string_view targetName)
{
    const std::filesystem::path target = gameFile(targetName);
    if (isThere(absentMarker(targetName))) {
        if (const SystemError error = fileSystem_.remove(target))
            return FileError::destination(error);
        return std::nullopt;
    }
    const std::filesystem::path kept = keptFile(targetName);
    if (!isThere(kept))
        return std::nullopt;
    return writer.copyFile(kept, target);
}

} // namespace core
