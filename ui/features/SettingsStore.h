// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "features/FeatureContext.h"
#include "features/WinePrefixSearch.h"
#include "forms/Form2.h"
#include "sets/MusicSet.h"
#include "settings/SettingsFile.h"

#include <QString>

#include <cstdint>
#include <optional>

class PlatformLayer;
class QWidget;
class SharedState;

// Where config.ini is read and written, and how its failures are worded. A copy of the
// program handed over by another (started as administrator) neither reads nor writes it.
// It also knows what the settings window opens at: the stored folder, or at a first start
// the game found in a Wine prefix.
class SettingsStore
{
  public:
    // The shared state is the one the store writes. userSettingsFolder: where config.ini goes
    // when the program's folder cannot be written; empty keeps it beside the program only.
    SettingsStore(const FeatureContext &context, const QString &programFolder,
                  const QString &userSettingsFolder);

    // The startup read: loads the folder and the language; false when none are stored.
    bool read();
    // The settings window's OK: stores the settings and returns the language to apply;
    // nothing, after telling the user why, when they could not be stored.
    std::optional<std::uint8_t> accept(const QString &folderText, bool hungarianSelected,
                                       QWidget *dialogParent);
    // Opens as another copy of the program handed over: its folder and language; the
    // settings file is then neither read nor written (an administrator may be another user).
    void takeOver(const core::MusicSet &set);

    // The folder a newly created settings window shows: at a first start the game found in
    // a Wine prefix once the search has ended.
    QString folderForSettingsWindow() const;
    // The folder config.ini is in, else the one its first save would go to; none for a copy
    // handed over, which stores nothing.
    QString settingsFolder() const;
    // The temporary files that a write of the settings folder left when it was killed; one
    // of another running copy's writes is younger than a minute, and stays.
    void removeKilledWritesLeftovers() const;
    // On Linux, the drive c: of every Wine prefix found, for the settings window's drives;
    // none before the search has ended.
    QList<Form2::FolderDrive> winePrefixDrives() const;
    WinePrefixSearch &prefixSearch() { return prefixSearch_; }

  private:
    core::SettingsFile settingsFile() const;
    QString settingsFailureText(const core::SaveFailure &failure) const;

    PlatformLayer &platform_;
    SharedState &state_;
    QString programFolder_;
    QString userSettingsFolder_;
    bool writesSettings_ = true;
    WinePrefixSearch prefixSearch_;
};
