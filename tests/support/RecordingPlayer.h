// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TestFiles.h"
#include "music/AudioCodecs.h"
#include "settings/Platform.h"

#include <string>
#include <vector>

// A sound output that sounds nothing: it keeps the bytes of each file it is given to play, as
// they were then, and the gain that play is set to.
class RecordingPlayer : public core::AudioPlayer
{
  public:
    struct Played
    {
        std::string bytes;
        double gain = 0;
    };

    bool hasOutputDevice() override { return true; }
    void play(const std::filesystem::path &file, Ended, Sounding) override
    {
        played.push_back(
            {testfiles::readBytes(QString::fromStdString(core::platform::textFromPath(file)))});
    }
    void stop() override {}
    void setGain(double decibels) override
    {
        if (!played.empty())
            played.back().gain = decibels;
    }

    std::vector<Played> played;
};
