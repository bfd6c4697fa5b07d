// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QPoint;
class QWidget;

// A control's tooltip that lets the pointer's clicks through to what lies under it: shown
// where the toolkit shows it, it may cover a control of the next row, whose first click it
// would otherwise take only to close itself.
class ClickThroughToolTip
{
  public:
    // Shows the control's tooltip at the pointer, or hides any where it has none.
    static void show(QWidget &control, const QPoint &globalPosition);
    // The tooltip window now shown, if any.
    static QWidget *shown();
};
