// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "LoudnessCache.h"
#include "ReplacementRun.h"
#include "SlotView.h"

#include <QObject>

class Listening;
class LoudnessChoice;
class PickChecker;
class PlatformLayer;
class QWidget;
class RunMessage;
class SharedState;

// The Change button: asks first about a folder that holds none of the game's files, puts
// every pick over the game's file of its slot (behind a progress window where a pick is
// converted, under the wait cursor where all are only copied) and shows what the run says.
class ChangeCommand : public QObject
{
    Q_OBJECT

  public:
    ChangeCommand(QWidget &window, PlatformLayer &platform, SlotView slotView,
                  const core::SlotTable &slotTable, const SharedState &state,
                  const PickChecker &pickChecker, Listening &listening, RunMessage &message,
                  QObject *parent = nullptr);

    void run();
    // Change matches the picks' loudness as the choice says; without one, as by default.
    void setLoudnessChoice(const LoudnessChoice &choice) { loudnessChoice_ = &choice; }

  signals:
    // The game's files may have changed.
    void filesWritten();
    // The run and its message are over.
    void finished();

  private:
    // Asks before a run into an existing folder that holds none of the game's files.
    bool confirmFolderWithoutGameMusic();
    // A run that converts: on a worker, behind a progress window with Cancel.
    core::RunResult runWithProgress(const core::ReplacementRun &run, const core::SlotTexts &texts,
                                    const core::SlotTexts &labels);

    QWidget &window_;
    PlatformLayer &platform_;
    SlotView slots_;
    const core::SlotTable &slotTable_;
    const SharedState &state_;
    const PickChecker &pickChecker_;
    Listening &listening_;
    RunMessage &message_;
    const LoudnessChoice *loudnessChoice_ = nullptr;
    // Every figure measured in this session: a second Change measures nothing again.
    core::LoudnessCache loudnessCache_;
};
