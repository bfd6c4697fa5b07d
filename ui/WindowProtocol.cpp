// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowProtocol.h"

#include "ApplyLanguage.h"
#include "Form1.h"
#include "Form2.h"
#include "FrmAbout.h"
#include "PlatformLayer.h"
#include "WindowProtocolFactory.h"

#include <QDir>
#include <QLineEdit>
#include <QRadioButton>

WindowProtocol *makeWindowProtocol(Form1 &form1, PlatformLayer &platform,
                                   const QString &programFolder, const QString &userSettingsFolder)
{
    return new WindowProtocol(form1, platform, programFolder, userSettingsFolder);
}

WindowProtocol::WindowProtocol(Form1 &form1, PlatformLayer &platform, const QString &programFolder,
                               const QString &userSettingsFolder)
    : QObject(&form1), form1_(form1), platform_(platform), form2_([this] { return createForm2(); }),
      frmAbout_([this] { return createFrmAbout(); }),
      settingsStore_(platform, form1.sharedState(), programFolder, userSettingsFolder)
{
    connect(&form1_, &Form1::aboutClicked, this, &WindowProtocol::aboutClicked);
    connect(&form1_, &Form1::optionsClicked, this, &WindowProtocol::optionsClicked);
    connect(&form1_, &Form1::exitRequested, this, &WindowProtocol::endProgram);
    connect(&form1_, &Form1::settingsReadDue, this, &WindowProtocol::startupRead);
    connect(&settingsStore_.prefixSearch(), &WinePrefixSearch::finished, this,
            &WindowProtocol::winePrefixesFound);
}

WindowProtocol::~WindowProtocol() = default;

Form2 &WindowProtocol::form2()
{
    return form2_.get();
}

FrmAbout &WindowProtocol::frmAbout()
{
    return frmAbout_.get();
}

Form2 *WindowProtocol::existingForm2() const
{
    return form2_.existing();
}

FrmAbout *WindowProtocol::existingFrmAbout() const
{
    return frmAbout_.existing();
}

Form2 *WindowProtocol::createForm2()
{
    auto *window = new Form2(platform_, settingsStore_.folderForSettingsWindow(),
                             settingsStore_.winePrefixDrives());
    window->setWindowIcon(form1_.windowIcon());
    // A window made again after being closed shows the language in use, not its defaults.
    if (const auto language = form1_.appliedLanguage())
        applyLanguageToSettingsWindow(*window, *language);
    connect(window, &Form2::okClicked, this, &WindowProtocol::settingsAccepted);
    connect(window, &Form2::cancelClicked, this, &WindowProtocol::settingsCancelled);
    connect(window, &Form2::closeRequested, this, &WindowProtocol::settingsClosed);
    return window;
}

FrmAbout *WindowProtocol::createFrmAbout()
{
    auto *window = new FrmAbout;
    if (const auto language = form1_.appliedLanguage())
        applyLanguageToAboutWindow(*window, *language);
    connect(window, &FrmAbout::closing, this, &WindowProtocol::aboutClosed);
    return window;
}

void WindowProtocol::presentSettings()
{
    // The player's Wine prefixes are searched only when the settings window first shows.
    settingsStore_.prefixSearch().start();
    present(form2());
}

void WindowProtocol::winePrefixesFound()
{
    Form2 *window = form2_.existing();
    if (!window)
        return;
    window->addFolderDrives(settingsStore_.winePrefixDrives());
    if (!form1_.settingsFound() && !form1_.kapcs())
        window->moveToFolderUnlessChanged(settingsStore_.folderForSettingsWindow());
}

void WindowProtocol::present(QWidget &window)
{
    window.show();
    window.raise();
    window.activateWindow();
}

void WindowProtocol::startupRead()
{
    // Found: their language is applied. Not there: the settings window takes the main
    // window's place.
    if (!settingsStore_.read()) {
        showSettingsInPlaceOfMainWindow();
        return;
    }
    form1_.applyLanguage(form1_.nyelv());
}

void WindowProtocol::takeOver(const core::MusicSet &set)
{
    settingsStore_.takeOver(set);
    form1_.applyLanguage(form1_.nyelv());
    for (const core::MusicSet::Pick &pick : set.picks)
        form1_.setSlotText(pick.slot, QDir::toNativeSeparators(QString::fromStdString(
                                          core::platform::textFromPath(pick.file))));
}

void WindowProtocol::showSettingsInPlaceOfMainWindow()
{
    presentSettings();
    form1_.hide();
}

void WindowProtocol::optionsClicked()
{
    form1_.setKapcs();
    presentSettings();
    form1_.setEnabled(false);
}

void WindowProtocol::settingsAccepted()
{
    Form2 &window = form2();
    const Form2Controls &c = window.controls();
    form1_.assignButtonTabPositions();
    const std::optional<std::uint8_t> language =
        settingsStore_.accept(c.Text1->text(), c.Option1->isChecked(), &window);
    if (!language)
        return;
    form1_.applyLanguage(*language);
    form1_.updateDefaultButton();
    window.hide();
    returnToMainWindow();
}

void WindowProtocol::settingsCancelled()
{
    if (!form1_.kapcs()) {
        endProgram();
        return;
    }
    form2().hide();
    returnToMainWindow();
}

void WindowProtocol::settingsClosed()
{
    form2_.release();
    if (!form1_.kapcs()) {
        endProgram();
        return;
    }
    returnToMainWindow();
}

void WindowProtocol::aboutClicked()
{
    present(frmAbout());
    form1_.setEnabled(false);
    form2().setEnabled(false);
}

void WindowProtocol::aboutClosed()
{
    frmAbout_.release();
    form1_.setEnabled(true);
    Form2 &settings = form2();
    settings.setEnabled(true);
    if (form1_.isVisible() && !settings.isVisible())
        form1_.activate();
}

void WindowProtocol::returnToMainWindow()
{
    form1_.setEnabled(true);
    if (form1_.isVisible()) {
        form1_.activate();
        form1_.activateWindow();
    } else {
        // Showing the hidden main window is itself its activation.
        present(form1_);
    }
}

void WindowProtocol::endProgram()
{
    platform_.endProgram();
}

void ApplyLanguage(Form1 &form1, std::uint8_t code)
{
    // Touching the other windows makes them, hidden, as the program always has.
    form1.noteAppliedLanguage(code);
    WindowProtocol &protocol = form1.protocol();
    applyLanguageToWindows(form1.controls(), protocol.form2(), protocol.existingFrmAbout(), code);
    form1.assignSlotTabPositions();
}
