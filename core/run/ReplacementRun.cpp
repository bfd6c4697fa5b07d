// SPDX-License-Identifier: GPL-3.0-or-later
#include "run/ReplacementRun.h"

#include "files/AtomicFileWriter.h"
#include "files/FailureCodes.h"
#include "files/Platform.h"
#include "files/RunLock.h"
#include "loudness/LoudnessCache.h"
#include "loudness/MatchedConversion.h"
#include "music/MusicFormats.h"
#include "originals/GameMusic.h"
#include "originals/OriginalsFolder.h"
#include "report/RunMessages.h"
#include "report/RunTexts.h"
#include "run/ConversionPool.h"
#include "run/ReplacementBatch.h"

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

// Nothing is written where any pick is no music: one message names every such pick by its
// file name and its slot by the slot's caption.
std::optional<RunResult> refuseUnreadable(const std::array<Pick, slotCount> &picks,
                                          const SlotTexts &labels, std::uint8_t language)
{
    RunResult refused{RunResult::Outcome::Failed, -1, 0, {}};
    refused.refusedBeforeWriting = true;
    std::string lines;
    for (int i = 0; i < slotCount; ++i) {
        if (picks[i].action != Pick::Action::Refuse)
            continue;
        if (refused.slot < 0)
            refused.slot = i;
        refused.refusedSlots.push_back(i);
        lines.append("\n")
            .append(platform::textFromPath(picks[i].source.filename()))
            .append(" (")
            .append(labels[i])
            .append("): ")
            .append(picks[i].reason);
    }
    if (refused.slot < 0)
        return std::nullopt;
    const RunTexts &texts = RunTexts::forLanguage(language);
    refused.message =
        std::string(refused.refusedSlots.size() == 1 ? texts.picksRefusedOne : texts.picksRefused) +
        lines;
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
    // Each file is looked at once: comparing every pair by path costs 40 x 40 look-ups.
    std::array<FileStatus, slotCount> written;
    for (int j = 0; j < slotCount; ++j)
        if (!targets[j].empty())
            fileSystem.status(targets[j], written[j]);
    std::vector<std::filesystem::path> staged;
    for (int i = 0; i < slotCount; ++i) {
        Pick &pick = picks[i];
        if (pick.action == Pick::Action::Skip || pick.readFailure)
            continue;
        FileStatus source;
        if (fileSystem.status(pick.source, source) != 0)
            continue;
        bool isWritten = false;
        for (int j = 0; j < slotCount && !isWritten; ++j)
            isWritten = j != i && source.sameFileAs(written[j]);
        if (!isWritten)
            continue;
        pick.readFailure = stageCopy(pick.source, stagingFolder, fileSystem, pick.staged);
        if (!pick.staged.empty())
            staged.push_back(pick.staged);
    }
    return staged;
}

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

RunResult failedCopy(int slot, std::string_view label, std::uint8_t language,
                     const FileError &failure)
{
    const int code = failureCodeFor(failure);
    RunResult result{RunResult::Outcome::Failed, slot, code,
                     RunMessages::failure(language, label, code)};
    result.systemError = failure.systemError;
    result.failure = failure;
    return result;
}

RunResult conversionFailed(int slot, std::string_view label, std::uint8_t language,
                           const ConversionFailure &failure)
{
    switch (failure.kind) {
    case ConversionFailure::Kind::Cancelled:
        return {RunResult::Outcome::Cancelled, slot, 0, {}};
    case ConversionFailure::Kind::NotMusic:
        return {RunResult::Outcome::Failed, slot, 0,
                RunMessages::notMusic(language, label, failure.reason.text(language))};
    case ConversionFailure::Kind::Read:
        return failedCopy(slot, label, language,
                          {FileError::Kind::SourceCall, failure.systemError});
    case ConversionFailure::Kind::Write:
        break;
    }
    // The reason is the window's to add beside the failure's own text.
    return failedCopy(slot, label, language, FileError::destination(failure.systemError));
}

} // namespace

// One run's way through its phases: the picks classified, the swaps staged, the conversions
// planned, the replacements committed in slot order. Holds what reads the picks.
class ReplacementRun::Pass
{
  public:
    using Picks = std::array<Pick, slotCount>;

    Pass(const ReplacementRun &run, OriginalsFolder &originals, AtomicFileWriter &writer,
         const SlotTexts &slotTexts, const SlotTexts &labels, std::uint8_t language,
         std::stop_token stop);

    // What each pick holds decides, not its name. A pick that cannot be opened as a file is
    // copied, so that it fails at its turn as a copy always has.
    Picks classifyPicks() const;
    // Swapping two game files: each is read as it was before the run, not as the earlier
    // slot left it. The staged copies.
    std::vector<std::filesystem::path> stageSwaps(Picks &picks) const;
    // The conversions the picks need, and the seconds of music they read.
    std::vector<ConversionPool::Job> planConversions(const Picks &picks, double &secondsTotal);
    // Replacements are made ready (copied, hashed and flushed) a batch at a time, recorded
    // as under way in one write of the record, made seen in slot order, and recorded as
    // made in a second write: two flushes of the record per batch rather than per file.
    RunResult commitInSlotOrder(const Picks &picks, ConversionPool &pool) const;

  private:
    Pick classifyPick(int slot) const;
    // The slot's replacement made ready, or what ends the run at the slot.
    std::optional<RunResult> prepare(int slot, const Pick &pick, ConversionPool &pool,
                                     ConversionPool::Result &converted,
                                     AtomicFileWriter::Prepared &prepared) const;
    RunResult failureAt(int slot, const FileError &failure) const;
    // A failed commit still tells the plans of the files it and earlier commits put in place.
    RunResult commitFailed(const ReplacementBatch::Failure &failed, const ReplacementBatch &batch,
                           const std::array<std::optional<GainPlan>, slotCount> &written) const;

    const ReplacementRun &run_;
    OriginalsFolder &originals_;
    AtomicFileWriter &writer_;
    const SlotTexts &slotTexts_;
    const SlotTexts &labels_;
    std::uint8_t language_;
    std::stop_token stop_;
    const RunTexts &texts_;
    const std::unique_ptr<AudioDecoder> decoder_;
    LoudnessCache runCache_;
    std::optional<LoudnessReference> references_;
    std::optional<MatchedConversion> matching_;
};

ReplacementRun::Pass::Pass(const ReplacementRun &run, OriginalsFolder &originals,
                           AtomicFileWriter &writer, const SlotTexts &slotTexts,
                           const SlotTexts &labels, std::uint8_t language, std::stop_token stop)
    : run_(run), originals_(originals), writer_(writer), slotTexts_(slotTexts), labels_(labels),
      language_(language), stop_(std::move(stop)), texts_(RunTexts::forLanguage(language)),
      decoder_(run.codecs_ ? run.codecs_->makeDecoder() : nullptr)
{
    if (decoder_)
        decoder_->readThrough(run_.fileSystem_);
    if (run_.codecs_ && run_.loudness_.matchLoudness) {
        LoudnessCache &cache = run_.cache_ ? *run_.cache_ : runCache_;
        references_.emplace(*run_.codecs_, cache, GameMusic::filesFor(originals_, run_.slots_));
        matching_.emplace(*run_.codecs_, cache, *references_, run_.loudness_, run_.fileSystem_);
    }
}

ReplacementRun::Pass::Picks ReplacementRun::Pass::classifyPicks() const
{
    Picks picks;
    for (int i = 0; i < slotCount; ++i)
        picks[i] = classifyPick(i);
    return picks;
}

Pick ReplacementRun::Pass::classifyPick(int slot) const
{
    Pick pick;
    if (!holdsPick(slotTexts_[slot], language_))
        return pick;
    pick.action = Pick::Action::Copy;
    pick.source = platform::pathFromText(slotTexts_[slot]);
    if (isBlank(slotTexts_[slot]) || !opensAsFile(pick.source, run_.fileSystem_))
        return pick;
    if (!decoder_) {
        // Without the audio part only what is surely an MP3 may go over a game file.
        if (!run_.missingAudioModule_.empty() &&
            !MusicFormats::fileBeginsLikeMp3(pick.source, run_.fileSystem_)) {
            pick.action = Pick::Action::Refuse;
            pick.reason = std::string(texts_.audioMissingPrefix)
                              .append(platform::textFromPath(run_.missingAudioModule_))
                              .append(texts_.audioMissingSuffix);
        }
        return pick;
    }
    auto probed = decoder_->probe(pick.source);
    if (std::holds_alternative<Reason>(probed) && decoder_->readError()) {
        pick.readFailure = FileError{FileError::Kind::SourceCall, decoder_->readError()};
        return pick;
    }
    if (const auto *reason = std::get_if<Reason>(&probed)) {
        pick.action = Pick::Action::Refuse;
        pick.reason = reason->text(language_);
        return pick;
    }
    pick.info = std::get<AudioInfo>(probed);
    const PickFit &fit = run_.fits_[slot];
    if (std::optional<Reason> impossible =
            fit.problem(pick.info.sampleRate, pick.info.mostFrames())) {
        pick.action = Pick::Action::Refuse;
        pick.reason = impossible->text(language_);
        return pick;
    }
    // An MP3 is copied byte for byte, unless it is fitted or its gain is to be matched too.
    if (!pick.info.isMp3 || !fit.isWhole() || (matching_ && run_.loudness_.matchMp3))
        pick.action = Pick::Action::Convert;
    return pick;
}

std::vector<std::filesystem::path> ReplacementRun::Pass::stageSwaps(Picks &picks) const
{
    std::array<std::filesystem::path, slotCount> targets;
    for (int i = 0; i < slotCount; ++i) {
        if (picks[i].action != Pick::Action::Skip)
            targets[i] = originals_.gameFile(run_.slots_.targetFileName(i));
    }
    return stageGameFilePicks(picks, targets, originals_.gameFolder(), run_.fileSystem_);
}

std::vector<ConversionPool::Job> ReplacementRun::Pass::planConversions(const Picks &picks,
                                                                       double &secondsTotal)
{
    std::vector<ConversionPool::Job> conversions;
    for (int i = 0; i < slotCount; ++i) {
        const Pick &pick = picks[i];
        if (pick.action != Pick::Action::Convert || pick.readFailure)
            continue;
        const std::filesystem::path source = pick.staged.empty() ? pick.source : pick.staged;
        const PickFit &fit = run_.fits_[i];
        if (pick.info.isMp3 && fit.isWhole()) {
            conversions.push_back({i, source, {}, &*matching_, true});
            secondsTotal += pick.info.seconds;
            continue;
        }
        const std::string &targetName = run_.slots_.targetFileName(i);
        const Mp3Settings settings =
            Mp3Settings::forGameMusic(*decoder_, GameMusic::formatSources(originals_, targetName));
        MatchedConversion *matching = matching_ ? &*matching_ : nullptr;
        conversions.push_back({i, source, settings, matching, pick.info.isMp3, fit});
        // Measuring a pick takes a reading of it as long as its conversion's; unmatched, the
        // silence at a whole pick's ends is found in the reading that converts it.
        const bool measuring = matching && !matching->isMeasured(source, settings, fit);
        secondsTotal += pick.info.seconds * (measuring ? 2 : 1);
    }
    return conversions;
}

RunResult ReplacementRun::Pass::commitInSlotOrder(const Picks &picks, ConversionPool &pool) const
{
    ReplacementBatch batch{writer_, originals_, run_.slots_};
    std::optional<RunResult> ending;
    std::array<std::optional<GainPlan>, slotCount> written;
    for (int i = 0; i < slotCount && !ending; ++i) {
        const Pick &pick = picks[i];
        if (pick.action == Pick::Action::Skip)
            continue;
        ConversionPool::Result converted;
        // The staged MP3 goes once copied, or when the run ends here.
        const StagedFile stagedMp3(converted.staged, run_.fileSystem_);
        AtomicFileWriter::Prepared prepared;
        if ((ending = prepare(i, pick, pool, converted, prepared)))
            break;
        if (converted.loudness.pick)
            written[std::size_t(i)] = converted.loudness;
        if (batch.add(i, std::move(prepared))) {
            if (std::optional<ReplacementBatch::Failure> failed = batch.commit())
                return commitFailed(*failed, batch, written);
        }
    }
    // The slots before the one that ended the run are changed, as they would have been one
    // at a time; a failure among them comes first.
    if (std::optional<ReplacementBatch::Failure> failed = batch.commit())
        return commitFailed(*failed, batch, written);
    if (ending && ending->outcome == RunResult::Outcome::Cancelled)
        countPicksPutIn(*ending, picks);
    RunResult result = ending.value_or(RunResult{});
    result.written = written;
    return result;
}

std::optional<RunResult> ReplacementRun::Pass::prepare(int slot, const Pick &pick,
                                                       ConversionPool &pool,
                                                       ConversionPool::Result &converted,
                                                       AtomicFileWriter::Prepared &prepared) const
{
    const RunResult cancelled{RunResult::Outcome::Cancelled, slot, 0, {}};
    if (stop_.stop_requested())
        return cancelled;
    const std::string &targetName = run_.slots_.targetFileName(slot);
    std::filesystem::path source = pick.staged.empty() ? pick.source : pick.staged;
    if (pick.action == Pick::Action::Convert && !pick.readFailure) {
        converted = pool.take(slot);
        if (stop_.stop_requested())
            return cancelled;
        if (converted.failure)
            return conversionFailed(slot, labels_[slot], language_, *converted.failure);
        source = converted.staged;
    }
    std::optional<FileError> failure;
    if (isBlank(slotTexts_[slot]))
        failure = FileError{FileError::Kind::BlankSource, 0};
    else if (pick.readFailure)
        failure = pick.readFailure;
    else
        failure = writer_.prepareCopy(source, originals_.gameFile(targetName), prepared, stop_);
    if (failure && stop_.stop_requested())
        return cancelled;
    if (failure)
        return failureAt(slot, *failure);
    return std::nullopt;
}

RunResult ReplacementRun::Pass::failureAt(int slot, const FileError &failure) const
{
    return failedCopy(slot, labels_[slot], language_, failure);
}

RunResult ReplacementRun::Pass::commitFailed(
    const ReplacementBatch::Failure &failed, const ReplacementBatch &batch,
    const std::array<std::optional<GainPlan>, slotCount> &written) const
{
    RunResult result = failureAt(failed.first, failed.second);
    for (int i = 0; i < slotCount; ++i) {
        if (batch.made(i))
            result.written[std::size_t(i)] = written[std::size_t(i)];
    }
    return result;
}

RunResult ReplacementRun::run(const SlotTexts &slotTexts, const SlotTexts &labels,
                              std::string_view musicFolder, std::uint8_t language,
                              const Progress &progress, std::stop_token stop) const
{
    if (musicFolder.empty())
        return {RunResult::Outcome::Refused, -1, 0,
                std::string(RunTexts::forLanguage(language).noMusicFolder)};

    AtomicFileWriter writer(fileSystem_);
    OriginalsFolder originals(musicFolder, fileSystem_, dataFolder_);
    // Held to the end: another copy of the program neither writes here meanwhile nor
    // rewrites the record from what it read before.
    const OriginalsFolder::Writing writing =
        originals.beginWriting(language, RunLock::patience, [&] {
            if (progress)
                progress({.waitingForOtherCopy = true});
        });
    if (writing.refused)
        return *writing.refused;
    // A copy staged for an overwrite in place goes where the next lock cleans up after a kill.
    if (fileSystem_.isFolder(originals.path()))
        writer.setStagingFolder(originals.path());

    Pass pass(*this, originals, writer, slotTexts, labels, language, stop);
    Pass::Picks picks = pass.classifyPicks();
    if (std::optional<RunResult> refused = refuseUnreadable(picks, labels, language))
        return *refused;
    const std::vector<std::filesystem::path> staged = pass.stageSwaps(picks);
    const StagedFiles removeStaged(staged, fileSystem_);
    double secondsTotal = 0;
    std::vector<ConversionPool::Job> conversions = pass.planConversions(picks, secondsTotal);
    ConversionPool pool(
        codecs_, std::move(conversions), originals.gameFolder(),
        [&](double seconds, int slot) {
            if (progress)
                progress({seconds, secondsTotal, slot});
        },
        0, stop, fileSystem_);
    return pass.commitInSlotOrder(picks, pool);
}

} // namespace core
