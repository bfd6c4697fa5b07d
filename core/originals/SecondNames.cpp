// SPDX-License-Identifier: GPL-3.0-or-later
#include "originals/SecondNames.h"

#include "files/AtomicFileWriter.h"

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
    if (!place.sameFile(kept, game) || place.leadsIntoOriginals(game))
        return;
    OriginalsManifest &manifest = record_.manifest();
    const std::optional<OriginalsManifest::Entry::Identity> was =
        manifest.entry(std::string(targetName)).secondName;
    // Never kept, then: the next Change keeps what the game file holds. Where the original
    // was written over through the game file's name, the record says so, before the name
    // goes, so that a kill in between still tells it. A record that cannot be written (a
    // full disk) does not keep the name: a second name at rest is worse than a stale line.
    OriginalsManifest::Entry entry;
    entry.lost =
        (was && place.identityOf(game) != was) || manifest.entry(std::string(targetName)).lost;
    manifest.setEntry(std::string(targetName), std::move(entry));
    manifest.save();
    if (fileSystem.remove(kept) != 0)
        return;
    fileSystem.syncFolder(place.path());
}

} // namespace core
