// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QObject>
#include <QPalette>
#include <QPointer>
#include <QString>

#include <optional>

class Form1;
class QMimeData;
class QWidget;

// Takes one local file dropped onto a slot's row (its label, text box or browse button) and
// makes its full path the slot's text, as a pick in the file chooser does. Several files, a
// folder or a remote address are refused while dragging, and change nothing. While a file it
// would take is dragged over it, the row is highlighted.
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
    void setHighlighted(bool highlighted);

    Form1 &form1_;
    int index_;
    struct Watched
    {
        QPointer<QWidget> control;
        QPalette palette;
        bool autoFill;
    };
    QList<Watched> watched_;
    bool highlighted_ = false;
};
