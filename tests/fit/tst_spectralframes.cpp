// SPDX-License-Identifier: GPL-3.0-or-later
#include "fit/SpectralFrames.h"
#include "music/AudioCodecs.h"

#include <QTest>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

using namespace core;

class TestSpectralFrames : public QObject
{
    Q_OBJECT

  private:
    static constexpr int rate = 22050;

    static FrameFeatures analyse(const std::vector<float> &mono)
    {
        const std::size_t hop = SpectralFrames::onsetHopFor(rate);
        const auto make = AudioCodecs::builtIn().makeRealTransform;
        const auto onset = make(int(4 * hop));
        const auto chroma = make(int(16 * hop));
        return SpectralFrames(rate, *onset, *chroma).analyse(mono);
    }

  private slots:
    void chromaPeaksAtTheNotesPitchClass_data()
    {
        QTest::addColumn<double>("hertz");
        QTest::addColumn<int>("pitchClass");
        QTest::newRow("A4") << 440.0 << 9;
        QTest::newRow("C4") << 261.63 << 0;
        QTest::newRow("F#3") << 185.0 << 6;
        QTest::newRow("B5") << 987.77 << 11;
    }

    void chromaPeaksAtTheNotesPitchClass()
    {
        QFETCH(double, hertz);
        QFETCH(int, pitchClass);
        std::vector<float> tone(2 * rate);
        for (std::size_t i = 0; i < tone.size(); ++i)
            tone[i] = float(0.5 * std::sin(2 * std::numbers::pi * hertz * double(i) / rate));
        const FrameFeatures features = analyse(tone);
        QVERIFY(!features.chroma.empty());
        const Chroma &middle = features.chroma[features.chroma.size() / 2];
        QCOMPARE(int(std::max_element(middle.begin(), middle.end()) - middle.begin()), pitchClass);
    }

    // A click a second: the onset strength is strongest within a frame or two of each click.
    void onsetStrengthPeaksAtEachClick()
    {
        std::vector<float> clicks(4 * rate, 0.0f);
        for (std::size_t second = 1; second < 4; ++second)
            for (std::size_t i = 0; i < 100; ++i)
                clicks[second * rate + i] = (i % 2 == 0 ? 0.8f : -0.8f) * float(100 - i) / 100;
        const FrameFeatures features = analyse(clicks);
        const std::vector<float> &strength = features.onsetStrength;
        for (std::size_t second = 1; second < 4; ++second) {
            const std::size_t clickFrame = second * rate / features.onsetHop;
            const std::size_t from = clickFrame - 4;
            const auto peak = std::max_element(strength.begin() + std::ptrdiff_t(from),
                                               strength.begin() + std::ptrdiff_t(clickFrame + 2));
            QVERIFY(*peak > 0);
            QVERIFY(std::size_t(peak - strength.begin()) + 4 >= clickFrame);
        }
    }
};

QTEST_APPLESS_MAIN(TestSpectralFrames)
#include "tst_spectralframes.moc"
