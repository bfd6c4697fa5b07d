// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SingleWindow.h"
#include "SlotView.h"
#include "features/ChangeCommand.h"
#include "features/FeatureContext.h"
#include "features/LastPicks.h"
#include "features/Listening.h"
#include "features/LoudnessChoice.h"
#include "features/MusicSets.h"
#include "features/RestoreCommand.h"
#include "features/RunMessage.h"
#include "features/SettingsStore.h"
#include "features/SlotMenu.h"
#include "features/SlotStatus.h"
#include "features/StartRepair.h"
#include "features/VirtualStoreOffer.h"

#include <QObject>

class Form2;
class FrmAbout;
class PlatformLayer;
class SharedState;
class WindowProtocolHost;

// How the three windows show, hide, enable and disable one another, and how the features
// beside the main window are wired to it. Every such change happens here, one function per
// trigger, and every way back to the main window goes through returnToMainWindow(), where
// the main window's activation is raised. A feature is added by making it here and
// connecting it to the window's signals and controls. Of the main window it knows only
// what WindowProtocolHost offers.
class WindowProtocol : public QObject
{
    Q_OBJECT

  public:
    WindowProtocol(WindowProtocolHost &mainWindow, PlatformLayer &platform,
                   const QString &programFolder, const QString &userSettingsFolder);
    ~WindowProtocol() override;

    // Touching a window that does not exist creates it, hidden.
    Form2 &form2();
    FrmAbout &frmAbout();
    Form2 *existingForm2() const;
    FrmAbout *existingFrmAbout() const;

    void showSettingsInPlaceOfMainWindow();
    void optionsClicked();
    void aboutClicked();
    void endProgram();
    // Opens as another copy of the program handed over: its picks, folder and language,
    // once the player has agreed to change that folder as administrator; false when not.
    bool takeOver(const core::MusicSet &set);

    SettingsStore &settingsStore() { return settingsStore_; }
    MusicSets &musicSets() { return musicSets_; }
    ChangeCommand &changeCommand() { return change_; }
    LoudnessChoice &loudnessChoice() { return loudnessChoice_; }
    SlotStatus &slotStatus() { return slotStatus_; }
    SlotMenu &slotMenu() { return slotMenu_; }
    Listening &listening() { return listening_; }
    LastPicks &lastPicks() { return lastPicks_; }

  private:
    // The features' connections to the main window's signals, controls and slot rows.
    void connectFeatures();
    // Matching the picks' loudness: the choice, the figures, Change and the preview.
    void connectLoudness();
    void startupRead();
    // The main window's ApplyLanguage, which empties the slots: the last picks stay kept.
    void applyLanguage(std::uint8_t code);
    void settingsAccepted();
    void settingsCancelled();
    void settingsClosed();
    void aboutClosed();
    void returnToMainWindow();
    void present(QWidget &window);
    void presentSettings();
    void winePrefixesFound();
    Form2 *createForm2();
    FrmAbout *createFrmAbout();

    WindowProtocolHost &mainWindow_;
    SharedState &state_;
    PlatformLayer &platform_;
    SingleWindow<Form2> form2_;
    SingleWindow<FrmAbout> frmAbout_;
    // The features beside the main window, each given what it needs of it.
    Listening listening_;
    FeatureContext featureContext_;
    SettingsStore settingsStore_;
    SlotStatus slotStatus_;
    SlotMenu slotMenu_;
    RunMessage runMessage_;
    ChangeCommand change_;
    RestoreCommand restore_;
    VirtualStoreOffer virtualStore_;
    MusicSets musicSets_;
    LoudnessChoice loudnessChoice_;
    LastPicks lastPicks_;
    StartRepair startRepair_;
};
