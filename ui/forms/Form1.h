// SPDX-License-Identifier: GPL-3.0-or-later
// Form1, the main window. Each control is the member of Form1Controls of its name and has
// that objectName; a slot's controls are arrays, named with their index: "Text1(26)".
// "gomb" is Hungarian for button.
//
//   Control          What it is
//   Frame1           page 1: the rows of slots 0 to 23
//   Frame2           page 2: the rows of slots 24 to 39; hidden at first
//   Label1(i)        slot i's label, whose tooltip says what the slot's music is; never changes
//   Text1(i)         slot i's text box: the path of the file picked, or the placeholder
//   gomb_browse(i)   slot i's Browse: opens the file chooser for the slot
//   gomb_firstpage   1st Page: shows page 1; disabled while it shows
//   gomb_secondpage  2nd Page: shows page 2; disabled while it shows
//   gomb_change      Change: puts every pick over the game's file of its slot
//   gomb_default     Default: puts the game's own music back; shown while any can go back
//   Command2         Options: sets kapcs and opens the settings window, Form2
//   Command1         About: opens the about window, frmAbout
//   gomb_exit        Exit: ends the program
//   CommonDialog1    the file chooser the Browse buttons open; nothing on the window
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

    // Language code, as the settings file stores it (languageFromCode reads it).
    std::uint8_t nyelv() const { return state_.nyelv; }
    // Options used: true once the settings window was opened from this window; never reset.
    bool kapcs() const { return state_.kapcs; }
    // Game music folder, with the separator the settings file stores behind it.
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
