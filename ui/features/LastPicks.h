// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SlotView.h"
#include "features/FeatureContext.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <string>

class QMenu;
class SharedState;
class SlotFits;
struct TextTable;

// The picks and fits the slots last held, kept as a music set in the player's settings folder
// so that an emptying (the language applied again, or Clear all picks) can be undone, in this
// run or a later one. The kept set follows every pick, fit and Change; an emptying never
// writes it, and the program's end writes nothing.
class LastPicks : public QObject
{
    Q_OBJECT

  public:
    static constexpr const char *fileName = "last picks.m3u8";

    explicit LastPicks(const FeatureContext &context, QObject *parent = nullptr);

    // Where the kept picks are read from and written to; empty keeps them for this run only.
    void useFolder(const QString &folder);
    // The set menu's entry, enabled where picks are kept.
    void addEntry(QMenu &menu, const TextTable &texts);
    void reopen();

    // A slot's text or fit changed: kept soon, once for a whole batch of changes.
    void slotChanged(int slot);
    // Change starts: what it writes is kept first.
    void keepNow();
    // Runs an emptying of the slots: what they held stays kept, and where picks went, the
    // empty slots point to the entry.
    template <typename Emptying> void empty(Emptying &&emptying)
    {
        beginEmptying();
        emptying();
        endEmptying();
    }

  signals:
    // What every empty slot's tooltip adds; empty once the picks are back or new ones made.
    void noteChanged(const QString &note);

  private:
    void beginEmptying();
    void endEmptying();
    // The set's bytes for the slots as they are now.
    std::string currentPicks() const;
    void setNote(bool shown);

    SlotView slots_;
    const SharedState &state_;
    SlotFits &fits_;
    QString folder_;
    QString file_;
    std::string kept_;
    QTimer keepSoon_;
    bool emptying_ = false;
    bool reopening_ = false;
    bool picksWereCleared_ = false;
    bool noteShown_ = false;
};
