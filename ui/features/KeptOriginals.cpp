// SPDX-License-Identifier: GPL-3.0-or-later
#include "features/KeptOriginals.h"

#include "files/Platform.h"

#include <QFileInfo>
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

int firstLinkedTarget(const std::string &gameFolder, const core::SlotTable &slotTable,
                      const std::function<bool(int)> &asked)
{
    const core::OriginalsFolder originals = of(gameFolder);
    for (int i = 0; i < core::slotCount; ++i) {
        if (!asked(i))
            continue;
        const QFileInfo target(QString::fromStdString(
            core::platform::textFromPath(originals.gameFile(slotTable.targetFileName(i)))));
        if (target.isSymbolicLink() || target.isJunction())
            return i;
    }
    return -1;
}

} // namespace keptoriginals
