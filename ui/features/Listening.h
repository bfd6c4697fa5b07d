// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "music/AudioCodecs.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

// Lets the player hear a slot's music: the pick, the game's file or its kept original, one
// at a time. The sound code is loaded when first needed; the sound plays off this thread.
class Listening : public QObject
{
    Q_OBJECT

  public:
    enum class Source { Pick, GameMusic, Original };

    explicit Listening(QObject *parent = nullptr);
    ~Listening() override;

    // Loads the sound code on a worker, so that the menu that asks for it next finds it
    // there and does not hold the window up.
    void preload();
    // Why nothing can be played here, in the language given; empty where it can.
    QString unavailableReason(std::uint8_t language);
    bool isPlaying() const { return playing_.has_value(); }
    // gainDecibels: what Change would do to a pick's loudness, heard in the preview.
    void play(int slot, Source source, const std::filesystem::path &file, double gainDecibels = 0);
    // The gain a pick's playback plays at, once it is known, where that pick plays.
    void setPickGain(int slot, double gainDecibels);
    void stop();
    // Plays through this output from now on, in place of the audio module's: a test's, which
    // hears what would be played without any sound device.
    void playThrough(std::unique_ptr<core::AudioPlayer> output);
    // Stops before the game's file or original of a slot is replaced or moved: a file held
    // open by the playback would make that fail on Windows.
    void releaseSlots(const std::function<bool(int slot)> &touched);

  signals:
    void started(int slot);
    // The slot's music is heard: the player has its file open and its first sound out.
    void sounding(int slot);
    // The playback of the slot ended; failure says why it could not be played.
    void ended(int slot, const std::optional<core::Reason> &failure);

  private:
    core::AudioPlayer *player();
    void finish(unsigned generation, const std::optional<core::Reason> &failure);
    void heard(unsigned generation);

    struct Playing
    {
        int slot;
        Source source;
    };

    bool loaded_ = false;
    bool preloading_ = false;
    core::Reason loadFailure_;
    std::unique_ptr<core::AudioPlayer> player_;
    std::optional<Playing> playing_;
    unsigned generation_ = 0;
};
