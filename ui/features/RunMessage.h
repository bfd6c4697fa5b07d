// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SlotView.h"
#include "features/FeatureContext.h"
#include "sets/MusicSet.h"

#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace core {
struct RunResult;
}
class Listening;
class LoudnessChoice;
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
    explicit RunMessage(const FeatureContext &context);

    // What a Change knows of its run besides the result.
    struct ChangeStop
    {
        core::SlotTexts texts;                // the slot texts the run was given
        bool pickWasFound = false;            // the failing pick's check had found its file
        std::vector<int> leftAsTheyWere = {}; // unusable picks the player chose to leave out
        std::string gameFolder = {};          // as stored, the target name glued to it
    };

    // A Change's result with its stop, in one box: the failure's own text, and as its
    // informative text what the program adds.
    void show(const core::RunResult &result, const ChangeStop *change = nullptr);
    // What a Change that stopped at a failed copy adds: why the pick or the game's file
    // failed, by its file name; how many picks went in; the later picks not tried and the
    // slots left as they were, by their captions. Empty for any other result.
    static QString stoppedChange(const core::RunResult &result, const ChangeStop &change,
                                 const core::SlotTexts &labels, const core::SlotTable &slotTable,
                                 std::uint8_t language);
    // The tooltip line each slot gets after such a stop: why the failing slot's copy failed,
    // that a later pick was not tried; empty for the others.
    static std::array<QString, core::slotCount> slotNotes(const core::RunResult &result,
                                                          const ChangeStop &change,
                                                          const core::SlotTable &slotTable,
                                                          std::uint8_t language);
    // What a cancelled Change says: how many picks went in, how many did not, and which
    // button puts the game's own music back; empty for a result that counted no picks.
    static QString cancelledChange(const core::RunResult &result, std::uint8_t language);
    // The hand-over carries this loudness choice too.
    void setLoudnessChoice(const LoudnessChoice &choice) { loudnessChoice_ = &choice; }

    // What Windows adds to a failure's message: where the game holds the file, why; where a
    // protected folder refused it and this copy is no administrator, the offer to start as
    // one. Starting as administrator cannot help a file in use.
    enum class Addition { None, InUseReason, ElevationOffer };
    static Addition additionFor(const core::RunResult &result, bool protectedFolder, bool elevated);

    // The hand-over file lies in the player's temporary folder, where any program of the same
    // user can change it: the copy started as administrator trusts none of it unasked.
    static QString handOverFolder();
    // A regular file named as this program names its hand-over files, in that folder.
    static bool isHandOverFile(const QString &path, const QString &folder);
    // Reads a hand-over file and removes it; nothing, and nothing removed, for any other file.
    static std::optional<core::MusicSet> takeHandOver(const QString &path, const QString &folder);
    // What the copy started as administrator asks before it writes anything.
    static QString handOverQuestion(const QString &gameFolder, std::uint8_t language);

  private:
    // Windows: says why the game's file is in use, or offers a start as administrator.
    bool showWithAddition(const core::RunResult &result, const QString &informativeText);
    void handOverElevated();

    QWidget &window_;
    PlatformLayer &platform_;
    SlotView slots_;
    const core::SlotTable &slotTable_;
    const SharedState &state_;
    Listening &listening_;
    const LoudnessChoice *loudnessChoice_ = nullptr;
};
