// SPDX-License-Identifier: GPL-3.0-or-later
#include "fit/SeamAligner.h"

#include <QTest>

#include <cstdint>
#include <vector>

using namespace core;

class TestSeamAligner : public QObject
{
    Q_OBJECT

  private slots:
    // A second of noise, then the same second again from a known sample: the end, guessed a
    // little off, is moved to that sample.
    void endMovesToWhereTheStartRepeats_data()
    {
        QTest::addColumn<int>("guessOffMilliseconds");
        QTest::newRow("on it") << 0;
        QTest::newRow("5 ms early") << -5;
        QTest::newRow("13 ms late") << 13;
        QTest::newRow("50 ms early") << -50;
        QTest::newRow("50 ms late") << 50;
    }

    void endMovesToWhereTheStartRepeats()
    {
        QFETCH(int, guessOffMilliseconds);
        constexpr int rate = 44100;
        constexpr std::size_t repeatsAt = 3 * rate + 123;
        std::vector<float> mono(5 * rate);
        std::uint32_t state = 1;
        for (std::size_t i = 0; i < repeatsAt; ++i) {
            state = state * 1664525u + 1013904223u;
            mono[i] = float(double(state >> 8) / double(1u << 24) - 0.5);
        }
        for (std::size_t i = repeatsAt; i < mono.size(); ++i)
            mono[i] = mono[i - repeatsAt + rate];
        const auto guess =
            std::size_t(std::ptrdiff_t(repeatsAt) + guessOffMilliseconds * rate / 1000);
        QCOMPARE(SeamAligner(mono, rate).alignedEnd(rate, guess), repeatsAt);
    }
};

QTEST_APPLESS_MAIN(TestSeamAligner)
#include "tst_seamaligner.moc"
