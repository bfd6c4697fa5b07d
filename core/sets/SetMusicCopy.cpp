// SPDX-License-Identifier: GPL-3.0-or-later
#include "sets/SetMusicCopy.h"

#include "files/AtomicFileWriter.h"
#include "files/Platform.h"
#include "files/WrittenFile.h"
#include "sets/SetCopiesRecord.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace core {

namespace {

using Failure = SetMusicCopy::Failure;
namespace fs = std::filesystem;

#ifdef _WIN32
constexpr SystemError isAFolder = ERROR_DIRECTORY;
#else
constexpr SystemError isAFolder = EISDIR;
#endif

// Opened without waiting: a plain open of a pipe waits for a writer that never comes.
std::optional<Failure> regularFileFailure(const fs::path &file, FileSystem &fileSystem)
{
    FileSystem::Handle handle = 0;
    const SystemError error = fileSystem.openForReading(file, handle);
    if (error == 0) {
        fileSystem.close(handle);
        return std::nullopt;
    }
    if (error == isAFolder)
        return Failure{Failure::Kind::NotAFile, file, error};
    if (error == FileSystem::notAFile)
        return Failure{Failure::Kind::NotAFile, file, 0};
    return Failure{Failure::Kind::Source, file, error};
}

bool isFolderItself(const fs::path &path, FileSystem &fileSystem)
{
    FileStatus status;
    return fileSystem.status(path, status, false) == 0 && status.isFolder();
}

// Removes a folder of files made by this save.
void removeTree(const fs::path &folder, FileSystem &fileSystem)
{
    std::vector<fs::path> names;
    fileSystem.listFolder(folder, names);
    for (const fs::path &name : names)
        fileSystem.remove(folder / name);
    fileSystem.removeFolder(folder);
}

std::string comparable(const fs::path &name)
{
    return platform::asciiLowerCase(platform::textFromPath(name));
}

std::string textOf(const fs::path &name)
{
    return platform::textFromPath(name);
}

const fs::path &recordName()
{
    static const fs::path name = platform::pathFromText(SetCopiesRecord::fileName);
    return name;
}

// Makes the new folder take the old one's place: where the system can, in one step, so that
// no moment passes without the folder. The old folder is then at aside.
SystemError exchange(const fs::path &newFolder, const fs::path &folder, fs::path &aside,
                     FileSystem &fileSystem)
{
#ifdef __linux__
    if (::renameat2(AT_FDCWD, newFolder.c_str(), AT_FDCWD, folder.c_str(), RENAME_EXCHANGE) == 0) {
        aside = newFolder;
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS && errno != ENOENT)
        return errno;
#endif
    if (const SystemError error = fileSystem.rename(folder, aside))
        return error;
    const SystemError error = fileSystem.rename(newFolder, folder);
    if (error)
        fileSystem.rename(aside, folder);
    return error;
}

struct PlannedCopy
{
    fs::path source;
    fs::path name;
    bool inFolder = false; // the source is already a file of the set's folder
};

} // namespace

SetMusicCopy::SetMusicCopy(FileSystem &fileSystem) : fileSystem_(fileSystem) {}

std::optional<Failure> SetMusicCopy::save(MusicSet &set, const fs::path &setFile,
                                          const fs::path &newFolderName, std::stop_token stop,
                                          const Progress &progress)
{
    const fs::path setFolder = setFile.parent_path();
    const auto sameFile = [&](const fs::path &a, const fs::path &b) {
        return fileSystem_.sameFile(a, b);
    };

    // What the set file holds now, to put back if this save fails.
    std::string oldBytes;
    const bool hadSetFile = fileSystem_.exists(setFile, true);
    MusicSet oldSet;
    if (hadSetFile) {
        if (const auto failure = MusicSet::readFile(setFile, oldBytes))
            return Failure{Failure::Kind::Destination, setFile, failure->systemError};
        oldSet = MusicSet::parse(oldBytes, setFolder);
    }
    // A set saved again keeps the folder it names, whatever a new one would be called: the
    // one holding its copies, or for a set saved before copies were marked, a folder named
    // after the set.
    fs::path folderName = newFolderName;
    const std::string setName = platform::textFromPath(setFile.stem());
    int best = 0;
    for (const MusicSet::Pick &pick : oldSet.picks) {
        const fs::path parent = pick.file.parent_path();
        // A copy only where that folder's own record says an earlier save made it.
        const int fit =
            pick.copied && SetCopiesRecord::read(parent).lists(textOf(pick.file.filename())) ? 2
            : textOf(parent.filename()).starts_with(setName)                                 ? 1
                                                                                             : 0;
        if (fit > best && parent.parent_path() == setFolder.lexically_normal() &&
            isFolderItself(parent, fileSystem_)) {
            folderName = parent.filename();
            best = fit;
        }
    }
    const fs::path folder = setFolder / folderName;
    const bool hadFolder = isFolderItself(folder, fileSystem_);
    if (!hadFolder && fileSystem_.exists(folder))
        return Failure{Failure::Kind::Destination, folder, EEXIST};

    // The copies earlier saves made, as the set marks them and the folder's own record lists
    // them; everything else in the folder is the player's.
    const SetCopiesRecord earlierRecord =
        hadFolder ? SetCopiesRecord::read(folder) : SetCopiesRecord{};
    std::set<std::string> earlierCopies;
    for (const MusicSet::Pick &pick : oldSet.picks)
        if (pick.copied && pick.file.parent_path() == folder &&
            earlierRecord.lists(textOf(pick.file.filename())))
            earlierCopies.insert(comparable(pick.file.filename()));
    std::set<std::string> taken{comparable(recordName())};
    std::vector<fs::path> folderNames;
    if (hadFolder)
        fileSystem_.listFolder(folder, folderNames);
    for (const fs::path &name : folderNames)
        if (!earlierCopies.contains(comparable(name)))
            taken.insert(comparable(name));

    // Nothing is written for a set with a pick that cannot be copied.
    for (const MusicSet::Pick &pick : set.picks)
        if (auto failure = regularFileFailure(pick.file, fileSystem_))
            return failure;

    // One copy of each source, however many slots use it, by whatever path. Files already
    // in the folder keep their names; the others take free ones.
    std::vector<PlannedCopy> plan;
    std::vector<std::size_t> planOfPick;
    for (const MusicSet::Pick &pick : set.picks) {
        const auto same = std::find_if(plan.begin(), plan.end(), [&](const PlannedCopy &copy) {
            return sameFile(copy.source, pick.file);
        });
        if (same != plan.end()) {
            planOfPick.push_back(std::size_t(same - plan.begin()));
            continue;
        }
        PlannedCopy copy{pick.file, pick.file.filename(),
                         hadFolder && sameFile(pick.file.parent_path(), folder)};
        if (copy.inFolder)
            taken.insert(comparable(copy.name));
        planOfPick.push_back(plan.size());
        plan.push_back(copy);
    }
    for (PlannedCopy &copy : plan) {
        if (copy.inFolder)
            continue;
        const fs::path source = copy.source.filename();
        for (int n = 2; taken.contains(comparable(copy.name)); ++n)
            copy.name = platform::pathFromText(platform::textFromPath(source.stem()) + " (" +
                                               std::to_string(n) + ")" +
                                               platform::textFromPath(source.extension()));
        taken.insert(comparable(copy.name));
    }

    const fs::path newFolder =
        setFolder / platform::pathFromText(platform::textFromPath(folderName) +
                                           AtomicFileWriter::newTemporaryName());
    if (const SystemError made = fileSystem_.createFolder(newFolder))
        return Failure{Failure::Kind::Destination, newFolder, made};
    const auto abandon = [&](Failure failure) {
        removeTree(newFolder, fileSystem_);
        return failure;
    };

    SetCopiesRecord record;
    for (std::size_t i = 0; i < plan.size(); ++i) {
        if (stop.stop_requested())
            return abandon({Failure::Kind::Stopped, {}, 0});
        if (progress)
            progress(i, plan.size(), plan[i].source);
        const fs::path target = newFolder / plan[i].name;
        const std::string name = textOf(plan[i].name);
        // A file already there gets a second name rather than a second copy.
        if (plan[i].inFolder && fileSystem_.hardLink(plan[i].source, target) == 0) {
            if (earlierCopies.contains(comparable(plan[i].name)))
                record.carryOver(earlierRecord, name);
            continue;
        }
        if (auto failure = copy(plan[i].source, target, stop))
            return abandon(*failure);
        const std::optional<WrittenFile> made = WrittenFile::of(target);
        if (!plan[i].inFolder && made && name.find('\n') == std::string::npos)
            record.add(name, made->size, made->hash);
    }
    if (!record.empty()) {
        AtomicFileWriter writer(fileSystem_);
        if (const auto failure = writer.writeBytes(newFolder / recordName(), record.format()))
            return abandon(
                {Failure::Kind::Destination, newFolder / recordName(), failure->systemError});
    }
    // The player's own files of the folder come along under their names.
    for (const fs::path &name : folderNames) {
        FileStatus status;
        if (taken.contains(comparable(name)) && name != recordName() &&
            !fileSystem_.exists(newFolder / name, true) &&
            fileSystem_.status(folder / name, status) == 0 && status.isFile())
            fileSystem_.hardLink(folder / name, newFolder / name);
    }
    fileSystem_.syncFolder(newFolder);
    if (stop.stop_requested())
        return abandon({Failure::Kind::Stopped, {}, 0});

    for (std::size_t i = 0; i < set.picks.size(); ++i) {
        const PlannedCopy &copy = plan[planOfPick[i]];
        set.picks[i].file = folder / copy.name;
        set.picks[i].copied = !copy.inFolder || earlierCopies.contains(comparable(copy.name));
    }
    {
        AtomicFileWriter writer(fileSystem_);
        if (const auto failure = writer.writeBytes(setFile, set.format(setFolder)))
            return abandon({Failure::Kind::Destination, setFile, failure->systemError});
    }

    fs::path aside = setFolder / platform::pathFromText(platform::textFromPath(folderName) +
                                                        AtomicFileWriter::newTemporaryName());
    SystemError swapped = 0;
    if (hadFolder)
        swapped = exchange(newFolder, folder, aside, fileSystem_);
    else
        swapped = fileSystem_.rename(newFolder, folder);
    if (swapped) {
        AtomicFileWriter writer(fileSystem_);
        if (hadSetFile)
            writer.writeBytes(setFile, oldBytes);
        else
            fileSystem_.remove(setFile);
        return abandon({Failure::Kind::Destination, folder, swapped});
    }
    fileSystem_.syncFolder(setFolder);
    if (!hadFolder)
        return std::nullopt;

    // The old folder: earlier copies that still hold what was copied go, and so does its
    // record; what the player put there or changed joins the new folder.
    std::vector<fs::path> leftBehind;
    fileSystem_.listFolder(aside, leftBehind);
    for (const fs::path &name : leftBehind) {
        const fs::path entry = aside / name;
        const bool earlierCopy =
            earlierCopies.contains(comparable(name)) && earlierRecord.holdsCopy(entry);
        FileStatus status;
        const bool oldRecord = name == recordName() &&
                               fileSystem_.status(entry, status, false) == 0 && status.isFile();
        if (earlierCopy || oldRecord || sameFile(entry, folder / name))
            fileSystem_.remove(entry);
        else if (!fileSystem_.exists(folder / name))
            fileSystem_.rename(entry, folder / name);
    }
    fileSystem_.removeFolder(aside);
    return std::nullopt;
}

std::optional<Failure> SetMusicCopy::copy(const fs::path &source, const fs::path &target,
                                          const std::stop_token &stop)
{
    FileSystem::Handle input = 0;
    if (const SystemError error = fileSystem_.openForReading(source, input))
        return Failure{Failure::Kind::Source, source, error};
    FileSystem::Handle output = 0;
    if (const SystemError error = fileSystem_.createNew(target, output)) {
        fileSystem_.close(input);
        return Failure{Failure::Kind::Destination, target, error};
    }
    std::optional<Failure> failure;
    std::vector<char> buffer(1 << 20);
    for (;;) {
        if (stop.stop_requested()) {
            failure = Failure{Failure::Kind::Stopped, {}, 0};
            break;
        }
        std::size_t got = 0;
        if (const SystemError error = fileSystem_.read(input, buffer.data(), buffer.size(), got)) {
            failure = Failure{Failure::Kind::Source, source, error};
            break;
        }
        if (got == 0)
            break;
        if (const SystemError error = fileSystem_.write(output, buffer.data(), got)) {
            failure = Failure{Failure::Kind::Destination, target, error};
            break;
        }
    }
    if (!failure)
        if (const SystemError error = fileSystem_.flushToDisk(output))
            failure = Failure{Failure::Kind::Destination, target, error};
    fileSystem_.close(output);
    fileSystem_.close(input);
    return failure;
}

} // namespace core
