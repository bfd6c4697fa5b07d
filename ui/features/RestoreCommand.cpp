// SPDX-License-Identifier: GPL-3.0-or-later
#include "features/RestoreCommand.h"

#include "PlatformLayer.h"
#include "SharedState.h"
#include "TextTable.h"
#include "features/Listening.h"
#include "features/ProgressWorker.h"
#include "features/RunMessage.h"
#include "files/FailureCodes.h"
#include "report/RunMessages.h"

#include <QApplication>
#include <QPushButton>

#include <limits>

RestoreCommand::RestoreCommand(const FeatureContext &context, QPushButton &defaultButton,
                               RunMessage &message, QObject *parent)
    : QObject(parent), window_(context.window), defaultButton_(defaultButton),
      platform_(context.platform), slots_(context.slotView), slotTable_(context.slotTable),
      state_(context.state), listening_(context.listening), message_(message),
      kept_(context.state, context.slotTable)
{
}

void RestoreCommand::restoreAll()
{
    const TextTable &texts = TextTable::forLanguage(state_.nyelv);
    const int restorable = kept_.folder().restorableCount(slotTable_);
    const QString question = restorable == 1
                                 ? QString::fromUtf8(texts.restoreQuestionOne)
                                 : QString::fromUtf8(texts.restoreQuestion).arg(restorable);
    if (!platform_.askYesNo(&window_, question, PlatformLayer::DefaultAnswer::Yes) ||
        refuseLinkedTarget([](int) { return true; }))
        return;
    listening_.releaseSlots([](int) { return true; });
    emit aboutToWrite();
    const core::RunResult result = restore(std::nullopt);
    emit filesWritten();
    updateDefaultButton();
    showResult(result);
}

void RestoreCommand::restoreSlot(int index)
{
    if (refuseLinkedTarget([index](int slot) { return slot == index; }))
        return;
    listening_.releaseSlots([index](int slot) { return slot == index; });
    emit aboutToWrite();
    const core::RunResult result = restore(index);
    emit filesWritten();
    updateDefaultButton();
    showResult(result);
}

core::RunResult RestoreCommand::restore(std::optional<int> onlySlot)
{
    // Over in a moment, under the wait cursor; a window shows only while another copy of the
    // program holds the game folder.
    ProgressWorker worker(&window_, state_.nyelv, 0);
    worker.setMinimumDuration(std::numeric_limits<int>::max());
    worker.setUnmeasured();
    worker.withoutCancel();
    worker.holdInput(window_, nullptr);
    const QString waiting =
        QString::fromUtf8(TextTable::forLanguage(state_.nyelv).waitingForOtherCopy);
    core::RunResult result;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    worker.run([&] {
        result = kept_.folder().restore(slotTable_, slots_.labels(), state_.nyelv, onlySlot,
                                        [&] { worker.reportLabel(waiting); });
    });
    QApplication::restoreOverrideCursor();
    worker.hide();
    return result;
}

bool RestoreCommand::refuseLinkedTarget(const std::function<bool(int)> &asked)
{
    const std::optional<core::RunResult> refused =
        kept_.linkedTargetRefusal(slots_.labels(), asked);
    if (refused)
        showResult(*refused);
    return refused.has_value();
}

void RestoreCommand::activated()
{
    if (!state_.utvonal.empty())
        kept_.folder().cleanUpAfterKilledRun(startTime_);
    updateDefaultButton();
}

void RestoreCommand::updateDefaultButton()
{
    const bool restorable =
        !state_.utvonal.empty() && kept_.folder().restorableCount(slotTable_) > 0;
    defaultButton_.setVisible(restorable);
}

void RestoreCommand::showResult(const core::RunResult &result)
{
    if (!result.message.empty() || result.count == 0) {
        message_.show(result);
        return;
    }
    const TextTable &texts = TextTable::forLanguage(state_.nyelv);
    platform_.showMessage(&window_, result.count == 1
                                        ? QString::fromUtf8(texts.fileRestored)
                                        : QString::fromUtf8(texts.filesRestored).arg(result.count));
}
