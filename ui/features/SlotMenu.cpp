// SPDX-License-Identifier: GPL-3.0-or-later
#include "features/SlotMenu.h"

#include "PlatformLayer.h"
#include "SharedState.h"
#include "SlotFits.h"
#include "TextTable.h"
#include "features/FitWindow.h"
#include "features/SlotStatus.h"
#include "files/Platform.h"
#include "settings/SlotTable.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPointer>

SlotMenu::SlotMenu(const FeatureContext &context, SlotStatus &status, QObject *parent)
    : QObject(parent), slots_(context.slotView), slotTable_(context.slotTable),
      state_(context.state), platform_(context.platform), listening_(context.listening),
      status_(status), fits_(context.state.fits), kept_(context.state, context.slotTable)
{
    connect(&listening_, &Listening::ended, this, &SlotMenu::listeningEnded);
}

void SlotMenu::serve(SlotRow &row)
{
    const int index = row.index();
    row.setMenuState([this, index] { return state(index); });
    connect(&row, &SlotRow::clearRequested, this, [this, index] { clear(index); });
    connect(&row, &SlotRow::playRequested, this,
            [this, index](Listening::Source source) { play(index, source); });
    connect(&row, &SlotRow::stopRequested, &listening_, &Listening::stop);
    connect(&row, &SlotRow::pointerEntered, &listening_, &Listening::preload);
    connect(&row, &SlotRow::showInFolderRequested, this, [this, index] { showInFolder(index); });
    connect(&row, &SlotRow::fitRequested, this, [this, index] { fit(index); });
}

SlotRow::MenuState SlotMenu::state(int index)
{
    const QString pick = slots_.text(index);
    SlotRow::MenuState state;
    state.hasPick = !SlotView::showsNoFile(pick);
    state.pickIsThere = state.hasPick && QFileInfo(pick).isFile();
    const std::string_view target = slotTable_.targetFileName(index);
    if (!state_.utvonal.empty()) {
        core::OriginalsFolder kept = kept_.folder();
        state.restorable = kept.isRestorable(target);
        std::error_code error;
        state.gameMusicThere = std::filesystem::is_regular_file(kept.gameFile(target), error);
        state.originalKept = kept.keptOriginal(target).has_value();
    }
    state.playing = listening_.isPlaying();
    state.cannotPlay = listening_.unavailableReason(state_.nyelv);
    if (state.pickIsThere)
        state.cannotFit = cannotFit(index);
    return state;
}

void SlotMenu::play(int index, Listening::Source source)
{
    const std::string_view target = slotTable_.targetFileName(index);
    std::filesystem::path file;
    switch (source) {
    case Listening::Source::Pick:
        file = core::platform::pathFromText(slots_.text(index).toStdString());
        break;
    case Listening::Source::GameMusic:
        file = kept_.folder().gameFile(target);
        break;
    case Listening::Source::Original:
        file = kept_.folder().keptOriginal(target).value_or(std::filesystem::path());
        break;
    }
    status_.setPlaybackFailure(index, QString());
    playedFile_ =
        QDir::toNativeSeparators(QString::fromStdString(core::platform::textFromPath(file)));
    // The pick is heard as loud as Change would make it; the game's own music as it is.
    listening_.play(index, source, file,
                    source == Listening::Source::Pick ? status_.pickLoudness().previewGain(index)
                                                      : 0);
}

QString SlotMenu::cannotFit(int index) const
{
    const TextTable &texts = TextTable::forLanguage(state_.nyelv);
    // A pick still being read is fitted once it is known to be music. Its check has loaded
    // the audio code by then, so the menu does not wait for it.
    const std::optional<PickChecker::Verdict> &verdict = status_.pickChecker().verdict(index);
    if (!verdict)
        return QString::fromUtf8(texts.fitReading);
    if (!core::AudioCodecs::get())
        return QString::fromUtf8(texts.fitNeedsAudio);
    if (!verdict->readable || !verdict->pick)
        return QString::fromUtf8(texts.fitPickUnreadable);
    return {};
}

void SlotMenu::fit(int index)
{
    const core::AudioCodecs *codecs = core::AudioCodecs::get();
    const std::optional<PickChecker::Verdict> &verdict = status_.pickChecker().verdict(index);
    if (!codecs || !verdict || !verdict->readable || !verdict->pick)
        return;
    FitWindow::Pick pick;
    pick.slot = index;
    pick.slotName = QString::fromStdString(slots_.labels()[std::size_t(index)]);
    pick.file = slots_.text(index);
    pick.info = *verdict->pick;
    if (verdict->gameFile) {
        pick.slotRate = verdict->gameFile->sampleRate;
        pick.slotChannels = verdict->gameFile->channels;
        pick.role = core::SlotRole::forSeconds(verdict->gameFile->seconds);
    } else {
        pick.slotRate = verdict->pick->sampleRate;
        pick.slotChannels = verdict->pick->channels;
    }
    pick.slotFormat = core::Mp3Settings::forReference(verdict->gameFile);
    pick.fit = fits_.fit(index);
    pick.gain = status_.pickLoudness().previewGain(index);
    auto *window =
        new FitWindow(pick, state_.nyelv, *codecs, listening_, slots_.box(index)->window());
    window->setAttribute(Qt::WA_DeleteOnClose);
    // What the window plays is the pick's: a failure to play names it.
    status_.setPlaybackFailure(index, QString());
    playedFile_ = QDir::toNativeSeparators(pick.file);
    connect(window, &QDialog::accepted, this, [this, index, window, file = pick.file] {
        // A fit belongs to the pick it was made for.
        if (slots_.text(index) == file)
            fits_.set(index, window->fit());
    });
    window->open();
}

void SlotMenu::clear(int index)
{
    slots_.clear(index, state_.nyelv);
}

void SlotMenu::showInFolder(int index)
{
    const QString folder = QFileInfo(slots_.text(index)).absolutePath();
    QWidget *window = slots_.box(index)->window();
    // Where no file manager opens it, the player is given the path to open by hand.
    platform_.showInFolder(folder, [self = QPointer(this), window, folder](bool shown) {
        if (shown || !self)
            return;
        self->platform_.showMessageWithPath(
            window, QString::fromUtf8(TextTable::forLanguage(self->state_.nyelv).folderNotShown),
            QDir::toNativeSeparators(folder));
    });
}

void SlotMenu::listeningEnded(int index, const std::optional<core::Reason> &failure)
{
    if (!failure)
        return;
    const TextTable &texts = TextTable::forLanguage(state_.nyelv);
    const QString reason = QString::fromStdString(failure->text(state_.nyelv));
    status_.setPlaybackFailure(index, QString::fromUtf8(texts.cannotPlay).arg(reason));
    // Said in a box the first time; the tooltip keeps saying it.
    if (toldUnplayable_.contains(playedFile_))
        return;
    toldUnplayable_.insert(playedFile_);
    platform_.showMessage(slots_.box(index)->window(),
                          QString::fromUtf8(texts.cannotPlayFile).arg(playedFile_, reason));
}
