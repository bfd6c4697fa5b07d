// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SharedState.h"
#include "WindowProtocolHost.h"
#include "forms/Form1Controls.h"
#include "settings/SlotTable.h"

#include <array>
#include <cstdint>
#include <optional>

class PlatformLayer;
class QPushButton;
class SlotRow;
class WindowProtocol;

// The main window: the 40 slots on two pages and the command buttons. It lives for the whole
// run and holds the state the windows share. What the player asks of it beyond its pages
// reaches the features beside it (ui/WindowProtocol wires them) through its signals and
// controls; the protocol knows it only as its host.
class Form1 : public WindowProtocolHost
{
    Q_OBJECT

  public:
    // The folders are handed on to the settings store, which the window protocol makes.
    Form1(PlatformLayer &platform, const QString &programFolder,
          const QString &userSettingsFolder = {}, QWidget *parent = nullptr);
    ~Form1() override;

    const Form1Controls &controls() const override { return controls_; }
    // Each slot's row: its menu's requests go to the features.
    const std::array<SlotRow *, core::slotCount> &slotRows() const override { return rows_; }
    const core::SlotTable &slotTable() const override { return slotTable_; }
    WindowProtocol &protocol() { return *protocol_; }

    std::uint8_t nyelv() const { return state_.nyelv; }
    bool kapcs() const { return state_.kapcs; }
    QString utvonal() const { return QString::fromStdString(state_.utvonal); }
    // Given to the features beside the window.
    SharedState &sharedState() override { return state_; }
    // The language ApplyLanguage last wrote, if it ever ran.
    std::optional<std::uint8_t> appliedLanguage() const override { return appliedLanguage_; }
    void noteAppliedLanguage(std::uint8_t code) { appliedLanguage_ = code; }

    void setVisible(bool visible) override;

    // Runs each time the window becomes the program's active window.
    void activate() override;
    void assignButtonTabPositions() override;
    void assignSlotTabPositions();
    void applyLanguage(std::uint8_t code) override;
    // Shows the beginning of the text, as a freshly filled box does.
    void setSlotText(int index, const QString &text);
    // Shows the slot's page, as its page button would, and puts the focus into its box.
    void showSlot(int index) override;

  signals:
    // Raised by every activation, before its work; its later signals are WindowProtocolHost's.
    void activated();

  protected:
    void closeEvent(QCloseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

  private:
    void createControls();
    void createSlotRow(int index);
    QPushButton *createCommandButton(const char *name, int top, const char *caption);
    void showPage(int page);
    void browse(int index);
    QList<QWidget *> focusChain() const;
    void applyFocusChain(int from, int to);

    PlatformLayer &platform_;
    const core::SlotTable slotTable_;
    SharedState state_;
    std::optional<std::uint8_t> appliedLanguage_;
    std::array<SlotRow *, core::slotCount> rows_{};
    Form1Controls controls_;
    // A child of this window, made last; what the player does reaches it through the signals
    // of WindowProtocolHost.
    WindowProtocol *protocol_ = nullptr;
};
