// SPDX-License-Identifier: GPL-3.0-or-later
#include "features/VirtualStoreOffer.h"

#include "PlatformLayer.h"
#include "ProtectedFolder.h"
#include "SharedState.h"
#include "TextTable.h"
#include "features/KeptOriginals.h"
#include "files/Platform.h"
#include "settings/SlotTable.h"

#include <QDir>
#include <QFileInfo>

VirtualStoreOffer::VirtualStoreOffer(const FeatureContext &context, QObject *parent)
    : QObject(parent), window_(context.window), platform_(context.platform),
      slotTable_(context.slotTable), state_(context.state), kept_(context.state, context.slotTable)
{
}

void VirtualStoreOffer::offer()
{
#ifdef Q_OS_WIN
    const QString folder =
        QDir::toNativeSeparators(QString::fromStdString(state_.folderWithoutSeparator()));
    // A copy handed over as administrator writes nothing beyond the game folder.
    if (state_.handedOver || folder.size() < 3 || folder.at(1) != QLatin1Char(':') ||
        !isUnderProtectedFolder(folder) || toldFor_ == folder)
        return;
    // An old game run by file virtualization reads these instead of the real folder's files.
    const QString store = QDir::toNativeSeparators(
        qEnvironmentVariable("LOCALAPPDATA") + QStringLiteral("\\VirtualStore") + folder.mid(2));
    QList<int> found;
    for (int i = 0; i < core::slotCount; ++i) {
        if (QFileInfo(store + QLatin1Char('\\') +
                      QString::fromStdString(slotTable_.targetFileName(i)))
                .isFile())
            found << i;
    }
    if (found.isEmpty())
        return;
    toldFor_ = folder;
    const QString question =
        QString::fromUtf8(TextTable::forLanguage(state_.nyelv).virtualStoreQuestion)
            .arg(found.size())
            .arg(store);
    if (!platform_.askYesNo(&window_, question, PlatformLayer::DefaultAnswer::Yes))
        return;
    std::vector<core::OriginalsFolder::StandIn> copies;
    for (const int i : found) {
        const std::string &name = slotTable_.targetFileName(i);
        copies.push_back(
            {core::platform::pathFromText((store + QLatin1Char('\\')).toStdString() + name), name});
    }
    const core::RunResult result = kept_.folder().takeIn(copies, state_.nyelv);
    if (!result.message.empty())
        platform_.showMessage(&window_, QString::fromStdString(result.message));
    emit originalsTakenIn();
#endif
}
