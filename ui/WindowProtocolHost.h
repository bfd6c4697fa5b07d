// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "settings/SlotTable.h"

#include <QWidget>

#include <array>
#include <cstdint>
#include <optional>

class QPoint;
class SharedState;
class SlotRow;
struct Form1Controls;

// What the window protocol needs of the main window it serves, and all it knows of it: the
// window itself, to show, hide, enable and activate; the state the windows share; the
// controls and slot rows the features are wired to; and what the player asks of it.
class WindowProtocolHost : public QWidget
{
    Q_OBJECT

  public:
    using QWidget::QWidget;
    ~WindowProtocolHost() override;

    virtual const Form1Controls &controls() const = 0;
    virtual const std::array<SlotRow *, core::slotCount> &slotRows() const = 0;
    virtual const core::SlotTable &slotTable() const = 0;
    virtual SharedState &sharedState() = 0;
    // The language ApplyLanguage last wrote, if it ever ran.
    virtual std::optional<std::uint8_t> appliedLanguage() const = 0;

    // The window's activation: the button tab positions, the startup read while it is due,
    // then the features' part.
    virtual void activate() = 0;
    virtual void assignButtonTabPositions() = 0;
    virtual void applyLanguage(std::uint8_t code) = 0;
    // Shows the slot's page and puts the focus into its box.
    virtual void showSlot(int index) = 0;

  signals:
    // The activation's startup read is due: the settings are read until they are found once.
    void settingsReadDue();
    // Raised at the end of every activation, after the startup read: the features' part.
    void activationFinishing();
    // What the player asked of the other windows; the window protocol answers.
    void aboutClicked();
    void optionsClicked();
    void exitRequested();
    // The menu of music sets, asked for over the window's free area or a page.
    void setMenuRequested(const QPoint &globalPosition);
    // A music set dropped onto the window or a slot's row.
    void setDropped(const QString &file);
};
