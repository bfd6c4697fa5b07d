// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "files/FileSystem.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace core {

// The messages of a Change and a restore that name a slot, in the language's words.
class RunMessages
{
  public:
    // The slot's file failed with a failure code; `label` is the slot's caption.
    static std::string failure(std::uint8_t language, std::string_view label, int code);
    static std::string notMusic(std::uint8_t language, std::string_view label,
                                std::string_view reason);
    // Why a file could not be written, in the language's words; a failure players seldom meet
    // in the system's own words after ours.
    static std::string writeFailureReason(std::uint8_t language, SystemError error);
};

} // namespace core
