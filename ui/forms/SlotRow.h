// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Language.h"
#include "features/Listening.h"

#include <QList>
#include <QObject>
#include <QPalette>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

class QLabel;
class QLineEdit;
class QMenu;
class QMimeData;
class QPushButton;
class QWidget;

// One slot's row: its label, text box and browse button, which stay children of their page
// with their names, places and tab positions. The row takes a dropped file, offers the
// slot's context menu by mouse and keyboard, and says what the player did through signals.
class SlotRow : public QObject
{
    Q_OBJECT

  public:
    // What the slot's menu entries can act on now.
    struct MenuState
    {
        bool restorable = false;
        bool hasPick = false;
        bool pickIsThere = false;
        bool gameMusicThere = false;
        bool originalKept = false;
        bool playing = false; // anything, in any slot
        QString cannotPlay;   // why nothing can be played here; empty where it can
        QString cannotFit;    // why the pick cannot be fitted; empty where it can
    };

    SlotRow(int index, QLabel *label, QLineEdit *text, QPushButton *browse, QObject *parent);

    int index() const { return index_; }
    // Asked each time a menu opens.
    void setMenuState(std::function<MenuState()> state) { menuState_ = std::move(state); }
    void setLanguage(std::uint8_t language) { language_ = language; }

    // The menu for one of the row's controls: the text box's editing entries first.
    QMenu *createMenu(QWidget *control);

    // The one local file the drag carries, named like music or a set, with native separators.
    static std::optional<QString> droppedFile(const QMimeData *data);
    static bool isSetFile(const QString &file);

  signals:
    void fileDropped(const QString &file);
    void setDropped(const QString &file);
    void restoreRequested();
    void clearRequested();
    void showInFolderRequested();
    void fitRequested();
    // The mouse came over one of the row's controls: its menu may be next.
    void pointerEntered();
    void playRequested(Listening::Source source);
    void stopRequested();

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    void setHighlighted(bool highlighted);
    // Nothing where the row's menu is already open: one request, one menu.
    void showMenu(QWidget *control, const QPoint &globalPosition);
    void addListeningEntries(QMenu *menu, const MenuState &state);

    struct Watched
    {
        QPointer<QWidget> control;
        QPalette palette;
        bool autoFill;
    };

    int index_;
    QLineEdit *text_;
    QList<Watched> watched_;
    bool highlighted_ = false;
    QPointer<QMenu> openMenu_;
    std::uint8_t language_ = codeOf(Language::Hungarian);
    std::function<MenuState()> menuState_;
};
