// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FileError.h"

#include <QString>

#include <cstdint>

// Why a file could not be written, in the interface's language where players meet it.
QString failureReason(core::SystemError error, std::uint8_t language);
