// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace core {

// Integrated loudness and true peak to ITU-R BS.1770-4 / EBU R128.
struct Loudness
{
    // How far a true peak of music may pass its sample peak: the bound taken where the true
    // peak, four times as costly to measure as the rest, is not measured.
    static constexpr double intersampleMargin = 3;

    double lufs = 0;       // integrated loudness; minus infinity for silence or under 0.4 s
    double truePeak = 0;   // dBTP; where not measured, the sample peak plus the margin
    double samplePeak = 0; // dBFS
    bool truePeakMeasured = true;
    // The integrated loudness of what lies below keptBelowHz, where that is not 0: what an
    // encoder that drops everything above it can keep.
    double keptLufs = 0;
    int keptBelowHz = 0;
    // Of what was measured: its length, and the silence at its ends that is left out of a
    // converted pick; seconds.
    double seconds = 0;
    double leadingSilence = 0;
    double trailingSilence = 0;
};

} // namespace core
