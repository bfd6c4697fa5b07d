// SPDX-License-Identifier: GPL-3.0-or-later
// ApplyLanguage itself: it reaches the three windows through the window protocol, which owns
// the settings and about windows; forms/ApplyLanguage.cpp writes the texts into them.
#include "forms/ApplyLanguage.h"
#include "WindowProtocol.h"
#include "forms/Form1.h"

void ApplyLanguage(Form1 &form1, std::uint8_t code)
{
    // Touching the other windows makes them, hidden, as the program always has.
    form1.noteAppliedLanguage(code);
    WindowProtocol &protocol = form1.protocol();
    applyLanguageToWindows(form1.controls(), protocol.form2(), protocol.existingFrmAbout(), code);
    form1.assignSlotTabPositions();
}
