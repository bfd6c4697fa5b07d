// SPDX-License-Identifier: GPL-3.0-or-later
#include "fit/TempoEstimator.h"

#include <QTest>

#include <cmath>
#include <vector>

using namespace core;

class TestTempoEstimator : public QObject
{
    Q_OBJECT

  private:
    static constexpr double framesPerSecond = 86.13;

    // A minute of onsets at the tempo, each smeared over a few frames, on a slow swell.
    static std::vector<float> clickTrack(double beatsPerMinute)
    {
        std::vector<float> strength(std::size_t(60 * framesPerSecond));
        const double period = 60 * framesPerSecond / beatsPerMinute;
        for (std::size_t frame = 0; frame < strength.size(); ++frame) {
            const double phase = std::fmod(double(frame), period);
            const double swell = 0.5 + 0.4 * std::sin(double(frame) / 300);
            strength[frame] = float(swell + std::exp(-phase / 1.5));
        }
        return strength;
    }

  private slots:
    void periodIsTheClicksOwn_data()
    {
        QTest::addColumn<double>("beatsPerMinute");
        QTest::newRow("72") << 72.0;
        QTest::newRow("100") << 100.0;
        QTest::newRow("123.5") << 123.5;
        QTest::newRow("174") << 174.0;
    }

    void periodIsTheClicksOwn()
    {
        QFETCH(double, beatsPerMinute);
        const std::optional<double> period =
            TempoEstimator(framesPerSecond).beatPeriod(clickTrack(beatsPerMinute));
        QVERIFY(period);
        const double expected = 60 * framesPerSecond / beatsPerMinute;
        QVERIFY2(std::abs(*period - expected) < 0.02 * expected,
                 qPrintable(QStringLiteral("%1 for %2").arg(*period).arg(expected)));
    }

    void aSwellAloneHasNoPulse()
    {
        std::vector<float> strength(std::size_t(60 * framesPerSecond));
        for (std::size_t frame = 0; frame < strength.size(); ++frame)
            strength[frame] = float(1 + 0.5 * std::sin(double(frame) / 200));
        QVERIFY(!TempoEstimator(framesPerSecond).beatPeriod(strength));
    }
};

QTEST_APPLESS_MAIN(TestTempoEstimator)
#include "tst_tempoestimator.moc"
