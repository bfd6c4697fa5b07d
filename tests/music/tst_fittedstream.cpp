// SPDX-License-Identifier: GPL-3.0-or-later
#include "music/FittedStream.h"

#include <QTest>

#include <vector>

using core::PickFit;

namespace {

// Mono frames whose values are their positions, run through the fit in blocks of three.
std::vector<float> fitted(const PickFit &fit, int frames)
{
    std::vector<float> input(std::size_t(frames), 1.0F);
    for (int i = 0; i < frames; ++i)
        input[std::size_t(i)] = float(i);
    std::vector<float> out;
    core::FittedStream stream(fit, 1, [&](const float *samples, std::size_t count) {
        out.insert(out.end(), samples, samples + count);
        return true;
    });
    for (int at = 0; at < frames; at += 3) {
        if (!stream.add(input.data() + at, std::size_t(std::min(3, frames - at))))
            break;
    }
    return out;
}

} // namespace

// What of decoded music a fit passes on.
class TestFittedStream : public QObject
{
    Q_OBJECT

  private slots:
    void keepsFromStartToEnd();
    void fadesInAndOut();
    void seamTakesTheMusicBeforeTheStart();
};

void TestFittedStream::keepsFromStartToEnd()
{
    const std::vector<float> out = fitted({4, 11}, 20);
    QCOMPARE(out, (std::vector<float>{4, 5, 6, 7, 8, 9, 10}));
    QCOMPARE(fitted({}, 5), (std::vector<float>{0, 1, 2, 3, 4}));
}

void TestFittedStream::fadesInAndOut()
{
    const std::vector<float> out = fitted({10, 20, 2, 4}, 30);
    QCOMPARE(out.size(), std::size_t(10));
    QCOMPARE(out[0], 10 * 0.25F);
    QCOMPARE(out[1], 11 * 0.75F);
    QCOMPARE(out[2], 12.0F);
    QCOMPARE(out[6], 16 * 0.875F);
    QCOMPARE(out[9], 19 * 0.125F);
}

void TestFittedStream::seamTakesTheMusicBeforeTheStart()
{
    // The last two frames lean towards frames 8 and 9, which the loop's start follows.
    const std::vector<float> out = fitted({10, 20, 0, 0, 2}, 30);
    QCOMPARE(out[7], 17.0F);
    QCOMPARE(out[8], 0.75F * 18 + 0.25F * 8);
    QCOMPARE(out[9], 0.25F * 19 + 0.75F * 9);
}

QTEST_APPLESS_MAIN(TestFittedStream)
#include "tst_fittedstream.moc"
