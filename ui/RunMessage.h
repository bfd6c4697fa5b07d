// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SlotView.h"

namespace core {
struct RunResult;
}
class Listening;
class PlatformLayer;
class QWidget;
class SharedState;

// Shows what a run, a restore or a copy left to say. On Windows, where the running game
// holds a file, the same box says so; where a protected game folder refused one, it offers
// to start the program as administrator, and hands the picks, the folder and the language
// over to that copy.
class RunMessage
{
  public:
    RunMessage(QWidget &window, PlatformLayer &platform, SlotView slotView,
               const SharedState &state, Listening &listening);

    void show(const core::RunResult &result);

    // What Windows adds to a failure's message: where the game holds the file, why; where a
    // protected folder refused it and this copy is no administrator, the offer to start as
    // one. Starting as administrator cannot help a file in use.
    enum class Addition { None, InUseReason, ElevationOffer };
    static Addition additionFor(const core::RunResult &result, bool protectedFolder, bool elevated);

  private:
    // Windows: says why the game's file is in use, or offers a start as administrator.
    bool showWithAddition(const core::RunResult &result);
    void handOverElevated();

    QWidget &window_;
    PlatformLayer &platform_;
    SlotView slots_;
    const SharedState &state_;
    Listening &listening_;
};
