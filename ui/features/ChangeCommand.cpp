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
#include "settings/GameMusicFolder.h"

#include <QApplication>

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
    const core::SlotTexts texts = slots_.texts();
    const core::SlotTexts labels = slots_.labels();
    const std::string folder = state_.utvonal;
    const std::uint8_t language = state_.nyelv;
    // Handed over as administrator: a pick's game file that is a link fails the run unwritten.
    if (const auto refused =
            kept_.linkedTargetRefusal(labels, [this](int i) { return slots_.showsFile(i); })) {
        report(*refused);
        return;
    }
    listening_.releaseSlots([this](int slot) { return slots_.showsFile(slot); });
    emit aboutToWrite();
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
    core::RunResult result;
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
        return;
    }
    emit filesWritten();
    emit runEnded(result);
    report(result);
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
    message_.show(result);
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
