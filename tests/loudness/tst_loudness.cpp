// SPDX-License-Identifier: GPL-3.0-or-later
#include "AudioFixtures.h"
#include "LoudnessFixtures.h"
#include "Mp3Frames.h"
#include "SlotTextsForTests.h"
#include "TestFiles.h"
#include "audio/Mp3Gain.h"
#include "loudness/GatedLoudness.h"
#include "loudness/MatchedConversion.h"
#include "run/ReplacementRun.h"

#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <limits>

using core::GainReason;
using core::Loudness;
using loudnessfixtures::Signal;

Q_DECLARE_METATYPE(GainReason)
Q_DECLARE_METATYPE(Signal)
Q_DECLARE_METATYPE(core::Mp3Settings)

namespace {

constexpr double seconds = 3;
constexpr int rate = 44100;

} // namespace

// Picks measured and made as loud as the game's music of their slot.
class TestLoudness : public QObject
{
    Q_OBJECT

  private slots:
    void init();
    void convertedToneLandsOnTheReference_data();
    void convertedToneLandsOnTheReference();
    void encodersLossIsMadeUp();
    void peakLimitHolds_data();
    void peakLimitHolds();
    void peakLimitedResultIsTold_data();
    void peakLimitedResultIsTold();
    void slotWithoutGameFileTakesTheMedian();
    void noUsableFigureMeansNoGain_data();
    void noUsableFigureMeansNoGain();
    void matchingOffIsByteIdentical_data();
    void matchingOffIsByteIdentical();
    void mp3PickMovesInWholeSteps_data();
    void mp3PickMovesInWholeSteps();
    void mp3HeldBackIsWhatTheResultMisses();
    void hugeMp3PickIsNotHeldInMemory();
    void mp3PlanTakesTheStepsTheStreamTakes();
    void brightSignalsLandOnTheReference_data();
    void brightSignalsLandOnTheReference();
    void soundAboveTheFormatIsNotChased();
    void resultTheFormatCutShortIsTold();
    void ownMeterAgreesWithTheLibrary_data();
    void ownMeterAgreesWithTheLibrary();
    void fitThePickCannotTakeIsNotMeasured();

  private:
    // Runs the pick into slot 0 of a game folder whose music there is the signal given.
    std::filesystem::path runInto(const std::filesystem::path &pick, const Signal &gameMusic,
                                  core::LoudnessOptions options)
    {
        const core::SlotTable table;
        const QString gameFolder = folder_->path() + "/game";
        QDir().mkpath(gameFolder);
        const std::filesystem::path target =
            gameFolder.toStdString() + "/" + table.targetFileName(0);
        loudnessfixtures::writeWav(target, rate, 2, seconds, gameMusic);
        core::SlotTexts texts = runtexts::placeholders(2);
        texts[0] = pick.string();
        lastRun_ = core::ReplacementRun(table, core::FileSystem::native(), {},
                                        &core::AudioCodecs::builtIn(), options)
                       .run(texts, runtexts::labels(), gameFolder.toStdString() + "/", 2);
        return target;
    }
    std::filesystem::path file(const char *name) const
    {
        return std::filesystem::path(folder_->path().toStdString()) / name;
    }
    std::filesystem::path write(const char *name, int channels, const Signal &signal,
                                double length = seconds) const
    {
        loudnessfixtures::writeWav(file(name), rate, channels, length, signal);
        return file(name);
    }
    core::Mp3Settings settingsFor(const std::filesystem::path &reference) const
    {
        const auto probed = core::AudioCodecs::builtIn().makeDecoder()->probe(reference);
        return core::Mp3Settings::forReference(std::get<core::AudioInfo>(probed));
    }
    // Converts the pick for slot 0, whose game music is the reference.
    core::MatchedConversion::Outcome convert(const std::filesystem::path &pick,
                                             const std::filesystem::path &reference,
                                             const std::filesystem::path &output)
    {
        return convert(pick, reference, output, settingsFor(reference));
    }
    core::MatchedConversion::Outcome convert(const std::filesystem::path &pick,
                                             const std::filesystem::path &reference,
                                             const std::filesystem::path &output,
                                             const core::Mp3Settings &settings)
    {
        core::LoudnessReference::Files files;
        files[0] = reference;
        core::LoudnessReference references(core::AudioCodecs::builtIn(), *cache_, files);
        core::MatchedConversion matching(core::AudioCodecs::builtIn(), *cache_, references);
        return matching.convert(0, pick, settings, output);
    }

    std::unique_ptr<QTemporaryDir> folder_;
    std::unique_ptr<core::LoudnessCache> cache_;
    core::RunResult lastRun_;
};

void TestLoudness::init()
{
    folder_ = std::make_unique<QTemporaryDir>();
    cache_ = std::make_unique<core::LoudnessCache>();
}

void TestLoudness::convertedToneLandsOnTheReference_data()
{
    QTest::addColumn<int>("pickChannels");
    QTest::addColumn<bool>("pickUncorrelated");
    QTest::addColumn<double>("pickLevel");
    QTest::addColumn<int>("referenceChannels");
    QTest::addColumn<double>("referenceLevel");
    QTest::newRow("loud pick, quiet stereo game music") << 2 << false << -3.0 << 2 << -20.0;
    QTest::newRow("quiet pick, louder mono game music") << 1 << false << -32.0 << 1 << -12.0;
    QTest::newRow("uncorrelated stereo into a mono slot") << 2 << true << -6.0 << 1 << -18.0;
}

void TestLoudness::convertedToneLandsOnTheReference()
{
    QFETCH(int, pickChannels);
    QFETCH(bool, pickUncorrelated);
    QFETCH(double, pickLevel);
    QFETCH(int, referenceChannels);
    QFETCH(double, referenceLevel);
    const auto pick = write("pick.wav", pickChannels,
                            pickUncorrelated ? loudnessfixtures::uncorrelated(pickLevel)
                                             : loudnessfixtures::tone(pickLevel, 440));
    const auto reference =
        write("game.wav", referenceChannels, loudnessfixtures::tone(referenceLevel, 660));
    const auto outcome = convert(pick, reference, file("out.mp3"));
    QVERIFY(!outcome.failure);
    QCOMPARE(outcome.plan.reason, GainReason::Matched);
    const double wanted = loudnessfixtures::measure(reference, rate, referenceChannels).lufs;
    const double got = loudnessfixtures::measure(file("out.mp3"), rate, referenceChannels).lufs;
    QVERIFY2(std::abs(got - wanted) <= 0.5, qPrintable(QString("%1 for %2").arg(got).arg(wanted)));
}

void TestLoudness::encodersLossIsMadeUp()
{
    // The game's 22.05 kHz mono file: a low bit rate, where noise loses loudness in encoding.
    const std::filesystem::path reference = audiofixtures::path("game-22k-mono.mp3").toStdString();
    const auto pick = write("pick.wav", 2, loudnessfixtures::noise(-20));
    const auto outcome = convert(pick, reference, file("out.mp3"));
    QVERIFY(!outcome.failure);
    QVERIFY(outcome.plan.madeAgain);
    const double wanted = loudnessfixtures::measure(reference, 22050, 1).lufs;
    const double got = loudnessfixtures::measure(file("out.mp3"), 22050, 1).lufs;
    QVERIFY2(std::abs(got - wanted) <= core::LoudnessGain::encodingTolerance,
             qPrintable(QString("%1 for %2").arg(got).arg(wanted)));
}

void TestLoudness::peakLimitHolds_data()
{
    QTest::addColumn<double>("referencePeak");
    QTest::addColumn<double>("ceiling");
    QTest::newRow("quiet game music") << -12.0 << -1.5;
    QTest::newRow("game music peaking higher") << -0.8 << -0.8;
    QTest::newRow("game music peaking at full scale") << 0.0 << 0.0;
}

void TestLoudness::peakLimitHolds()
{
    QFETCH(double, referencePeak);
    QFETCH(double, ceiling);
    const auto pick = write("pick.wav", 2, loudnessfixtures::quietWithBursts(-40));
    const auto reference = write("game.wav", 2, loudnessfixtures::tone(referencePeak));
    const auto outcome = convert(pick, reference, file("out.mp3"));
    QVERIFY(!outcome.failure);
    QCOMPARE(outcome.plan.reason, GainReason::PeakLimited);
    QVERIFY(outcome.plan.heldBack > 5);
    QVERIFY(outcome.plan.pick->truePeakMeasured);
    // The encoder's input stays at the ceiling; the decoded result at or below -0.5 dBTP.
    const double encoderPeak = outcome.plan.pick->truePeak + outcome.plan.gain;
    QVERIFY(std::abs(core::LoudnessGain::ceilingFor(*outcome.plan.reference) - ceiling) < 0.05);
    QVERIFY(encoderPeak <= core::LoudnessGain::ceilingFor(*outcome.plan.reference) + 1e-9);
    QVERIFY(encoderPeak >= ceiling - 0.05);
    QVERIFY(loudnessfixtures::measure(file("out.mp3"), rate, 2).truePeak <= -0.5);
}

void TestLoudness::peakLimitedResultIsTold_data()
{
    QTest::addColumn<bool>("bursts"); // noise with a full-scale burst each second; else a tone
    QTest::addColumn<core::Mp3Settings>("settings");
    // Game music peaking at -0.2 dBTP lets the tone's gain take it there: decoded, the result
    // passes -0.5 dBTP and is lowered a whole step after encoding.
    QTest::newRow("lowered, 44.1 kHz stereo") << false << core::Mp3Settings{rate, 2, 320};
    QTest::newRow("lowered, 48 kHz stereo") << false << core::Mp3Settings{48000, 2, 192};
    // The peak limit takes most of the gain, the encoder's loss of noise a little more.
    QTest::newRow("encoder's loss besides") << true << core::Mp3Settings{22050, 1, 64};
}

void TestLoudness::peakLimitedResultIsTold()
{
    QFETCH(bool, bursts);
    QFETCH(core::Mp3Settings, settings);
    const Signal hiss = loudnessfixtures::noise(-30);
    const Signal burst = loudnessfixtures::tone(-0.05);
    const auto pick = write("pick.wav", 2, [=](double t) {
        return (!bursts                     ? loudnessfixtures::tone(-20, 660)
                : t - std::floor(t) < 0.005 ? burst
                                            : hiss)(t);
    });
    const auto reference = file("game.wav");
    loudnessfixtures::writeWav(reference, settings.sampleRate, settings.channels, seconds,
                               loudnessfixtures::tone(bursts ? -20 : -0.2, 660));
    const auto outcome = convert(pick, reference, file("out.mp3"), settings);
    QVERIFY(!outcome.failure);
    const double shortBy =
        loudnessfixtures::measure(reference, settings.sampleRate, settings.channels).lufs -
        loudnessfixtures::measure(file("out.mp3"), settings.sampleRate, settings.channels).lufs;
    QVERIFY2(std::abs(shortBy - outcome.plan.heldBack) <= core::LoudnessGain::encodingTolerance,
             qPrintable(QString("short by %1, told %2").arg(shortBy).arg(outcome.plan.heldBack)));
    QEXPECT_FAIL("encoder's loss besides",
                 "a result short by more than its hold-back is named "
                 "FormatLimited, as resultTheFormatCutShortIsTold wants",
                 Continue);
    QCOMPARE(outcome.plan.reason, GainReason::PeakLimited);
}

void TestLoudness::slotWithoutGameFileTakesTheMedian()
{
    core::LoudnessReference::Files files;
    files[0] = write("a.wav", 1, loudnessfixtures::tone(-10));
    files[1] = write("b.wav", 1, loudnessfixtures::tone(-25));
    files[2] = write("c.wav", 1, loudnessfixtures::tone(-18));
    files[3] = write("silent.wav", 1, loudnessfixtures::tone(-200));
    core::LoudnessReference references(core::AudioCodecs::builtIn(), *cache_, files);
    const auto median = references.loudnessFor(4);
    QVERIFY(std::holds_alternative<Loudness>(median));
    QCOMPARE(std::get<Loudness>(median).lufs,
             loudnessfixtures::measure(files[2].value(), rate, 1).lufs);
}

void TestLoudness::noUsableFigureMeansNoGain_data()
{
    QTest::addColumn<double>("pickLevel");
    QTest::addColumn<double>("pickSeconds");
    QTest::addColumn<double>("referenceLevel");
    QTest::addColumn<GainReason>("reason");
    QTest::newRow("silent pick") << -200.0 << seconds << -18.0 << GainReason::SilentPick;
    QTest::newRow("pick under 0.4 s") << -3.0 << 0.3 << -18.0 << GainReason::SilentPick;
    QTest::newRow("silent game music") << -3.0 << seconds << -200.0 << GainReason::SilentReference;
}

void TestLoudness::noUsableFigureMeansNoGain()
{
    QFETCH(double, pickLevel);
    QFETCH(double, pickSeconds);
    QFETCH(double, referenceLevel);
    QFETCH(GainReason, reason);
    const auto pick = write("pick.wav", 2, loudnessfixtures::tone(pickLevel), pickSeconds);
    const auto reference = write("game.wav", 2, loudnessfixtures::tone(referenceLevel));
    const auto outcome = convert(pick, reference, file("matched.mp3"));
    QVERIFY(!outcome.failure);
    QCOMPARE(outcome.plan.reason, reason);
    QCOMPARE(outcome.plan.gain, 0.0);
    QVERIFY(!core::MusicConverter(core::AudioCodecs::builtIn())
                 .convert(pick, settingsFor(reference), file("plain.mp3")));
    QCOMPARE(testfiles::readBytes(QString::fromStdString(file("matched.mp3").string())),
             testfiles::readBytes(QString::fromStdString(file("plain.mp3").string())));
}

void TestLoudness::matchingOffIsByteIdentical_data()
{
    QTest::addColumn<bool>("matchLoudness");
    QTest::addColumn<bool>("mp3Pick");
    QTest::newRow("converted pick, matching off") << false << false;
    QTest::newRow("MP3 pick, matching off") << false << true;
    QTest::newRow("MP3 pick, MP3 matching off") << true << true;
}

void TestLoudness::matchingOffIsByteIdentical()
{
    QFETCH(bool, matchLoudness);
    QFETCH(bool, mp3Pick);
    const std::filesystem::path pick =
        mp3Pick ? std::filesystem::path(VMC_AUDIO_FIXTURES "/mp3-mpeg1-joint-crc.mp3")
                : write("pick.wav", 2, loudnessfixtures::tone(-3));
    // The game's music is far quieter than the pick: matching would change it.
    const Signal gameMusic = loudnessfixtures::tone(-30);
    std::string expected;
    if (mp3Pick) {
        expected = testfiles::readBytes(QString::fromStdString(pick.string()));
    } else {
        const auto reference = write("game.wav", 2, gameMusic);
        QVERIFY(!core::MusicConverter(core::AudioCodecs::builtIn())
                     .convert(pick, settingsFor(reference), file("plain.mp3")));
        expected = testfiles::readBytes(QString::fromStdString(file("plain.mp3").string()));
    }
    const auto target = runInto(pick, gameMusic, {matchLoudness, false});
    QVERIFY2(lastRun_.outcome == core::RunResult::Outcome::Completed, lastRun_.message.c_str());
    QCOMPARE(testfiles::readBytes(QString::fromStdString(target.string())), expected);
}

void TestLoudness::mp3PickMovesInWholeSteps_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::newRow("MPEG-1 joint stereo") << "mp3-mpeg1-joint-crc.mp3";
    QTest::newRow("MPEG-2 mono") << "mp3-mpeg2-mono-crc.mp3";
}

void TestLoudness::mp3PickMovesInWholeSteps()
{
    QFETCH(QString, fixture);
    const std::filesystem::path pick = audiofixtures::path(fixture).toStdString();
    const auto reference = write("game.wav", 2, loudnessfixtures::tone(-30));
    const double wanted = loudnessfixtures::measure(reference, rate, 2).lufs;
    const auto target = runInto(pick, loudnessfixtures::tone(-30), {true, true});
    QVERIFY2(lastRun_.outcome == core::RunResult::Outcome::Completed, lastRun_.message.c_str());
    const std::string original = testfiles::readBytes(QString::fromStdString(pick.string()));
    const std::string result = testfiles::readBytes(QString::fromStdString(target.string()));
    QCOMPARE(result.size(), original.size());
    QVERIFY(result != original);
    const auto info =
        std::get<core::AudioInfo>(core::AudioCodecs::builtIn().makeDecoder()->probe(pick));
    const double before = loudnessfixtures::measure(pick, info.sampleRate, info.channels).lufs;
    const double after = loudnessfixtures::measure(target, info.sampleRate, info.channels).lufs;
    const double steps = (after - before) / core::Mp3Gain::stepDecibels;
    QVERIFY2(std::abs(steps - std::round(steps)) < 0.05, qPrintable(QString::number(steps)));
    QVERIFY2(std::abs(after - wanted) <= 0.75,
             qPrintable(QString("%1 for %2").arg(after).arg(wanted)));
}

void TestLoudness::mp3HeldBackIsWhatTheResultMisses()
{
    // A quiet MP3 peaking near full scale, for loud game music: the peak limit holds it
    // whole steps short, and the result misses by what the plan says.
    QVERIFY(!core::MusicConverter(core::AudioCodecs::builtIn())
                 .convert(write("pick.wav", 2, loudnessfixtures::quietWithBursts(-30)),
                          {rate, 2, 192}, file("pick.mp3")));
    const auto reference = write("game.wav", 2, loudnessfixtures::tone(-10));
    core::LoudnessReference::Files files;
    files[0] = reference;
    core::LoudnessReference references(core::AudioCodecs::builtIn(), *cache_, files);
    core::MatchedConversion matching(core::AudioCodecs::builtIn(), *cache_, references,
                                     {true, true});
    const auto outcome = matching.adjustMp3(0, file("pick.mp3"), file("out.mp3"));
    QVERIFY(!outcome.failure);
    QCOMPARE(outcome.plan.reason, GainReason::PeakLimited);
    const double shortBy = loudnessfixtures::measure(reference, rate, 2).lufs -
                           loudnessfixtures::measure(file("out.mp3"), rate, 2).lufs;
    QVERIFY2(std::abs(shortBy - outcome.plan.heldBack) <= core::LoudnessGain::encodingTolerance,
             qPrintable(QString("short by %1, told %2").arg(shortBy).arg(outcome.plan.heldBack)));
}

void TestLoudness::hugeMp3PickIsNotHeldInMemory()
{
    // Real frames, then a sparse stretch past what is changed in memory.
    const std::filesystem::path pick = file("huge.mp3");
    std::filesystem::copy_file(audiofixtures::path("mp3-mpeg1-stereo.mp3").toStdString(), pick);
    std::filesystem::resize_file(pick, core::MatchedConversion::largestAdjustedMp3 + 1);
    // Measured before (48 kHz stereo): the figures alone would move it.
    cache_->store(pick, 48000, 2, Loudness{-10, -6, -6, true});
    core::LoudnessReference::Files files;
    files[0] = write("game.wav", 2, loudnessfixtures::tone(-30));
    core::LoudnessReference references(core::AudioCodecs::builtIn(), *cache_, files);
    core::MatchedConversion matching(core::AudioCodecs::builtIn(), *cache_, references,
                                     {true, true});
    const core::GainPlan plan = matching.plan(0, pick, {});
    QCOMPARE(plan.reason, GainReason::NotMeasured);
    QCOMPARE(plan.mp3Steps, 0);
}

void TestLoudness::mp3PlanTakesTheStepsTheStreamTakes()
{
    // One granule with coded values already at the bottom of its range: the stream takes no
    // step quieter.
    std::string mp3 = testfiles::readBytes(audiofixtures::path("mp3-mpeg1-no-info.mp3"));
    mp3frames::setGlobalGain(mp3, mp3frames::frames(mp3)[2], 0, 0);
    const std::filesystem::path pick = file("pick.mp3");
    testfiles::writeBytes(QString::fromStdString(pick.string()), mp3);
    core::LoudnessReference::Files files;
    files[0] = write("game.wav", 2, loudnessfixtures::tone(-40));
    core::LoudnessReference references(core::AudioCodecs::builtIn(), *cache_, files);
    core::MatchedConversion matching(core::AudioCodecs::builtIn(), *cache_, references,
                                     {true, true});
    const core::GainPlan plan = matching.plan(0, pick, {});
    QCOMPARE(plan.reason, GainReason::Mp3RangeLimited);
    QCOMPARE(plan.mp3Steps, 0);
    QCOMPARE(plan.gain, 0.0);
    QVERIFY(plan.heldBack > 10);
    const auto outcome = matching.adjustMp3(0, pick, file("out.mp3"));
    QCOMPARE(outcome.plan.reason, GainReason::Mp3RangeLimited);
    QCOMPARE(testfiles::readBytes(QString::fromStdString(file("out.mp3").string())), mp3);
}

void TestLoudness::brightSignalsLandOnTheReference_data()
{
    QTest::addColumn<bool>("bright");
    QTest::addColumn<int>("sampleRate");
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("kbps");
    QTest::newRow("white noise, 44.1 kHz stereo 192 kbit/s") << false << 44100 << 2 << 192;
    QTest::newRow("bright noise, 44.1 kHz stereo 192 kbit/s") << true << 44100 << 2 << 192;
    QTest::newRow("bright noise, 44.1 kHz stereo 320 kbit/s") << true << 44100 << 2 << 320;
    QTest::newRow("bright noise, 44.1 kHz mono 96 kbit/s") << true << 44100 << 1 << 96;
    QTest::newRow("bright noise, 48 kHz stereo 192 kbit/s") << true << 48000 << 2 << 192;
}

void TestLoudness::brightSignalsLandOnTheReference()
{
    QFETCH(bool, bright);
    QFETCH(int, sampleRate);
    QFETCH(int, channels);
    QFETCH(int, kbps);
    const auto pick = write(
        "pick.wav", 2, bright ? loudnessfixtures::brightNoise(-25) : loudnessfixtures::noise(-25));
    const auto reference = file("game.wav");
    loudnessfixtures::writeWav(reference, sampleRate, channels, seconds,
                               loudnessfixtures::tone(-20, 660));
    const auto outcome = convert(pick, reference, file("out.mp3"), {sampleRate, channels, kbps});
    QVERIFY(!outcome.failure);
    QCOMPARE(outcome.plan.reason, GainReason::Matched);
    // The encoder's low-pass takes a share of its loudness that matters.
    const double lost = outcome.plan.pick->lufs - outcome.plan.pick->keptLufs;
    QVERIFY2(lost > 0.5, qPrintable(QString::number(lost)));
    const double wanted = loudnessfixtures::measure(reference, sampleRate, channels).lufs;
    const double got = loudnessfixtures::measure(file("out.mp3"), sampleRate, channels).lufs;
    QVERIFY2(std::abs(got - wanted) <= core::LoudnessGain::encodingTolerance,
             qPrintable(QString("%1 for %2").arg(got).arg(wanted)));
}

void TestLoudness::soundAboveTheFormatIsNotChased()
{
    // Nearly all its loudness lies above the 44.1 kHz stereo 128 kbit/s format's low-pass.
    const auto pick = write("pick.wav", 2, loudnessfixtures::highHiss(-20, 18500));
    const auto reference = write("game.wav", 2, loudnessfixtures::tone(-20, 660));
    const auto outcome = convert(pick, reference, file("out.mp3"), {rate, 2, 128});
    QVERIFY(!outcome.failure);
    QVERIFY(outcome.plan.beyondFormat);
    QVERIFY(outcome.plan.keptBelowHz > 15000 && outcome.plan.keptBelowHz < 18500);
    QVERIFY(!outcome.plan.madeAgain);
    // The result's own figure is told, not the reference's.
    QVERIFY(outcome.plan.resultLufs);
    const double got = loudnessfixtures::measure(file("out.mp3"), rate, 2).lufs;
    QVERIFY2(std::abs(*outcome.plan.resultLufs - got) < 0.05,
             qPrintable(QString("%1 for %2").arg(*outcome.plan.resultLufs).arg(got)));
}

void TestLoudness::resultTheFormatCutShortIsTold()
{
    // A tone at the 22.05 kHz slot's Nyquist frequency: the resampler, not the encoder's
    // low-pass, drops it, so the plan cannot know; the result's measure tells.
    const auto pick = write("pick.wav", 2, loudnessfixtures::highHiss(-20, 11025));
    const auto reference = file("game.wav");
    loudnessfixtures::writeWav(reference, 22050, 1, seconds, loudnessfixtures::tone(-20, 660));
    const auto outcome = convert(pick, reference, file("out.mp3"), {22050, 1, 64});
    QVERIFY(!outcome.failure);
    QCOMPARE(outcome.plan.reason, GainReason::FormatLimited);
    const double wanted = loudnessfixtures::measure(reference, 22050, 1).lufs;
    const double got = loudnessfixtures::measure(file("out.mp3"), 22050, 1).lufs;
    QVERIFY2(std::abs(outcome.plan.heldBack - (wanted - got)) < 0.05,
             qPrintable(QString("%1 for %2").arg(outcome.plan.heldBack).arg(wanted - got)));
}

void TestLoudness::ownMeterAgreesWithTheLibrary_data()
{
    using namespace loudnessfixtures;
    QTest::addColumn<Signal>("signal");
    QTest::addColumn<int>("sampleRate");
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("keptBelowHz"); // the encoder's low-pass; 0 where none
    QTest::newRow("white noise, 44.1 kHz stereo") << noise(-20) << 44100 << 2 << 16000;
    QTest::newRow("bright noise, 48 kHz stereo") << brightNoise(-25) << 48000 << 2 << 19000;
    QTest::newRow("a low tone, 22.05 kHz mono") << tone(-12, 60) << 22050 << 1 << 0;
    QTest::newRow("quiet with bursts: gated") << quietWithBursts(-40) << 44100 << 2 << 0;
    QTest::newRow("white noise, 44.1 kHz mono") << noise(-20) << 44100 << 1 << 11000;
}

void TestLoudness::ownMeterAgreesWithTheLibrary()
{
    QFETCH(Signal, signal);
    QFETCH(int, sampleRate);
    QFETCH(int, channels);
    QFETCH(int, keptBelowHz);
    std::vector<float> samples;
    for (int i = 0; i < sampleRate * 5; ++i) {
        const std::array<float, 2> frame = signal(double(i) / sampleRate);
        samples.insert(samples.end(), frame.begin(), frame.begin() + channels);
    }
    const std::size_t frames = samples.size() / std::size_t(channels);
    core::GatedLoudness own(sampleRate, channels, keptBelowHz);
    own.add(samples.data(), frames);
    // The library's figures, of the samples and of them through the encoder's low-pass.
    const auto libraryOf = [&](const float *measured) {
        const auto library = core::AudioCodecs::builtIn().makeMeter();
        library->start(sampleRate, channels, false);
        library->add(measured, frames);
        return library->result();
    };
    const core::Loudness expected = libraryOf(samples.data());
    QVERIFY2(std::abs(own.lufs() - expected.lufs) < 0.001,
             qPrintable(QString("%1 for %2").arg(own.lufs()).arg(expected.lufs)));
    QCOMPARE(20 * std::log10(own.samplePeak()), expected.samplePeak);
    if (keptBelowHz > 0) {
        core::LowPass lowPass(sampleRate, channels, keptBelowHz);
        const double kept = libraryOf(lowPass.filter(samples.data(), frames)).lufs;
        QVERIFY2(std::abs(own.keptLufs() - kept) < 0.005,
                 qPrintable(QString("%1 for %2").arg(own.keptLufs()).arg(kept)));
        QVERIFY(own.lufs() - own.keptLufs() > 0.1);
    }
}

void TestLoudness::fitThePickCannotTakeIsNotMeasured()
{
    // As a set or the kept last picks may give it, edited by hand: Change refuses it, and its
    // measuring must not take the program down with it.
    const std::filesystem::path pick = write("pick.wav", 2, loudnessfixtures::tone(-20));
    core::LoudnessReference references(core::AudioCodecs::builtIn(), *cache_, {});
    core::MatchedConversion matching(core::AudioCodecs::builtIn(), *cache_, references,
                                     {true, true});
    const std::int64_t far = std::int64_t(4) << 60;
    const core::GainPlan plan =
        matching.plan(0, pick, {}, {}, {}, core::PickFit{far, {}, 0, 0, far});
    QCOMPARE(plan.reason, GainReason::NotMeasured);
}

QTEST_GUILESS_MAIN(TestLoudness)
#include "tst_loudness.moc"
