// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAccessibleWidget>

class QObject;
class WaveformView;

// What a screen reader hears of a waveform: its name, and as its value both markers' times.
class WaveformAccessible : public QAccessibleWidget
{
  public:
    explicit WaveformAccessible(WaveformView *view);

    QString text(QAccessible::Text t) const override;
    // Installed once for every waveform of the program.
    static QAccessibleInterface *factory(const QString &className, QObject *object);
};
