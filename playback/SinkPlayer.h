// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "music/AudioCodecs.h"

#include <QThread>

#include <memory>

class DecodedStream;
class SoundOutput;

// Plays through the toolkit's audio output on the default device. The output lives on a
// thread of its own, so that a busy window never starves it, and is fed from a stream that
// the program's own decoder fills.
class SinkPlayer final : public core::AudioPlayer
{
  public:
    SinkPlayer();
    ~SinkPlayer() override;

    bool hasOutputDevice() override;
    void play(const std::filesystem::path &file, Ended ended, Sounding sounding) override;
    void stop() override;
    void setGain(double decibels) override;

  private:
    QThread thread_;
    SoundOutput *output_ = nullptr;
    std::shared_ptr<DecodedStream> stream_;
};
