// SPDX-License-Identifier: GPL-3.0-or-later
#include "ProtectedFolder.h"

#ifdef Q_OS_WIN
#include <QDir>

bool isUnderProtectedFolder(const QString &folder)
{
    const QString cleaned =
        QDir::cleanPath(QDir::fromNativeSeparators(folder)).toLower() + QLatin1Char('/');
    for (const char *variable : {"ProgramFiles", "ProgramFiles(x86)", "SystemRoot"}) {
        const QString root =
            QDir::cleanPath(QDir::fromNativeSeparators(qEnvironmentVariable(variable)));
        if (!root.isEmpty() && cleaned.startsWith(root.toLower() + QLatin1Char('/')))
            return true;
    }
    return false;
}
#endif
