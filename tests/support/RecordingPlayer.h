// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TestFiles.h"
#include "music/AudioCodecs.h"

#include <string>
#include <vector>

// A sound output that sounds nothing: it keeps the bytes of each file given to it to play, and
// the last gain set.
class RecordingPlayer : public core::AudioPlayer
{
  public:
    bool hasOutputDevice() override { return true; }
    void play(const std::filesystem::path &file, Ended, Sounding) override
    {
        played.push_back(testfiles::readBytes(QString::fromStdString(file.string())));
    }
    void stop() override {}
    void setGain(double decibels) override { gain = decibels; }

    std::vector<std::string> played;
    double gain = 0;
};
