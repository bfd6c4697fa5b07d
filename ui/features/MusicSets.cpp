// SPDX-License-Identifier: GPL-3.0-or-later
#include "features/MusicSets.h"

#include "SharedState.h"
#include "TextTable.h"
#include "features/FailureReason.h"
#include "features/LastPicks.h"
#include "features/LoudnessChoice.h"
#include "features/PickChecker.h"
#include "features/ProgressWorker.h"
#include "files/AtomicFileWriter.h"
#include "files/Platform.h"
#include "forms/SlotRow.h"
#include "sets/SetMusicCopy.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QKeySequence>
#include <QMenu>
#include <QShortcut>

#include <algorithm>

namespace {

// A line of a set the reader passed over, in the interface's language.
QString problemText(const core::MusicSet::Problem &problem, const TextTable &texts)
{
    using Kind = core::MusicSet::Problem::Kind;
    QString why;
    switch (problem.kind) {
    case Kind::UnknownSlot:
        why = QString::fromUtf8(texts.setUnknownSlot).arg(QString::fromStdString(problem.detail));
        break;
    case Kind::NotALanguage:
        why = QString::fromUtf8(texts.setNotALanguage);
        break;
    case Kind::NotALoudnessChoice:
        why = QString::fromUtf8(texts.setNotALoudnessChoice);
        break;
    case Kind::FileWithoutSlot:
        why = QString::fromUtf8(texts.setFileWithoutSlot);
        break;
    case Kind::FitWithoutSlot:
        why = QString::fromUtf8(texts.setFitWithoutSlot);
        break;
    case Kind::NotAFit:
        why = QString::fromUtf8(texts.setNotAFit);
        break;
    case Kind::ImpossibleFit:
        why = QString::fromUtf8(texts.setImpossibleFit)
                  .arg(QString::fromStdString(
                      problem.reason.text(texts.hungarianOptionSelected ? 1 : 2)));
        break;
    case Kind::NotAPlaylist:
        return QString::fromUtf8(texts.setNotAPlaylist);
    }
    return QString::fromUtf8(texts.setLine).arg(QString::number(problem.line), why);
}

QKeySequence saveKey()
{
    return QKeySequence(Qt::CTRL | Qt::Key_S);
}

QKeySequence openKey()
{
    return QKeySequence(Qt::CTRL | Qt::Key_O);
}

// The entry shows the window's key beside it; the window's shortcut, not the entry, hears it.
void showKey(QAction &entry, const QKeySequence &key)
{
    entry.setShortcut(key);
    entry.setShortcutContext(Qt::WidgetShortcut);
    entry.setShortcutVisibleInContextMenu(true);
}

} // namespace

MusicSets::MusicSets(const FeatureContext &context, const PickChecker &pickChecker, QObject *parent)
    : QObject(parent), window_(context.window), platform_(context.platform),
      slots_(context.slotView), state_(context.state), fits_(context.state.fits),
      pickChecker_(pickChecker)
{
    // Keys that no control of the window uses.
    auto *saveShortcut = new QShortcut(saveKey(), &window_);
    connect(saveShortcut, &QShortcut::activated, this, [this] { save(false); });
    auto *openShortcut = new QShortcut(openKey(), &window_);
    connect(openShortcut, &QShortcut::activated, this, &MusicSets::open);
    connect(&pickChecker_, &PickChecker::checked, this, &MusicSets::pickChecked);
    connect(&fits_, &SlotFits::changed, this, &MusicSets::fitChanged);
}

QMenu *MusicSets::createMenu(QWidget *parent)
{
    const TextTable &texts = TextTable::forLanguage(state_.nyelv);
    auto *menu = new QMenu(parent);
    const bool anyPick = slots_.showsAnyFile();
    QAction *saveEntry =
        menu->addAction(QString::fromUtf8(texts.saveSet), this, [this] { save(false); });
    saveEntry->setEnabled(anyPick);
    showKey(*saveEntry, saveKey());
    menu->addAction(QString::fromUtf8(texts.saveSetWithMusic), this, [this] { save(true); })
        ->setEnabled(anyPick);
    showKey(*menu->addAction(QString::fromUtf8(texts.openSet), this, &MusicSets::open), openKey());
    menu->addAction(QString::fromUtf8(texts.clearAllPicks), this, &MusicSets::clearAllAsked)
        ->setEnabled(anyPick);
    if (lastPicks_)
        lastPicks_->addEntry(*menu, texts);
    if (loudnessChoice_) {
        menu->addSeparator();
        loudnessChoice_->addEntries(*menu, texts);
    }
    return menu;
}

void MusicSets::showMenu(const QPoint &globalPosition)
{
    QMenu *menu = createMenu(&window_);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(globalPosition);
}

void MusicSets::clearAllAsked()
{
    int picks = 0;
    for (int i = 0; i < core::slotCount; ++i)
        picks += slots_.showsFile(i) ? 1 : 0;
    if (picks > 1 &&
        !platform_.askYesNo(
            &window_,
            QString::fromUtf8(TextTable::forLanguage(state_.nyelv).clearAllQuestion).arg(picks),
            PlatformLayer::DefaultAnswer::Yes))
        return;
    clearAll();
}

void MusicSets::clearAll()
{
    // An emptying, also before a set's picks come in: a set of none leaves the last picks kept.
    const auto clear = [this] {
        for (int i = 0; i < core::slotCount; ++i)
            slots_.clear(i, state_.nyelv);
    };
    if (lastPicks_)
        lastPicks_->empty(clear);
    else
        clear();
}

PlatformLayer::OpenFileRequest MusicSets::fileRequest() const
{
    const TextTable &texts = TextTable::forLanguage(state_.nyelv);
    return {QString::fromUtf8(texts.setFilterName),
            QStringLiteral("%1 (*.m3u8 *.m3u)").arg(QString::fromUtf8(texts.setFilterName)),
            QDir::homePath(),
            {},
            {}};
}

void MusicSets::save(bool withMusic)
{
    std::optional<QString> chosen = platform_.chooseFileToSave(&window_, fileRequest());
    if (!chosen)
        return;
    QString file = *chosen;
    if (!SlotRow::isSetFile(file))
        file += QStringLiteral(".m3u8");
    const QFileInfo setInfo(file);
    core::MusicSet set;
    for (int i = 0; i < core::slotCount; ++i) {
        const QString pick = slots_.text(i);
        if (SlotView::showsNoFile(pick))
            continue;
        const auto &verdict = pickChecker_.verdict(i);
        set.picks.push_back(
            {i, core::platform::pathFromText(QFileInfo(pick).absoluteFilePath().toStdString()),
             verdict && verdict->pick ? verdict->pick->seconds : -1, false, state_.fits.fit(i)});
    }
    if (loudnessChoice_)
        loudnessChoice_->recordIn(set);
    if (withMusic) {
        saveWithMusic(setInfo, set);
        return;
    }
    core::AtomicFileWriter writer;
    const std::filesystem::path folder =
        core::platform::pathFromText(setInfo.absolutePath().toStdString());
    if (const auto failure = writer.writeBytes(
            core::platform::pathFromText(setInfo.absoluteFilePath().toStdString()),
            set.format(folder)))
        platform_.showMessage(
            &window_,
            QString::fromUtf8(TextTable::forLanguage(state_.nyelv).cannotSaveSet)
                .arg(QDir::toNativeSeparators(file),
                     reasonAfterColon(failureReason(failure->systemError, state_.nyelv))));
}

void MusicSets::saveWithMusic(const QFileInfo &setInfo, core::MusicSet &set)
{
    // Copies into a folder beside the set, named in the interface's language unless the set
    // already names one, on a worker behind the progress window.
    if (!leaveOutMissingPicks(set))
        return;
    const TextTable &texts = TextTable::forLanguage(state_.nyelv);
    const std::filesystem::path setFile =
        core::platform::pathFromText(setInfo.absoluteFilePath().toStdString());
    const std::filesystem::path folderName = core::platform::pathFromText(
        QString::fromUtf8(texts.setMusicFolder).arg(setInfo.completeBaseName()).toStdString());
    ProgressWorker worker(&window_, state_.nyelv, int(set.picks.size()));
    std::optional<core::SetMusicCopy::Failure> failure;
    worker.run([&] {
        core::SetMusicCopy copy;
        failure = copy.save(
            set, setFile, folderName, worker.stopToken(),
            [&](std::size_t done, std::size_t, const std::filesystem::path &source) {
                worker.report(int(done), QString::fromUtf8(texts.copyingMusic)
                                             .arg(QString::fromStdString(
                                                 core::platform::textFromPath(source.filename()))));
            });
    });
    worker.hide();
    using Kind = core::SetMusicCopy::Failure::Kind;
    if (!failure || failure->kind == Kind::Stopped)
        return;
    // The folder's or the set file's failure is the set's; a pick's names the pick.
    const bool pickFailed = failure->kind != Kind::Destination;
    const QString file = QDir::toNativeSeparators(
        pickFailed ? QString::fromStdString(core::platform::textFromPath(failure->file))
                   : setInfo.absoluteFilePath());
    const QString reason =
        failure->kind == Kind::NotAFile
            ? QString::fromUtf8(texts.notAFile)
            : reasonAfterColon(failureReason(failure->systemError, state_.nyelv));
    platform_.showMessage(
        &window_, QString::fromUtf8(pickFailed ? texts.cannotCopySetMusic : texts.cannotSaveSet)
                      .arg(file, reason));
}

bool MusicSets::leaveOutMissingPicks(core::MusicSet &set)
{
    QStringList missing;
    std::vector<core::MusicSet::Pick> present;
    for (const core::MusicSet::Pick &pick : set.picks) {
        const QString file = QString::fromStdString(core::platform::textFromPath(pick.file));
        if (QFileInfo::exists(file))
            present.push_back(pick);
        else
            missing << QDir::toNativeSeparators(file);
    }
    // With nothing else to save, the copy's own failure tells what is missing.
    if (missing.isEmpty() || present.empty())
        return true;
    const TextTable &texts = TextTable::forLanguage(state_.nyelv);
    const QString question = QString::fromUtf8(missing.size() == 1 ? texts.setMusicMissingOne
                                                                   : texts.setMusicMissingMany)
                                 .arg(missing.join(QStringLiteral(", ")));
    if (!platform_.askYesNo(&window_, question, PlatformLayer::DefaultAnswer::Yes))
        return false;
    set.picks = std::move(present);
    return true;
}

void MusicSets::open()
{
    PlatformLayer::OpenFileRequest request = fileRequest();
    // Asks before it replaces picks, as a dropped set does.
    if (const std::optional<QString> chosen = platform_.chooseFileToOpen(&window_, request))
        openFile(*chosen);
}

void MusicSets::openFile(const QString &file)
{
    const TextTable &texts = TextTable::forLanguage(state_.nyelv);
    // A set that cannot be read whole changes no pick.
    std::string bytes;
    if (const auto failure = core::MusicSet::readFile(
            core::platform::pathFromText(QFileInfo(file).absoluteFilePath().toStdString()),
            bytes)) {
        using Kind = core::MusicSet::ReadFailure::Kind;
        const QString reason =
            failure->kind == Kind::NotAFile ? QString::fromUtf8(texts.notAFile)
            : failure->kind == Kind::TooLarge
                ? QString::fromUtf8(texts.reasonSetTooLarge)
                : reasonAfterColon(failureReason(failure->systemError, state_.nyelv));
        platform_.showMessage(
            &window_,
            QString::fromUtf8(texts.cannotOpenSet).arg(QDir::toNativeSeparators(file), reason));
        return;
    }
    if (slots_.showsAnyFile() &&
        !platform_.askYesNo(&window_, QString::fromUtf8(texts.replacePicksQuestion),
                            PlatformLayer::DefaultAnswer::Yes))
        return;
    // What an earlier set still waits for is told now; its picks are about to go.
    fitsToCheck_.clear();
    tellSetProblems();
    const QFileInfo info(file);
    const core::MusicSet set = core::MusicSet::parse(
        bytes, core::platform::pathFromText(info.absolutePath().toStdString()));
    setProblems_ = set.problems;
    // A file that is no playlist changes nothing.
    if (!set.picks.empty() || setProblems_.empty()) {
        clearAll();
        // A file no longer there still fills its slot, marked as its check finds it.
        for (const core::MusicSet::Pick &pick : set.picks) {
            const QString pickText = QDir::toNativeSeparators(
                QString::fromStdString(core::platform::textFromPath(pick.file)));
            slots_.setText(pick.slot, pickText);
            fits_.set(pick.slot, pick.fit);
            if (!pick.fit.isWhole())
                fitsToCheck_.push_back({pick.slot, pickText, pick.fit, pick.fitLine});
        }
        if (loudnessChoice_)
            loudnessChoice_->takeFrom(set);
    }
    if (fitsToCheck_.empty())
        tellSetProblems();
}

void MusicSets::pickChecked(int slot)
{
    const auto waiting = std::find_if(fitsToCheck_.begin(), fitsToCheck_.end(),
                                      [slot](const FitToCheck &fit) { return fit.slot == slot; });
    if (waiting == fitsToCheck_.end())
        return;
    const FitToCheck fit = *waiting;
    fitsToCheck_.erase(waiting);
    const std::optional<PickChecker::Verdict> &verdict = pickChecker_.verdict(slot);
    // Only the fit the set gave its pick is judged; a pick that cannot be read keeps it, and
    // Change says why.
    if (verdict && verdict->pick && slots_.text(slot) == fit.file && fits_.fit(slot) == fit.fit) {
        const core::AudioInfo &pick = *verdict->pick;
        if (std::optional<core::Reason> reason =
                fit.fit.problem(pick.sampleRate, pick.mostFrames())) {
            fits_.clear(slot);
            setProblems_.push_back(
                {core::MusicSet::Problem::Kind::ImpossibleFit, fit.line, {}, std::move(*reason)});
        }
    }
    if (fitsToCheck_.empty())
        tellSetProblems();
}

void MusicSets::fitChanged(int slot)
{
    // A pick changed or cleared before its check came back takes its fit with it.
    const auto gone = std::remove_if(fitsToCheck_.begin(), fitsToCheck_.end(),
                                     [this, slot](const FitToCheck &fit) {
                                         return fit.slot == slot && fits_.fit(slot) != fit.fit;
                                     });
    if (gone == fitsToCheck_.end())
        return;
    fitsToCheck_.erase(gone, fitsToCheck_.end());
    if (fitsToCheck_.empty())
        tellSetProblems();
}

void MusicSets::tellSetProblems()
{
    if (setProblems_.empty())
        return;
    std::stable_sort(setProblems_.begin(), setProblems_.end(),
                     [](const auto &a, const auto &b) { return a.line < b.line; });
    const TextTable &texts = TextTable::forLanguage(state_.nyelv);
    QStringList problems;
    for (const core::MusicSet::Problem &problem : setProblems_)
        problems << problemText(problem, texts);
    setProblems_.clear();
    platform_.showMessage(
        &window_, QString::fromUtf8(texts.setProblems).arg(problems.join(QLatin1Char('\n'))));
}
