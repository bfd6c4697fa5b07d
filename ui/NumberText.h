// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <cstdint>

// Every number the player reads, written as the interface's language writes it: a decimal
// comma in Hungarian (44,1 kHz), a point in English (44.1 kHz).
class NumberText
{
  public:
    // With this many decimals: -20,9 in Hungarian.
    static QString decimal(double value, int decimals, std::uint8_t language);
    // A sample rate in kHz with the decimals it needs: 44,1, 22,05, 48 in Hungarian.
    static QString kiloHertz(int sampleRate, std::uint8_t language);
    // A time in minutes and seconds to the hundredth: 1:58,35 in Hungarian.
    static QString minutesSeconds(double seconds, std::uint8_t language);
};
