// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReplacementRun.h"

#include "AtomicFileWriter.h"
#include "ConversionPool.h"
#include "FailureCodes.h"
#include "OriginalsFolder.h"
#include "Platform.h"
#include "RunLock.h"
#include "RunTexts.h"

#include <array>
#include <optional>
#include <utility>
#include <vector>

namespace core {

namespace {

bool isBlank(std::string_view text)
{
    return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

} // namespace

ReplacementRun::ReplacementRun(const SlotTable &slots, FileSystem &fileSystem,
                               std::filesystem::path dataFolder, const AudioCodecs *codecs)
    : slots_(slots), fileSystem_(fileSystem), dataFolder_(std::move(dataFolder)), codecs_(codecs)
{
}

std::string ReplacementRun::failureMessage(std::uint8_t language, std::string_view label, int code)
{
    const RunTexts &texts = RunTexts::forLanguage(language);
    std::string message;
    if (code == failure::fileNotFound) {
        message.append(texts.notFoundPrefix).append(label).append(texts.notFoundSuffix);
    } else {
        message.append(texts.failurePrefix).append(label).append(texts.failureSuffix);
        message.append(std::to_string(code)).append(".");
    }
    return message;
}

std::string ReplacementRun::notMusicMessage(std::uint8_t language, std::string_view label,
                                            std::string_view reason)
{
    const RunTexts &texts = RunTexts::forLanguage(language);
    return std::string(texts.notMusicPrefix)
               .append(label)
               .append(texts.notMusicSuffix)
               .append(reason) +
           ".";
}

namespace {

// What a run does with one slot's pick.
struct Pick
{
    enum class Action { Skip, Copy, Convert, Refuse };
    Action action = Action::Skip;
    std::filesystem::path source;
    AudioInfo info;
    std::string reason; // why it is refused
};

// Removes the file the path names, if any, at the end of its scope.
class StagedFile
{
  public:
    explicit StagedFile(const std::filesystem::path &path) : path_(path) {}
    ~StagedFile()
    {
        std::error_code error;
        if (!path_.empty())
            std::filesystem::remove(path_, error);
    }
    StagedFile(const StagedFile &) = delete;
    StagedFile &operator=(const StagedFile &) = delete;

  private:
    const std::filesystem::path &path_;
};

bool opensAsFile(const std::filesystem::path &path)
{
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

// The game's file a conversion is made like: the kept original, else the game file.
std::optional<AudioInfo> referenceFor(AudioDecoder &decoder, const OriginalsFolder &originals,
                                      const std::string &targetName)
{
    for (const std::filesystem::path &candidate :
         {originals.path() / platform::pathFromText(targetName), originals.gameFile(targetName)}) {
        if (!opensAsFile(candidate))
            continue;
        if (auto probed = decoder.probe(candidate); std::holds_alternative<AudioInfo>(probed))
            return std::get<AudioInfo>(probed);
    }
    return std::nullopt;
}

// Replacements made ready and not yet seen, made seen together.
class Batch
{
  public:
    // Enough to make a few records' writes worth it, little enough that a nearly full disk
    // fails a run no sooner than one file at a time would by much.
    static constexpr std::uint64_t bytesAtOnce = std::uint64_t(256) << 20;

    Batch(AtomicFileWriter &writer, OriginalsFolder &originals, const SlotTable &slots)
        : writer_(writer), originals_(originals), slots_(slots)
    {
    }
    ~Batch()
    {
        for (Ready &ready : ready_)
            writer_.discard(ready.replacement);
    }
    Batch(const Batch &) = delete;
    Batch &operator=(const Batch &) = delete;

    // True where the batch is full.
    bool add(int slot, AtomicFileWriter::Prepared replacement)
    {
        bytes_ += replacement.written.size;
        ready_.push_back({slot, std::move(replacement)});
        return bytes_ >= bytesAtOnce;
    }

    // Keeps the originals, records every replacement as under way, and makes them seen in
    // slot order, up to the first that fails; the slot and why.
    std::optional<std::pair<int, FileError>> commit()
    {
        std::optional<std::pair<int, FileError>> failed;
        std::size_t kept = 0;
        for (; kept < ready_.size() && !failed; ++kept) {
            const Ready &ready = ready_[kept];
            if (std::optional<FileError> failure =
                    originals_.keep(ready.replacement, slots_.targetFileName(ready.slot)))
                failed = {{ready.slot, *failure}};
        }
        kept -= failed ? 1 : 0;
        if (kept > 0) {
            if (std::optional<FileError> failure = originals_.saveRecord()) {
                failed = {{ready_.front().slot, *failure}};
                kept = 0;
            }
        }
        std::size_t made = 0;
        for (; made < kept && !failed; ++made) {
            Ready &ready = ready_[made];
            const WrittenFile written = ready.replacement.written;
            if (std::optional<FileError> failure = writer_.commit(ready.replacement))
                failed = {{ready.slot, *failure}};
            else
                originals_.recordMade(slots_.targetFileName(ready.slot), written);
        }
        // A replacement that failed stays recorded as under way: it may have begun in place.
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

  private:
    struct Ready
    {
        int slot;
        AtomicFileWriter::Prepared replacement;
    };

    AtomicFileWriter &writer_;
    OriginalsFolder &originals_;
    const SlotTable &slots_;
    std::vector<Ready> ready_;
    std::uint64_t bytes_ = 0;
};

} // namespace

RunResult ReplacementRun::run(const SlotTexts &slotTexts, const SlotTexts &labels,
                              std::string_view musicFolder, std::uint8_t language,
                              const Progress &progress, std::stop_token stop) const
{
    const RunTexts &texts = RunTexts::forLanguage(language);
    if (musicFolder.empty())
        return {RunResult::Outcome::Refused, -1, 0, std::string(texts.noMusicFolder)};

    AtomicFileWriter writer(fileSystem_);
    OriginalsFolder originals(musicFolder, fileSystem_, dataFolder_);
    // Held to the end: another copy of the program neither writes here meanwhile nor
    // rewrites the record from what it read before.
    const std::unique_ptr<RunLock> lock = originals.lockForWriting({}, RunLock::patience);
    if (lock->outcome() == RunLock::Outcome::HeldElsewhere)
        return {RunResult::Outcome::Busy, -1, 0, std::string(texts.anotherCopyIsChanging)};
    // A copy staged for an overwrite in place goes where the next lock cleans up after a kill.
    if (std::error_code error; std::filesystem::is_directory(originals.path(), error))
        writer.setStagingFolder(originals.path());

    // What each pick holds decides, not its name. A pick that cannot be opened is copied,
    // so that it fails as a copy always has.
    std::array<Pick, slotCount> picks;
    std::vector<ConversionPool::Job> conversions;
    double secondsTotal = 0;
    const std::unique_ptr<AudioDecoder> decoder = codecs_ ? codecs_->makeDecoder() : nullptr;
    for (int i = 0; i < slotCount; ++i) {
        Pick &pick = picks[i];
        if (slotTexts[i] == texts.placeholder)
            continue;
        pick.action = Pick::Action::Copy;
        pick.source = platform::pathFromText(slotTexts[i]);
        if (!decoder || isBlank(slotTexts[i]) || !opensAsFile(pick.source))
            continue;
        auto probed = decoder->probe(pick.source);
        if (std::holds_alternative<std::string>(probed)) {
            pick.action = Pick::Action::Refuse;
            pick.reason = std::get<std::string>(probed);
            continue;
        }
        pick.info = std::get<AudioInfo>(probed);
        if (pick.info.isMp3)
            continue;
        pick.action = Pick::Action::Convert;
        const std::string &targetName = slots_.targetFileName(i);
        conversions.push_back(
            {i, pick.source,
             Mp3Settings::forReference(referenceFor(*decoder, originals, targetName))});
        secondsTotal += pick.info.seconds;
    }

    std::error_code error;
    ConversionPool pool(codecs_, std::move(conversions), originals.gameFolder(),
                        [&](double seconds, int slot) {
                            if (progress)
                                progress({seconds, secondsTotal, slot});
                        });
    // Replacements are made ready (copied, hashed and flushed) a batch at a time, recorded
    // as under way in one write of the record, made seen in slot order, and recorded as
    // made in a second write: two flushes of the record per batch rather than per file.
    Batch batch{writer, originals, slots_};
    const auto failureAt = [&](int slot, const FileError &failure) {
        const int code = failureCodeFor(failure);
        return RunResult{RunResult::Outcome::Failed, slot, code,
                         failureMessage(language, labels[slot], code)};
    };
    std::optional<RunResult> ending;
    for (int i = 0; i < slotCount && !ending; ++i) {
        const Pick &pick = picks[i];
        if (pick.action == Pick::Action::Skip)
            continue;
        if (stop.stop_requested()) {
            ending = {RunResult::Outcome::Cancelled, i, 0, {}};
            break;
        }
        if (pick.action == Pick::Action::Refuse) {
            ending = {RunResult::Outcome::Failed, i, 0,
                      notMusicMessage(language, labels[i], pick.reason)};
            break;
        }
        const std::string &targetName = slots_.targetFileName(i);
        std::filesystem::path source = pick.source;
        ConversionPool::Result converted;
        // The staged MP3 goes once copied, or when the run ends here.
        const StagedFile staged(converted.staged);
        if (pick.action == Pick::Action::Convert) {
            converted = pool.take(i);
            if (stop.stop_requested()) {
                ending = {RunResult::Outcome::Cancelled, i, 0, {}};
                break;
            }
            if (converted.failure) {
                ending = {RunResult::Outcome::Failed, i, 0,
                          notMusicMessage(language, labels[i], *converted.failure)};
                break;
            }
            source = converted.staged;
        }
        AtomicFileWriter::Prepared prepared;
        std::optional<FileError> failure;
        if (isBlank(slotTexts[i]))
            failure = FileError{FileError::Kind::BlankSource, 0};
        else
            failure = writer.prepareCopy(source, originals.gameFile(targetName), prepared);
        if (failure) {
            ending = failureAt(i, *failure);
            break;
        }
        if (batch.add(i, std::move(prepared))) {
            if (std::optional<std::pair<int, FileError>> failed = batch.commit())
                return failureAt(failed->first, failed->second);
        }
    }
    // The slots before the one that ended the run are changed, as they would have been one
    // at a time; a failure among them comes first.
    if (std::optional<std::pair<int, FileError>> failed = batch.commit())
        return failureAt(failed->first, failed->second);
    if (ending)
        return *ending;
    return {};
}

} // namespace core
