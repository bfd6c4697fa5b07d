// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SlotView.h"
#include "features/FeatureContext.h"
#include "features/KeptOriginals.h"

#include <QObject>

#include <filesystem>
#include <functional>
#include <optional>

namespace core {
struct RunResult;
}
class Listening;
class PlatformLayer;
class QPushButton;
class QWidget;
class RunMessage;
class SharedState;

// The Default button and a slot menu's restore: puts the game's kept originals back, asks
// first where the button is pressed, and reports the restore. The button shows while a
// slot is restorable.
class RestoreCommand : public QObject
{
    Q_OBJECT

  public:
    RestoreCommand(const FeatureContext &context, QPushButton &defaultButton, RunMessage &message,
                   QObject *parent = nullptr);

    void restoreAll();
    void restoreSlot(int index);
    // At each activation of the main window: what a killed run left behind goes, unless
    // another copy of the program is writing, and the button follows the folder.
    void activated();
    void updateDefaultButton();

  signals:
    // Whatever reads the game's files lets go of them: the restore writes them next.
    void aboutToWrite();
    // The game's files may have changed.
    void filesWritten();

  private:
    // Puts back every restorable slot, or the one given, off this thread while the windows
    // keep answering.
    core::RunResult restore(std::optional<int> onlySlot);
    // Handed over as administrator: a game file that is a link is not written through.
    bool refuseLinkedTarget(const std::function<bool(int)> &asked);
    // A restore's failures, or how many files came back.
    void showResult(const core::RunResult &result);

    QWidget &window_;
    QPushButton &defaultButton_;
    PlatformLayer &platform_;
    SlotView slots_;
    const core::SlotTable &slotTable_;
    const SharedState &state_;
    Listening &listening_;
    RunMessage &message_;
    const KeptOriginals kept_;
    const std::filesystem::file_time_type startTime_ =
        std::filesystem::file_time_type::clock::now();
};
