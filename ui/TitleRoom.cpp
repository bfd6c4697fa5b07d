// SPDX-License-Identifier: GPL-3.0-or-later
#include "TitleRoom.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QStyle>

#include <algorithm>

namespace {

// The icon and up to three buttons, each about as wide as the title bar is high.
constexpr int titleBarControls = 4;

} // namespace

int TitleRoom::widthFor(const QString &title)
{
    QFont font = QApplication::font();
    font.setBold(true);
    const QFontMetrics metrics(font);
    const int barHeight =
        std::max(QApplication::style()->pixelMetric(QStyle::PM_TitleBarHeight), metrics.height());
    return metrics.horizontalAdvance(title) + titleBarControls * barHeight + 2 * metrics.height();
}

void TitleRoom::keep(QWidget &window)
{
    const int width = widthFor(window.windowTitle());
    auto *box = qobject_cast<QMessageBox *>(&window);
    auto *grid = box ? qobject_cast<QGridLayout *>(box->layout()) : nullptr;
    if (!grid) {
        window.setMinimumWidth(width);
        return;
    }
    // The box sets its own fixed size from its layout's minimum whenever it is shown.
    const int margins = grid->contentsMargins().left() + grid->contentsMargins().right();
    grid->addItem(new QSpacerItem(width - margins, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                  grid->rowCount(), 0, 1, grid->columnCount());
}
