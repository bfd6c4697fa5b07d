// SPDX-License-Identifier: GPL-3.0-or-later
#include "AudioFixtures.h"
#include "LoudnessFixtures.h"
#include "loudness/MatchedConversion.h"
#include "run/ConversionPool.h"

#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <memory>

using loudnessfixtures::Signal;

namespace {

constexpr int rate = 44100;
// What the encoder's padding and the decoder leave of a length.
constexpr double lengthTolerance = 0.06;

// Silence, a tone, silence; a lone full-scale sample at clickAt where that is not negative.
Signal silenceToneSilence(double leading, double tone, double clickAt)
{
    const Signal sound = loudnessfixtures::tone(-20);
    return [=](double t) {
        if (clickAt >= 0 && std::abs(t - clickAt) < 0.5 / rate)
            return std::array<float, 2>{1.0F, 1.0F};
        if (t < leading || t >= leading + tone)
            return std::array<float, 2>{0.0F, 0.0F};
        return sound(t);
    };
}

} // namespace

// What of a pick Change writes: without the silence at its ends, or as its fit says, with the
// loudness measured on that.
class TestPickRendering : public QObject
{
    Q_OBJECT

  private slots:
    void init();
    void silenceAtTheEndsIsLeftOut_data();
    void silenceAtTheEndsIsLeftOut();
    void unmatchedConversionLeavesSilenceOutToo();
    void fitIsWrittenAsMade_data();
    void fitIsWrittenAsMade();
    void fittedMp3IsConverted();

  private:
    std::filesystem::path file(const char *name) const
    {
        return std::filesystem::path(folder_->path().toStdString()) / name;
    }
    core::MatchedConversion::Outcome convert(const std::filesystem::path &pick,
                                             const core::PickFit &fit = {})
    {
        const std::filesystem::path reference = file("game.wav");
        loudnessfixtures::writeWav(reference, rate, 2, 3, loudnessfixtures::tone(-18));
        core::LoudnessReference::Files files;
        files[0] = reference;
        core::LoudnessReference references(core::AudioCodecs::builtIn(), cache_, files);
        core::MatchedConversion matching(core::AudioCodecs::builtIn(), cache_, references);
        return matching.convert(0, pick, settings_, file("out.mp3"), {}, {}, fit);
    }
    double writtenSeconds() const
    {
        return audiofixtures::listen(file("out.mp3"), settings_.sampleRate, settings_.channels)
            .seconds;
    }

    std::unique_ptr<QTemporaryDir> folder_;
    core::LoudnessCache cache_;
    const core::Mp3Settings settings_{rate, 2, 192};
};

void TestPickRendering::init()
{
    folder_ = std::make_unique<QTemporaryDir>();
}

void TestPickRendering::silenceAtTheEndsIsLeftOut_data()
{
    QTest::addColumn<double>("leading");
    QTest::addColumn<double>("trailing");
    QTest::addColumn<double>("clickAt"); // negative: no click
    QTest::newRow("silence at both ends") << 2.0 << 3.0 << -1.0;
    QTest::newRow("a click in the silence at the start") << 2.0 << 3.0 << 0.8;
    QTest::newRow("a click in the silence at the end") << 2.0 << 3.0 << 8.3;
    QTest::newRow("no silence") << 0.0 << 0.0 << -1.0;
}

void TestPickRendering::silenceAtTheEndsIsLeftOut()
{
    QFETCH(double, leading);
    QFETCH(double, trailing);
    QFETCH(double, clickAt);
    constexpr double tone = 4;
    const std::filesystem::path pick = file("pick.wav");
    loudnessfixtures::writeWav(pick, rate, 2, leading + tone + trailing,
                               silenceToneSilence(leading, tone, clickAt));

    const core::MatchedConversion::Outcome outcome = convert(pick);

    QVERIFY(!outcome.failure);
    QVERIFY(outcome.plan.pick);
    QVERIFY(std::abs(outcome.plan.pick->leadingSilence - leading) < 0.06);
    QVERIFY(std::abs(outcome.plan.pick->trailingSilence - trailing) < 0.06);
    const double written = writtenSeconds();
    QVERIFY2(std::abs(written - tone) < lengthTolerance, qPrintable(QString::number(written)));
}

void TestPickRendering::unmatchedConversionLeavesSilenceOutToo()
{
    const std::filesystem::path pick = file("pick.wav");
    loudnessfixtures::writeWav(pick, rate, 2, 9, silenceToneSilence(2, 4, -1));
    core::ConversionPool pool(&core::AudioCodecs::builtIn(), {{0, pick, settings_}},
                              folder_->path().toStdString());

    const core::ConversionPool::Result result = pool.take(0);

    QVERIFY(!result.failure);
    const double written =
        audiofixtures::listen(result.staged, settings_.sampleRate, settings_.channels).seconds;
    std::filesystem::remove(result.staged);
    QVERIFY2(std::abs(written - 4) < lengthTolerance, qPrintable(QString::number(written)));
}

void TestPickRendering::fitIsWrittenAsMade_data()
{
    QTest::addColumn<double>("start");
    QTest::addColumn<double>("end");
    QTest::addColumn<double>("fade");
    // The player's ends stand: silence inside them is kept.
    QTest::newRow("into the silence at both ends") << 0.5 << 8.0 << 0.0;
    QTest::newRow("inside the tone, faded") << 3.0 << 5.0 << 0.5;
}

void TestPickRendering::fitIsWrittenAsMade()
{
    QFETCH(double, start);
    QFETCH(double, end);
    QFETCH(double, fade);
    const std::filesystem::path pick = file("pick.wav");
    loudnessfixtures::writeWav(pick, rate, 2, 9, silenceToneSilence(2, 4, -1));
    core::PickFit fit;
    fit.start = std::llround(start * rate);
    fit.end = std::llround(end * rate);
    fit.fadeIn = fit.fadeOut = std::llround(fade * rate);

    const core::MatchedConversion::Outcome outcome = convert(pick, fit);

    QVERIFY(!outcome.failure);
    // Measured as written: the fitted part alone, none of it left out.
    QVERIFY(std::abs(outcome.plan.pick->seconds - (end - start)) < 0.001);
    QCOMPARE(outcome.plan.pick->leadingSilence, 0.0);
    QCOMPARE(outcome.plan.pick->trailingSilence, 0.0);
    const double written = writtenSeconds();
    QVERIFY2(std::abs(written - (end - start)) < lengthTolerance,
             qPrintable(QString::number(written)));
}

void TestPickRendering::fittedMp3IsConverted()
{
    const std::filesystem::path pick = audiofixtures::path("tone.mp3").toStdString();
    core::PickFit fit;
    fit.start = rate / 2;
    fit.end = rate;

    const core::MatchedConversion::Outcome outcome = convert(pick, fit);

    QVERIFY(!outcome.failure);
    QVERIFY(outcome.plan.mp3Steps == 0);
    const double written = writtenSeconds();
    QVERIFY2(std::abs(written - 0.5) < lengthTolerance, qPrintable(QString::number(written)));
}

QTEST_GUILESS_MAIN(TestPickRendering)
#include "tst_pickrendering.moc"
