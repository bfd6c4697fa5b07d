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
        if (droppedFile(drag->mimeData()))
            drag->acceptProposedAction();
        else
            drag->ignore();
        return true;
    }
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
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
