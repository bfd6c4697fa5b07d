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
    const std::unique_ptr<RunLock> lock = originals.lockForWriting();

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
    for (int i = 0; i < slotCount; ++i) {
        const Pick &pick = picks[i];
        if (pick.action == Pick::Action::Skip)
            continue;
        if (stop.stop_requested())
            return {RunResult::Outcome::Cancelled, i, 0, {}};
        if (pick.action == Pick::Action::Refuse)
            return {RunResult::Outcome::Failed, i, 0,
                    notMusicMessage(language, labels[i], pick.reason)};
        const std::string &targetName = slots_.targetFileName(i);
        const auto keepOriginal = [&](const std::filesystem::path &gameFile, bool inPlace,
                                      const std::filesystem::path &newContent) {
            return originals.keep(gameFile, targetName, inPlace, newContent);
        };
        std::filesystem::path source = pick.source;
        ConversionPool::Result converted;
        // The staged MP3 goes once committed, or when the run ends here.
        const StagedFile staged(converted.staged);
        if (pick.action == Pick::Action::Convert) {
            converted = pool.take(i);
            if (stop.stop_requested())
                return {RunResult::Outcome::Cancelled, i, 0, {}};
            if (converted.failure)
                return {RunResult::Outcome::Failed, i, 0,
                        notMusicMessage(language, labels[i], *converted.failure)};
            source = converted.staged;
        }
        std::optional<FileError> failure;
        if (isBlank(slotTexts[i]))
            failure = FileError{FileError::Kind::BlankSource, 0};
        else
            failure = writer.copyFile(source, originals.gameFile(targetName), keepOriginal);
        if (failure) {
            const int code = failureCodeFor(*failure);
            RunResult result{RunResult::Outcome::Failed, i, code,
                             failureMessage(language, labels[i], code)};
            result.systemError = failure->systemError;
            return result;
        }
    }
    return {};
}

} // namespace core
