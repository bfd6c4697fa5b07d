// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

#include <optional>

class Form1;
class QMimeData;
class QWidget;

// Takes one local file dropped onto a slot's row (its label, text box or browse button) and
// makes its full path the slot's text, as a pick in the file chooser does. Several files, a
// folder or a remote address are refused while dragging, and change nothing.
class SlotDropTarget : public QObject
{
    Q_OBJECT

  public:
    SlotDropTarget(Form1 &form1, int index);

    void watch(QWidget *control);

    // The one local file the drag carries, with native separators.
    static std::optional<QString> droppedFile(const QMimeData *data);

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    Form1 &form1_;
    int index_;
};
