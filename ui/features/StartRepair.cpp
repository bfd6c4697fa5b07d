// SPDX-License-Identifier: GPL-3.0-or-later
#include "features/StartRepair.h"

#include "PlatformLayer.h"
#include "SharedState.h"
#include "TextTable.h"

#include <string>
#include <vector>

StartRepair::StartRepair(const FeatureContext &context, QObject *parent)
    : QObject(parent), window_(context.window), platform_(context.platform), state_(context.state),
      kept_(context.state, context.slotTable)
{
}

void StartRepair::run()
{
    if (done_ || state_.utvonal.empty())
        return;
    done_ = true;
    const std::vector<std::string> left = kept_.folder().repairCutShortFiles();
    if (left.empty())
        return;
    QString text = QString::fromUtf8(TextTable::forLanguage(state_.nyelv).cutShortLeft);
    for (const std::string &name : left)
        text += QLatin1Char('\n') + QString::fromStdString(name);
    platform_.showMessage(&window_, text);
}
