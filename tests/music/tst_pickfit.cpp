// SPDX-License-Identifier: GPL-3.0-or-later
#include "music/PickFit.h"

#include <QTest>

using core::PickFit;
using core::Reason;

Q_DECLARE_METATYPE(PickFit)
Q_DECLARE_METATYPE(std::optional<Reason::Code>)

namespace {

PickFit fit(std::int64_t start, std::optional<std::int64_t> end, std::int64_t fadeIn = 0,
            std::int64_t fadeOut = 0, std::int64_t crossfade = 0)
{
    return {start, end, fadeIn, fadeOut, crossfade};
}

} // namespace

// Which fits a pick can be written with.
class TestPickFit : public QObject
{
    Q_OBJECT

  private slots:
    void impossibleFitsSayWhy_data();
    void impossibleFitsSayWhy();
    void fitMovesToAnotherRate();
};

void TestPickFit::impossibleFitsSayWhy_data()
{
    QTest::addColumn<PickFit>("fit");
    QTest::addColumn<std::optional<Reason::Code>>("problem");
    using Code = Reason::Code;
    constexpr std::int64_t pick = 441000; // 10 s at 44.1 kHz
    QTest::newRow("the whole pick") << PickFit{} << std::optional<Code>();
    QTest::newRow("a loop with its seam")
        << fit(44100, 400000, 0, 0, 2205) << std::optional<Code>();
    QTest::newRow("to the pick's own end")
        << fit(1000, std::nullopt, 0, 44100) << std::optional<Code>();
    QTest::newRow("end before start") << fit(5000, 4000) << std::optional(Code::FitEndBeforeStart);
    QTest::newRow("empty") << fit(5000, 5000) << std::optional(Code::FitEndBeforeStart);
    QTest::newRow("past the pick's end") << fit(0, pick + 1) << std::optional(Code::FitPastEnd);
    QTest::newRow("starts past the end")
        << fit(pick, std::nullopt) << std::optional(Code::FitPastEnd);
    QTest::newRow("negative fade") << fit(0, 1000, -1) << std::optional(Code::FitNegative);
    QTest::newRow("fades over the part")
        << fit(0, 1000, 600, 600) << std::optional(Code::FitFadesTooLong);
    QTest::newRow("crossfade of 60 ms")
        << fit(44100, 400000, 0, 0, 2646) << std::optional(Code::FitCrossfadeTooLong);
    QTest::newRow("crossfade with nothing before")
        << fit(100, 400000, 0, 0, 200) << std::optional(Code::FitCrossfadeTooLong);
}

void TestPickFit::impossibleFitsSayWhy()
{
    QFETCH(PickFit, fit);
    QFETCH(std::optional<Reason::Code>, problem);
    const std::optional<Reason> found = fit.problem(44100, 441000);
    QCOMPARE(found.has_value(), problem.has_value());
    if (problem)
        QCOMPARE(int(found->code), int(*problem));
}

void TestPickFit::fitMovesToAnotherRate()
{
    const PickFit moved = fit(44100, 88200, 4410, 22050, 2205).at(44100, 48000);
    QCOMPARE(moved, fit(48000, 96000, 4800, 24000, 2400));
    QCOMPARE(fit(0, std::nullopt).at(44100, 22050).end, std::optional<std::int64_t>());
}

QTEST_APPLESS_MAIN(TestPickFit)
#include "tst_pickfit.moc"
