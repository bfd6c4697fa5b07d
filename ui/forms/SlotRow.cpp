// SPDX-License-Identifier: GPL-3.0-or-later
#include "forms/SlotRow.h"

#include "TextTable.h"
#include "forms/ClickThroughToolTip.h"
#include "music/MusicFormats.h"

#include <QContextMenuEvent>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>

SlotRow::SlotRow(int index, QLabel *label, QLineEdit *text, QPushButton *browse, QObject *parent)
    : QObject(parent), index_(index), text_(text)
{
    for (QWidget *control : {static_cast<QWidget *>(label), static_cast<QWidget *>(text),
                             static_cast<QWidget *>(browse)}) {
        control->setAcceptDrops(true);
        control->setContextMenuPolicy(Qt::DefaultContextMenu);
        control->installEventFilter(this);
        watched_.append({control, control->palette(), control->autoFillBackground()});
    }
}

bool SlotRow::isSetFile(const QString &file)
{
    const QString suffix = QFileInfo(file).suffix().toLower();
    return suffix == QLatin1String("m3u8") || suffix == QLatin1String("m3u");
}

std::optional<QString> SlotRow::droppedFile(const QMimeData *data)
{
    if (!data || !data->hasUrls() || data->urls().size() != 1)
        return std::nullopt;
    // Judged by the name alone: the GUI thread never waits on a file (a share, a disc) while
    // the player drags. What the file holds is checked once it is picked.
    const QUrl url = data->urls().constFirst();
    const QString path = url.toLocalFile();
    if (!url.isLocalFile() || path.endsWith(QLatin1Char('/')))
        return std::nullopt;
    const QString name = QFileInfo(path).fileName();
    if (!core::MusicFormats::isMusicFileName(name.toStdString()) && !isSetFile(name))
        return std::nullopt;
    return QDir::toNativeSeparators(path);
}

QMenu *SlotRow::createMenu(QWidget *control)
{
    const TextTable &texts = TextTable::forLanguage(language_);
    QMenu *menu = control == text_ ? text_->createStandardContextMenu() : new QMenu(control);
    if (!menu->isEmpty())
        menu->addSeparator();
    const MenuState state = menuState_ ? menuState_() : MenuState{};
    QAction *restore =
        menu->addAction(QString::fromUtf8(texts.restoreSlot), this, &SlotRow::restoreRequested);
    restore->setEnabled(state.restorable);
    menu->addAction(QString::fromUtf8(texts.clearSlot), this, &SlotRow::clearRequested)
        ->setEnabled(state.hasPick);
    menu->addAction(QString::fromUtf8(texts.showInFolder), this, &SlotRow::showInFolderRequested)
        ->setEnabled(state.pickIsThere);
    QAction *fit =
        menu->addAction(QString::fromUtf8(texts.fitMenuEntry), this, &SlotRow::fitRequested);
    fit->setEnabled(state.pickIsThere && state.cannotFit.isEmpty());
    fit->setToolTip(state.cannotFit);
    addListeningEntries(menu, state);
    return menu;
}

void SlotRow::addListeningEntries(QMenu *menu, const MenuState &state)
{
    const TextTable &texts = TextTable::forLanguage(language_);
    menu->addSeparator();
    menu->setToolTipsVisible(true);
    const auto addPlay = [&](const char *text, Listening::Source source, bool there) {
        QAction *play = menu->addAction(QString::fromUtf8(text), this,
                                        [this, source] { emit playRequested(source); });
        play->setEnabled(there && state.cannotPlay.isEmpty());
        if (!state.cannotPlay.isEmpty())
            play->setToolTip(state.cannotPlay);
    };
    addPlay(texts.playPick, Listening::Source::Pick, state.pickIsThere);
    addPlay(texts.playGameMusic, Listening::Source::GameMusic, state.gameMusicThere);
    addPlay(texts.playOriginal, Listening::Source::Original, state.originalKept);
    if (state.playing)
        menu->addAction(QString::fromUtf8(texts.stopPlaying), this, &SlotRow::stopRequested);
}

void SlotRow::showMenu(QWidget *control, const QPoint &globalPosition)
{
    if (openMenu_ && openMenu_->isVisible())
        return;
    QMenu *menu = createMenu(control);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(globalPosition);
    openMenu_ = menu;
}

void SlotRow::setHighlighted(bool highlighted)
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

bool SlotRow::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::Enter:
        emit pointerEntered();
        return QObject::eventFilter(watched, event);
    case QEvent::ToolTip:
        ClickThroughToolTip::show(*static_cast<QWidget *>(watched),
                                  static_cast<QHelpEvent *>(event)->globalPos());
        return true;
    case QEvent::ContextMenu: {
        // Right click and the Menu key; on Windows Shift+F10 too, which may also arrive as
        // the key itself: the menu already open takes the second request.
        auto *menuEvent = static_cast<QContextMenuEvent *>(event);
        showMenu(static_cast<QWidget *>(watched), menuEvent->globalPos());
        return true;
    }
    case QEvent::KeyPress: {
        // Elsewhere nothing turns Shift+F10 into a menu request: it opens where the Menu key's
        // menu would, in the middle of the control or at the text cursor.
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() != Qt::Key_F10 ||
            (key->modifiers() & ~Qt::KeypadModifier) != Qt::ShiftModifier)
            return QObject::eventFilter(watched, event);
        auto *control = static_cast<QWidget *>(watched);
        const QPoint at = control->inputMethodQuery(Qt::ImCursorRectangle).toRect().center();
        showMenu(control, control->mapToGlobal(at));
        return true;
    }
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
        drop->acceptProposedAction();
        if (isSetFile(*file))
            emit setDropped(*file);
        else
            emit fileDropped(*file);
        return true;
    }
    default:
        return QObject::eventFilter(watched, event);
    }
}
