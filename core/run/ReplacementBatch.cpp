// SPDX-License-Identifier: GPL-3.0-or-later
#include "run/ReplacementBatch.h"

#include "originals/OriginalsFolder.h"

#include <filesystem>

namespace core {

ReplacementBatch::ReplacementBatch(AtomicFileWriter &writer, OriginalsFolder &originals,
                                   const SlotTable &slots)
    : writer_(writer), originals_(originals), slots_(slots)
{
}

ReplacementBatch::~ReplacementBatch()
{
    for (Ready &ready : ready_)
        writer_.discard(ready.replacement);
}

bool ReplacementBatch::add(int slot, AtomicFileWriter::Prepared replacement)
{
    bytes_ += replacement.written.size;
    ready_.push_back({slot, std::move(replacement)});
    return bytes_ >= bytesAtOnce;
}

std::optional<ReplacementBatch::Failure> ReplacementBatch::commit()
{
    std::optional<Failure> failed;
    const std::size_t kept = keepOriginals(failed);
    const std::size_t made = makeSeen(kept, failed);
    // What is recorded of a replacement not made may save the record, which has let go of
    // the files the made ones replaced: their new names are durable first.
    writer_.syncFolders();
    // A replacement that failed stays recorded as under way only where it began.
    for (std::size_t i = made; i < kept; ++i)
        originals_.recordNotBegun(slots_.targetFileName(ready_[i].slot));
    for (Ready &ready : ready_)
        writer_.discard(ready.replacement);
    ready_.clear();
    bytes_ = 0;
    if (kept > 0) {
        // The new names are durable before the record lets go of the old files.
        writer_.syncFolders();
        originals_.saveRecord();
    }
    return failed;
}

std::size_t ReplacementBatch::keepOriginals(std::optional<Failure> &failed)
{
    std::size_t kept = 0;
    for (; kept < ready_.size() && !failed; ++kept) {
        const Ready &ready = ready_[kept];
        if (std::optional<FileError> failure =
                originals_.keep(ready.replacement, slots_.targetFileName(ready.slot)))
            failed = {{ready.slot, *failure}};
    }
    kept -= failed ? 1 : 0;
    // A keep that failed may have made its kept name before it failed.
    if (failed)
        originals_.dropSecondName(slots_.targetFileName(failed->first));
    if (kept > 0) {
        if (std::optional<FileError> failure = originals_.saveRecord()) {
            failed = {{ready_.front().slot, *failure}};
            // Nothing begun: no kept name stays a second name of its game file.
            for (std::size_t i = 0; i < kept; ++i)
                originals_.recordNotBegun(slots_.targetFileName(ready_[i].slot));
            kept = 0;
        }
    }
    return kept;
}

std::size_t ReplacementBatch::makeSeen(std::size_t kept, std::optional<Failure> &failed)
{
    std::size_t made = 0;
    for (; made < kept && !failed; ++made) {
        Ready &ready = ready_[made];
        const WrittenFile written = ready.replacement.written;
        const std::filesystem::path target = ready.replacement.target;
        const bool inPlace = ready.replacement.inPlace;
        if (std::optional<FileError> failure = writer_.commit(ready.replacement)) {
            failed = {{ready.slot, *failure}};
            writer_.syncFolders();
            originals_.recordFailed(slots_.targetFileName(ready.slot), target, inPlace);
        } else {
            originals_.recordMade(slots_.targetFileName(ready.slot), written);
            made_[std::size_t(ready.slot)] = true;
        }
    }
    return made;
}

} // namespace core
