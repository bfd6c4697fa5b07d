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

    // An intro of distinct beats, a pattern of sixteen repeated, an outro of distinct beats.
    static std::vector<int> patternSong(int repeats)
    {
        std::vector<int> pitches{6, 6, 6, 6};
        for (int repeat = 0; repeat < repeats; ++repeat)
            for (int beat = 0; beat < 16; ++beat)
                pitches.push_back(beat * 5 % 12);
        for (int beat = 0; beat < 20; ++beat)
            pitches.push_back(beat % 2 == 0 ? 1 : 3);
        return pitches;
    }

  private slots:
    void pairsAreWholePatternsApart()
    {
        const std::vector<int> pitches = patternSong(6);
        const BeatAnalysis analysis = analysisOf(pitches);
        const std::vector<BeatPair> pairs =
            BeatPairSearch(analysis, pitches.size() * beatSamples).goodPairs();
        QVERIFY(!pairs.empty());
        for (const BeatPair &pair : pairs)
            QCOMPARE((pair.end - pair.start) % 16, std::size_t(0));
    }

    void noPairIsUnderAThirdOfThePiece()
    {
        const std::vector<int> pitches = patternSong(6);
        const std::size_t total = pitches.size() * beatSamples;
        for (const BeatPair &pair : BeatPairSearch(analysisOf(pitches), total).goodPairs())
            QVERIFY(analysisOf(pitches).beats[pair.end] - analysisOf(pitches).beats[pair.start] >=
                    total / 3);
    }

    void musicThatNeverRepeatsHasNoPair()
    {
        std::vector<int> pitches;
        std::uint32_t state = 7;
        for (int beat = 0; beat < 200; ++beat) {
            state = state * 1664525u + 1013904223u;
            pitches.push_back(int((state >> 16) % 12));
        }
        QVERIFY(
            BeatPairSearch(analysisOf(pitches), pitches.size() * beatSamples).goodPairs().empty());
    }
};

QTEST_APPLESS_MAIN(TestBeatPairSearch)
#include "tst_beatpairsearch.moc"
