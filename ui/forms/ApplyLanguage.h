// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

class Form1;
class Form2;
class FrmAbout;

// Writes one language's texts into all three windows, empties all 40 slots and orders the
// slot controls for the Tab key. The code is read as languageFromCode() reads it. The window
// protocol owns the other two windows; this reaches them through the main window's.
void ApplyLanguage(Form1 &form1, std::uint8_t code);

struct Form1Controls;
// The same on the controls handed: the main window's, the settings window, and the about
// window where it has been made.
void applyLanguageToWindows(const Form1Controls &main, Form2 &settings, FrmAbout *about,
                            std::uint8_t code);

// The parts of it that a newly created settings or about window receives.
void applyLanguageToSettingsWindow(Form2 &form2, std::uint8_t code);
void applyLanguageToAboutWindow(FrmAbout &frmAbout, std::uint8_t code);

struct Form2Controls;
struct TextTable;
// What a screen reader calls the settings window's folder box and lists.
void applyAccessibleNames(const Form2Controls &controls, const TextTable &texts);
