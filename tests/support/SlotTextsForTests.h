// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "report/RunTexts.h"
#include "run/ReplacementRun.h"
#include "settings/SlotTable.h"

// The slot texts a run takes: the labels as the windows show them, and all slots empty.
namespace runtexts {

inline core::SlotTexts labels()
{
    core::SlotTexts texts;
    for (int i = 0; i < core::slotCount; ++i)
        texts[i] = std::string(core::SlotTable::slot(i).label);
    return texts;
}

inline core::SlotTexts placeholders(std::uint8_t language)
{
    core::SlotTexts texts;
    texts.fill(std::string(core::RunTexts::forLanguage(language).placeholder));
    return texts;
}

} // namespace runtexts
