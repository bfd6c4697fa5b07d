// SPDX-License-Identifier: GPL-3.0-or-later
#include "SlotDropTarget.h"

#include "Form1.h"
#include "MusicFormats.h"

#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QWidget>

SlotDropTarget::SlotDropTarget(Form1 &form1, int index)
    : QObject(&form1), form1_(form1), index_(index)
{
}

void SlotDropTarget::watch(QWidget *control)
{
    control->setAcceptDrops(true);
    control->installEventFilter(this);
    watched_.append({control, control->palette(), control->autoFillBackground()});
}

void SlotDropTarget::setHighlighted(bool highlighted)
{
    if (highlighted_ == highlighted)
        return;
    highlighted_ = highlighted;
    for (const Watched &row : watched_) {
        if (!row.control)
            continue;
        if (!highlighted) {
            row.control->setPalette(row.palette);
            row.control->setAutoFillBackground(row.autoFill);
            continue;
        }
        QPalette palette = row.palette;
        const QColor mark = palette.color(QPalette::Highlight);
        palette.setColor(QPalette::Window, mark);
        palette.setColor(QPalette::Base, mark.lighter(170));
        palette.setColor(QPalette::Button, mark.lighter(150));
        row.control->setPalette(palette);
        row.control->setAutoFillBackground(true);
    }
}

std::optional<QString> SlotDropTarget::droppedFile(const QMimeData *data)
{
    if (!data || !data->hasUrls() || data->urls().size() != 1)
        return std::nullopt;
    // Judged by the name alone: the GUI thread never waits on a file (a share, a disc) while
    // the player drags. What the file holds is checked once it is picked.
    const QUrl url = data->urls().constFirst();
    const QString path = url.toLocalFile();
    if (!url.isLocalFile() || path.endsWith(QLatin1Char('/')) ||
        !core::MusicFormats::isMusicFileName(QFileInfo(path).fileName().toStdString()))
        return std::nullopt;
    return QDir::toNativeSeparators(path);
}

bool SlotDropTarget::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        // Decided here for the text box too, which would otherwise take the address as text.
        auto *drag = static_cast<QDragMoveEvent *>(event);
        const bool takes = droppedFile(drag->mimeData()).has_value();
        if (takes)
            drag->acceptProposedAction();
        else
            drag->ignore();
        setHighlighted(takes);
        return true;
    }
    case QEvent::DragLeave:
        setHighlighted(false);
        return QObject::eventFilter(watched, event);
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        setHighlighted(false);
        const std::optional<QString> file = droppedFile(drop->mimeData());
        if (!file) {
            drop->ignore();
            return true;
        }
        form1_.setSlotText(index_, *file);
        drop->acceptProposedAction();
        return true;
    }
    default:
        return QObject::eventFilter(watched, event);
    }
}
