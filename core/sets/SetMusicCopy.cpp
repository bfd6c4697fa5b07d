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
#include <utility>
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

// One save, phase by phase: the set file read as it was, the folder chosen and surveyed, the
// copies planned, a new folder filled with them, the set pointed at it, the folders swapped
// and the old one cleared.
class SetMusicCopy::Saving
{
  public:
    Saving(SetMusicCopy &copier, MusicSet &set, const fs::path &setFile,
           const fs::path &newFolderName, std::stop_token stop, const Progress &progress);

    std::optional<Failure> run();

  private:
    // What the set file holds now, to put back if this save fails.
    std::optional<Failure> readOldSet();
    // A set saved again keeps the folder it names, whatever a new one would be called: the
    // one holding its copies, or for a set saved before copies were marked, a folder named
    // after the set.
    std::optional<Failure> chooseFolder();
    // The copies earlier saves made, as the set marks them and the folder's own record lists
    // them; everything else in the folder is the player's.
    void surveyFolder();
    // One copy of each source, however many slots use it, by whatever path. Files already
    // in the folder keep their names; the others take free ones.
    void planCopies();
    std::optional<Failure> fillNewFolder();
    std::optional<Failure> copyPicks(SetCopiesRecord &record);
    // The player's own files of the folder come along under their names.
    void bringPlayersFiles();
    std::optional<Failure> writeSetFile();
    std::optional<Failure> swapFolders();
    // The old folder: earlier copies that still hold what was copied go, and so does its
    // record; what the player put there or changed joins the new folder.
    void clearOldFolder();
    // The new folder goes; the failure is returned.
    Failure abandon(Failure failure);
    bool sameFile(const fs::path &a, const fs::path &b) const;

    SetMusicCopy &copier_;
    FileSystem &fileSystem_;
    MusicSet &set_;
    const fs::path &setFile_;
    const fs::path setFolder_;
    const fs::path &newFolderName_;
    std::stop_token stop_;
    const Progress &progress_;

    std::string oldBytes_;
    bool hadSetFile_ = false;
    MusicSet oldSet_;
    fs::path folderName_;
    fs::path folder_;
    bool hadFolder_ = false;
    SetCopiesRecord earlierRecord_;
    std::set<std::string> earlierCopies_;
    std::set<std::string> taken_;
    std::vector<fs::path> folderNames_;
    std::vector<PlannedCopy> plan_;
    std::vector<std::size_t> planOfPick_;
    fs::path newFolder_;
    fs::path aside_;
};

SetMusicCopy::Saving::Saving(SetMusicCopy &copier, MusicSet &set, const fs::path &setFile,
                             const fs::path &newFolderName, std::stop_token stop,
                             const Progress &progress)
    : copier_(copier), fileSystem_(copier.fileSystem_), set_(set), setFile_(setFile),
      setFolder_(setFile.parent_path()), newFolderName_(newFolderName), stop_(std::move(stop)),
      progress_(progress)
{
}

std::optional<Failure> SetMusicCopy::Saving::run()
{
    if (std::optional<Failure> failure = readOldSet())
        return failure;
    if (std::optional<Failure> failure = chooseFolder())
        return failure;
    surveyFolder();
    // Nothing is written for a set with a pick that cannot be copied.
    for (const MusicSet::Pick &pick : set_.picks)
        if (auto failure = regularFileFailure(pick.file, fileSystem_))
            return failure;
    planCopies();
    if (std::optional<Failure> failure = fillNewFolder())
        return failure;
    if (std::optional<Failure> failure = writeSetFile())
        return failure;
    if (std::optional<Failure> failure = swapFolders())
        return failure;
    if (hadFolder_)
        clearOldFolder();
    return std::nullopt;
}

std::optional<Failure> SetMusicCopy::Saving::readOldSet()
{
    hadSetFile_ = fileSystem_.exists(setFile_, true);
    if (hadSetFile_) {
        if (const auto failure = MusicSet::readFile(setFile_, oldBytes_))
            return Failure{Failure::Kind::Destination, setFile_, failure->systemError};
        oldSet_ = MusicSet::parse(oldBytes_, setFolder_);
    }
    return std::nullopt;
}

std::optional<Failure> SetMusicCopy::Saving::chooseFolder()
{
    folderName_ = newFolderName_;
    const std::string setName = platform::textFromPath(setFile_.stem());
    int best = 0;
    for (const MusicSet::Pick &pick : oldSet_.picks) {
        const fs::path parent = pick.file.parent_path();
        // A copy only where that folder's own record says an earlier save made it.
        const int fit =
            pick.copied && SetCopiesRecord::read(parent).lists(textOf(pick.file.filename())) ? 2
            : textOf(parent.filename()).starts_with(setName)                                 ? 1
                                                                                             : 0;
        if (fit > best && parent.parent_path() == setFolder_.lexically_normal() &&
            isFolderItself(parent, fileSystem_)) {
            folderName_ = parent.filename();
            best = fit;
        }
    }
    folder_ = setFolder_ / folderName_;
    hadFolder_ = isFolderItself(folder_, fileSystem_);
    if (!hadFolder_ && fileSystem_.exists(folder_))
        return Failure{Failure::Kind::Destination, folder_, EEXIST};
    return std::nullopt;
}

void SetMusicCopy::Saving::surveyFolder()
{
    earlierRecord_ = hadFolder_ ? SetCopiesRecord::read(folder_) : SetCopiesRecord{};
    for (const MusicSet::Pick &pick : oldSet_.picks)
        if (pick.copied && pick.file.parent_path() == folder_ &&
            earlierRecord_.lists(textOf(pick.file.filename())))
            earlierCopies_.insert(comparable(pick.file.filename()));
    taken_.insert(comparable(recordName()));
    if (hadFolder_)
        fileSystem_.listFolder(folder_, folderNames_);
    for (const fs::path &name : folderNames_)
        if (!earlierCopies_.contains(comparable(name)))
            taken_.insert(comparable(name));
}

void SetMusicCopy::Saving::planCopies()
{
    for (const MusicSet::Pick &pick : set_.picks) {
        const auto same = std::find_if(plan_.begin(), plan_.end(), [&](const PlannedCopy &copy) {
            return sameFile(copy.source, pick.file);
        });
        if (same != plan_.end()) {
            planOfPick_.push_back(std::size_t(same - plan_.begin()));
            continue;
        }
        PlannedCopy copy{pick.file, pick.file.filename(),
                         hadFolder_ && sameFile(pick.file.parent_path(), folder_)};
        if (copy.inFolder)
            taken_.insert(comparable(copy.name));
        planOfPick_.push_back(plan_.size());
        plan_.push_back(copy);
    }
    for (PlannedCopy &copy : plan_) {
        if (copy.inFolder)
            continue;
        const fs::path source = copy.source.filename();
        for (int n = 2; taken_.contains(comparable(copy.name)); ++n)
            copy.name = platform::pathFromText(platform::textFromPath(source.stem()) + " (" +
                                               std::to_string(n) + ")" +
                                               platform::textFromPath(source.extension()));
        taken_.insert(comparable(copy.name));
    }
}

std::optional<Failure> SetMusicCopy::Saving::fillNewFolder()
{
    newFolder_ = setFolder_ / platform::pathFromText(platform::textFromPath(folderName_) +
                                                     AtomicFileWriter::newTemporaryName());
    if (const SystemError made = fileSystem_.createFolder(newFolder_))
        return Failure{Failure::Kind::Destination, newFolder_, made};
    SetCopiesRecord record;
    if (std::optional<Failure> failure = copyPicks(record))
        return abandon(*failure);
    if (!record.empty()) {
        AtomicFileWriter writer(fileSystem_);
        if (const auto failure = writer.writeBytes(newFolder_ / recordName(), record.format()))
            return abandon(
                {Failure::Kind::Destination, newFolder_ / recordName(), failure->systemError});
    }
    bringPlayersFiles();
    fileSystem_.syncFolder(newFolder_);
    if (stop_.stop_requested())
        return abandon({Failure::Kind::Stopped, {}, 0});
    return std::nullopt;
}

std::optional<Failure> SetMusicCopy::Saving::copyPicks(SetCopiesRecord &record)
{
    for (std::size_t i = 0; i < plan_.size(); ++i) {
        if (stop_.stop_requested())
            return Failure{Failure::Kind::Stopped, {}, 0};
        if (progress_)
            progress_(i, plan_.size(), plan_[i].source);
        const fs::path target = newFolder_ / plan_[i].name;
        const std::string name = textOf(plan_[i].name);
        // A file already there gets a second name rather than a second copy.
        if (plan_[i].inFolder && fileSystem_.hardLink(plan_[i].source, target) == 0) {
            if (earlierCopies_.contains(comparable(plan_[i].name)))
                record.carryOver(earlierRecord_, name);
            continue;
        }
        if (auto failure = copier_.copy(plan_[i].source, target, stop_))
            return failure;
        const std::optional<WrittenFile> made = WrittenFile::of(target);
        if (!plan_[i].inFolder && made && name.find('\n') == std::string::npos)
            record.add(name, made->size, made->hash);
    }
    return std::nullopt;
}

void SetMusicCopy::Saving::bringPlayersFiles()
{
    for (const fs::path &name : folderNames_) {
        FileStatus status;
        if (taken_.contains(comparable(name)) && name != recordName() &&
            !fileSystem_.exists(newFolder_ / name, true) &&
            fileSystem_.status(folder_ / name, status) == 0 && status.isFile())
            fileSystem_.hardLink(folder_ / name, newFolder_ / name);
    }
}

std::optional<Failure> SetMusicCopy::Saving::writeSetFile()
{
    for (std::size_t i = 0; i < set_.picks.size(); ++i) {
        const PlannedCopy &copy = plan_[planOfPick_[i]];
        set_.picks[i].file = folder_ / copy.name;
        set_.picks[i].copied = !copy.inFolder || earlierCopies_.contains(comparable(copy.name));
    }
    AtomicFileWriter writer(fileSystem_);
    if (const auto failure = writer.writeBytes(setFile_, set_.format(setFolder_)))
        return abandon({Failure::Kind::Destination, setFile_, failure->systemError});
    return std::nullopt;
}

std::optional<Failure> SetMusicCopy::Saving::swapFolders()
{
    aside_ = setFolder_ / platform::pathFromText(platform::textFromPath(folderName_) +
                                                 AtomicFileWriter::newTemporaryName());
    SystemError swapped = 0;
    if (hadFolder_)
        swapped = exchange(newFolder_, folder_, aside_, fileSystem_);
    else
        swapped = fileSystem_.rename(newFolder_, folder_);
    if (swapped) {
        AtomicFileWriter writer(fileSystem_);
        if (hadSetFile_)
            writer.writeBytes(setFile_, oldBytes_);
        else
            fileSystem_.remove(setFile_);
        return abandon({Failure::Kind::Destination, folder_, swapped});
    }
    fileSystem_.syncFolder(setFolder_);
    return std::nullopt;
}

void SetMusicCopy::Saving::clearOldFolder()
{
    std::vector<fs::path> leftBehind;
    fileSystem_.listFolder(aside_, leftBehind);
    for (const fs::path &name : leftBehind) {
        const fs::path entry = aside_ / name;
        const bool earlierCopy =
            earlierCopies_.contains(comparable(name)) && earlierRecord_.holdsCopy(entry);
        FileStatus status;
        const bool oldRecord = name == recordName() &&
                               fileSystem_.status(entry, status, false) == 0 && status.isFile();
        if (earlierCopy || oldRecord || sameFile(entry, folder_ / name))
            fileSystem_.remove(entry);
        else if (!fileSystem_.exists(folder_ / name))
            fileSystem_.rename(entry, folder_ / name);
    }
    fileSystem_.removeFolder(aside_);
}

Failure SetMusicCopy::Saving::abandon(Failure failure)
{
    removeTree(newFolder_, fileSystem_);
    return failure;
}

bool SetMusicCopy::Saving::sameFile(const fs::path &a, const fs::path &b) const
{
    return fileSystem_.sameFile(a, b);
}

SetMusicCopy::SetMusicCopy(FileSystem &fileSystem) : fileSystem_(fileSystem) {}

std::optional<Failure> SetMusicCopy::save(MusicSet &set, const fs::path &setFile,
                                          const fs::path &newFolderName, std::stop_token stop,
                                          const Progress &progress)
{
    return Saving(*this, set, setFile, newFolderName, std::move(stop), progress).run();
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
