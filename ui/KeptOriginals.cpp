// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeptOriginals.h"

#include "Platform.h"

#include <QStandardPaths>

namespace keptoriginals {

std::filesystem::path dataFolder()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return folder.isEmpty() ? std::filesystem::path()
                            : core::platform::pathFromText(folder.toStdString());
}

core::OriginalsFolder of(const std::string &gameFolder)
{
    return core::OriginalsFolder(gameFolder, core::FileSystem::native(), dataFolder());
}

} // namespace keptoriginals
