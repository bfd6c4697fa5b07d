// SPDX-License-Identifier: GPL-3.0-or-later
#include "sets/SetMusicCopy.h"

#include "files/AtomicFileWriter.h"
#include "files/WrittenFile.h"
#include "sets/SetCopiesRecord.h"
#include "settings/Platform.h"

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

// Opened without waiting: a plain open of a pipe waits for a writer that never comes.
std::optional<Failure> regularFileFailure(const fs::path &file)
{
#ifdef _WIN32
    const DWORD attributes = GetFileAttributesW(file.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return Failure{Failure::Kind::Source, file, SystemError(GetLastError())};
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return Failure{Failure::Kind::NotAFile, file, ERROR_DIRECTORY};
    HANDLE handle = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return Failure{Failure::Kind::Source, file, SystemError(GetLastError())};
    const bool disk = GetFileType(handle) == FILE_TYPE_DISK;
    CloseHandle(handle);
    if (!disk)
        return Failure{Failure::Kind::NotAFile, file, 0};
#else
    const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return Failure{errno == EISDIR ? Failure::Kind::NotAFile : Failure::Kind::Source, file,
                       errno};
    struct stat status
    {
    };
    const int statResult = ::fstat(fd, &status);
    const SystemError statError = statResult == 0 ? 0 : errno;
    ::close(fd);
    if (statResult != 0)
        return Failure{Failure::Kind::Source, file, statError};
    if (!S_ISREG(status.st_mode))
        return Failure{Failure::Kind::NotAFile, file, S_ISDIR(status.st_mode) ? EISDIR : 0};
#endif
    return std::nullopt;
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

bool sameFile(const fs::path &a, const fs::path &b)
{
    std::error_code error;
    return fs::equivalent(a, b, error) && !error;
}

SystemError errorOf(const std::error_code &error)
{
    return error ? SystemError(error.value()) : 0;
}

// Makes the new folder take the old one's place: where the system can, in one step, so that
// no moment passes without the folder. The old folder is then at aside.
SystemError exchange(const fs::path &newFolder, const fs::path &folder, fs::path &aside)
{
#ifdef __linux__
    if (::renameat2(AT_FDCWD, newFolder.c_str(), AT_FDCWD, folder.c_str(), RENAME_EXCHANGE) == 0) {
        aside = newFolder;
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
#endif
    std::error_code error;
    fs::rename(folder, aside, error);
    if (error)
        return errorOf(error);
    fs::rename(newFolder, folder, error);
    if (error) {
        std::error_code undo;
        fs::rename(aside, folder, undo);
    }
    return errorOf(error);
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
    std::error_code error;

    // What the set file holds now, to put back if this save fails.
    std::string oldBytes;
    const bool hadSetFile = fs::exists(setFile, error);
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
            fs::is_directory(fs::symlink_status(parent, error))) {
            folderName = parent.filename();
            best = fit;
        }
    }
    const fs::path folder = setFolder / folderName;
    const bool hadFolder = fs::is_directory(fs::symlink_status(folder, error));
    if (!hadFolder && fs::exists(fs::symlink_status(folder, error)))
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
    if (hadFolder)
        for (fs::directory_iterator it(folder, error), end; !error && it != end;
             it.increment(error))
            if (!earlierCopies.contains(comparable(it->path().filename())))
                taken.insert(comparable(it->path().filename()));

    // Nothing is written for a set with a pick that cannot be copied.
    for (const MusicSet::Pick &pick : set.picks)
        if (auto failure = regularFileFailure(pick.file))
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
        fs::remove_all(newFolder, error);
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
    if (hadFolder)
        for (fs::directory_iterator it(folder, error), end; !error && it != end;
             it.increment(error))
            if (taken.contains(comparable(it->path().filename())) &&
                it->path().filename() != recordName() &&
                !fs::exists(newFolder / it->path().filename()) && it->is_regular_file())
                fileSystem_.hardLink(it->path(), newFolder / it->path().filename());
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
        swapped = exchange(newFolder, folder, aside);
    else if (fs::rename(newFolder, folder, error); error)
        swapped = errorOf(error);
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
    for (fs::directory_iterator it(aside, error), end; !error && it != end; it.increment(error))
        leftBehind.push_back(it->path());
    for (const fs::path &entry : leftBehind) {
        const fs::path name = entry.filename();
        std::error_code entryError;
        const bool earlierCopy =
            earlierCopies.contains(comparable(name)) && earlierRecord.holdsCopy(entry);
        const bool oldRecord =
            name == recordName() && fs::is_regular_file(fs::symlink_status(entry, entryError));
        if (earlierCopy || oldRecord || sameFile(entry, folder / name))
            fileSystem_.remove(entry);
        else if (!fs::exists(fs::symlink_status(folder / name, entryError)))
            fs::rename(entry, folder / name, entryError);
    }
    fs::remove(aside, error);
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
