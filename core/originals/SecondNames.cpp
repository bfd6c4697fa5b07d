// SPDX-License-Identifier: GPL-3.0-or-later
#include "originals/SecondNames.h"

#include "files/AtomicFileWriter.h"
#include "files/Platform.h"
#include "originals/KeptFiles.h"

#include <optional>
#include <string>
#include <utility>

namespace core {

namespace fs = std::filesystem;

SecondNames::SecondNames(OriginalsRecord &record) : record_(record) {}

void SecondNames::drop(std::string_view targetName)
{
    const OriginalsPlace &place = record_.place();
    FileSystem &fileSystem = place.fileSystem();
    const fs::path kept = place.keptFile(targetName);
    const fs::path game = AtomicFileWriter::resolveLinks(place.gameFile(targetName), fileSystem);
    // A symbolic link to the kept file is no second name of it: the kept file is the data.
    if (!place.sameFile(kept, game) || place.leadsIntoOriginals(game)) {
        separate(targetName);
        takeInCopy(targetName);
        return;
    }
    OriginalsManifest &manifest = record_.manifest();
    const OriginalsManifest::Entry was = manifest.entry(std::string(targetName));
    // Never kept, then: the next Change keeps what the game file holds. Where the original
    // was written over through the game file's name, the record says so, and it keeps the
    // name's identity until the name is gone, so that a name that cannot go yet, or a kill
    // in between, still tells it later. A record that cannot be written (a full disk) does
    // not keep a name that still holds the original: a second name at rest is worse than a
    // stale line. One written over protects nothing, and is the only evidence of the loss
    // until a record that tells it is saved.
    OriginalsManifest::Entry entry;
    entry.lost = (was.secondName && place.identityOf(game) != was.secondName) || was.lost;
    entry.secondName = was.secondName;
    manifest.setEntry(std::string(targetName), entry);
    const std::optional<FileError> unsaved = manifest.save();
    if ((entry.lost && unsaved) || fileSystem.remove(kept) != 0) {
        // The data is copied while it is the original.
        if (!entry.lost && !place.isThere(place.keptCopyFile(targetName)))
            KeptFiles(place).copy(game, place.keptCopyFile(targetName));
        return;
    }
    fileSystem.syncFolder(place.path());
    entry.secondName.reset();
    manifest.setEntry(std::string(targetName), std::move(entry));
    takeInCopy(targetName);
}

bool SecondNames::hasOtherNames(const fs::path &file) const
{
    FileStatus status;
    return record_.place().fileSystem().status(file, status, false) == 0 && status.isFile() &&
           status.links > 1;
}

void SecondNames::separate(std::string_view targetName)
{
    const OriginalsPlace &place = record_.place();
    const fs::path kept = place.keptFile(targetName);
    const KeptFiles files(place);
    if (hasOtherNames(kept) && files.copy(kept, kept) &&
        !place.isThere(place.keptCopyFile(targetName)))
        files.copy(kept, place.keptCopyFile(targetName));
}

void SecondNames::takeInCopy(std::string_view targetName)
{
    const OriginalsPlace &place = record_.place();
    FileSystem &fileSystem = place.fileSystem();
    const fs::path copy = place.keptCopyFile(targetName);
    const fs::path kept = place.keptFile(targetName);
    if (!place.isThere(copy) || hasOtherNames(kept))
        return;
    if (place.isThere(kept) || place.isThere(place.absentMarker(targetName))) {
        // The kept file is whole without it: set aside, never deleted.
        const fs::path aside =
            place.path() / platform::pathFromText(OriginalsPlace::supersededFolderName);
        // Its new name is durable before anything flushes the old one's removal.
        const std::optional<fs::path> setAsideName = place.supersededName(kept);
        if (place.createDurableFolder(aside) == 0 && setAsideName &&
            fileSystem.replace(copy, *setAsideName) == 0)
            fileSystem.syncFolder(aside);
        return;
    }
    if (fileSystem.replace(copy, kept) != 0)
        return;
    fileSystem.syncFolder(place.path());
    // The copy was taken before anything could write over the original.
    OriginalsManifest::Entry entry = record_.manifest().entry(std::string(targetName));
    entry.lost = false;
    record_.manifest().setEntry(std::string(targetName), std::move(entry));
}

} // namespace core
