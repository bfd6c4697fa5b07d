// SPDX-License-Identifier: GPL-3.0-or-later
#include "fit/BeatAnalyser.h"

#include "fit/BeatTracker.h"
#include "fit/SpectralFrames.h"
#include "fit/TempoEstimator.h"
#include "music/AudioCodecs.h"

#include <algorithm>
#include <cmath>

namespace core {

namespace {

// The analysis needs nothing above 10 kHz: higher rates are averaged down to about this.
constexpr int analysisRate = 22050;
// A beat chain needs this many beats to say anything about a piece's repeats.
constexpr std::size_t fewestBeats = 8;
constexpr double silentDecibels = -120;

Chroma normalised(Chroma chroma)
{
    double norm = 0;
    for (float value : chroma)
        norm += double(value) * value;
    norm = std::sqrt(norm);
    if (norm > 0)
        for (float &value : chroma)
            value = float(value / norm);
    return chroma;
}

} // namespace

BeatAnalyser::BeatAnalyser(TransformFactory makeTransform) : makeTransform_(makeTransform) {}

std::vector<float> BeatAnalyser::decimated(std::span<const float> mono, std::size_t factor)
{
    std::vector<float> reduced(mono.size() / factor);
    for (std::size_t i = 0; i < reduced.size(); ++i) {
        float sum = 0;
        for (std::size_t j = 0; j < factor; ++j)
            sum += mono[i * factor + j];
        reduced[i] = sum / float(factor);
    }
    return reduced;
}

// A chroma frame counts for a beat where its middle lies in the beat.
std::vector<Chroma> BeatAnalyser::beatChroma(const std::vector<Chroma> &frames, std::size_t hop,
                                             const std::vector<std::size_t> &beats)
{
    std::vector<Chroma> chroma(beats.size() - 1, Chroma{});
    const std::size_t middle = 2 * hop;
    for (std::size_t frame = 0; frame < frames.size(); ++frame) {
        const std::size_t at = frame * hop + middle;
        if (at < beats.front() || at >= beats.back())
            continue;
        const auto span =
            std::size_t(std::upper_bound(beats.begin(), beats.end(), at) - beats.begin() - 1);
        for (std::size_t pitch = 0; pitch < 12; ++pitch)
            chroma[span][pitch] += frames[frame][pitch];
    }
    std::transform(chroma.begin(), chroma.end(), chroma.begin(), normalised);
    return chroma;
}

std::vector<double> BeatAnalyser::beatLoudness(std::span<const float> mono,
                                               const std::vector<std::size_t> &beats)
{
    std::vector<double> loudness;
    for (std::size_t span = 0; span + 1 < beats.size(); ++span) {
        double sum = 0;
        const std::size_t from = beats[span];
        const std::size_t to = std::min(beats[span + 1], mono.size());
        for (std::size_t i = from; i < to; ++i)
            sum += double(mono[i]) * mono[i];
        const double meanSquare = to > from ? sum / double(to - from) : 0;
        loudness.push_back(meanSquare > 0 ? std::max(silentDecibels, 10 * std::log10(meanSquare))
                                          : silentDecibels);
    }
    return loudness;
}

std::optional<BeatAnalysis> BeatAnalyser::analyse(std::span<const float> mono, int sampleRate) const
{
    const std::optional<PieceFrames> piece = frames(mono, sampleRate);
    return piece ? beats(*piece, mono) : std::nullopt;
}

std::optional<PieceFrames> BeatAnalyser::frames(std::span<const float> mono, int sampleRate) const
{
    if (sampleRate <= 0)
        return std::nullopt;
    PieceFrames piece;
    piece.factor = std::size_t(std::max(1, sampleRate / analysisRate));
    piece.reduced = piece.factor > 1 ? decimated(mono, piece.factor)
                                     : std::vector<float>(mono.begin(), mono.end());
    piece.rate = sampleRate / int(piece.factor);

    const std::size_t hop = SpectralFrames::onsetHopFor(piece.rate);
    const std::unique_ptr<RealTransform> onsetTransform = makeTransform_(int(4 * hop));
    const std::unique_ptr<RealTransform> chromaTransform = makeTransform_(int(16 * hop));
    if (!onsetTransform || !chromaTransform)
        return std::nullopt;
    piece.features =
        SpectralFrames(piece.rate, *onsetTransform, *chromaTransform).analyse(piece.reduced);
    return piece;
}

std::optional<BeatAnalysis> BeatAnalyser::beats(const PieceFrames &piece,
                                                std::span<const float> mono)
{
    const FrameFeatures &features = piece.features;
    const std::size_t hop = features.onsetHop;
    const double framesPerSecond = double(piece.rate) / double(hop);
    const std::optional<double> period =
        TempoEstimator(framesPerSecond).beatPeriod(features.onsetStrength);
    if (!period)
        return std::nullopt;
    const std::vector<std::size_t> beatFrames = BeatTracker(*period).track(features.onsetStrength);
    if (beatFrames.size() < fewestBeats)
        return std::nullopt;

    BeatAnalysis analysis;
    std::vector<std::size_t> reducedBeats;
    for (std::size_t frame : beatFrames) {
        // A frame's onset is heard about its middle.
        reducedBeats.push_back(frame * hop + 2 * hop);
        analysis.beats.push_back(reducedBeats.back() * piece.factor);
    }
    analysis.chroma = beatChroma(features.chroma, features.chromaHop, reducedBeats);
    analysis.loudness = beatLoudness(mono, analysis.beats);
    analysis.beatSamples = *period * double(hop * piece.factor);
    return analysis;
}

} // namespace core
