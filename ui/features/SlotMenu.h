// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SlotView.h"
#include "features/FeatureContext.h"
#include "features/KeptOriginals.h"
#include "features/Listening.h"
#include "forms/SlotRow.h"

#include <QObject>
#include <QSet>
#include <QString>

class PlatformLayer;
class SharedState;
class SlotFits;
class SlotStatus;
namespace core {
class SlotTable;
}

// What a slot's context menu acts on: the state of its entries when it opens, and the
// entries that clear the slot, show its file's folder, and play the pick, the game's music
// of the slot or its kept original. (Restoring the slot is the restore command's.)
class SlotMenu : public QObject
{
    Q_OBJECT

  public:
    SlotMenu(const FeatureContext &context, SlotStatus &status, QObject *parent = nullptr);

    // Connects the row's requests to what they do.
    void serve(SlotRow &row);
    SlotRow::MenuState state(int index);
    void play(int index, Listening::Source source);
    void clear(int index);
    void showInFolder(int index);
    // Opens the Fit window on the slot's pick, modal to the main window; OK keeps its fit.
    void fit(int index);

  private:
    void listeningEnded(int index, const std::optional<core::Reason> &failure);
    // Why the slot's pick cannot be fitted; empty where it can.
    QString cannotFit(int index) const;

    SlotView slots_;
    const core::SlotTable &slotTable_;
    const SharedState &state_;
    PlatformLayer &platform_;
    Listening &listening_;
    SlotStatus &status_;
    SlotFits &fits_;
    const KeptOriginals kept_;
    // The file last asked to play; the files whose failure to play was said in a box.
    QString playedFile_;
    QSet<QString> toldUnplayable_;
};
