// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "settings/SlotTable.h"

#include <array>

class CommonDialog;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

// The main window's controls; the table at the top of Form1.h says what each is.
struct Form1Controls
{
    std::array<QLabel *, core::slotCount> Label1{};
    std::array<QLineEdit *, core::slotCount> Text1{};
    std::array<QPushButton *, core::slotCount> gomb_browse{};
    QFrame *Frame1 = nullptr;
    QFrame *Frame2 = nullptr;
    QPushButton *gomb_firstpage = nullptr;
    QPushButton *gomb_secondpage = nullptr;
    QPushButton *gomb_default = nullptr;
    QPushButton *gomb_change = nullptr;
    QPushButton *Command2 = nullptr; // Options
    QPushButton *Command1 = nullptr; // About
    QPushButton *gomb_exit = nullptr;
    CommonDialog *CommonDialog1 = nullptr;
};
