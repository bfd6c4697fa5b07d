// SPDX-License-Identifier: GPL-3.0-or-later
#include "forms/LineShape.h"

#include <QPainter>

LineShape::LineShape(const QColor &color, int width, QWidget *parent)
    : QWidget(parent), color_(color), width_(width)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void LineShape::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(0, 0, width(), width_, color_);
}
