// SPDX-License-Identifier: GPL-3.0-or-later
#include "fit/BeatPairSearch.h"

#include <QTest>

#include <cstdint>
#include <vector>

using namespace core;

class TestBeatPairSearch : public QObject
{
    Q_OBJECT

  private:
    static constexpr std::size_t beatSamples = 1000;

    // Beats a fixed length apart, each span's chroma a single pitch class and all as loud.
    static BeatAnalysis analysisOf(const std::vector<int> &pitchClasses)
    {
        BeatAnalysis analysis;
        for (std::size_t span = 0; span <= pitchClasses.size(); ++span)
            analysis.beats.push_back(span * beatSamples);
        for (int pitch : pitchClasses) {
            Chroma chroma{};
            chroma[std::size_t(pitch)] = 1;
            analysis.chroma.push_back(chroma);
            analysis.loudness.push_back(-20);
        }
        analysis.beatSamples = beatSamples;
        return analysis;
    }

  private slots:
    // Random chords, played once or twice: pairs only where they repeat, a playing apart.
    void pairsOnlyWhereTheMusicRepeats_data()
    {
        QTest::addColumn<int>("playings");
        QTest::newRow("once") << 1;
        QTest::newRow("twice") << 2;
    }

    void pairsOnlyWhereTheMusicRepeats()
    {
        QFETCH(int, playings);
        constexpr std::size_t playing = 200;
        std::vector<int> pitches;
        std::uint32_t state = 7;
        for (std::size_t beat = 0; beat < playing; ++beat) {
            state = state * 1664525u + 1013904223u;
            pitches.push_back(int((state >> 16) % 12));
        }
        for (int again = 1; again < playings; ++again)
            pitches.insert(pitches.end(), pitches.begin(), pitches.begin() + playing);
        const std::vector<BeatPair> pairs =
            BeatPairSearch(analysisOf(pitches), pitches.size() * beatSamples).goodPairs();
        QCOMPARE(pairs.empty(), playings == 1);
        for (const BeatPair &pair : pairs)
            QCOMPARE(pair.end - pair.start, playing);
    }
};

QTEST_APPLESS_MAIN(TestBeatPairSearch)
#include "tst_beatpairsearch.moc"
