// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SlotView.h"
#include "features/FeatureContext.h"
#include "features/KeptOriginals.h"
#include "features/RunMessage.h"
#include "run/ReplacementRun.h"

#include <QObject>

class Listening;
class LoudnessChoice;
class PickChecker;
class PlatformLayer;
class ProgressWorker;
class QWidget;
class SharedState;

// The Change button: asks first about a folder that holds none of the game's files, puts
// every pick over the game's file of its slot and shows what the run says. Every run works
// off the GUI thread behind one progress window with Cancel, which shows only once the run
// has lasted a moment; until the run ends the main window takes no input but its Exit and
// close box, which stop the run first and then end the program.
class ChangeCommand : public QObject
{
    Q_OBJECT

  public:
    ChangeCommand(const FeatureContext &context, const QWidget &exitButton,
                  const PickChecker &pickChecker, RunMessage &message, QObject *parent = nullptr);

    void run();
    bool isRunning() const { return worker_ != nullptr; }
    // Exit or the close box during a run: the run stops, then the program ends.
    void stopThenEndProgram();
    // Shows what the run says; a run refused before it wrote leads to the slot it names.
    void report(const core::RunResult &result);
    // Cancelled while the picks' checks still read them: no pick went in, of those the run
    // would have tried.
    static core::RunResult cancelledWhileChecking(const core::SlotTexts &texts,
                                                  std::uint8_t language);
    // How long a run goes on before its progress window shows.
    void setProgressDelay(int milliseconds) { progressDelay_ = milliseconds; }
    // Change matches the picks' loudness as the choice says, with the figures the session
    // measured; without these, as by default, measuring for the run alone.
    void setLoudness(const LoudnessChoice &choice, core::LoudnessCache &cache)
    {
        loudnessChoice_ = &choice;
        loudnessCache_ = &cache;
    }

  signals:
    // Whatever reads the game's files lets go of them: the run writes them next.
    void aboutToWrite();
    // The game's files may have changed.
    void filesWritten();
    // What the run wrote, each converted pick's loudness as its result measured among it.
    void runEnded(const core::RunResult &result);
    // The run and its message are over.
    void finished();
    // The player is to mend this slot's pick: its page shows and its box takes the focus.
    void slotNeedsAttention(int slot);
    // What the last run says of the slot, for its tooltip; empty: nothing.
    void slotNoted(int slot, const QString &note);

  private:
    // One run over these texts, off the GUI thread; false where the program is to end.
    bool runOver(const core::SlotTexts &texts, core::RunResult &result);
    // Picks that are no music the program reads refused the run before it wrote: asks
    // whether to change the others and leave those slots as they are.
    bool changeOthers(const core::RunResult &refused, const core::SlotTexts &texts);
    // Asks before a run into an existing folder that holds none of the game's files.
    bool confirmFolderWithoutGameMusic();

    QWidget &window_;
    const QWidget &exitButton_;
    PlatformLayer &platform_;
    SlotView slots_;
    const core::SlotTable &slotTable_;
    const SharedState &state_;
    const PickChecker &pickChecker_;
    Listening &listening_;
    RunMessage &message_;
    const KeptOriginals kept_;
    RunMessage::ChangeStop stop_;
    ProgressWorker *worker_ = nullptr;
    bool endAfterRun_ = false;
    int progressDelay_ = 800;
    const LoudnessChoice *loudnessChoice_ = nullptr;
    core::LoudnessCache *loudnessCache_ = nullptr;
};
