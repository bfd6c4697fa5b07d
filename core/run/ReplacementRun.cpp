// SPDX-License-Identifier: GPL-3.0-or-later
#include "run/ReplacementRun.h"

#include "files/AtomicFileWriter.h"
#include "files/RunLock.h"
#include "loudness/LoudnessCache.h"
#include "loudness/MatchedConversion.h"
#include "music/MusicFormats.h"
#include "originals/OriginalsFolder.h"
#include "run/ConversionPool.h"
#include "run/FailureCodes.h"
#include "run/RunTexts.h"
#include "settings/Platform.h"

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
                               std::filesystem::path dataFolder, const AudioCodecs *codecs,
                               std::filesystem::path missingAudioModule)
    : slots_(slots), fileSystem_(fileSystem), dataFolder_(std::move(dataFolder)), codecs_(codecs),
      missingAudioModule_(std::move(missingAudioModule))
{
}

ReplacementRun::ReplacementRun(const SlotTable &slots, FileSystem &fileSystem,
                               std::filesystem::path dataFolder, const AudioCodecs *codecs,
                               LoudnessOptions loudness, LoudnessCache *cache,
                               std::filesystem::path missingAudioModule)
    : slots_(slots), fileSystem_(fileSystem), dataFolder_(std::move(dataFolder)), codecs_(codecs),
      missingAudioModule_(std::move(missingAudioModule)), loudness_(loudness), cache_(cache)
{
}

bool ReplacementRun::holdsPick(std::string_view slotText, std::uint8_t language)
{
    return slotText != RunTexts::forLanguage(language).placeholder;
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

std::string ReplacementRun::writeFailureReason(std::uint8_t language, SystemError error)
{
    const RunTexts &texts = RunTexts::forLanguage(language);
    switch (commonFailureOf(error)) {
    case CommonFailure::AccessDenied:
        return std::string(texts.reasonAccessDenied);
    case CommonFailure::ReadOnly:
        return std::string(texts.reasonReadOnly);
    case CommonFailure::DiskFull:
        return std::string(texts.reasonDiskFull);
    case CommonFailure::NotFound:
        return std::string(texts.reasonNotFound);
    case CommonFailure::InUse:
        return std::string(texts.reasonInUse);
    case CommonFailure::Other:
        break;
    }
    return Reason{Reason::Code::SystemFault, describeSystemError(error)}.text(language);
}

namespace {

// What a run does with one slot's pick.
struct Pick
{
    enum class Action { Skip, Copy, Convert, Refuse };
    Action action = Action::Skip;
    std::filesystem::path source;
    AudioInfo info;
    std::string reason; // why it is refused, in the run's language
    // A game file this run replaces is read from a copy made before anything changed.
    std::filesystem::path staged;
    // The source could not be read while it was probed or staged: the slot fails at its turn.
    std::optional<FileError> readFailure;
};

// Removes the file the path names, if any, at the end of its scope.
class StagedFile
{
  public:
    StagedFile(const std::filesystem::path &path, FileSystem &fileSystem)
        : path_(path), fileSystem_(fileSystem)
    {
    }
    ~StagedFile()
    {
        if (!path_.empty())
            fileSystem_.remove(path_);
    }
    StagedFile(const StagedFile &) = delete;
    StagedFile &operator=(const StagedFile &) = delete;

  private:
    const std::filesystem::path &path_;
    FileSystem &fileSystem_;
};

bool opensAsFile(const std::filesystem::path &path, FileSystem &fileSystem)
{
    FileStatus status;
    return fileSystem.status(path, status) == 0 && status.isFile();
}

// Removes the files named, at the end of its scope.
class StagedFiles
{
  public:
    StagedFiles(const std::vector<std::filesystem::path> &paths, FileSystem &fileSystem)
        : paths_(paths), fileSystem_(fileSystem)
    {
    }
    ~StagedFiles()
    {
        for (const std::filesystem::path &path : paths_)
            fileSystem_.remove(path);
    }
    StagedFiles(const StagedFiles &) = delete;
    StagedFiles &operator=(const StagedFiles &) = delete;

  private:
    const std::vector<std::filesystem::path> &paths_;
    FileSystem &fileSystem_;
};

// Nothing is written where any pick is no music: one message names every such slot.
std::optional<RunResult> refuseUnreadable(const std::array<Pick, slotCount> &picks,
                                          const SlotTexts &labels, std::uint8_t language)
{
    const RunTexts &texts = RunTexts::forLanguage(language);
    RunResult refused{RunResult::Outcome::Failed, -1, 0, std::string(texts.picksRefused)};
    refused.refusedBeforeWriting = true;
    for (int i = 0; i < slotCount; ++i) {
        if (picks[i].action != Pick::Action::Refuse)
            continue;
        if (refused.slot < 0)
            refused.slot = i;
        refused.message.append("\n").append(labels[i]).append(".mp3: ").append(picks[i].reason);
    }
    if (refused.slot < 0)
        return std::nullopt;
    return refused;
}

// Copies the source whole into a new file of our pattern in the folder, else in the system's
// temporary folder.
std::optional<FileError> stageCopy(const std::filesystem::path &source,
                                   const std::filesystem::path &folder, FileSystem &fileSystem,
                                   std::filesystem::path &staged)
{
    FileSystem::Handle input = 0;
    if (const SystemError error = fileSystem.openForReading(source, input))
        return FileError{FileError::Kind::SourceCall, error};
    FileSystem::Handle output = 0;
    staged = folder / AtomicFileWriter::newTemporaryName();
    SystemError error = fileSystem.createNew(staged, output);
    if (error) {
        std::error_code ignored;
        staged =
            std::filesystem::temp_directory_path(ignored) / AtomicFileWriter::newTemporaryName();
        error = fileSystem.createNew(staged, output);
    }
    if (error) {
        fileSystem.close(input);
        staged.clear();
        return FileError::destination(error);
    }
    bool sourceFailed = false;
    error = fileSystem.copyContent(input, output, sourceFailed);
    fileSystem.close(input);
    fileSystem.close(output);
    if (!error)
        return std::nullopt;
    fileSystem.remove(staged);
    staged.clear();
    return FileError{sourceFailed ? FileError::Kind::SourceCall : FileError::Kind::DestinationCall,
                     error};
}

// Stages every pick that is the game file of another slot this run writes; the staged files.
std::vector<std::filesystem::path>
stageGameFilePicks(std::array<Pick, slotCount> &picks,
                   const std::array<std::filesystem::path, slotCount> &targets,
                   const std::filesystem::path &stagingFolder, FileSystem &fileSystem)
{
    std::vector<std::filesystem::path> staged;
    for (int i = 0; i < slotCount; ++i) {
        Pick &pick = picks[i];
        if (pick.action == Pick::Action::Skip || pick.readFailure)
            continue;
        bool written = false;
        for (int j = 0; j < slotCount && !written; ++j)
            written = j != i && !targets[j].empty() && fileSystem.sameFile(pick.source, targets[j]);
        if (!written)
            continue;
        pick.readFailure = stageCopy(pick.source, stagingFolder, fileSystem, pick.staged);
        if (!pick.staged.empty())
            staged.push_back(pick.staged);
    }
    return staged;
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
        std::size_t made = 0;
        for (; made < kept && !failed; ++made) {
            Ready &ready = ready_[made];
            const WrittenFile written = ready.replacement.written;
            const std::filesystem::path target = ready.replacement.target;
            const bool inPlace = ready.replacement.inPlace;
            if (std::optional<FileError> failure = writer_.commit(ready.replacement)) {
                failed = {{ready.slot, *failure}};
                originals_.recordFailed(slots_.targetFileName(ready.slot), target, inPlace);
            } else {
                originals_.recordMade(slots_.targetFileName(ready.slot), written);
                made_[std::size_t(ready.slot)] = true;
            }
        }
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

    // True where the slot's new file was made seen by a commit so far.
    bool made(int slot) const { return made_[std::size_t(slot)]; }

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
    std::array<bool, slotCount> made_{};
};

// A cancelled run: every pick before the slot it stopped at went in, the others did not.
void countPicksPutIn(RunResult &cancelled, const std::array<Pick, slotCount> &picks)
{
    for (int i = 0; i < slotCount; ++i) {
        if (picks[i].action == Pick::Action::Skip)
            continue;
        if (i < cancelled.slot)
            ++cancelled.picksPutIn;
        else
            ++cancelled.picksNotPutIn;
    }
}

} // namespace

RunResult ReplacementRun::conversionFailed(int slot, std::string_view label, std::uint8_t language,
                                           const ConversionFailure &failure)
{
    switch (failure.kind) {
    case ConversionFailure::Kind::Cancelled:
        return {RunResult::Outcome::Cancelled, slot, 0, {}};
    case ConversionFailure::Kind::NotMusic:
        return {RunResult::Outcome::Failed, slot, 0,
                notMusicMessage(language, label, failure.reason.text(language))};
    case ConversionFailure::Kind::Read: {
        const int code = failureCodeFor({FileError::Kind::SourceCall, failure.systemError});
        return {RunResult::Outcome::Failed, slot, code, failureMessage(language, label, code)};
    }
    case ConversionFailure::Kind::Write:
        break;
    }
    const int code = failureCodeFor(FileError::destination(failure.systemError));
    return {RunResult::Outcome::Failed, slot, code,
            failureMessage(language, label, code) + "\n" +
                writeFailureReason(language, failure.systemError)};
}

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
    if (std::optional<RunResult> refused = originals.refusedRun(language))
        return *refused;
    // A copy staged for an overwrite in place goes where the next lock cleans up after a kill.
    if (fileSystem_.isFolder(originals.path()))
        writer.setStagingFolder(originals.path());

    // What each pick holds decides, not its name. A pick that cannot be opened as a file is
    // copied, so that it fails at its turn as a copy always has.
    std::array<Pick, slotCount> picks;
    const std::unique_ptr<AudioDecoder> decoder = codecs_ ? codecs_->makeDecoder() : nullptr;
    if (decoder)
        decoder->readThrough(fileSystem_);
    LoudnessCache runCache;
    std::optional<LoudnessReference> references;
    std::optional<MatchedConversion> matching;
    if (codecs_ && loudness_.matchLoudness) {
        references.emplace(*codecs_, cache_ ? *cache_ : runCache,
                           LoudnessReference::filesFor(originals, slots_));
        matching.emplace(*codecs_, cache_ ? *cache_ : runCache, *references, loudness_,
                         fileSystem_);
    }
    for (int i = 0; i < slotCount; ++i) {
        Pick &pick = picks[i];
        if (!holdsPick(slotTexts[i], language))
            continue;
        pick.action = Pick::Action::Copy;
        pick.source = platform::pathFromText(slotTexts[i]);
        if (isBlank(slotTexts[i]) || !opensAsFile(pick.source, fileSystem_))
            continue;
        if (!decoder) {
            // Without the audio part only what is surely an MP3 may go over a game file.
            if (!missingAudioModule_.empty() &&
                !MusicFormats::fileBeginsLikeMp3(pick.source, fileSystem_)) {
                pick.action = Pick::Action::Refuse;
                pick.reason = std::string(texts.audioMissingPrefix)
                                  .append(platform::textFromPath(missingAudioModule_))
                                  .append(texts.audioMissingSuffix);
            }
            continue;
        }
        auto probed = decoder->probe(pick.source);
        if (std::holds_alternative<Reason>(probed) && decoder->readError()) {
            pick.readFailure = FileError{FileError::Kind::SourceCall, decoder->readError()};
            continue;
        }
        if (const auto *reason = std::get_if<Reason>(&probed)) {
            pick.action = Pick::Action::Refuse;
            pick.reason = reason->text(language);
            continue;
        }
        pick.info = std::get<AudioInfo>(probed);
        if (std::optional<Reason> impossible =
                fits_[i].problem(pick.info.sampleRate, pick.info.mostFrames())) {
            pick.action = Pick::Action::Refuse;
            pick.reason = impossible->text(language);
            continue;
        }
        // An MP3 is copied byte for byte, unless it is fitted or its gain is to be matched too.
        if (!pick.info.isMp3 || !fits_[i].isWhole() || (matching && loudness_.matchMp3))
            pick.action = Pick::Action::Convert;
    }
    if (std::optional<RunResult> refused = refuseUnreadable(picks, labels, language))
        return *refused;

    // Swapping two game files: each is read as it was before the run, not as the earlier
    // slot left it.
    std::array<std::filesystem::path, slotCount> targets;
    for (int i = 0; i < slotCount; ++i) {
        if (picks[i].action != Pick::Action::Skip)
            targets[i] = originals.gameFile(slots_.targetFileName(i));
    }
    const std::vector<std::filesystem::path> staged =
        stageGameFilePicks(picks, targets, originals.gameFolder(), fileSystem_);
    const StagedFiles removeStaged(staged, fileSystem_);

    std::vector<ConversionPool::Job> conversions;
    double secondsTotal = 0;
    for (int i = 0; i < slotCount; ++i) {
        const Pick &pick = picks[i];
        if (pick.action != Pick::Action::Convert || pick.readFailure)
            continue;
        const std::filesystem::path source = pick.staged.empty() ? pick.source : pick.staged;
        if (pick.info.isMp3 && fits_[i].isWhole()) {
            conversions.push_back({i, source, {}, &*matching, true});
            secondsTotal += pick.info.seconds;
            continue;
        }
        const std::string &targetName = slots_.targetFileName(i);
        const Mp3Settings settings = Mp3Settings::forGameMusic(*decoder, originals, targetName);
        conversions.push_back(
            {i, source, settings, matching ? &*matching : nullptr, pick.info.isMp3, fits_[i]});
        // Measuring a pick takes a reading of it as long as its conversion's; unmatched, the
        // silence at a whole pick's ends is found in the reading that converts it.
        const bool measuring = matching && !matching->isMeasured(source, settings, fits_[i]);
        secondsTotal += pick.info.seconds * (measuring ? 2 : 1);
    }

    std::error_code error;
    ConversionPool pool(
        codecs_, std::move(conversions), originals.gameFolder(),
        [&](double seconds, int slot) {
            if (progress)
                progress({seconds, secondsTotal, slot});
        },
        0, stop, fileSystem_);
    // Replacements are made ready (copied, hashed and flushed) a batch at a time, recorded
    // as under way in one write of the record, made seen in slot order, and recorded as
    // made in a second write: two flushes of the record per batch rather than per file.
    Batch batch{writer, originals, slots_};
    const auto failureAt = [&](int slot, const FileError &failure) {
        const int code = failureCodeFor(failure);
        RunResult result{RunResult::Outcome::Failed, slot, code,
                         failureMessage(language, labels[slot], code)};
        result.systemError = failure.systemError;
        return result;
    };
    std::optional<RunResult> ending;
    std::array<std::optional<GainPlan>, slotCount> written;
    // A failed commit still tells the plans of the files it and earlier commits put in place.
    const auto commitFailed = [&](const std::pair<int, FileError> &failed) {
        RunResult result = failureAt(failed.first, failed.second);
        for (int i = 0; i < slotCount; ++i) {
            if (batch.made(i))
                result.written[std::size_t(i)] = written[std::size_t(i)];
        }
        return result;
    };
    for (int i = 0; i < slotCount && !ending; ++i) {
        const Pick &pick = picks[i];
        if (pick.action == Pick::Action::Skip)
            continue;
        if (stop.stop_requested()) {
            ending = {RunResult::Outcome::Cancelled, i, 0, {}};
            break;
        }
        const std::string &targetName = slots_.targetFileName(i);
        std::filesystem::path source = pick.staged.empty() ? pick.source : pick.staged;
        ConversionPool::Result converted;
        // The staged MP3 goes once copied, or when the run ends here.
        const StagedFile stagedMp3(converted.staged, fileSystem_);
        if (pick.action == Pick::Action::Convert && !pick.readFailure) {
            converted = pool.take(i);
            if (stop.stop_requested()) {
                ending = {RunResult::Outcome::Cancelled, i, 0, {}};
                break;
            }
            if (converted.failure) {
                ending = conversionFailed(i, labels[i], language, *converted.failure);
                break;
            }
            source = converted.staged;
        }
        AtomicFileWriter::Prepared prepared;
        std::optional<FileError> failure;
        if (isBlank(slotTexts[i]))
            failure = FileError{FileError::Kind::BlankSource, 0};
        else if (pick.readFailure)
            failure = pick.readFailure;
        else
            failure = writer.prepareCopy(source, originals.gameFile(targetName), prepared, stop);
        if (failure && stop.stop_requested()) {
            ending = {RunResult::Outcome::Cancelled, i, 0, {}};
            break;
        }
        if (failure) {
            ending = failureAt(i, *failure);
            break;
        }
        if (converted.loudness.pick)
            written[std::size_t(i)] = converted.loudness;
        if (batch.add(i, std::move(prepared))) {
            if (std::optional<std::pair<int, FileError>> failed = batch.commit())
                return commitFailed(*failed);
        }
    }
    // The slots before the one that ended the run are changed, as they would have been one
    // at a time; a failure among them comes first.
    if (std::optional<std::pair<int, FileError>> failed = batch.commit())
        return commitFailed(*failed);
    if (ending && ending->outcome == RunResult::Outcome::Cancelled)
        countPicksPutIn(*ending, picks);
    RunResult result = ending.value_or(RunResult{});
    result.written = written;
    return result;
}

} // namespace core
