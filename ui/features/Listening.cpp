// SPDX-License-Identifier: GPL-3.0-or-later
#include "features/Listening.h"

#include "TextTable.h"
#include "features/PostBack.h"

#include <QPointer>
#include <QThreadPool>

#include <utility>

Listening::Listening(QObject *parent) : QObject(parent) {}

Listening::~Listening()
{
    // Quietly: the window that would hear of it is going too.
    if (playing_)
        player_->stop();
}

core::AudioPlayer *Listening::player()
{
    if (!loaded_) {
        loaded_ = true;
        const core::AudioCodecs *codecs = core::AudioCodecs::get(&loadFailure_);
        if (codecs && codecs->makePlayer)
            player_ = codecs->makePlayer();
        else if (codecs)
            loadFailure_ = {core::Reason::Code::NoPlayback, {}};
    }
    return player_.get();
}

void Listening::preload()
{
    if (loaded_ || std::exchange(preloading_, true))
        return;
    // The module's libraries alone: the player, a window thing, is made here when needed.
    QThreadPool::globalInstance()->start([] { core::AudioCodecs::get(); });
}

QString Listening::unavailableReason(std::uint8_t language)
{
    core::AudioPlayer *sound = player();
    if (!sound)
        return QString::fromStdString(loadFailure_.text(language));
    if (!sound->hasOutputDevice())
        return QString::fromUtf8(TextTable::forLanguage(language).noSoundOutput);
    return {};
}

void Listening::play(int slot, Source source, const std::filesystem::path &file,
                     double gainDecibels)
{
    core::AudioPlayer *sound = player();
    if (!sound)
        return;
    stop();
    playing_ = Playing{slot, source};
    const unsigned generation = ++generation_;
    emit started(slot);
    // The output tells on its own thread; this object hears of it on its own.
    const QPointer self(this);
    sound->play(
        file,
        [self, generation](std::optional<core::Reason> failure) {
            postBack(self, [generation, failure](Listening &listening) {
                listening.finish(generation, failure);
            });
        },
        [self, generation] {
            postBack(self, [generation](Listening &listening) { listening.heard(generation); });
        });
    sound->setGain(gainDecibels);
}

void Listening::setPickGain(int slot, double gainDecibels)
{
    if (playing_ && playing_->slot == slot && playing_->source == Source::Pick)
        player_->setGain(gainDecibels);
}

void Listening::finish(unsigned generation, const std::optional<core::Reason> &failure)
{
    if (generation != generation_ || !playing_)
        return;
    const int slot = playing_->slot;
    playing_.reset();
    emit ended(slot, failure);
}

void Listening::heard(unsigned generation)
{
    if (generation == generation_ && playing_)
        emit sounding(playing_->slot);
}

void Listening::stop()
{
    if (!playing_)
        return;
    const int slot = playing_->slot;
    playing_.reset();
    ++generation_;
    player_->stop();
    emit ended(slot, std::nullopt);
}

void Listening::playThrough(std::unique_ptr<core::AudioPlayer> output)
{
    stop();
    player_ = std::move(output);
    loaded_ = true;
    loadFailure_ = {};
}

void Listening::releaseSlots(const std::function<bool(int)> &touched)
{
    if (playing_ && playing_->source != Source::Pick && touched(playing_->slot))
        stop();
}
