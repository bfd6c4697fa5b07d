// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SlotView.h"

namespace core {
struct RunResult;
}
class Listening;
class LoudnessChoice;
class PlatformLayer;
class QWidget;
class SharedState;

// Shows what a run, a restore or a copy left to say. On Windows, where a protected game
// folder refused a file, the same box offers to start the program as administrator, and
// hands the picks, the folder and the language over to that copy.
class RunMessage
{
  public:
    RunMessage(QWidget &window, PlatformLayer &platform, SlotView slotView,
               const SharedState &state, Listening &listening);

    void show(const core::RunResult &result);
    // The hand-over carries this loudness choice too.
    void setLoudnessChoice(const LoudnessChoice &choice) { loudnessChoice_ = &choice; }

  private:
    // Windows: offers a start as administrator where a protected game folder refused a file.
    bool offerElevation(const core::RunResult &result);
    void handOverElevated();

    QWidget &window_;
    PlatformLayer &platform_;
    SlotView slots_;
    const SharedState &state_;
    Listening &listening_;
    const LoudnessChoice *loudnessChoice_ = nullptr;
};
