// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "features/KeptOriginals.h"
#include "loudness/LoudnessCache.h"
#include "loudness/LoudnessGain.h"
#include "loudness/LoudnessOptions.h"
#include "settings/SlotTable.h"

#include <QObject>
#include <QString>
#include <QThreadPool>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <stop_token>

class SharedState;

// What Change will do to each pick's loudness, worked out off the GUI thread once the pick
// is known to be music: the pick's figure, the game music's, and the gain. The figures stay
// for the session, for Change too; the choice of the set menu only changes what they lead to.
class PickLoudness : public QObject
{
    Q_OBJECT

  public:
    PickLoudness(const core::SlotTable &slotTable, const SharedState &state,
                 QObject *parent = nullptr);
    ~PickLoudness() override;

    core::LoudnessCache &cache() { return cache_; }
    void setOptions(core::LoudnessOptions options);

    // The slot's pick is music: it is measured, with the game's music of the slot, unless
    // the session has both figures. A measuring of the slot under way is stopped. fit: what
    // of the pick Change writes, in frames at its own rate; a fitted MP3 is converted.
    void measure(int slot, const QString &file, bool mp3, const core::PickFit &fit = {});
    void forget(int slot);
    // What Change wrote for the slot's pick, as its result measured: the tooltip tells it
    // until the pick changes.
    void takeWritten(int slot, const core::GainPlan &plan);
    // The slot's plan as the choice has it, or what Change wrote; nothing before it is
    // worked out.
    std::optional<core::GainPlan> plan(int slot) const;
    bool isMeasuring(int slot) const;
    // The gain "Play the pick" plays at: the one Change would apply.
    double previewGain(int slot) const;
    // The tooltip's line: the figures and what Change will do; empty where nothing is known.
    QString describe(int slot, std::uint8_t language) const;
    // gameFileIsOurs: the slot's game file is there and this program wrote it; else, with
    // nothing to match to, the game folder holds no file of the slot.
    static QString describe(const core::GainPlan &plan, bool mp3, std::uint8_t language,
                            bool gameFileIsOurs = false);
    // The tooltip's line on the silence left out at the pick's ends; empty where none is.
    QString describeSilence(int slot, std::uint8_t language) const;
    static QString describeSilence(const core::GainPlan &plan, std::uint8_t language);
    // Change alters this MP3 pick's loudness: then this line alone says what Change does.
    bool changesMp3(int slot) const;

    // Stops every measuring and waits until none holds a file open: a run reads and writes
    // those files next. Nothing is measured until resume(), which measures again what was
    // stopped or asked for meanwhile.
    void stopAll();
    void resume();

  signals:
    // A slot's plan is known, or what it leads to changed.
    void planned(int slot);

  private:
    struct Slot
    {
        QString file;
        bool mp3 = false;
        core::PickFit fit;
        unsigned generation = 0;
        std::optional<core::GainPlan> plan; // worked out with every kind of matching on
        std::optional<core::GainPlan> written;
        bool gameFileIsOurs = false;
        std::shared_ptr<std::stop_source> stop;
    };

    void start(int slot);

    const core::SlotTable &slotTable_;
    const SharedState &state_;
    const KeptOriginals kept_;
    core::LoudnessOptions options_;
    std::array<Slot, core::slotCount> slots_;
    // A check that ends while a run writes would start a measuring of the files it writes.
    bool held_ = false;
    core::LoudnessCache cache_;
    // Measuring is heavy: it leaves a core to the window and the music that plays.
    QThreadPool pool_;
};
