// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QString;
class QWidget;

// Room for a small window's whole title: the title in the application's font, bold as many
// title bars draw it, beside the title bar's icon and buttons. A message box or progress
// window sized to its text alone has its title cut short by the window manager.
class TitleRoom
{
  public:
    static int widthFor(const QString &title);
    // Keeps the window at least that wide; a message box, which sizes itself, through its
    // layout.
    static void keep(QWidget &window);
};
