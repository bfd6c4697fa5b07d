// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QWidget>

// A straight horizontal line drawn across the widget's width.
class LineShape : public QWidget
{
    Q_OBJECT

  public:
    LineShape(const QColor &color, int width, QWidget *parent = nullptr);

    QColor color() const { return color_; }
    int lineWidth() const { return width_; }

  protected:
    void paintEvent(QPaintEvent *event) override;

  private:
    QColor color_;
    int width_;
};
