// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "files/FileError.h"

#include <QString>

#include <cstdint>

// Why a file could not be read or written, in the interface's language; a failure players
// seldom meet in the system's own words after ours.
QString failureReason(core::SystemError error, std::uint8_t language);

// A reason as it reads after a colon: both of our languages begin it lower-case there, unless
// its first word is written in capitals (MP3).
QString reasonAfterColon(const QString &reason);
