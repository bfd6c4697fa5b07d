// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "features/FeatureContext.h"
#include "features/KeptOriginals.h"

#include <QObject>

class PlatformLayer;
class QWidget;
class SharedState;

// Once a run, as soon as the settings are first found at a start: the game files that a
// killed write in place left cut short are made whole before any button can act. Silent
// when every file is whole; one box names each file it had to leave as it was.
class StartRepair : public QObject
{
    Q_OBJECT

  public:
    explicit StartRepair(const FeatureContext &context, QObject *parent = nullptr);

    void run();

  private:
    QWidget &window_;
    PlatformLayer &platform_;
    const SharedState &state_;
    const KeptOriginals kept_;
    bool done_ = false;
};
