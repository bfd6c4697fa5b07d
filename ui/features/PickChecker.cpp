// SPDX-License-Identifier: GPL-3.0-or-later
#include "features/PickChecker.h"

#include "NumberText.h"
#include "TextTable.h"
#include "features/PostBack.h"
#include "files/Platform.h"
#include "music/MusicFormats.h"

#include <QPointer>
#include <QThreadPool>

namespace {

PickChecker::Verdict examineWithAudioCode(const QString &file, const QString &gameFile)
{
    PickChecker::Verdict verdict;
    const std::filesystem::path path = core::platform::pathFromText(file.toStdString());
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
        verdict.reason = {core::Reason::Code::NotAFile, {}};
        return verdict;
    }
    core::Reason unavailable;
    const core::AudioCodecs *codecs = core::AudioCodecs::get(&unavailable);
    const std::filesystem::path modulePath = core::AudioCodecs::modulePath();
    if (!codecs && !modulePath.empty()) {
        // As the run judges it: an MP3 by its first bytes is copied, all else refused.
        verdict.audioMissingAt = QString::fromStdString(core::platform::textFromPath(modulePath));
        verdict.readable = core::MusicFormats::fileBeginsLikeMp3(path);
        return verdict;
    }
    if (!codecs) {
        verdict.reason = std::move(unavailable);
        return verdict;
    }
    const auto decoder = codecs->makeDecoder();
    auto probed = decoder->probe(path);
    if (auto *reason = std::get_if<core::Reason>(&probed)) {
        verdict.reason = std::move(*reason);
        return verdict;
    }
    verdict.readable = true;
    verdict.pick = std::get<core::AudioInfo>(probed);
    verdict.converts = !verdict.pick->isMp3;
    if (!gameFile.isEmpty()) {
        auto reference = decoder->probe(core::platform::pathFromText(gameFile.toStdString()));
        if (const auto *info = std::get_if<core::AudioInfo>(&reference))
            verdict.gameFile = *info;
    }
    return verdict;
}

QString length(double seconds)
{
    const int whole = int(seconds + 0.5);
    return QStringLiteral("%1:%2").arg(whole / 60).arg(whole % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

PickChecker::PickChecker(QObject *parent, Examine examine)
    : QObject(parent), examine_(examine ? std::move(examine) : Examine(&examineWithAudioCode))
{
}

PickChecker::~PickChecker()
{
    // Checks under way deliver to nobody once this is gone; they only read.
    pool_.waitForDone();
}

bool PickChecker::waitForChecks(const std::stop_token &stop) const
{
    constexpr int slice = 100; // milliseconds between looks at the stop
    while (!pool_.waitForDone(slice)) {
        if (stop.stop_requested())
            return false;
    }
    return true;
}

void PickChecker::check(int slot, const QString &file, const QString &gameFile)
{
    const unsigned generation = ++generations_.at(std::size_t(slot));
    verdicts_.at(std::size_t(slot)).reset();
    QPointer<PickChecker> self(this);
    pool_.start([self, examine = examine_, slot, generation, file, gameFile] {
        Verdict verdict = examine(file, gameFile);
        postBack(self,
                 [slot, generation, verdict = std::move(verdict)](PickChecker &checker) mutable {
                     if (checker.generations_.at(std::size_t(slot)) != generation)
                         return;
                     checker.verdicts_.at(std::size_t(slot)) = std::move(verdict);
                     emit checker.checked(slot);
                 });
    });
}

void PickChecker::forget(int slot)
{
    ++generations_.at(std::size_t(slot));
    verdicts_.at(std::size_t(slot)).reset();
}

QString PickChecker::describe(const Verdict &verdict, std::uint8_t language, bool loudnessSaysMore)
{
    const TextTable &texts = TextTable::forLanguage(language);
    if (!verdict.audioMissingAt.isEmpty())
        return QString::fromUtf8(verdict.readable ? texts.pickCopiedAudioMissing
                                                  : texts.pickAudioMissing)
            .arg(verdict.audioMissingAt);
    if (!verdict.readable)
        return QString::fromUtf8(texts.pickUnreadable)
            .arg(QString::fromStdString(verdict.reason.text(language)));
    const core::AudioInfo &pick = *verdict.pick;
    const QString format = QString::fromStdString(pick.format);
    if (!verdict.converts && verdict.gameFile && verdict.gameFile->sampleRate != pick.sampleRate)
        return QString::fromUtf8(texts.pickOtherRate)
            .arg(format, NumberText::kiloHertz(pick.sampleRate, language),
                 NumberText::kiloHertz(verdict.gameFile->sampleRate, language));
    const QString channels = QString::fromUtf8(pick.channels == 1 ? texts.mono : texts.stereo);
    const char *said = verdict.converts   ? texts.pickConverted
                       : loudnessSaysMore ? texts.pickFigures
                                          : texts.pickCopied;
    return QString::fromUtf8(said).arg(format, NumberText::kiloHertz(pick.sampleRate, language),
                                       channels, length(pick.seconds));
}

QString PickChecker::describeCutShort(const Verdict &verdict, double measuredSeconds,
                                      std::uint8_t language)
{
    // Far more than an encoder's delay or a container's rounding; an estimated length may
    // miss by more.
    constexpr double cutBy = 0.5;
    if (!verdict.pick || verdict.pick->lengthEstimated ||
        verdict.pick->seconds - measuredSeconds <= cutBy)
        return {};
    return QString::fromUtf8(TextTable::forLanguage(language).pickCutShort)
        .arg(length(measuredSeconds), length(verdict.pick->seconds));
}
