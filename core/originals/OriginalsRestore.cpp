// SPDX-License-Identifier: GPL-3.0-or-later
#include "originals/OriginalsRestore.h"

#include "files/FailureCodes.h"
#include "originals/KeptFiles.h"
#include "originals/OriginalsLock.h"
#include "originals/UnderWayWrite.h"
#include "report/RunMessages.h"
#include "report/RunTexts.h"

#include <algorithm>
#include <utility>

namespace core {

namespace fs = std::filesystem;

OriginalsRestore::OriginalsRestore(OriginalsRecord &record)
    : record_(record), place_(record.place())
{
}

RunResult OriginalsRestore::restore(const SlotTable &slots, const SlotTexts &labels,
                                    std::uint8_t language, std::optional<int> onlySlot,
                                    const std::function<void()> &waiting)
{
    RunResult result;
    if (!place_.isFolder(place_.path()))
        return result;
    const OriginalsLock::Writing writing =
        OriginalsLock(record_).beginWriting(language, RunLock::patience, waiting);
    if (writing.refused)
        return *writing.refused;
    AtomicFileWriter writer(place_.fileSystem());
    // A copy staged for an overwrite in place is ours to clean up after a kill.
    writer.setStagingFolder(place_.path());
    std::string leftAloneLines;
    for (int i = 0; i < slotCount; ++i) {
        if (onlySlot && *onlySlot != i)
            continue;
        bool restored = false;
        LeftAlone leftAlone;
        if (const std::optional<FileError> error =
                restoreSlot(writer, slots.targetFileName(i), restored, leftAlone))
            addFailure(result, i, labels[i], *error, language);
        result.count += restored ? 1 : 0;
        if (leftAlone.why != LeftAlone::Why::None)
            leftAloneLines.append("\n").append(labels[i]).append(".mp3: ").append(
                whyLeftAlone(leftAlone, language));
    }
    if (!leftAloneLines.empty()) {
        if (!result.message.empty())
            result.message += '\n';
        result.message.append(RunTexts::forLanguage(language).restoreLeftAlone)
            .append(leftAloneLines);
    }
    // The files put back are durable before the record forgets them.
    writer.syncFolders();
    record_.manifest().save();
    return result;
}

void OriginalsRestore::addFailure(RunResult &result, int slot, std::string_view label,
                                  const FileError &error, std::uint8_t language)
{
    const int code = failureCodeFor(error);
    if (result.outcome != RunResult::Outcome::Failed) {
        result = {RunResult::Outcome::Failed, slot, code, {}, result.count};
        result.systemError = error.systemError;
    } else {
        result.message += '\n';
    }
    result.message += RunMessages::failure(language, label, code) + "\n" +
                      RunMessages::writeFailureReason(language, error.systemError);
}

std::string OriginalsRestore::whyLeftAlone(const LeftAlone &leftAlone, std::uint8_t language)
{
    const RunTexts &texts = RunTexts::forLanguage(language);
    switch (leftAlone.why) {
    case LeftAlone::Why::ChangedSince:
        return std::string(texts.leftAloneChangedSince);
    case LeftAlone::Why::NoRecord:
        return std::string(texts.leftAloneNoRecord);
    case LeftAlone::Why::Lost:
        return std::string(texts.leftAloneLost);
    default:
        break;
    }
    return std::string(texts.leftAloneUnreadable) +
           RunMessages::writeFailureReason(language, leftAlone.error);
}

std::optional<FileError> OriginalsRestore::restoreSlot(AtomicFileWriter &writer,
                                                       std::string_view targetName, bool &restored,
                                                       LeftAlone &leftAlone)
{
    FileSystem &fileSystem = place_.fileSystem();
    if (!place_.isKept(targetName)) {
        if (record_.manifest().entry(std::string(targetName)).lost)
            leftAlone.why = LeftAlone::Why::Lost;
        return std::nullopt;
    }
    // A link stays: what it points to is the game file, unless that is a file of ours.
    const fs::path game = AtomicFileWriter::resolveLinks(place_.gameFile(targetName), fileSystem);
    if (place_.leadsIntoOriginals(game))
        return FileError::destination(OriginalsRecord::notThrough);
    // Still the game file itself (a second name that could not go yet): nothing to put back,
    // and its line stays, the name's identity and any loss, to tell what became of it.
    if (place_.sameFile(place_.keptFile(targetName), game)) {
        const OriginalsManifest::Entry &entry = record_.manifest().entry(std::string(targetName));
        // A copy kept beside it holds the original still: not lost, and taken in once the
        // name can go.
        const bool writtenOver =
            entry.lost || (entry.secondName && place_.identityOf(game) != entry.secondName);
        if (writtenOver && !place_.isThere(place_.keptCopyFile(targetName)))
            leftAlone.why = LeftAlone::Why::Lost;
        return std::nullopt;
    }
    if (place_.isThere(game)) {
        // A file that cannot be read cannot be compared: it, its record and its kept
        // original stay as they are.
        FileSystem::Handle handle = 0;
        if (const SystemError error = fileSystem.openForReading(game, handle)) {
            leftAlone = {LeftAlone::Why::Unreadable, error};
            return std::nullopt;
        }
        fileSystem.close(handle);
    }
    record_.startComparing();
    const bool original = record_.matchesKept(game, targetName);
    const bool ours =
        !original && record_.ourEntryFor(game, targetName, OriginalsRecord::Check::Content);
    if (record_.comparisonFailed()) {
        leftAlone = {LeftAlone::Why::Unreadable, OriginalsRecord::unreadable};
        return std::nullopt;
    }
    if (record_.manifest().entry(std::string(targetName)).doubtful && !original && !ours) {
        // What this program wrote there is not known: nothing to restore over.
        leftAlone.why = LeftAlone::Why::NoRecord;
        return std::nullopt;
    }
    if (ours) {
        if (std::optional<FileError> failure = putBack(writer, game, targetName))
            return failure;
        restored = true;
    } else if (!original) {
        // The game, a patch or the player put something else there: the kept file is no
        // longer the original of what is there, and is set aside.
        if (std::optional<FileError> failure = KeptFiles(place_).setAside(targetName))
            return failure;
        leftAlone.why = LeftAlone::Why::ChangedSince;
    }
    // Put back, or the original is there already (a restore cut short after its write).
    record_.manifest().setWritten(std::string(targetName), {});
    return std::nullopt;
}

std::optional<FileError> OriginalsRestore::putBack(AtomicFileWriter &writer, const fs::path &game,
                                                   std::string_view targetName)
{
    FileSystem &fileSystem = place_.fileSystem();
    if (place_.isThere(place_.absentMarker(targetName))) {
        if (const SystemError error = fileSystem.remove(game))
            return FileError::destination(error);
        // Gone for good before the record forgets that this program wrote it.
        fileSystem.syncFolder(game.parent_path());
        return std::nullopt;
    }
    bool underWayMade = false;
    const auto recordInPlace =
        [&](const AtomicFileWriter::Prepared &replacement) -> std::optional<FileError> {
        if (!replacement.inPlace)
            return std::nullopt;
        if (place_.sharesDataWithOriginals(game))
            return FileError::destination(OriginalsRecord::notThrough);
        // Put back in place: a file cut short here stays ours and restorable.
        OriginalsManifest &manifest = record_.manifest();
        OriginalsManifest::Entry entry = manifest.entry(std::string(targetName));
        if (!entry.overwrittenInPlace) {
            const std::optional<WrittenFile> now = WrittenFile::of(game, fileSystem);
            if (!now)
                return FileError::destination(OriginalsRecord::unreadable);
            // A file still holding what it held as the write began reads as a write never
            // begun, and is only ours where it is one we wrote whole. Our own write cut short,
            // known by a damaged record and what is under way, stays known that way instead.
            const bool whole =
                std::any_of(entry.written.begin(), entry.written.end(),
                            [&](const WrittenFile &written) { return written.sameContent(*now); });
            if (whole || !entry.doubtful) {
                entry.overwrittenInPlace = now;
                manifest.setEntry(std::string(targetName), std::move(entry));
            }
        }
        // What is put back stays under way beside the originals until it is whole, which
        // tells a write cut short even where the record is damaged since. An earlier write
        // cut short keeps its own content there: the file may still be a beginning of it,
        // should this write never begin, and a beginning of the kept original tells anyway.
        const bool earlierUnderWay = place_.isThere(place_.underWayFile(targetName));
        if (std::optional<FileError> failure =
                earlierUnderWay
                    ? std::nullopt
                    : UnderWayWrite(record_).keepUnderWay(place_.keptFile(targetName), targetName))
            return failure;
        underWayMade = true;
        // The record about to be saved forgets the files put back so far: their new names
        // are made durable first.
        writer.syncFolders();
        return record_.manifest().save();
    };
    // A write that failed is told as failed even where the file reads whole: its last call
    // may have been the flush, and what it wrote may not outlive a power loss. It stays
    // under way, for the next start to look at again.
    if (std::optional<FileError> failure =
            writer.copyFile(place_.keptFile(targetName), game, recordInPlace))
        return failure;
    if (underWayMade)
        fileSystem.remove(place_.underWayFile(targetName));
    return std::nullopt;
}

} // namespace core
