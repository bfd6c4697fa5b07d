// SPDX-License-Identifier: GPL-3.0-or-later
#include "originals/CutShortRepair.h"

#include "originals/OriginalsLock.h"
#include "originals/UnderWayWrite.h"
#include "settings/SlotTable.h"

#include <chrono>
#include <optional>

namespace core {

namespace fs = std::filesystem;

namespace {

// The refusal's text is never shown: a start that cannot lock repairs nothing now.
constexpr std::uint8_t unshownLanguage = 2;

} // namespace

CutShortRepair::CutShortRepair(OriginalsRecord &record) : record_(record), place_(record.place()) {}

std::vector<std::string> CutShortRepair::repair()
{
    std::vector<std::string> leftAsTheyWere;
    if (!place_.isFolder(place_.path()) || markedUnderWay().empty())
        return leftAsTheyWere;
    // Another copy may be writing these very files: they wait for the next start.
    const OriginalsLock::Writing writing =
        OriginalsLock(record_).beginWriting(unshownLanguage, std::chrono::milliseconds(0), {});
    if (writing.refused) {
        // Another copy holds the lock: what is cut short is named, read and left as it is.
        for (const std::string &targetName : markedUnderWay())
            if (!isWhole(targetName))
                leftAsTheyWere.push_back(targetName);
        return leftAsTheyWere;
    }
    AtomicFileWriter writer(place_.fileSystem());
    // A copy staged for a write in place is ours to clean up after a kill.
    writer.setStagingFolder(place_.path());
    for (const std::string &targetName : markedUnderWay())
        if (repairOne(writer, targetName))
            leftAsTheyWere.push_back(targetName);
    if (const std::optional<FileError> failure = record_.manifest().save())
        return leftAsTheyWere; // still under way: the next start finds them again
    return leftAsTheyWere;
}

std::optional<FileError> CutShortRepair::finish(std::string_view targetName)
{
    if (!place_.isThere(place_.underWayFile(targetName)))
        return std::nullopt;
    AtomicFileWriter writer(place_.fileSystem());
    writer.setStagingFolder(place_.path());
    return repairOne(writer, targetName);
}

std::vector<std::string> CutShortRepair::markedUnderWay()
{
    std::vector<std::string> marked;
    const SlotTable slots;
    for (int i = 0; i < slotCount; ++i) {
        const std::string &target = slots.targetFileName(i);
        if (record_.manifest().entry(target).overwrittenInPlace ||
            place_.isThere(place_.underWayFile(target)))
            marked.push_back(target);
    }
    return marked;
}

bool CutShortRepair::isWhole(std::string_view targetName)
{
    FileSystem &fileSystem = place_.fileSystem();
    const fs::path game = AtomicFileWriter::resolveLinks(place_.gameFile(targetName), fileSystem);
    if (!place_.isKept(targetName) || !place_.isThere(game) || place_.leadsIntoOriginals(game))
        return true;
    // A record that cannot be read tells nothing of what this program wrote: the file is
    // whole only as the content that was under way, or as the kept original.
    if (record_.manifest().readError())
        return holdsUnderWayOrKept(game, targetName);
    record_.startComparing();
    const std::optional<WrittenFile> ours =
        record_.ourEntryFor(game, targetName, OriginalsRecord::Check::Content);
    if (record_.comparisonFailed())
        return false;
    if (!ours)
        return true; // not this program's write: whoever wrote it, it stays
    for (const WrittenFile &whole : record_.manifest().written(std::string(targetName)))
        if (whole.sameContent(*ours))
            return true;
    return false;
}

bool CutShortRepair::holdsUnderWayOrKept(const fs::path &game, std::string_view targetName)
{
    FileSystem &fileSystem = place_.fileSystem();
    const std::optional<WrittenFile> now = WrittenFile::of(game, fileSystem);
    if (!now)
        return false;
    for (const fs::path &whole : {place_.underWayFile(targetName), place_.keptFile(targetName)})
        if (const std::optional<WrittenFile> file = WrittenFile::of(whole, fileSystem);
            file && file->sameContent(*now))
            return true;
    return false;
}

std::optional<FileError> CutShortRepair::repairOne(AtomicFileWriter &writer,
                                                   std::string_view targetName)
{
    const auto unread = [] { return FileError::destination(OriginalsRecord::unreadable); };
    if (isWhole(targetName))
        return std::nullopt;
    if (record_.comparisonFailed())
        return unread();
    FileSystem &fileSystem = place_.fileSystem();
    const fs::path game = AtomicFileWriter::resolveLinks(place_.gameFile(targetName), fileSystem);
    // Cut short: finished from what was being written, the content under way, or for a
    // restore without it, the kept original. Neither is touched.
    const fs::path underWay = place_.underWayFile(targetName);
    const fs::path source =
        record_.beginsWith(underWay, game) ? underWay : place_.keptFile(targetName);
    if (record_.comparisonFailed() || !record_.beginsWith(source, game))
        return unread();
    if (place_.sharesDataWithOriginals(game))
        return FileError::destination(OriginalsRecord::notThrough);
    if (std::optional<FileError> failure = writer.copyFile(source, game))
        return failure;
    // The file made whole is durable before what tells it was cut short goes.
    writer.syncFolders();
    record_.startComparing();
    if (record_.matchesKept(game, targetName)) {
        // The restore that was cut short is done: nothing of this program's is there now.
        record_.manifest().setWritten(std::string(targetName), {});
        fileSystem.remove(underWay);
        return std::nullopt;
    }
    const std::optional<WrittenFile> written = WrittenFile::of(game, fileSystem);
    if (!written)
        return unread();
    UnderWayWrite(record_).recordMade(targetName, *written);
    return std::nullopt;
}

} // namespace core
