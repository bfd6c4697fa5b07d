// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#ifdef Q_OS_WIN
// Where Windows lets only an administrator write, and virtualizes an old game's writes.
bool isUnderProtectedFolder(const QString &folder);
#endif
