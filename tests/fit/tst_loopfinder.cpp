// SPDX-License-Identifier: GPL-3.0-or-later
#include "MadeSong.h"
#include "fit/BeatAnalyser.h"
#include "fit/LoopFinder.h"
#include "music/AudioCodecs.h"

#include <QTest>

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <stop_token>

using namespace core;

class TestLoopFinder : public QObject
{
    Q_OBJECT

  private:
    static BeatAnalyser::TransformFactory transforms()
    {
        return AudioCodecs::builtIn().makeRealTransform;
    }

  private slots:
    void transformMatchesTheDefinition()
    {
        constexpr int size = 64;
        const auto transform = transforms()(size);
        QVERIFY(transform);
        std::vector<float> in(size);
        for (int i = 0; i < size; ++i)
            in[std::size_t(i)] = float(std::sin(0.3 * i) + 0.5 * std::cos(1.7 * i) + 0.1 * i);
        const std::vector<float> kept = in;
        std::vector<std::complex<float>> out(size / 2 + 1);
        transform->forward(in.data(), out.data());
        QVERIFY(in == kept);
        for (int bin = 0; bin <= size / 2; ++bin) {
            std::complex<double> expected;
            for (int i = 0; i < size; ++i)
                expected += double(in[std::size_t(i)]) *
                            std::polar(1.0, -2 * std::numbers::pi * bin * i / size);
            QVERIFY2(std::abs(expected - std::complex<double>(out[std::size_t(bin)])) < 1e-3,
                     qPrintable(QString::number(bin)));
        }
    }

    void transformRefusesAnOddLength() { QVERIFY(!transforms()(1023)); }

    void loopIsAWholeNumberOfPatterns_data()
    {
        QTest::addColumn<int>("rate");
        QTest::newRow("22.05 kHz") << 22050;
        QTest::newRow("44.1 kHz") << 44100;
        QTest::newRow("48 kHz") << 48000;
    }

    void loopIsAWholeNumberOfPatterns()
    {
        QFETCH(int, rate);
        const madesong::Song song = madesong::song(rate);
        const std::vector<LoopCandidate> loops = LoopFinder(transforms()).find(song.samples, rate);
        QVERIFY(!loops.empty());
        const double patterns =
            double(loops.front().end - loops.front().start) / double(song.patternSamples);
        QVERIFY2(std::round(patterns) >= 1 &&
                     std::abs(patterns - std::round(patterns)) < 0.01 * std::round(patterns),
                 qPrintable(QString::number(patterns)));
    }

    void loopEndLinesUpWithItsStartToTheSample()
    {
        constexpr int rate = 44100;
        const madesong::Song song = madesong::song(rate);
        const std::vector<LoopCandidate> loops = LoopFinder(transforms()).find(song.samples, rate);
        QVERIFY(!loops.empty());
        QCOMPARE((loops.front().end - loops.front().start) % song.patternSamples, std::size_t(0));
    }

    void seamIsNoBiggerAChangeThanTheSongsOwn()
    {
        constexpr int rate = 22050;
        const madesong::Song song = madesong::song(rate);
        const std::optional<BeatAnalysis> analysis =
            BeatAnalyser(transforms()).analyse(song.samples, rate);
        QVERIFY(analysis);
        const std::vector<LoopCandidate> loops = LoopFinder(transforms()).find(song.samples, rate);
        QVERIFY(!loops.empty());

        std::vector<double> consecutive;
        for (std::size_t span = 0; span + 1 < analysis->spans(); ++span)
            consecutive.push_back(
                chromaDistance(analysis->chroma[span], analysis->chroma[span + 1]));
        std::sort(consecutive.begin(), consecutive.end());
        const double median = consecutive[consecutive.size() / 2];
        const std::size_t beforeEnd = analysis->spanAt(loops.front().end - 1);
        const std::size_t afterStart = analysis->spanAt(loops.front().start);
        const double seam =
            chromaDistance(analysis->chroma[beforeEnd], analysis->chroma[afterStart]);
        QVERIFY2(seam <= median, qPrintable(QStringLiteral("%1 > %2").arg(seam).arg(median)));
    }

    void loopsAreBestFirstAtRisingZeroCrossings()
    {
        constexpr int rate = 22050;
        const madesong::Song song = madesong::song(rate, 60);
        const std::vector<LoopCandidate> loops = LoopFinder(transforms()).find(song.samples, rate);
        QVERIFY(loops.size() >= 2 && loops.size() <= LoopFinder::mostCandidates);
        for (std::size_t i = 0; i < loops.size(); ++i) {
            const LoopCandidate &loop = loops[i];
            QVERIFY(i == 0 || loop.score <= loops[i - 1].score);
            QVERIFY(loop.end - loop.start >= song.samples.size() / 3);
            QVERIFY(song.samples[loop.start - 1] < 0 && song.samples[loop.start] >= 0);
            QVERIFY(song.samples[loop.end - 1] < 0 && song.samples[loop.end] >= 0);
            QVERIFY(loop.crossfade > 0 && loop.crossfade <= std::size_t(rate / 20));
        }
    }

    void musicThatNeverRepeatsHasNoLoop_data()
    {
        constexpr int rate = 22050;
        QTest::addColumn<std::vector<float>>("samples");
        QTest::newRow("silence") << std::vector<float>(60 * rate, 0.0f);
        std::vector<float> swellingNoise = madesong::noise(rate, 60);
        for (std::size_t i = 0; i < swellingNoise.size(); ++i)
            swellingNoise[i] *= float(i) / float(swellingNoise.size());
        QTest::newRow("noise swelling") << swellingNoise;
        QTest::newRow("chords climbing") << madesong::climbingSong(rate, 60);
    }

    void musicThatNeverRepeatsHasNoLoop()
    {
        QFETCH(std::vector<float>, samples);
        QVERIFY(LoopFinder(transforms()).find(samples, 22050).empty());
    }

    // No beat to go by: the loop is found by the sound and the waveform alone.
    void aSteadyPadLoopsWhereItRepeats_data()
    {
        QTest::addColumn<int>("rate");
        QTest::newRow("22.05 kHz") << 22050;
        QTest::newRow("44.1 kHz") << 44100;
    }

    void aSteadyPadLoopsWhereItRepeats()
    {
        QFETCH(int, rate);
        const std::vector<float> pad = madesong::drone(rate, 60);
        const std::vector<LoopCandidate> loops = LoopFinder(transforms()).find(pad, rate);
        QVERIFY(!loops.empty());
        const LoopCandidate &loop = loops.front();
        const auto second = std::size_t(rate);
        const auto alike = [&](std::size_t a, std::size_t b) {
            double product = 0;
            double energyA = 0;
            double energyB = 0;
            for (std::size_t i = 0; i < second && b + i < pad.size(); ++i) {
                product += double(pad[a + i]) * pad[b + i];
                energyA += double(pad[a + i]) * pad[a + i];
                energyB += double(pad[b + i]) * pad[b + i];
            }
            return product / std::sqrt(energyA * energyB);
        };
        const double swells = double(loop.end - loop.start) / (10.0 * rate);
        QVERIFY2(std::abs(swells - std::round(swells)) < 0.05, qPrintable(QString::number(swells)));
        if (loop.start >= second)
            QVERIFY(alike(loop.start - second, loop.end - second) > 0.9);
        if (loop.end + second <= pad.size())
            QVERIFY(alike(loop.start, loop.end) > 0.9);
    }

    // A pad of one swell, too short for a loop inside it, loops end to start; its join is
    // crossfaded like any other, so that the written turn runs on into its start.
    void aShortPieceLoopsEndToStart()
    {
        constexpr int rate = 22050;
        // One swell of ten seconds, from its height to its height.
        const std::vector<float> drone = madesong::drone(rate, 12.5);
        const std::vector<float> pad(drone.begin() + std::ptrdiff_t(2.5 * rate), drone.end());
        const std::vector<LoopCandidate> loops = LoopFinder(transforms()).find(pad, rate);
        QVERIFY(!loops.empty());
        QVERIFY(loops.front().end - loops.front().start > pad.size() * 95 / 100);
        QVERIFY(loops.front().crossfade > 0 && loops.front().crossfade <= loops.front().start);
    }

    void aStoppedSearchFindsNothing()
    {
        constexpr int rate = 22050;
        const madesong::Song song = madesong::song(rate);
        std::stop_source stop;
        stop.request_stop();
        QVERIFY(LoopFinder(transforms()).find(song.samples, rate, stop.get_token()).empty());
    }
};

QTEST_APPLESS_MAIN(TestLoopFinder)
#include "tst_loopfinder.moc"
