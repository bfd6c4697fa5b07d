// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowProtocolHost.h"

WindowProtocolHost::~WindowProtocolHost() = default;
