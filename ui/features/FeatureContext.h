// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SlotView.h"

class Listening;
class PlatformLayer;
class QWidget;
class SharedState;
namespace core {
class SlotTable;
}

// What every feature beside the main window is given, made once by the window protocol: the
// window the feature's questions and messages belong to, the seam to the desktop, the slots
// as the features see them, the slot table, the state the windows share (which only the
// settings store writes) and the one player of music. Each feature keeps what it uses.
struct FeatureContext
{
    QWidget &window;
    PlatformLayer &platform;
    SlotView slotView;
    const core::SlotTable &slotTable;
    SharedState &state;
    Listening &listening;
};
