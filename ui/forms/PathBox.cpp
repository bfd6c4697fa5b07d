// SPDX-License-Identifier: GPL-3.0-or-later
#include "forms/PathBox.h"

#include <QLineEdit>

void PathBox::show(QLineEdit &box, const QString &path)
{
    box.setText(path);
    // The box scrolls its text so that the cursor shows, also while it has no focus.
    box.setCursorPosition(int(path.size()));
}
