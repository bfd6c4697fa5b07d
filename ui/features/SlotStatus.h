// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SlotView.h"
#include "features/FeatureContext.h"
#include "features/KeptOriginals.h"
#include "features/PickChecker.h"
#include "features/PickLoudness.h"

#include <QObject>
#include <QString>

#include <array>

class QAction;
class SharedState;
namespace core {
class SlotTable;
}

// What each slot's text box says of its pick: the tooltip names the file, what it holds
// once read, how loud it is beside the game's music and why it or the slot's other music
// could not be played; a file that is no music the program can read is marked before Change.
class SlotStatus : public QObject
{
    Q_OBJECT

  public:
    explicit SlotStatus(const FeatureContext &context, QObject *parent = nullptr);

    const PickChecker &pickChecker() const { return pickChecker_; }
    PickLoudness &pickLoudness() { return pickLoudness_; }
    // A slot's text changed: its tooltip names the file, and the file is read.
    void pickChanged(int index, const QString &path);
    // The slot's fit changed: the pick is measured as fitted, and the tooltip says so.
    void fitChanged(int index);
    // Why the slot's music could not be played; empty clears it.
    void setPlaybackFailure(int index, const QString &failure);
    // What the last Change said of the slot; empty clears it.
    void setRunNote(int index, const QString &note);
    // Marks the slot whose music plays, beside its box's other marks.
    void setPlaying(int index, bool playing);
    // What the tooltip of every empty slot adds; empty adds nothing.
    void setEmptySlotNote(const QString &note);

  private:
    void pickChecked(int index);
    // The text box's tooltip: the pick, what it holds, and why it or the slot's other music
    // could not be played.
    void updateToolTip(int index);
    // The slot's role, and the pick's fit where it has one.
    QStringList fitLines(int index, const std::optional<PickChecker::Verdict> &verdict) const;
    // For a whole pick longer than its slot's jingle: the game plays only the jingle's length.
    QStringList jinglePlaysOnlyPart(const core::AudioInfo &pick,
                                    const core::AudioInfo &gameMusic) const;

    SlotView slots_;
    const core::SlotTable &slotTable_;
    const SharedState &state_;
    const KeptOriginals kept_;
    PickChecker pickChecker_;
    PickLoudness pickLoudness_;
    std::array<QAction *, core::slotCount> unreadableMarks_{};
    std::array<QAction *, core::slotCount> playingMarks_{};
    std::array<QString, core::slotCount> playbackFailures_;
    QString emptySlotNote_;
    std::array<QString, core::slotCount> runNotes_;
};
