// SPDX-License-Identifier: GPL-3.0-or-later
#include "originals/UnderWayWrite.h"

#include "files/AtomicFileWriter.h"
#include "files/WrittenFile.h"
#include "originals/CutShortRepair.h"
#include "originals/KeptFiles.h"
#include "originals/SecondNames.h"

#include <string>
#include <utility>

namespace core {

namespace fs = std::filesystem;

UnderWayWrite::UnderWayWrite(OriginalsRecord &record) : record_(record), place_(record.place()) {}

std::optional<FileError> UnderWayWrite::keep(const AtomicFileWriter::Prepared &replacement,
                                             std::string_view targetName)
{
    if (std::optional<FileError> failure = record_.makeFolder())
        return failure;
    const fs::path &gameFile = replacement.target;
    const bool inPlace = replacement.inPlace;
    // A game file that is a link into the originals folder would be written through.
    if (place_.leadsIntoOriginals(gameFile))
        return FileError::destination(OriginalsRecord::notThrough);

    // What is under way for an earlier write cut short here is all that tells the file is
    // ours: that write is finished before this one takes its place.
    if (inPlace)
        if (std::optional<FileError> failure = CutShortRepair(record_).finish(targetName))
            return failure;
    OriginalsManifest::Entry entry;
    if (std::optional<FileError> failure = keepOriginal(gameFile, targetName, inPlace, entry))
        return failure;
    if (inPlace && place_.isThere(gameFile)) {
        if (place_.sharesDataWithOriginals(gameFile))
            return FileError::destination(OriginalsRecord::notThrough);
        // What the file holds as the overwrite begins: the write is never begun unrecorded.
        entry.overwrittenInPlace = entry.written.empty()
                                       ? WrittenFile::of(gameFile, place_.fileSystem())
                                       : entry.written.front();
        if (!entry.overwrittenInPlace)
            return FileError::destination(OriginalsRecord::unreadable);
        // What is about to be written stays beside the originals until it is whole.
        if (std::optional<FileError> failure = keepUnderWay(replacement.content, targetName))
            return failure;
    }
    // Kept under a second name of the game file: what it is now tells, after a kill, whether
    // another program wrote over both names before the new file took the game file's name.
    if (!inPlace && place_.sameFile(place_.keptFile(targetName), gameFile))
        entry.secondName = place_.identityOf(gameFile);
    // Both the file there now and the one about to replace it count as ours until the
    // replacement is done: a kill in between leaves either.
    entry.written.push_back(replacement.written);
    record_.manifest().setEntry(std::string(targetName), std::move(entry));
    return std::nullopt;
}

std::optional<FileError> UnderWayWrite::keepOriginal(const fs::path &gameFile,
                                                     std::string_view targetName, bool inPlace,
                                                     OriginalsManifest::Entry &entry)
{
    const KeptFiles keptFiles(place_);
    // Still the game file itself, its original written over through it: no original of
    // anything. The loss is saved and the name goes first; while it cannot, nothing is kept.
    const fs::path keptName = place_.keptFile(targetName);
    if (record_.manifest().entry(std::string(targetName)).lost &&
        place_.sameFile(keptName, gameFile)) {
        SecondNames(record_).drop(targetName);
        if (place_.sameFile(keptName, gameFile))
            return FileError::destination(place_.fileSystem().inUse(keptName)
                                              ? OriginalsRecord::inUse
                                              : OriginalsRecord::unreadable);
    }
    const bool kept = place_.isKept(targetName);
    record_.startComparing();
    const std::optional<WrittenFile> ours =
        kept ? record_.ourEntryFor(gameFile, targetName, OriginalsRecord::Check::SizeAndTime)
             : std::nullopt;
    const bool original = kept && !ours && record_.matchesKept(gameFile, targetName);
    // What cannot be compared is kept as nothing and replaced by nothing.
    if (record_.comparisonFailed())
        return FileError::destination(OriginalsRecord::unreadable);
    if (!kept) {
        // A line of an earlier second name, left where its record could not be saved since
        // that name went, would be read as the new name's after a kill: our own link changes
        // the file's change time, and the original would be taken as written over. The
        // original is then kept by copy, which no such line can speak of.
        const OriginalsManifest::Entry &was = record_.manifest().entry(std::string(targetName));
        return keptFiles.keep(gameFile, targetName, inPlace || was.secondName || was.lost);
    }
    if (ours) {
        if (!ours->hash.empty())
            entry.written.push_back(*ours);
    } else if (!original) {
        if (record_.manifest().entry(std::string(targetName)).doubtful) {
            // What this program last wrote there is not known: the file there is kept beside
            // the original, which stays the original.
            if (std::optional<FileError> failure = keptFiles.keepBeside(gameFile, targetName))
                return failure;
            // Until the replacement is made, what is there is still not known to be ours.
            entry.doubtful = true;
        } else {
            // Neither the kept original nor ours, nor our write cut short: the game's own new
            // file (an update). The older kept file is set aside, never deleted.
            if (std::optional<FileError> failure = keptFiles.setAside(targetName))
                return failure;
            return keptFiles.keep(gameFile, targetName, inPlace);
        }
    } else if (inPlace && place_.sameFile(place_.keptFile(targetName), gameFile)) {
        // A kept second name of the very file about to be overwritten in place would be
        // overwritten with it: it becomes a copy of its own first.
        return keptFiles.copy(gameFile, place_.keptFile(targetName));
    }
    return std::nullopt;
}

std::optional<FileError> UnderWayWrite::keepUnderWay(const fs::path &content,
                                                     std::string_view targetName)
{
    FileSystem &fileSystem = place_.fileSystem();
    const fs::path underWay = place_.underWayFile(targetName);
    fileSystem.remove(underWay);
    if (fileSystem.hardLink(content, underWay) == 0)
        return std::nullopt;
    return KeptFiles(place_).copy(content, underWay);
}

void UnderWayWrite::recordMade(std::string_view targetName, const WrittenFile &written)
{
    OriginalsManifest::Entry entry;
    entry.written = {written};
    entry.identity = place_.identityOf(
        AtomicFileWriter::resolveLinks(place_.gameFile(targetName), place_.fileSystem()));
    record_.manifest().setEntry(std::string(targetName), std::move(entry));
    place_.fileSystem().remove(place_.underWayFile(targetName));
}

void UnderWayWrite::recordFailed(std::string_view targetName, const fs::path &gameFile,
                                 bool inPlace)
{
    const OriginalsManifest::Entry &entry = record_.manifest().entry(std::string(targetName));
    if (inPlace && entry.overwrittenInPlace) {
        const std::optional<WrittenFile> now = WrittenFile::of(gameFile, place_.fileSystem());
        if (!now || now->hash != entry.overwrittenInPlace->hash)
            return;
    }
    recordNotBegun(targetName);
}

void UnderWayWrite::recordNotBegun(std::string_view targetName)
{
    // A game file still cut short by an earlier write stays known as ours by what is under way
    // beside the originals, should the record be damaged before it is whole again.
    FileSystem &fileSystem = place_.fileSystem();
    const fs::path underWay = place_.underWayFile(targetName);
    const fs::path game = AtomicFileWriter::resolveLinks(place_.gameFile(targetName), fileSystem);
    const std::optional<WrittenFile> now = WrittenFile::statOf(game, fileSystem);
    const std::optional<WrittenFile> content = WrittenFile::statOf(underWay, fileSystem);
    if (!now || !content || now->size >= content->size || !record_.beginsWith(underWay, game))
        fileSystem.remove(underWay);
    SecondNames(record_).drop(targetName);
    OriginalsManifest::Entry entry = record_.manifest().entry(std::string(targetName));
    if (!entry.written.empty())
        entry.written.pop_back();
    entry.overwrittenInPlace.reset();
    record_.manifest().setEntry(std::string(targetName), std::move(entry));
}

} // namespace core
