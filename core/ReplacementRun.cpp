// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReplacementRun.h"

#include "AtomicFileWriter.h"
#include "FailureCodes.h"
#include "OriginalsFolder.h"
#include "Platform.h"
#include "RunLock.h"
#include "RunTexts.h"

namespace core {

namespace {

bool isBlank(std::string_view text)
{
    return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

} // namespace

ReplacementRun::ReplacementRun(const SlotTable &slots, FileSystem &fileSystem,
                               std::filesystem::path dataFolder)
    : slots_(slots), fileSystem_(fileSystem), dataFolder_(std::move(dataFolder))
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

RunResult ReplacementRun::run(const SlotTexts &slotTexts, const SlotTexts &labels,
                              std::string_view musicFolder, std::uint8_t language) const
{
    const RunTexts &texts = RunTexts::forLanguage(language);
    if (musicFolder.empty())
        return {RunResult::Outcome::Refused, -1, 0, std::string(texts.noMusicFolder)};

    AtomicFileWriter writer(fileSystem_);
    OriginalsFolder originals(musicFolder, fileSystem_, dataFolder_);
    const RunLock lock(originals.gameFolder());
    if (lock.outcome() != RunLock::Outcome::HeldElsewhere)
        originals.removeLeftovers();

    for (int i = 0; i < slotCount; ++i) {
        const std::string &source = slotTexts[i];
        if (source == texts.placeholder)
            continue;
        const std::string &targetName = slots_.targetFileName(i);
        const auto keepOriginal = [&](const std::filesystem::path &gameFile, bool inPlace,
                                      const std::filesystem::path &newContent) {
            return originals.keep(gameFile, targetName, inPlace, newContent);
        };
        std::optional<FileError> error;
        if (isBlank(source))
            error = FileError{FileError::Kind::BlankSource, 0};
        else
            error = writer.copyFile(platform::pathFromText(source),
                                    originals.gameFile(targetName), keepOriginal);
        if (error) {
            const int code = failureCodeFor(*error);
            return {RunResult::Outcome::Failed, i, code, failureMessage(language, labels[i], code)};
        }
    }
    return {};
}

} // namespace core
