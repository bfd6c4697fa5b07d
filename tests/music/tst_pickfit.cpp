// SPDX-License-Identifier: GPL-3.0-or-later
#include "music/PickFit.h"
#include "music/SeamFraming.h"

#include <QTest>

using core::PickFit;
using Code = core::Reason::Code;

Q_DECLARE_METATYPE(PickFit)

// Which fits a pick can be written with.
class TestPickFit : public QObject
{
    Q_OBJECT

  private slots:
    void impossibleFitsSayWhy_data();
    void impossibleFitsSayWhy();
    void aFoundLoopTurnsWithoutACrossfade();
};

void TestPickFit::impossibleFitsSayWhy_data()
{
    QTest::addColumn<PickFit>("fit"); // of a pick of 10 s at 44.1 kHz
    QTest::addColumn<int>("problem"); // -1: none
    QTest::newRow("the whole pick") << PickFit{} << -1;
    QTest::newRow("a loop with its seam") << PickFit{44100, 400000, 0, 0, 2205} << -1;
    QTest::newRow("end before start") << PickFit{5000, 4000} << int(Code::FitEndBeforeStart);
    QTest::newRow("past the pick's end") << PickFit{0, 441001} << int(Code::FitPastEnd);
    QTest::newRow("fades over the part")
        << PickFit{0, 1000, 600, 600} << int(Code::FitFadesTooLong);
    QTest::newRow("crossfade of 60 ms")
        << PickFit{44100, 400000, 0, 0, 2646} << int(Code::FitCrossfadeTooLong);
    QTest::newRow("crossfade with nothing before")
        << PickFit{100, 400000, 0, 0, 200} << int(Code::FitCrossfadeTooLong);
}

void TestPickFit::impossibleFitsSayWhy()
{
    QFETCH(PickFit, fit);
    QFETCH(int, problem);
    const std::optional<core::Reason> found = fit.problem(44100, 441000);
    QCOMPARE(found ? int(found->code) : -1, problem);
}

void TestPickFit::aFoundLoopTurnsWithoutACrossfade()
{
    // Framed into whole MP3 frames and written as a seamless turn, as a crossfaded one is.
    const core::SeamFraming framing(44100, 576);
    const PickFit found = framing.framed(PickFit{4410, 92610, 0, 0, 0, true});
    QVERIFY(framing.turns(found) && (*found.end - found.start) % 1152 == 0);
    QVERIFY(!framing.turns(framing.framed(PickFit{4410, 92610})));
}

QTEST_APPLESS_MAIN(TestPickFit)
#include "tst_pickfit.moc"
