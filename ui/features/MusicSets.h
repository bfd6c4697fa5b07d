// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PlatformLayer.h"
#include "SlotView.h"
#include "features/FeatureContext.h"
#include "sets/MusicSet.h"

#include <QObject>
#include <QString>

#include <vector>

class LastPicks;
class LoudnessChoice;
class PickChecker;
class QFileInfo;
class QMenu;
class QPoint;
class QWidget;
class SharedState;
class SlotFits;

// Music sets: the picks saved as a playlist (.m3u8), alone or with copies of their music
// beside it, and opened again from the chooser or a dropped file. The main window's
// context menu, Ctrl+S and Ctrl+O reach them.
class MusicSets : public QObject
{
    Q_OBJECT

  public:
    // A set opened fits its picks through the shared state's fits.
    MusicSets(const FeatureContext &context, const PickChecker &pickChecker,
              QObject *parent = nullptr);

    // The main window's menu of music sets.
    QMenu *createMenu(QWidget *parent);
    void showMenu(const QPoint &globalPosition);
    void save(bool withMusic);
    void open();
    // Asks first where it would replace picks.
    void openFile(const QString &file);
    // The menu ends with the loudness entries of this choice.
    void setLoudnessChoice(LoudnessChoice &choice) { loudnessChoice_ = &choice; }
    // The menu offers to reopen the picks these keep, and clearing all keeps them first.
    void setLastPicks(LastPicks &lastPicks) { lastPicks_ = &lastPicks; }

  private:
    PlatformLayer::OpenFileRequest fileRequest() const;
    void saveWithMusic(const QFileInfo &setInfo, core::MusicSet &set);
    // Offers to save the set without its picks that are no longer there; false where the
    // player would rather not save it.
    bool leaveOutMissingPicks(core::MusicSet &set);
    // The menu's entry: asks first where more than one pick would go.
    void clearAllAsked();
    void clearAll();
    // A set's fit is kept only where it lies within its pick, which the pick's check tells.
    void pickChecked(int slot);
    void fitChanged(int slot);
    void tellSetProblems();

    struct FitToCheck
    {
        int slot = 0;
        QString file;
        core::PickFit fit;
        int line = 0;
    };

    QWidget &window_;
    PlatformLayer &platform_;
    SlotView slots_;
    const SharedState &state_;
    SlotFits &fits_;
    const PickChecker &pickChecker_;
    LoudnessChoice *loudnessChoice_ = nullptr;
    LastPicks *lastPicks_ = nullptr;
    // The set last opened: its fits awaiting their picks' checks, and the lines passed over,
    // told once every check is in.
    std::vector<FitToCheck> fitsToCheck_;
    std::vector<core::MusicSet::Problem> setProblems_;
};
