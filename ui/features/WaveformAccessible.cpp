// SPDX-License-Identifier: GPL-3.0-or-later
#include "features/WaveformAccessible.h"

#include "features/WaveformView.h"

WaveformAccessible::WaveformAccessible(WaveformView *view)
    : QAccessibleWidget(view, QAccessible::Slider)
{
}

QString WaveformAccessible::text(QAccessible::Text t) const
{
    if (t == QAccessible::Value)
        return static_cast<const WaveformView *>(widget())->markersText();
    return QAccessibleWidget::text(t);
}

QAccessibleInterface *WaveformAccessible::factory(const QString &className, QObject *object)
{
    if (className == QLatin1String("WaveformView") && object && object->isWidgetType())
        return new WaveformAccessible(static_cast<WaveformView *>(object));
    return nullptr;
}
