// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Language.h"

#include <cstdint>

// The language codes the tests hand the core and the windows, as the settings file stores them.
namespace languagecodes {

inline constexpr std::uint8_t hungarian = codeOf(Language::Hungarian);
inline constexpr std::uint8_t english = codeOf(Language::English);

} // namespace languagecodes
