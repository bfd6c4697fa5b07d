// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "files/AtomicFileWriter.h"
#include "files/FileError.h"
#include "settings/SlotTable.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace core {

class OriginalsFolder;

// Replacements made ready and not yet seen, made seen together.
class ReplacementBatch
{
  public:
    // Enough to make a few records' writes worth it, little enough that a nearly full disk
    // fails a run no sooner than one file at a time would by much.
    static constexpr std::uint64_t bytesAtOnce = std::uint64_t(256) << 20;
    // The slot that failed, and why.
    using Failure = std::pair<int, FileError>;

    ReplacementBatch(AtomicFileWriter &writer, OriginalsFolder &originals, const SlotTable &slots);
    ~ReplacementBatch();
    ReplacementBatch(const ReplacementBatch &) = delete;
    ReplacementBatch &operator=(const ReplacementBatch &) = delete;

    // True where the batch is full.
    bool add(int slot, AtomicFileWriter::Prepared replacement);
    // Keeps the originals, records every replacement as under way, and makes them seen in
    // slot order, up to the first that fails.
    std::optional<Failure> commit();
    // True where the slot's new file was made seen by a commit so far.
    bool made(int slot) const { return made_[std::size_t(slot)]; }

  private:
    struct Ready
    {
        int slot;
        AtomicFileWriter::Prepared replacement;
    };

    // Keeps the originals and records the replacements as under way, up to the first that
    // fails; how many are kept and recorded.
    std::size_t keepOriginals(std::optional<Failure> &failed);
    // Makes the first `kept` replacements seen in slot order, up to the first that fails; how
    // many were tried.
    std::size_t makeSeen(std::size_t kept, std::optional<Failure> &failed);

    AtomicFileWriter &writer_;
    OriginalsFolder &originals_;
    const SlotTable &slots_;
    std::vector<Ready> ready_;
    std::uint64_t bytes_ = 0;
    std::array<bool, slotCount> made_{};
};

} // namespace core
