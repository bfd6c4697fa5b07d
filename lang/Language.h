// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

// The interface's language. What is stored is its code (the settings file's digit, the main
// window's nyelv, a music set's line); each value is the code the settings file writes.
enum class Language : std::uint8_t {
    Hungarian = 1,
    English = 2,
};

// For what is done once in each language.
inline constexpr Language allLanguages[] = {Language::Hungarian, Language::English};

// What a stored code means: 1 is Hungarian, every other code English (0, 3 or 255 too).
constexpr Language languageFromCode(std::uint8_t code)
{
    return code == std::uint8_t(Language::Hungarian) ? Language::Hungarian : Language::English;
}

// The code the settings file writes for a language.
constexpr std::uint8_t codeOf(Language language)
{
    return std::uint8_t(language);
}
