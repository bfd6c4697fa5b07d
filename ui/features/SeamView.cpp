// SPDX-License-Identifier: GPL-3.0-or-later
#include "features/SeamView.h"

#include "TextTable.h"

#include <QPainter>

#include <algorithm>

SeamView::SeamView(std::uint8_t language, QWidget *parent) : QWidget(parent)
{
    setFocusPolicy(Qt::NoFocus);
    setAccessibleName(QString::fromUtf8(TextTable::forLanguage(language).fitSeamView));
    setToolTip(accessibleName());
    setMinimumWidth(fontMetrics().averageCharWidth() * 16);
}

QSize SeamView::sizeHint() const
{
    return {fontMetrics().averageCharWidth() * 24, fontMetrics().height() * 9};
}

void SeamView::setJoin(std::vector<float> before, std::vector<float> after, Drawn drawn)
{
    before_ = std::move(before);
    after_ = std::move(after);
    drawn_ = drawn;
    update();
}

void SeamView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    const std::size_t total = samplesShown();
    const int middle = width() / 2;
    if (total > 0) {
        painter.setPen(palette().color(QPalette::Text));
        const double centre = height() / 2.0;
        const double half = height() / 2.0 - 1;
        // Each half of the width shows its side whatever its length, so the join stays in the
        // middle even where the pick has less than half a second on one side.
        const auto drawSide = [&](const std::vector<float> &samples, int left, int width) {
            if (samples.empty() || width <= 0)
                return;
            for (int x = 0; x < width; ++x) {
                const std::size_t from = std::size_t(x) * samples.size() / std::size_t(width);
                const std::size_t to =
                    std::max(from + 1, std::size_t(x + 1) * samples.size() / std::size_t(width));
                const auto [low, high] = std::minmax_element(
                    samples.begin() + std::ptrdiff_t(from),
                    samples.begin() + std::ptrdiff_t(std::min(to, samples.size())));
                painter.drawLine(left + x, int(centre - *high * half), left + x,
                                 int(centre - *low * half));
            }
        };
        drawSide(before_, 0, middle);
        drawSide(after_, middle, width() - middle);
    }
    painter.setPen(QPen(Qt::darkGreen, 1, Qt::DashLine));
    painter.drawLine(middle, 0, middle, height());
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}
