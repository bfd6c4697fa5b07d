// SPDX-License-Identifier: GPL-3.0-or-later
#include "fit/BeatTracker.h"

#include <QTest>

#include <algorithm>
#include <vector>

using namespace core;

class TestBeatTracker : public QObject
{
    Q_OBJECT

  private:
    // Onsets every period frames from the first, on a faint floor.
    static std::vector<float> pulses(std::size_t frames, std::size_t first, std::size_t period)
    {
        std::vector<float> strength(frames, 0.05f);
        for (std::size_t at = first; at < frames; at += period)
            strength[at] = 1;
        return strength;
    }

  private slots:
    void beatsLandOnTheOnsets_data()
    {
        QTest::addColumn<int>("period");
        QTest::addColumn<int>("first");
        QTest::newRow("120 a minute") << 43 << 10;
        QTest::newRow("90 a minute") << 57 << 0;
        QTest::newRow("160 a minute") << 32 << 31;
    }

    void beatsLandOnTheOnsets()
    {
        QFETCH(int, period);
        QFETCH(int, first);
        const std::vector<float> strength = pulses(2000, std::size_t(first), std::size_t(period));
        const std::vector<std::size_t> beats = BeatTracker(period).track(strength);
        QCOMPARE(beats.size(), std::size_t((2000 - first + period - 1) / period));
        for (std::size_t i = 0; i < beats.size(); ++i)
            QCOMPARE(beats[i], std::size_t(first) + i * std::size_t(period));
    }

    // A bar whose drummer rests: the beat goes on through it at the period.
    void aMissingOnsetIsFilledAtThePeriod()
    {
        std::vector<float> strength = pulses(2000, 0, 40);
        strength[800] = 0.05f;
        const std::vector<std::size_t> beats = BeatTracker(40).track(strength);
        QVERIFY(std::find(beats.begin(), beats.end(), std::size_t(800)) != beats.end());
    }

    // Syncopated onsets between the beats do not pull the beats off the period.
    void offbeatOnsetsDoNotMoveTheBeat()
    {
        std::vector<float> strength = pulses(2000, 0, 40);
        for (std::size_t at = 25; at < strength.size(); at += 160)
            strength[at] = 0.6f;
        const std::vector<std::size_t> beats = BeatTracker(40).track(strength);
        for (std::size_t beat : beats)
            QCOMPARE(beat % 40, std::size_t(0));
    }
};

QTEST_APPLESS_MAIN(TestBeatTracker)
#include "tst_beattracker.moc"
