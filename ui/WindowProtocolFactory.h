// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class Form1;
class PlatformLayer;
class QString;
class WindowProtocol;

// The window protocol for a main window, as that window's child: the main window makes it
// without knowing more of it than this.
WindowProtocol *makeWindowProtocol(Form1 &form1, PlatformLayer &platform,
                                   const QString &programFolder, const QString &userSettingsFolder);
