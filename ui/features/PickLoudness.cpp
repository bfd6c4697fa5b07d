// SPDX-License-Identifier: GPL-3.0-or-later
#include "features/PickLoudness.h"

#include "NumberText.h"
#include "SharedState.h"
#include "TextTable.h"
#include "features/KeptOriginals.h"
#include "features/PostBack.h"
#include "files/Platform.h"
#include "loudness/LoudnessReference.h"
#include "loudness/MatchedConversion.h"
#include "originals/GameMusic.h"

#include <QPointer>
#include <QThread>

#include <cmath>

namespace {

// Below what anyone hears: said as no change.
constexpr double unheard = 0.05;

QString number(double value, std::uint8_t language)
{
    return NumberText::decimal(value, 1, language);
}

bool usable(const std::optional<core::Loudness> &loudness)
{
    return loudness && std::isfinite(loudness->lufs);
}

// The pick's figure against the game music's.
QString figures(const core::GainPlan &plan, const TextTable &texts, std::uint8_t language)
{
    return QString::fromUtf8(plan.medianReference ? texts.loudnessOfOtherSlots
                                                  : texts.loudnessOfSlot)
        .arg(number(plan.pick->lufs, language), number(plan.reference->lufs, language));
}

QString asItIs(const core::GainPlan &plan, bool mp3, const TextTable &texts, std::uint8_t language)
{
    const double louder = plan.pick->lufs - plan.reference->lufs;
    const QString comparison =
        std::abs(louder) < unheard
            ? QString::fromUtf8(texts.asLoudAsGame)
            : QString::fromUtf8(louder > 0 ? texts.louderThanGame : texts.quieterThanGame)
                  .arg(number(std::abs(louder), language));
    return QString::fromUtf8(mp3 ? texts.copiedAsItIs : texts.convertedAsItIs)
        .arg(figures(plan, texts, language), comparison);
}

// What the true-peak limit took, told by which way a match would have gone.
const char *peakLimitText(double gain, double wanted, const TextTable &texts)
{
    if (wanted < 0)
        return texts.gainHeldBackQuieter;
    return gain < unheard ? texts.gainHeldBackPastLimit : texts.gainHeldBack;
}

// A written result louder than the tooltip promised, past what a listener tells apart: its
// own figure is said. One quieter than that is told as short of a match already.
QString withWrittenFigure(const QString &said, const core::GainPlan &plan, const TextTable &texts,
                          std::uint8_t language)
{
    constexpr double heardApart = 0.5;
    if (!plan.resultLufs || plan.beyondFormat ||
        (plan.reason != core::GainReason::Matched && plan.reason != core::GainReason::PeakLimited))
        return said;
    const double promised = plan.reference->lufs - plan.heldBack;
    if (*plan.resultLufs - promised <= heardApart)
        return said;
    return QString::fromUtf8(texts.gainWrittenLouder).arg(said, number(*plan.resultLufs, language));
}

QString toldAsPlanned(const core::GainPlan &plan, const TextTable &texts, std::uint8_t language)
{
    // The gain as written, with what was taken after encoding.
    const double gain = plan.gain + plan.loweredAfterEncoding;
    const bool heldBack = plan.heldBack >= unheard;
    const QString said =
        std::abs(gain) < unheard
            ? QString::fromUtf8(heldBack ? texts.gainKept : texts.gainNone)
                  .arg(figures(plan, texts, language))
            : QString::fromUtf8(gain < 0 ? texts.gainQuieter : texts.gainLouder)
                  .arg(figures(plan, texts, language), number(std::abs(gain), language));
    if (!heldBack)
        return said;
    if (plan.reason == core::GainReason::Mp3RangeLimited)
        return QString::fromUtf8(texts.gainHeldBackByMp3Range)
            .arg(said, number(plan.heldBack, language));
    if (plan.reason == core::GainReason::FormatLimited)
        return QString::fromUtf8(texts.gainShortOfFormat)
            .arg(said, number(plan.heldBack, language));
    const double wanted = gain + plan.heldBack;
    const char *text = peakLimitText(gain, wanted, texts);
    const double told = text == texts.gainHeldBackPastLimit ? wanted : plan.heldBack;
    return QString::fromUtf8(text).arg(said, number(told, language));
}

QString matched(const core::GainPlan &plan, const TextTable &texts, std::uint8_t language)
{
    return withWrittenFigure(toldAsPlanned(plan, texts, language), plan, texts, language);
}

} // namespace

PickLoudness::PickLoudness(const core::SlotTable &slotTable, const SharedState &state,
                           QObject *parent)
    : QObject(parent), slotTable_(slotTable), state_(state), kept_(state, slotTable)
{
    pool_.setMaxThreadCount(std::max(1, QThread::idealThreadCount() - 1));
}

PickLoudness::~PickLoudness()
{
    // The measuring writes into the cache, which goes with this.
    stopAll();
}

void PickLoudness::setOptions(core::LoudnessOptions options)
{
    options_ = options;
    for (int i = 0; i < core::slotCount; ++i) {
        if (slots_[std::size_t(i)].plan)
            emit planned(i);
    }
}

void PickLoudness::measure(int slot, const QString &file, bool mp3, const core::PickFit &fit)
{
    Slot &entry = slots_.at(std::size_t(slot));
    forget(slot);
    entry.file = file;
    entry.mp3 = mp3 && fit.isWhole();
    entry.fit = fit;
    start(slot);
}

void PickLoudness::forget(int slot)
{
    Slot &entry = slots_.at(std::size_t(slot));
    ++entry.generation;
    if (entry.stop)
        entry.stop->request_stop();
    entry = Slot{{}, false, {}, entry.generation, std::nullopt, std::nullopt, false, nullptr};
}

void PickLoudness::start(int slot)
{
    const core::AudioCodecs *codecs = core::AudioCodecs::get();
    Slot &entry = slots_.at(std::size_t(slot));
    if (!codecs || entry.file.isEmpty() || held_)
        return;
    entry.stop = std::make_shared<std::stop_source>();
    // Without a game folder there is no game music: names alone would be looked for here.
    const std::optional<core::OriginalsFolder> originals =
        state_.utvonal.empty() ? std::nullopt : std::optional(kept_.folder());
    const std::filesystem::path pick = core::platform::pathFromText(entry.file.toStdString());
    QPointer<PickLoudness> self(this);
    // The table is the window's, which may go before this: the measuring takes its own.
    pool_.start([self, codecs, originals, pick, slot, fit = entry.fit,
                 generation = entry.generation, stop = entry.stop->get_token(), &cache = cache_,
                 slotTable = slotTable_] {
        if (stop.stop_requested())
            return;
        core::LoudnessReference references(*codecs, cache,
                                           originals
                                               ? core::GameMusic::filesFor(*originals, slotTable)
                                               : core::LoudnessReference::Files{});
        const core::Mp3Settings settings =
            originals
                ? core::Mp3Settings::forGameMusic(
                      *codecs->makeDecoder(),
                      core::GameMusic::formatSources(*originals, slotTable.targetFileName(slot)))
                : core::Mp3Settings::forReference(std::nullopt);
        // Every kind of matching on: the choice only decides what the figures lead to.
        core::MatchedConversion matching(*codecs, cache, references, {true, true});
        core::GainPlan plan = matching.plan(slot, pick, settings, {}, stop, fit);
        if (stop.stop_requested())
            return;
        // Kept without an original: the game had no file there, and what is there is ours.
        const std::string &target = slotTable.targetFileName(slot);
        const bool ours =
            originals && originals->isKept(target) && !originals->keptOriginal(target);
        postBack(self, [slot, generation, plan, ours](PickLoudness &loudness) {
            Slot &entry = loudness.slots_.at(std::size_t(slot));
            if (entry.generation != generation)
                return;
            entry.plan = plan;
            entry.gameFileIsOurs = ours;
            entry.stop.reset();
            emit loudness.planned(slot);
        });
    });
}

void PickLoudness::takeWritten(int slot, const core::GainPlan &plan)
{
    Slot &entry = slots_.at(std::size_t(slot));
    if (entry.file.isEmpty())
        return;
    entry.written = plan;
    emit planned(slot);
}

std::optional<core::GainPlan> PickLoudness::plan(int slot) const
{
    const Slot &entry = slots_.at(std::size_t(slot));
    // What the next Change would write again, while matching stays on.
    if (entry.written && options_.matchLoudness)
        return entry.written;
    if (!entry.plan)
        return std::nullopt;
    return core::LoudnessGain::asChosen(*entry.plan, entry.mp3, options_);
}

bool PickLoudness::isMeasuring(int slot) const
{
    return slots_.at(std::size_t(slot)).stop != nullptr;
}

double PickLoudness::previewGain(int slot) const
{
    const std::optional<core::GainPlan> chosen = plan(slot);
    // As written: a result lowered after encoding is heard lowered.
    return chosen && chosen->applies() ? chosen->gain + chosen->loweredAfterEncoding : 0;
}

QString PickLoudness::describe(int slot, std::uint8_t language) const
{
    const Slot &entry = slots_.at(std::size_t(slot));
    if (const std::optional<core::GainPlan> chosen = plan(slot))
        return describe(*chosen, entry.mp3, language, entry.gameFileIsOurs);
    if (isMeasuring(slot))
        return QString::fromUtf8(TextTable::forLanguage(language).loudnessMeasuring);
    return {};
}

QString PickLoudness::describeSilence(int slot, std::uint8_t language) const
{
    const Slot &entry = slots_.at(std::size_t(slot));
    return entry.plan ? describeSilence(*entry.plan, language) : QString();
}

QString PickLoudness::describeSilence(const core::GainPlan &plan, std::uint8_t language)
{
    if (!plan.pick)
        return {};
    const TextTable &texts = TextTable::forLanguage(language);
    // Said as it is shown: a tenth of a second at least.
    const bool atStart = plan.pick->leadingSilence >= unheard;
    const bool atEnd = plan.pick->trailingSilence >= unheard;
    const QString start = number(plan.pick->leadingSilence, language);
    const QString end = number(plan.pick->trailingSilence, language);
    if (atStart && atEnd)
        return QString::fromUtf8(texts.silenceLeftOutBoth).arg(start, end);
    if (atStart)
        return QString::fromUtf8(texts.silenceLeftOutStart).arg(start);
    if (atEnd)
        return QString::fromUtf8(texts.silenceLeftOutEnd).arg(end);
    return {};
}

bool PickLoudness::changesMp3(int slot) const
{
    const std::optional<core::GainPlan> chosen = plan(slot);
    return chosen && slots_.at(std::size_t(slot)).mp3 && chosen->applies() &&
           std::abs(chosen->gain) >= unheard;
}

QString PickLoudness::describe(const core::GainPlan &plan, bool mp3, std::uint8_t language,
                               bool gameFileIsOurs)
{
    const TextTable &texts = TextTable::forLanguage(language);
    if (!usable(plan.pick))
        return QString::fromUtf8(plan.pick ? texts.loudnessSilentPick : texts.loudnessNotMeasured);
    if (!plan.reference)
        return QString::fromUtf8(plan.reason == core::GainReason::NotMeasured
                                     ? texts.loudnessNotMeasured
                                 : gameFileIsOurs ? texts.loudnessNoReference
                                                  : texts.loudnessNoGameFile)
            .arg(number(plan.pick->lufs, language));
    if (!usable(plan.reference))
        return QString::fromUtf8(texts.loudnessSilentReference)
            .arg(number(plan.pick->lufs, language));
    switch (plan.reason) {
    case core::GainReason::FreeFormatMp3:
        return QString::fromUtf8(texts.loudnessFreeFormat).arg(figures(plan, texts, language));
    case core::GainReason::OtherLayerMp3:
        return QString::fromUtf8(texts.loudnessOtherLayer).arg(figures(plan, texts, language));
    case core::GainReason::Matched:
    case core::GainReason::PeakLimited:
    case core::GainReason::Mp3RangeLimited:
    case core::GainReason::FormatLimited:
        if (plan.beyondFormat)
            return QString::fromUtf8(texts.loudnessAboveLowpass)
                .arg(matched(plan, texts, language), number(plan.keptBelowHz / 1000.0, language));
        return matched(plan, texts, language);
    default:
        return asItIs(plan, mp3, texts, language);
    }
}

void PickLoudness::stopAll()
{
    held_ = true;
    for (Slot &entry : slots_) {
        if (entry.stop)
            entry.stop->request_stop();
    }
    pool_.waitForDone();
    // What was stopped delivers nothing; its slot is measured again on resume().
    for (Slot &entry : slots_) {
        if (entry.stop) {
            ++entry.generation;
            entry.stop.reset();
        }
    }
}

void PickLoudness::resume()
{
    held_ = false;
    for (int i = 0; i < core::slotCount; ++i) {
        const Slot &entry = slots_[std::size_t(i)];
        if (!entry.plan && !entry.stop && !entry.file.isEmpty())
            start(i);
    }
}
