// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "features/FeatureContext.h"
#include "features/KeptOriginals.h"

#include <QObject>
#include <QString>

class PlatformLayer;
class QWidget;
class SharedState;
namespace core {
class SlotTable;
}

// Windows: copies of the game's files that file virtualization keeps for an old game in
// %LOCALAPPDATA%\VirtualStore, which such a game plays instead of the real folder's files.
// They are reported once per folder and moved in among the kept originals when the player
// agrees. Elsewhere there is nothing to offer.
class VirtualStoreOffer : public QObject
{
    Q_OBJECT

  public:
    explicit VirtualStoreOffer(const FeatureContext &context, QObject *parent = nullptr);

    void offer();

  signals:
    // Copies were moved in among the kept originals.
    void originalsTakenIn();

  private:
    QWidget &window_;
    PlatformLayer &platform_;
    const core::SlotTable &slotTable_;
    const SharedState &state_;
    const KeptOriginals kept_;
    QString toldFor_;
};
