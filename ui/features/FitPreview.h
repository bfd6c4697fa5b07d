// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QTemporaryDir>

#include <cstddef>
#include <vector>

// A part of a decoded pick written as a temporary WAV file for the player to hear: the fit's
// part with its fades, or the seam the game will loop. The files go with this object.
class FitPreview
{
  public:
    struct Part
    {
        std::size_t from = 0; // frames
        std::size_t to = 0;
        std::size_t fadeIn = 0;
        std::size_t fadeOut = 0;
    };

    // Interleaved samples at the rate given; the parts are written one after another. The
    // file's path, or empty where it could not be written.
    QString write(const std::vector<float> &samples, int sampleRate, int channels,
                  const std::vector<Part> &parts);

  private:
    QTemporaryDir folder_;
    int written_ = 0;
};
