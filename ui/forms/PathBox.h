// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QLineEdit;
class QString;

// A text box that holds a whole path, of which it shows the end: where the box is narrower
// than the path, the file or folder name stays in sight. The text itself is the whole path.
class PathBox
{
  public:
    static void show(QLineEdit &box, const QString &path);
};
