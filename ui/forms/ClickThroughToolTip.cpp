// SPDX-License-Identifier: GPL-3.0-or-later
#include "forms/ClickThroughToolTip.h"

#include <QApplication>
#include <QToolTip>
#include <QWidget>
#include <QWindow>

void ClickThroughToolTip::show(QWidget &control, const QPoint &globalPosition)
{
    if (control.toolTip().isEmpty()) {
        QToolTip::hideText();
        return;
    }
    QToolTip::showText(globalPosition, control.toolTip(), &control, QRect(),
                       control.toolTipDuration());
    // The window system passes input through such a window; the toolkit still closes the
    // tooltip at the click.
    if (QWidget *tip = shown(); tip && tip->windowHandle())
        tip->windowHandle()->setFlag(Qt::WindowTransparentForInput, true);
}

QWidget *ClickThroughToolTip::shown()
{
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (window->inherits("QTipLabel") && window->isVisible())
            return window;
    }
    return nullptr;
}
