// SPDX-License-Identifier: GPL-3.0-or-later
#include "SlotFits.h"

void SlotFits::set(int slot, const core::PickFit &fit)
{
    core::PickFit &kept = fits_.at(std::size_t(slot));
    if (kept == fit)
        return;
    kept = fit;
    emit changed(slot);
}
