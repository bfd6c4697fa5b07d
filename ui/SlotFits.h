// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "music/PickFit.h"
#include "settings/SlotTable.h"

#include <QObject>

#include <array>

// What of each slot's pick is written, in frames at the pick's own rate: set by the Fit
// window, a set or a hand-over, gone when the slot's pick is cleared or changed.
class SlotFits : public QObject
{
    Q_OBJECT

  public:
    using Fits = std::array<core::PickFit, core::slotCount>;

    const core::PickFit &fit(int slot) const { return fits_.at(std::size_t(slot)); }
    const Fits &all() const { return fits_; }
    void set(int slot, const core::PickFit &fit);
    void clear(int slot) { set(slot, {}); }

  signals:
    void changed(int slot);

  private:
    Fits fits_{};
};
