// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Form1Controls.h"
#include "Listening.h"
#include "MusicSet.h"
#include "OriginalsFolder.h"
#include "PickChecker.h"
#include "PlatformLayer.h"
#include "ReplacementRun.h"
#include "SharedState.h"
#include "SlotRow.h"
#include "SlotTable.h"

#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class CommonDialog;
class PlatformLayer;
class WindowProtocol;
class QAction;
class QFileInfo;
class QMenu;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

// The main window: the 40 slots on two pages and the command buttons. It lives for the whole
// run and holds the state the windows share.
class Form1 : public QWidget
{
    Q_OBJECT

  public:
    // The folders are handed on to the settings store (SettingsStore).
    Form1(PlatformLayer &platform, const QString &programFolder,
          const QString &userSettingsFolder = {}, QWidget *parent = nullptr);
    ~Form1() override;

    const Form1Controls &controls() const { return controls_; }
    WindowProtocol &protocol() { return *protocol_; }

    std::uint8_t nyelv() const { return state_.nyelv; }
    bool kapcs() const { return state_.kapcs; }
    void setKapcs() { state_.kapcs = true; }
    QString utvonal() const { return QString::fromStdString(state_.utvonal); }
    bool settingsFound() const { return state_.settingsFound; }
    // Given to the features beside the window.
    SharedState &sharedState() { return state_; }
    // The language ApplyLanguage last wrote, if it ever ran.
    std::optional<std::uint8_t> appliedLanguage() const { return appliedLanguage_; }
    void noteAppliedLanguage(std::uint8_t code) { appliedLanguage_ = code; }

    void setVisible(bool visible) override;

    // Runs each time the window becomes the program's active window.
    void activate();
    void assignButtonTabPositions();
    void assignSlotTabPositions();
    void applyLanguage(std::uint8_t code);
    // Shown while a slot is restorable.
    void updateDefaultButton();
    // Shows the beginning of the text, as a freshly filled box does.
    void setSlotText(int index, const QString &text);
    // The main window's menu of music sets.
    QMenu *createSetMenu(QWidget *parent);
    void openSetFile(const QString &file, bool askFirst = true);

  signals:
    // Raised by every activation, before its work.
    void activated();
    // What the player asked of the other windows; the window protocol answers.
    void aboutClicked();
    void optionsClicked();
    void exitRequested();
    // The activation's startup read is due: the settings are read until found once.
    void settingsReadDue();

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
    void change();
    void restoreOriginals();
    core::SlotTexts slotLabels() const;
    SlotRow::MenuState slotMenuState(int index);
    void restoreSlot(int index);
    void clearSlot(int index);
    PlatformLayer::OpenFileRequest setFileRequest() const;
    void saveSet(bool withMusic);
    bool copyMusicBeside(const QFileInfo &setInfo, core::MusicSet &set);
    void openSet();
    // A slot's text changed: its tooltip names the file, and the file is read.
    void pickChanged(int index, const QString &path);
    void pickChecked(int index);
    // The text box's tooltip: the pick, what it holds, and why it or the slot's other music
    // could not be played.
    void updateSlotToolTip(int index);
    void play(int index, Listening::Source source);
    void listeningEnded(int index, const QString &failure);
    // The player's own data folder, where originals go when the game folder takes no folder.
    std::filesystem::path originalsDataFolder() const;
    core::OriginalsFolder originals() const;
    core::RunResult runWithWaitCursor(const std::function<core::RunResult()> &work);
    // A run that converts: on a worker, behind a progress window with Cancel.
    core::RunResult runWithProgress(const core::ReplacementRun &run, const core::SlotTexts &texts,
                                    const core::SlotTexts &labels);
    void showRunMessage(const core::RunResult &result);
    // A restore's failures, or how many files came back.
    void showRestoreResult(const core::RunResult &result);
    bool hasAnyPick() const;
    // Windows: offers a start as administrator where a protected game folder refused a file.
    bool offerElevation(const core::RunResult &result);
    void handOverElevated();
    // Windows: copies of the game's files that file virtualization keeps for an old game.
    void offerVirtualStoreCopies();
    // Asks before a run into an existing folder that holds none of the game's files.
    bool confirmFolderWithoutGameMusic();
    QList<QWidget *> focusChain() const;
    void applyFocusChain(int from, int to);

    PlatformLayer &platform_;
    const core::SlotTable slotTable_;
    SharedState state_;
    std::optional<std::uint8_t> appliedLanguage_;
    PickChecker pickChecker_;
    std::array<QAction *, core::slotCount> unreadableMarks_{};
    std::array<SlotRow *, core::slotCount> rows_{};
    Listening listening_;
    std::array<QString, core::slotCount> playbackFailures_;
    QString virtualStoreToldFor_;
    const std::filesystem::file_time_type startTime_ =
        std::filesystem::file_time_type::clock::now();
    Form1Controls controls_;
    // A child of this window; what the player does reaches it through the signals below.
    WindowProtocol *protocol_ = nullptr;
};
