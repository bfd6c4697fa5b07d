// SPDX-License-Identifier: GPL-3.0-or-later
#include "music/SlotRole.h"

namespace core {

SlotRole SlotRole::forSeconds(double seconds)
{
    return {seconds < shortestLoop ? Kind::Jingle : Kind::Loop, seconds};
}

} // namespace core
