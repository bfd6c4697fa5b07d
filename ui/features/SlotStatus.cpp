// SPDX-License-Identifier: GPL-3.0-or-later
#include "features/SlotStatus.h"

#include "NumberText.h"
#include "SharedState.h"
#include "TextTable.h"
#include "features/KeptOriginals.h"
#include "files/Platform.h"
#include "music/SlotRole.h"
#include "settings/SlotTable.h"

#include <QAction>
#include <QFileInfo>
#include <QLineEdit>
#include <QStyle>

#include <cmath>

namespace {

QString pickToolTip(const QString &path)
{
    return QFileInfo(path).fileName() + QLatin1Char('\n') + path;
}

} // namespace

SlotStatus::SlotStatus(const FeatureContext &context, QObject *parent)
    : QObject(parent), slots_(context.slotView), slotTable_(context.slotTable),
      state_(context.state), kept_(context.state, context.slotTable),
      pickLoudness_(context.slotTable, context.state)
{
    connect(&pickChecker_, &PickChecker::checked, this, &SlotStatus::pickChecked);
    connect(&pickLoudness_, &PickLoudness::planned, this, &SlotStatus::updateToolTip);
}

void SlotStatus::pickChanged(int index, const QString &path)
{
    QLineEdit *text = slots_.box(index);
    playbackFailures_[std::size_t(index)].clear(); // it may have been the old pick's
    runNotes_[std::size_t(index)].clear();
    if (QAction *mark = unreadableMarks_[std::size_t(index)])
        mark->setVisible(false);
    text->setAccessibleDescription(QString());
    // Either drops the old pick's verdict before the tooltip is written.
    pickLoudness_.forget(index);
    if (SlotView::showsNoFile(path)) {
        pickChecker_.forget(index);
    } else {
        // The slot's own music: the kept original where there is one, the game file else.
        std::string game;
        if (!state_.utvonal.empty()) {
            const core::OriginalsFolder kept = kept_.folder();
            const std::string_view target = slotTable_.targetFileName(index);
            game = core::platform::textFromPath(
                kept.keptOriginal(target).value_or(kept.gameFile(target)));
        }
        pickChecker_.check(index, path, QString::fromStdString(game));
    }
    updateToolTip(index);
}

void SlotStatus::pickChecked(int index)
{
    const std::optional<PickChecker::Verdict> &verdict = pickChecker_.verdict(index);
    QLineEdit *text = slots_.box(index);
    if (!verdict)
        return;
    const QString said = PickChecker::describe(*verdict, state_.nyelv);
    if (verdict->readable && verdict->pick)
        pickLoudness_.measure(index, text->text(), verdict->pick->isMp3, state_.fits.fit(index));
    updateToolTip(index);
    // Marked before Change is pressed: an icon, and words for a screen reader. The icon is
    // made when first needed; forty of them would cost every start.
    QAction *&mark = unreadableMarks_[std::size_t(index)];
    if (!mark && !verdict->readable)
        mark = text->addAction(text->style()->standardIcon(QStyle::SP_MessageBoxWarning),
                               QLineEdit::TrailingPosition);
    if (mark) {
        mark->setVisible(!verdict->readable);
        mark->setToolTip(said);
    }
    text->setAccessibleDescription(verdict->readable ? QString() : said);
}

void SlotStatus::fitChanged(int index)
{
    const std::optional<PickChecker::Verdict> &verdict = pickChecker_.verdict(index);
    if (verdict && verdict->readable && verdict->pick)
        pickLoudness_.measure(index, slots_.text(index), verdict->pick->isMp3,
                              state_.fits.fit(index));
    updateToolTip(index);
}

void SlotStatus::setPlaybackFailure(int index, const QString &failure)
{
    playbackFailures_[std::size_t(index)] = failure;
    updateToolTip(index);
}

void SlotStatus::setRunNote(int index, const QString &note)
{
    runNotes_[std::size_t(index)] = note;
    updateToolTip(index);
}

void SlotStatus::setPlaying(int index, bool playing)
{
    QAction *&mark = playingMarks_[std::size_t(index)];
    if (!mark && !playing)
        return;
    QLineEdit *text = slots_.box(index);
    if (!mark)
        mark = text->addAction(text->style()->standardIcon(QStyle::SP_MediaVolume),
                               QLineEdit::TrailingPosition);
    // The mark's own words, for its tooltip and a screen reader; the box's description may
    // be telling why the pick cannot be read, and stays.
    const QString said = QString::fromUtf8(TextTable::forLanguage(state_.nyelv).playingMark);
    mark->setText(said);
    mark->setToolTip(said);
    mark->setVisible(playing);
}

void SlotStatus::setEmptySlotNote(const QString &note)
{
    emptySlotNote_ = note;
    for (int i = 0; i < core::slotCount; ++i)
        updateToolTip(i);
}

QStringList SlotStatus::fitLines(int index,
                                 const std::optional<PickChecker::Verdict> &verdict) const
{
    QStringList lines;
    const TextTable &texts = TextTable::forLanguage(state_.nyelv);
    if (verdict && verdict->gameFile && verdict->gameFile->seconds > 0) {
        const core::SlotRole role = core::SlotRole::forSeconds(verdict->gameFile->seconds);
        lines << QString::fromUtf8(role.kind == core::SlotRole::Kind::Jingle ? texts.slotRoleJingle
                                                                             : texts.slotRoleLoop)
                     .arg(NumberText::decimal(role.seconds, 1, state_.nyelv));
    }
    const core::PickFit &fit = state_.fits.fit(index);
    if (fit.isWhole() && verdict && verdict->pick && verdict->gameFile)
        lines << jinglePlaysOnlyPart(*verdict->pick, *verdict->gameFile);
    if (fit.isWhole() || !verdict || !verdict->pick || verdict->pick->sampleRate <= 0)
        return lines;
    const double rate = verdict->pick->sampleRate;
    const double end = fit.end ? double(*fit.end) / rate : verdict->pick->seconds;
    // A loop found in the music, kept to the sample.
    if (fit.isFoundLoop())
        lines << QString::fromUtf8(texts.fitToolTipLoop)
                     .arg(NumberText::minutesSeconds(double(fit.start) / rate, state_.nyelv),
                          NumberText::minutesSeconds(end, state_.nyelv))
                     .arg(std::llround(double(fit.crossfade) / rate * 1000));
    else
        lines << QString::fromUtf8(texts.fitToolTip)
                     .arg(NumberText::minutesSeconds(double(fit.start) / rate, state_.nyelv),
                          NumberText::minutesSeconds(end, state_.nyelv),
                          NumberText::decimal(double(fit.fadeIn) / rate, 1, state_.nyelv),
                          NumberText::decimal(double(fit.fadeOut) / rate, 1, state_.nyelv));
    if (verdict->pick->isMp3)
        lines << QString::fromUtf8(texts.fittedMp3Converted);
    return lines;
}

QStringList SlotStatus::jinglePlaysOnlyPart(const core::AudioInfo &pick,
                                            const core::AudioInfo &gameMusic) const
{
    const core::SlotRole role = core::SlotRole::forSeconds(gameMusic.seconds);
    // Half a second over is still the jingle, with its own silence at the end.
    if (role.kind != core::SlotRole::Kind::Jingle || role.seconds <= 0 ||
        pick.seconds <= role.seconds + 0.5)
        return {};
    const TextTable &texts = TextTable::forLanguage(state_.nyelv);
    const auto named = [](const char *caption) {
        return QString::fromUtf8(caption).remove(QLatin1Char('&'));
    };
    return {QString::fromUtf8(texts.jinglePlaysOnlyPart)
                .arg(NumberText::decimal(role.seconds, 1, state_.nyelv), named(texts.fitMenuEntry),
                     named(texts.fitToGameLength))};
}

void SlotStatus::updateToolTip(int index)
{
    QLineEdit *text = slots_.box(index);
    QStringList lines;
    if (!SlotView::showsNoFile(text->text())) {
        lines << pickToolTip(text->text());
        const std::optional<PickChecker::Verdict> &verdict = pickChecker_.verdict(index);
        if (verdict) {
            // A fitted MP3 is converted: a line of its own says so, not that it is copied.
            const bool copiedAsItIs =
                !pickLoudness_.changesMp3(index) && state_.fits.fit(index).isWhole();
            lines << PickChecker::describe(*verdict, state_.nyelv, !copiedAsItIs);
            const std::optional<core::GainPlan> plan = pickLoudness_.plan(index);
            if (const QString cut =
                    plan && plan->pick
                        ? PickChecker::describeCutShort(*verdict, plan->pick->seconds, state_.nyelv)
                        : QString();
                !cut.isEmpty())
                lines << cut;
        }
        lines << fitLines(index, verdict);
        if (const QString loudness = pickLoudness_.describe(index, state_.nyelv);
            !loudness.isEmpty())
            lines << loudness;
        if (const QString silence = pickLoudness_.describeSilence(index, state_.nyelv);
            !silence.isEmpty())
            lines << silence;
    } else if (!emptySlotNote_.isEmpty()) {
        lines << emptySlotNote_;
    }
    if (!playbackFailures_[std::size_t(index)].isEmpty())
        lines << playbackFailures_[std::size_t(index)];
    if (!runNotes_[std::size_t(index)].isEmpty())
        lines << runNotes_[std::size_t(index)];
    text->setToolTip(lines.join(QLatin1Char('\n')));
}
