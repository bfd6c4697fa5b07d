// SPDX-License-Identifier: GPL-3.0-or-later
#include "features/ChangeCommand.h"

#include "PlatformLayer.h"
#include "SharedState.h"
#include "TextTable.h"
#include "features/Listening.h"
#include "features/LoudnessChoice.h"
#include "features/PickChecker.h"
#include "features/ProgressWorker.h"
#include "features/RunMessage.h"
#include "files/FailureCodes.h"
#include "files/Platform.h"
#include "music/AudioCodecs.h"
#include "originals/OriginalsFolder.h"
#include "report/RunMessages.h"
#include "report/RunTexts.h"
#include "settings/GameMusicFolder.h"

#include <QApplication>

#include <algorithm>

ChangeCommand::ChangeCommand(const FeatureContext &context, const QWidget &exitButton,
                             const PickChecker &pickChecker, RunMessage &message, QObject *parent)
    : QObject(parent), window_(context.window), exitButton_(exitButton),
      platform_(context.platform), slots_(context.slotView), slotTable_(context.slotTable),
      state_(context.state), pickChecker_(pickChecker), listening_(context.listening),
      message_(message), kept_(context.state, context.slotTable)
{
}

void ChangeCommand::run()
{
    if (worker_ || !confirmFolderWithoutGameMusic())
        return;
    stop_ = {slots_.texts(), false, {}, state_.utvonal};
    for (int i = 0; i < core::slotCount; ++i)
        emit slotNoted(i, {});
    const core::SlotTexts labels = slots_.labels();
    // Handed over as administrator: a pick's game file that is a link fails the run unwritten.
    if (const auto refused =
            kept_.linkedTargetRefusal(labels, [this](int i) { return slots_.showsFile(i); })) {
        report(*refused);
        return;
    }
    listening_.releaseSlots([this](int slot) { return slots_.showsFile(slot); });
    emit aboutToWrite();
    core::RunResult result;
    if (!runOver(stop_.texts, result))
        return;
    if (changeOthers(result, stop_.texts)) {
        // The slots left out hold the placeholder for this run: it skips them.
        stop_.leftAsTheyWere = result.refusedSlots;
        const std::string placeholder(core::RunTexts::forLanguage(state_.nyelv).placeholder);
        for (int slot : stop_.leftAsTheyWere)
            stop_.texts[std::size_t(slot)] = placeholder;
        emit aboutToWrite();
        if (!runOver(stop_.texts, result))
            return;
    } else if (!result.refusedSlots.empty() && result.refusedBeforeWriting) {
        // Answered no: nothing was written, and the box was the run's one message.
        emit filesWritten();
        emit runEnded(result);
        emit slotNeedsAttention(result.slot);
        emit finished();
        return;
    }
    if (result.slot >= 0 && result.slot < core::slotCount) {
        const auto &verdict = pickChecker_.verdict(result.slot);
        stop_.pickWasFound = verdict && verdict->readable;
    }
    emit filesWritten();
    emit runEnded(result);
    report(result);
}

bool ChangeCommand::runOver(const core::SlotTexts &texts, core::RunResult &result)
{
    const core::SlotTexts labels = slots_.labels();
    const std::string folder = state_.utvonal;
    const std::uint8_t language = state_.nyelv;
    const core::AudioCodecs *codecs = core::AudioCodecs::get();
    const core::LoudnessOptions loudness =
        loudnessChoice_ ? loudnessChoice_->options() : core::LoudnessOptions();
    core::ReplacementRun run(slotTable_, core::FileSystem::native(), KeptOriginals::dataFolder(),
                             codecs, loudness, loudnessCache_,
                             codecs ? "" : core::AudioCodecs::modulePath());
    run.setFits(state_.fits.all());
    // Whether anything is converted is known only once the run has read every pick; a run
    // that only copies is over before its window would show.
    const TextTable &table = TextTable::forLanguage(language);
    ProgressWorker worker(&window_, language, 1000);
    worker.setMinimumDuration(progressDelay_);
    worker.setUnmeasured();
    worker.holdInput(window_, &exitButton_);
    worker_ = &worker;
    QApplication::setOverrideCursor(Qt::BusyCursor);
    worker.run([&] {
        // A pick's check still reading a game file would keep Windows from replacing it.
        if (!pickChecker_.waitForChecks(worker.stopToken())) {
            result = cancelledWhileChecking(texts, language);
            return;
        }
        result = run.run(
            texts, labels, folder, language,
            [&](const core::RunProgress &now) {
                if (now.waitingForOtherCopy) {
                    worker.reportLabel(QString::fromUtf8(table.waitingForOtherCopy));
                    return;
                }
                worker.report(now.secondsTotal > 0 ? int(1000 * now.secondsDone / now.secondsTotal)
                                                   : 0,
                              QString::fromUtf8(table.converting)
                                  .arg(QString::fromStdString(labels[std::size_t(now.slot)])));
            },
            worker.stopToken());
    });
    QApplication::restoreOverrideCursor();
    worker_ = nullptr;
    worker.hide();
    if (endAfterRun_) {
        platform_.endProgram();
        return false;
    }
    return true;
}

bool ChangeCommand::changeOthers(const core::RunResult &refused, const core::SlotTexts &texts)
{
    if (refused.outcome != core::RunResult::Outcome::Failed || !refused.refusedBeforeWriting ||
        refused.refusedSlots.empty())
        return false;
    int others = 0;
    for (int i = 0; i < core::slotCount; ++i) {
        const bool left = std::find(refused.refusedSlots.begin(), refused.refusedSlots.end(), i) !=
                          refused.refusedSlots.end();
        others += !left && core::ReplacementRun::holdsPick(texts[std::size_t(i)], state_.nyelv);
    }
    if (others == 0) {
        // Nothing else to change: the refusal alone, as the run's one message.
        platform_.showMessage(&window_, QString::fromStdString(refused.message));
        return false;
    }
    const TextTable &table = TextTable::forLanguage(state_.nyelv);
    return platform_.askYesNoWithInformativeText(&window_, QString::fromStdString(refused.message),
                                                 QString::fromUtf8(refused.refusedSlots.size() == 1
                                                                       ? table.changeOthersOne
                                                                       : table.changeOthersMany),
                                                 PlatformLayer::DefaultAnswer::No);
}

core::RunResult ChangeCommand::cancelledWhileChecking(const core::SlotTexts &texts,
                                                      std::uint8_t language)
{
    // Counted as the run would have tried them.
    core::RunResult cancelled;
    cancelled.outcome = core::RunResult::Outcome::Cancelled;
    for (const std::string &text : texts)
        cancelled.picksNotPutIn += core::ReplacementRun::holdsPick(text, language) ? 1 : 0;
    return cancelled;
}

void ChangeCommand::report(const core::RunResult &result)
{
    message_.show(result, &stop_);
    const std::array<QString, core::slotCount> notes =
        RunMessage::slotNotes(result, stop_, slotTable_, state_.nyelv);
    for (int i = 0; i < core::slotCount; ++i) {
        if (!notes[std::size_t(i)].isEmpty())
            emit slotNoted(i, notes[std::size_t(i)]);
    }
    // Refused before writing: the player is taken to the first pick to mend. After a failed
    // copy the window stays as it was.
    if (result.outcome == core::RunResult::Outcome::Failed && result.refusedBeforeWriting &&
        result.slot >= 0 && result.slot < core::slotCount)
        emit slotNeedsAttention(result.slot);
    emit finished();
}

void ChangeCommand::stopThenEndProgram()
{
    endAfterRun_ = true;
    if (worker_)
        worker_->requestStop();
}

bool ChangeCommand::confirmFolderWithoutGameMusic()
{
    // A parent folder picked by mistake would fill with the game's names and Default would
    // appear as if the music had changed. A folder that is not there fails as it always has.
    const std::filesystem::path folder = core::OriginalsFolder(state_.utvonal).gameFolder();
    std::error_code error;
    if (state_.utvonal.empty() || !std::filesystem::is_directory(folder, error) ||
        core::GameMusicFolder::holdsGameMusic(folder))
        return true;
    const QString question =
        QString::fromUtf8(TextTable::forLanguage(state_.nyelv).emptyFolderQuestion)
            .arg(QString::fromStdString(core::platform::textFromPath(folder)));
    return platform_.askYesNo(&window_, question, PlatformLayer::DefaultAnswer::No);
}
