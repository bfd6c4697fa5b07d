// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowProtocol.h"

#include "PlatformLayer.h"
#include "SharedState.h"
#include "WindowProtocolFactory.h"
#include "WindowProtocolHost.h"
#include "forms/ApplyLanguage.h"
#include "forms/Form1Controls.h"
#include "forms/Form2.h"
#include "forms/FrmAbout.h"
#include "forms/SlotRow.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>

WindowProtocol *makeWindowProtocol(WindowProtocolHost &mainWindow, PlatformLayer &platform,
                                   const QString &programFolder, const QString &userSettingsFolder)
{
    return new WindowProtocol(mainWindow, platform, programFolder, userSettingsFolder);
}

WindowProtocol::WindowProtocol(WindowProtocolHost &mainWindow, PlatformLayer &platform,
                               const QString &programFolder, const QString &userSettingsFolder)
    : QObject(&mainWindow), mainWindow_(mainWindow), state_(mainWindow.sharedState()),
      platform_(platform), form2_([this] { return createForm2(); }),
      frmAbout_([this] { return createFrmAbout(); }),
      featureContext_{mainWindow,
                      platform,
                      SlotView(mainWindow.controls().Label1, mainWindow.controls().Text1),
                      mainWindow.slotTable(),
                      state_,
                      listening_},
      settingsStore_(featureContext_, programFolder, userSettingsFolder),
      slotStatus_(featureContext_), slotMenu_(featureContext_, slotStatus_),
      runMessage_(featureContext_), change_(featureContext_, *mainWindow.controls().gomb_exit,
                                            slotStatus_.pickChecker(), runMessage_),
      restore_(featureContext_, *mainWindow.controls().gomb_default, runMessage_),
      virtualStore_(featureContext_), musicSets_(featureContext_, slotStatus_.pickChecker()),
      lastPicks_(featureContext_), startRepair_(featureContext_)
{
    connect(&mainWindow_, &WindowProtocolHost::aboutClicked, this, &WindowProtocol::aboutClicked);
    connect(&mainWindow_, &WindowProtocolHost::optionsClicked, this,
            &WindowProtocol::optionsClicked);
    connect(&mainWindow_, &WindowProtocolHost::exitRequested, this, &WindowProtocol::endProgram);
    connect(&mainWindow_, &WindowProtocolHost::settingsReadDue, this, &WindowProtocol::startupRead);
    connect(&settingsStore_.prefixSearch(), &WinePrefixSearch::finished, this,
            &WindowProtocol::winePrefixesFound);
    connectFeatures();
}

void WindowProtocol::connectFeatures()
{
    const Form1Controls &c = mainWindow_.controls();
    // Playback stops at Exit, after the program was told to end.
    connect(&mainWindow_, &WindowProtocolHost::exitRequested, &listening_, &Listening::stop);
    // The row that plays is marked, and Esc stops it; while nothing plays Esc is the
    // controls' own.
    connect(&listening_, &Listening::started, &slotStatus_,
            [this](int slot) { slotStatus_.setPlaying(slot, true); });
    connect(&listening_, &Listening::ended, &slotStatus_,
            [this](int slot) { slotStatus_.setPlaying(slot, false); });
    auto *stopKey = new QShortcut(QKeySequence(Qt::Key_Escape), &mainWindow_);
    stopKey->setEnabled(false);
    connect(stopKey, &QShortcut::activated, &listening_, &Listening::stop);
    connect(&listening_, &Listening::started, stopKey, [stopKey] { stopKey->setEnabled(true); });
    connect(&listening_, &Listening::ended, stopKey, [stopKey] { stopKey->setEnabled(false); });
    for (int i = 0; i < core::slotCount; ++i) {
        // The box shows the beginning of a long path; its tooltip names the file first,
        // then says what the file holds once it has been read.
        // A fit belongs to the pick it was made for.
        connect(c.Text1[i], &QLineEdit::textChanged, &slotStatus_, [this, i](const QString &path) {
            slotStatus_.pickChanged(i, path);
            state_.fits.clear(i);
            lastPicks_.slotChanged(i);
        });
        SlotRow &row = *mainWindow_.slotRows()[std::size_t(i)];
        slotMenu_.serve(row);
        connect(&row, &SlotRow::restoreRequested, &restore_,
                [this, i] { restore_.restoreSlot(i); });
    }
    // What Change writes is kept before it starts.
    connect(c.gomb_change, &QPushButton::clicked, &lastPicks_, &LastPicks::keepNow);
    connect(c.gomb_change, &QPushButton::clicked, &change_, &ChangeCommand::run);
    connect(&change_, &ChangeCommand::filesWritten, &restore_,
            &RestoreCommand::updateDefaultButton);
    connect(&change_, &ChangeCommand::finished, &virtualStore_, &VirtualStoreOffer::offer);
    connect(&change_, &ChangeCommand::slotNeedsAttention, &mainWindow_,
            &WindowProtocolHost::showSlot);
    connect(c.gomb_default, &QPushButton::clicked, &restore_, &RestoreCommand::restoreAll);
    connect(&virtualStore_, &VirtualStoreOffer::originalsTakenIn, &restore_,
            &RestoreCommand::updateDefaultButton);
    // In this order: the kept originals are cleaned and Default follows, then the offer.
    connect(&mainWindow_, &WindowProtocolHost::activationFinishing, &restore_,
            &RestoreCommand::activated);
    connect(&mainWindow_, &WindowProtocolHost::activationFinishing, &virtualStore_,
            &VirtualStoreOffer::offer);
    connect(&mainWindow_, &WindowProtocolHost::setMenuRequested, &musicSets_, &MusicSets::showMenu);
    connect(&mainWindow_, &WindowProtocolHost::setDropped, &musicSets_,
            [this](const QString &file) { musicSets_.openFile(file); });
    connect(&state_.fits, &SlotFits::changed, &slotStatus_, &SlotStatus::fitChanged);
    connect(&state_.fits, &SlotFits::changed, &lastPicks_, &LastPicks::slotChanged);
    musicSets_.setLastPicks(lastPicks_);
    connect(&lastPicks_, &LastPicks::noteChanged, &slotStatus_, &SlotStatus::setEmptySlotNote);
    connect(&change_, &ChangeCommand::slotNoted, &slotStatus_, &SlotStatus::setRunNote);
    connectLoudness();
}

void WindowProtocol::connectLoudness()
{
    PickLoudness &pickLoudness = slotStatus_.pickLoudness();
    change_.setLoudness(loudnessChoice_, pickLoudness.cache());
    musicSets_.setLoudnessChoice(loudnessChoice_);
    runMessage_.setLoudnessChoice(loudnessChoice_);
    connect(&loudnessChoice_, &LoudnessChoice::changed, &pickLoudness,
            [this, &pickLoudness] { pickLoudness.setOptions(loudnessChoice_.options()); });
    // A pick that plays is heard at its gain as soon as that is known, or chosen.
    connect(&pickLoudness, &PickLoudness::planned, &listening_, [this, &pickLoudness](int slot) {
        listening_.setPickGain(slot, pickLoudness.previewGain(slot));
    });
    // Measuring reads the game's music: it lets go while a run or restore writes it.
    connect(&change_, &ChangeCommand::aboutToWrite, &pickLoudness, &PickLoudness::stopAll);
    connect(&change_, &ChangeCommand::runEnded, &pickLoudness,
            [&pickLoudness](const core::RunResult &result) {
                for (int i = 0; i < core::slotCount; ++i) {
                    // Only a result that says more than the plan did: one the format cut
                    // short, or one lowered after encoding to keep its decoded peak.
                    const auto &plan = result.written[std::size_t(i)];
                    if (plan && (plan->reason == core::GainReason::FormatLimited ||
                                 plan->loweredAfterEncoding != 0))
                        pickLoudness.takeWritten(i, *plan);
                }
            });
    connect(&change_, &ChangeCommand::finished, &pickLoudness, &PickLoudness::resume);
    connect(&restore_, &RestoreCommand::aboutToWrite, &pickLoudness, &PickLoudness::stopAll);
    connect(&restore_, &RestoreCommand::filesWritten, &pickLoudness, &PickLoudness::resume);
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
    window->setWindowIcon(mainWindow_.windowIcon());
    // A window made again after being closed shows the language in use, not its defaults.
    if (const auto language = mainWindow_.appliedLanguage())
        applyLanguageToSettingsWindow(*window, *language);
    connect(window, &Form2::okClicked, this, &WindowProtocol::settingsAccepted);
    connect(window, &Form2::cancelClicked, this, &WindowProtocol::settingsCancelled);
    connect(window, &Form2::closeRequested, this, &WindowProtocol::settingsClosed);
    return window;
}

FrmAbout *WindowProtocol::createFrmAbout()
{
    auto *window = new FrmAbout;
    if (const auto language = mainWindow_.appliedLanguage())
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
    if (!state_.settingsFound && !state_.kapcs)
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
    const bool found = settingsStore_.read();
    settingsStore_.removeKilledWritesLeftovers();
    loudnessChoice_.useFolder(settingsStore_.settingsFolder());
    lastPicks_.useFolder(settingsStore_.settingsFolder());
    if (!found) {
        showSettingsInPlaceOfMainWindow();
        return;
    }
    applyLanguage(state_.nyelv);
    // Before any button can act, in the language just applied.
    startRepair_.run();
}

void WindowProtocol::applyLanguage(std::uint8_t code)
{
    lastPicks_.empty([this, code] { mainWindow_.applyLanguage(code); });
}

bool WindowProtocol::takeOver(const core::MusicSet &set)
{
    if (!set.gameFolder || set.gameFolder->empty())
        return false;
    settingsStore_.takeOver(set);
    // The choice holds for this copy's run only, as its settings do.
    loudnessChoice_.useFolder({});
    loudnessChoice_.takeFrom(set);
    lastPicks_.useFolder({});
    // The question speaks the language handed over, its buttons too.
    applyLanguage(state_.nyelv);
    const QString folder = QString::fromStdString(state_.folderWithoutSeparator());
    if (!platform_.askYesNo(nullptr, RunMessage::handOverQuestion(folder, state_.nyelv),
                            PlatformLayer::DefaultAnswer::No))
        return false;
    // Only what a player picks is read as administrator: a regular file, not a device or link.
    for (const core::MusicSet::Pick &pick : set.picks) {
        const QString file = QDir::toNativeSeparators(
            QString::fromStdString(core::platform::textFromPath(pick.file)));
        const QFileInfo info(file);
        if (info.isFile() && !info.isSymbolicLink() && !info.isJunction() && !info.isShortcut()) {
            featureContext_.slotView.setText(pick.slot, file);
            state_.fits.set(pick.slot, pick.fit);
        }
    }
    return true;
}

void WindowProtocol::showSettingsInPlaceOfMainWindow()
{
    presentSettings();
    mainWindow_.hide();
}

void WindowProtocol::optionsClicked()
{
    state_.kapcs = true;
    presentSettings();
    mainWindow_.setEnabled(false);
}

void WindowProtocol::settingsAccepted()
{
    Form2 &window = form2();
    const Form2Controls &c = window.controls();
    mainWindow_.assignButtonTabPositions();
    const std::optional<std::uint8_t> language =
        settingsStore_.accept(c.Text1->text(), c.Option1->isChecked(), &window);
    if (!language)
        return;
    applyLanguage(*language);
    restore_.updateDefaultButton();
    window.hide();
    returnToMainWindow();
}

void WindowProtocol::settingsCancelled()
{
    if (!state_.kapcs) {
        endProgram();
        return;
    }
    form2().hide();
    returnToMainWindow();
}

void WindowProtocol::settingsClosed()
{
    form2_.release();
    if (!state_.kapcs) {
        endProgram();
        return;
    }
    returnToMainWindow();
}

void WindowProtocol::aboutClicked()
{
    present(frmAbout());
    mainWindow_.setEnabled(false);
    form2().setEnabled(false);
}

void WindowProtocol::aboutClosed()
{
    frmAbout_.release();
    mainWindow_.setEnabled(true);
    Form2 &settings = form2();
    settings.setEnabled(true);
    if (mainWindow_.isVisible() && !settings.isVisible())
        mainWindow_.activate();
}

void WindowProtocol::returnToMainWindow()
{
    mainWindow_.setEnabled(true);
    if (mainWindow_.isVisible()) {
        mainWindow_.activate();
        mainWindow_.activateWindow();
    } else {
        // Showing the hidden main window is itself its activation.
        present(mainWindow_);
    }
}

void WindowProtocol::endProgram()
{
    if (change_.isRunning()) {
        change_.stopThenEndProgram();
        return;
    }
    platform_.endProgram();
}
