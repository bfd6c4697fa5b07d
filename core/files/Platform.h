// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// The few conventions that differ between Windows and Linux. Texts inside the program are
// UTF-8; text files and the folder separator follow the platform.
namespace core::platform {

// '\\' on Windows, '/' elsewhere.
char nativeSeparator();

// The bytes a text file holds for a UTF-8 text: the ANSI code page on Windows, the
// locale's encoding (UTF-8) elsewhere. Empty when the text cannot be represented.
std::optional<std::string> toTextFileBytes(std::string_view utf8);
std::string fromTextFileBytes(std::string_view bytes);

std::filesystem::path pathFromText(std::string_view utf8);
std::string textFromPath(const std::filesystem::path &path);

#ifdef _WIN32
// The code page of text files: the system's ANSI code page, or the one a test sets (0
// gives the system's back). With 65001 the files are UTF-8.
unsigned textFileCodePage();
void setTextFileCodePage(unsigned codePage);

// The system's WideCharToMultiByte, or a stand-in a test sets (nullptr gives it back): Wine
// accepts arguments that Windows refuses for UTF-8, so a test holds the call to the rules.
using WideToMultiByte = int (*)(unsigned codePage, unsigned long flags, const wchar_t *wide,
                                int wideSize, char *bytes, int byteSize, const char *defaultChar,
                                int *usedDefault);
void setWideToMultiByte(WideToMultiByte convert);
#endif

// The text with A to Z made a to z: file names compared as Windows compares them.
std::string asciiLowerCase(std::string text);

// True for an ordinary file: a regular file, and on Windows neither hidden nor system.
bool isOrdinaryFile(const std::filesystem::path &path);

} // namespace core::platform
