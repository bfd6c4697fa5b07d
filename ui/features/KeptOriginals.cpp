// SPDX-License-Identifier: GPL-3.0-or-later
#include "features/KeptOriginals.h"

#include "SharedState.h"
#include "files/FailureCodes.h"
#include "files/Platform.h"
#include "report/RunMessages.h"
#include "settings/SlotTable.h"

#include <QFileInfo>
#include <QStandardPaths>

KeptOriginals::KeptOriginals(const SharedState &state, const core::SlotTable &slotTable)
    : state_(state), slotTable_(slotTable)
{
}

std::filesystem::path KeptOriginals::dataFolder()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return folder.isEmpty() ? std::filesystem::path()
                            : core::platform::pathFromText(folder.toStdString());
}

core::OriginalsFolder KeptOriginals::folder() const
{
    return core::OriginalsFolder(state_.utvonal, core::FileSystem::native(), dataFolder());
}

std::optional<core::RunResult>
KeptOriginals::linkedTargetRefusal(const core::SlotTexts &labels,
                                   const std::function<bool(int)> &asked) const
{
    if (!state_.handedOver)
        return std::nullopt;
    const int slot = firstLinkedTarget(asked);
    if (slot < 0)
        return std::nullopt;
    const int code = core::failure::pathFileAccess;
    core::RunResult refused{
        core::RunResult::Outcome::Failed, slot, code,
        core::RunMessages::failure(state_.nyelv, labels[std::size_t(slot)], code)};
    refused.refusedBeforeWriting = true;
    return refused;
}

int KeptOriginals::firstLinkedTarget(const std::function<bool(int)> &asked) const
{
    const core::OriginalsFolder originals = folder();
    for (int i = 0; i < core::slotCount; ++i) {
        if (!asked(i))
            continue;
        const QFileInfo target(QString::fromStdString(
            core::platform::textFromPath(originals.gameFile(slotTable_.targetFileName(i)))));
        if (target.isSymbolicLink() || target.isJunction())
            return i;
    }
    return -1;
}
