// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class PlatformLayer;
class QString;
class WindowProtocol;
class WindowProtocolHost;

// The window protocol for a main window, as that window's child: the main window makes it
// without knowing more of it than this.
WindowProtocol *makeWindowProtocol(WindowProtocolHost &mainWindow, PlatformLayer &platform,
                                   const QString &programFolder, const QString &userSettingsFolder);
