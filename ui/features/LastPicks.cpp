// SPDX-License-Identifier: GPL-3.0-or-later
#include "features/LastPicks.h"

#include "SharedState.h"
#include "TextTable.h"
#include "files/AtomicFileWriter.h"
#include "files/Platform.h"
#include "sets/MusicSet.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>

namespace {

std::filesystem::path pathOf(const QString &text)
{
    return core::platform::pathFromText(text.toStdString());
}

} // namespace

LastPicks::LastPicks(const FeatureContext &context, QObject *parent)
    : QObject(parent), slots_(context.slotView), state_(context.state), fits_(context.state.fits)
{
    // A set opened, or a path typed, changes many slots or one many times: kept once after.
    keepSoon_.setSingleShot(true);
    keepSoon_.setInterval(0);
    connect(&keepSoon_, &QTimer::timeout, this, &LastPicks::keepNow);
}

void LastPicks::useFolder(const QString &folder)
{
    keepSoon_.stop();
    folder_ = folder;
    file_ = folder.isEmpty() ? QString() : folder + QLatin1Char('/') + QLatin1String(fileName);
    kept_.clear();
    std::string bytes;
    // What cannot be read keeps nothing: the next pick writes over it.
    if (!file_.isEmpty() && QFileInfo(file_).isFile() &&
        !core::MusicSet::readFile(pathOf(file_), bytes))
        kept_ = core::MusicSet::parse(bytes, pathOf(folder_)).format(pathOf(folder_));
}

void LastPicks::addEntry(QMenu &menu, const TextTable &texts)
{
    menu.addAction(QString::fromUtf8(texts.reopenLastPicks), this, &LastPicks::reopen)
        ->setEnabled(!core::MusicSet::parse(kept_, pathOf(folder_)).picks.empty());
}

void LastPicks::reopen()
{
    // Picks just made are the last ones already.
    if (keepSoon_.isActive())
        keepNow();
    const core::MusicSet set = core::MusicSet::parse(kept_, pathOf(folder_));
    reopening_ = true;
    for (int i = 0; i < core::slotCount; ++i) {
        if (slots_.showsFile(i))
            slots_.clear(i, state_.nyelv);
    }
    for (const core::MusicSet::Pick &pick : set.picks) {
        slots_.setText(pick.slot, QDir::toNativeSeparators(QString::fromStdString(
                                      core::platform::textFromPath(pick.file))));
        fits_.set(pick.slot, pick.fit);
    }
    reopening_ = false;
    keepSoon_.stop();
    setNote(false);
}

void LastPicks::slotChanged(int slot)
{
    if (emptying_ || reopening_)
        return;
    if (noteShown_) {
        // Until a new pick is made, the kept picks are the ones the note offers.
        if (!slots_.showsFile(slot))
            return;
        setNote(false);
    }
    keepSoon_.start();
}

void LastPicks::keepNow()
{
    keepSoon_.stop();
    if (noteShown_)
        return;
    std::string picks = currentPicks();
    if (picks == kept_)
        return;
    kept_ = std::move(picks);
    if (file_.isEmpty())
        return;
    // Kept in memory all the same: a folder that takes no file loses them at the end only.
    QDir().mkpath(folder_);
    core::AtomicFileWriter writer;
    writer.writeBytes(pathOf(file_), kept_);
}

void LastPicks::beginEmptying()
{
    // A change not yet kept is kept now, while the slots still hold it.
    if (keepSoon_.isActive())
        keepNow();
    picksWereCleared_ = slots_.showsAnyFile();
    emptying_ = true;
}

void LastPicks::endEmptying()
{
    emptying_ = false;
    keepSoon_.stop();
    // An emptying of empty slots leaves their tooltips as they were; a note already shown
    // takes the language now applied.
    if (picksWereCleared_ || noteShown_)
        setNote(true);
}

std::string LastPicks::currentPicks() const
{
    core::MusicSet set;
    for (int i = 0; i < core::slotCount; ++i) {
        if (slots_.showsFile(i))
            set.picks.push_back(
                {i, pathOf(QFileInfo(slots_.text(i)).absoluteFilePath()), -1, false, fits_.fit(i)});
    }
    return set.format(pathOf(folder_));
}

void LastPicks::setNote(bool shown)
{
    if (!shown && !noteShown_)
        return;
    noteShown_ = shown;
    QString note;
    if (shown) {
        const TextTable &texts = TextTable::forLanguage(state_.nyelv);
        QString entry = QString::fromUtf8(texts.reopenLastPicks);
        entry.remove(QLatin1Char('&'));
        note = QString::fromUtf8(texts.lastPicksNote).arg(entry);
    }
    emit noteChanged(note);
}
