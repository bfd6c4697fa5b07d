// SPDX-License-Identifier: GPL-3.0-or-later
#include "ChangeCommand.h"

#include "AudioCodecs.h"
#include "KeptOriginals.h"
#include "Listening.h"
#include "LoudnessChoice.h"
#include "OriginalsFolder.h"
#include "PickChecker.h"
#include "Platform.h"
#include "PlatformLayer.h"
#include "ProgressWorker.h"
#include "RunMessage.h"
#include "SharedState.h"
#include "TextTable.h"
#include "WinePrefixFinder.h"

#include <QApplication>

ChangeCommand::ChangeCommand(QWidget &window, PlatformLayer &platform, SlotView slotView,
                             const core::SlotTable &slotTable, const SharedState &state,
                             const PickChecker &pickChecker, Listening &listening,
                             RunMessage &message, QObject *parent)
    : QObject(parent), window_(window), platform_(platform), slots_(slotView),
      slotTable_(slotTable), state_(state), pickChecker_(pickChecker), listening_(listening),
      message_(message)
{
}

void ChangeCommand::run()
{
    if (!confirmFolderWithoutGameMusic())
        return;
    const core::SlotTexts texts = slots_.texts();
    listening_.releaseSlots([this](int slot) { return slots_.hasPick(slot); });
    const core::AudioCodecs *codecs = core::AudioCodecs::get();
    const core::LoudnessOptions loudness =
        loudnessChoice_ ? loudnessChoice_->options() : core::LoudnessOptions();
    const core::ReplacementRun run(slotTable_, core::FileSystem::native(),
                                   keptoriginals::dataFolder(), codecs, loudness, &loudnessCache_,
                                   codecs ? "" : core::AudioCodecs::modulePath());
    const core::SlotTexts labels = slots_.labels();
    // A run that only copies is over in a moment and shows no window, as it always has.
    bool converts = false;
    for (int i = 0; i < core::slotCount; ++i) {
        const auto &verdict = pickChecker_.verdict(i);
        converts = converts || (verdict && verdict->converts && slots_.hasPick(i));
    }
    core::RunResult result;
    if (converts) {
        result = runWithProgress(run, texts, labels);
    } else {
        ProgressWorker::runWithWaitCursor(
            [&] { result = run.run(texts, labels, state_.utvonal, state_.nyelv); });
        emit filesWritten();
    }
    message_.show(result);
    emit finished();
}

core::RunResult ChangeCommand::runWithProgress(const core::ReplacementRun &run,
                                               const core::SlotTexts &texts,
                                               const core::SlotTexts &labels)
{
    const TextTable &table = TextTable::forLanguage(state_.nyelv);
    ProgressWorker worker(&window_, state_.nyelv, 1000);
    worker.setLabelText(QString::fromUtf8(table.converting).arg(QString()));
    core::RunResult result;
    QApplication::setOverrideCursor(Qt::BusyCursor);
    worker.run([&] {
        result = run.run(
            texts, labels, state_.utvonal, state_.nyelv,
            [&](const core::RunProgress &now) {
                worker.report(now.secondsTotal > 0 ? int(1000 * now.secondsDone / now.secondsTotal)
                                                   : 0,
                              QString::fromUtf8(table.converting)
                                  .arg(QString::fromStdString(labels[std::size_t(now.slot)])));
            },
            worker.stopToken());
    });
    QApplication::restoreOverrideCursor();
    worker.hide();
    emit filesWritten();
    return result;
}

bool ChangeCommand::confirmFolderWithoutGameMusic()
{
    // A parent folder picked by mistake would fill with the game's names and Default would
    // appear as if the music had changed. A folder that is not there fails as it always has.
    const std::filesystem::path folder = core::OriginalsFolder(state_.utvonal).gameFolder();
    std::error_code error;
    if (state_.utvonal.empty() || !std::filesystem::is_directory(folder, error) ||
        core::WinePrefixFinder::holdsGameMusic(folder))
        return true;
    const QString question =
        QString::fromUtf8(TextTable::forLanguage(state_.nyelv).emptyFolderQuestion)
            .arg(QString::fromStdString(core::platform::textFromPath(folder)));
    return platform_.askYesNo(&window_, question, PlatformLayer::DefaultAnswer::No);
}
