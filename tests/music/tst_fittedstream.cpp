// SPDX-License-Identifier: GPL-3.0-or-later
#include "music/FittedStream.h"

#include <QTest>

using core::PickFit;
using Frames = QList<float>;

Q_DECLARE_METATYPE(PickFit)

// What of decoded music a fit passes on.
class TestFittedStream : public QObject
{
    Q_OBJECT

  private slots:
    void passesOnWhatTheFitKeeps_data();
    void passesOnWhatTheFitKeeps();
};

void TestFittedStream::passesOnWhatTheFitKeeps_data()
{
    // Mono frames whose values are their positions, 0 to 19.
    QTest::addColumn<PickFit>("fit");
    QTest::addColumn<Frames>("passedOn");
    QTest::newRow("cut") << PickFit{4, 9} << Frames{4, 5, 6, 7, 8};
    QTest::newRow("faded in and out")
        << PickFit{10, 16, 2, 2} << Frames{10 * 0.25F, 11 * 0.75F, 12, 13, 14 * 0.75F, 15 * 0.25F};
    // The last frames lean towards those before the start, which the loop's start follows.
    QTest::newRow("seam") << PickFit{10, 14, 0, 0, 2}
                          << Frames{10, 11, 0.75F * 12 + 0.25F * 8, 0.25F * 13 + 0.75F * 9};
}

void TestFittedStream::passesOnWhatTheFitKeeps()
{
    QFETCH(PickFit, fit);
    QFETCH(Frames, passedOn);
    Frames input(20);
    for (qsizetype i = 0; i < input.size(); ++i)
        input[i] = float(i);
    Frames out;
    core::FittedStream stream(fit, 1, [&](const float *samples, std::size_t count) {
        out.append(Frames(samples, samples + count));
        return true;
    });
    // In blocks of three, as a decoder hands them over, until the stream wants no more.
    bool more = true;
    for (qsizetype at = 0; more && at < input.size(); at += 3)
        more = stream.add(&input[at], std::size_t(std::min<qsizetype>(3, input.size() - at)));
    QCOMPARE(out, passedOn);
}

QTEST_APPLESS_MAIN(TestFittedStream)
#include "tst_fittedstream.moc"
