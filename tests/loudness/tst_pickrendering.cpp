// SPDX-License-Identifier: GPL-3.0-or-later
#include "AudioFixtures.h"
#include "LoudnessFixtures.h"
#include "Mp3Frames.h"
#include "SeamMeasures.h"
#include "TestFiles.h"
#include "loudness/LoudnessMeasurer.h"
#include "loudness/MatchedConversion.h"
#include "music/FittedStream.h"
#include "run/ConversionPool.h"
#include "run/WrittenJoin.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <optional>

namespace {

constexpr int rate = 44100;
// What the encoder's padding and the decoder leave of a length.
constexpr double lengthTolerance = 0.06;
const core::Mp3Settings settings{rate, 2, 192};

// Silence, a 4 s tone, silence; a lone full-scale sample, or the one given, at clickAt where
// that is not negative.
std::filesystem::path writePick(const QTemporaryDir &folder, double leading, double trailing,
                                double clickAt = -1, float click = 1)
{
    const loudnessfixtures::Signal sound = loudnessfixtures::tone(-20);
    const std::filesystem::path pick =
        folder.filePath(QString::fromUtf8(QTest::currentDataTag()) + ".wav").toStdString();
    loudnessfixtures::writeWav(pick, rate, 2, leading + 4 + trailing, [=](double t) {
        if (std::abs(t - clickAt) < 0.5 / rate)
            return std::array<float, 2>{click, click};
        return t < leading || t >= leading + 4 ? std::array<float, 2>{} : sound(t);
    });
    return pick;
}

std::vector<float> decoded(const std::filesystem::path &file, const core::Mp3Settings &slot)
{
    std::vector<float> samples;
    core::AudioCodecs::builtIn().makeDecoder()->decode(
        file, slot.sampleRate, slot.channels, [&](const float *block, std::size_t frames) {
            samples.insert(samples.end(), block, block + frames * std::size_t(slot.channels));
            return true;
        });
    return samples;
}

// How far what is heard differs from the music from sample from on, against the music.
double differenceDecibels(const std::vector<float> &heard, const std::vector<float> &music,
                          std::size_t from)
{
    double difference = 0;
    double sound = 0;
    for (std::size_t i = from; i < music.size(); ++i) {
        difference += double(heard[i] - music[i]) * (heard[i] - music[i]);
        sound += double(music[i]) * music[i];
    }
    return 10 * std::log10(difference / sound);
}

// The loop's turn as the encoder takes it, framed as the file turns.
std::vector<float> unencodedTurn(const std::filesystem::path &pick, const core::PickFit &fit,
                                 const core::Mp3Settings &slot, float gain)
{
    const auto decoder = core::AudioCodecs::builtIn().makeDecoder();
    const core::PickFit framed = *core::MatchedConversion::decodedFit(
        *decoder, pick, fit, core::SeamFraming::forEncoder(core::AudioCodecs::builtIn(), slot));
    std::vector<float> turn;
    core::FittedStream stream(framed, slot.channels, [&](const float *samples, std::size_t frames) {
        for (std::size_t i = 0; i < frames * std::size_t(slot.channels); ++i)
            turn.push_back(samples[i] * gain);
        return true;
    });
    decoder->decode(
        pick, slot.sampleRate, slot.channels,
        [&](const float *samples, std::size_t frames) { return stream.add(samples, frames); });
    return turn;
}

} // namespace

// What of a pick Change writes: without the silence at its ends, or as its fit says, with the
// loudness measured on that.
class TestPickRendering : public QObject
{
    Q_OBJECT

  private slots:
    void silenceAtTheEndsIsLeftOut_data();
    void silenceAtTheEndsIsLeftOut();
    void samplesNoMusicHoldsAreNoSound_data();
    void samplesNoMusicHoldsAreNoSound();
    void fitIsWrittenAsMade_data();
    void fitIsWrittenAsMade();
    void loopTurnsInWholeFrames_data();
    void loopTurnsInWholeFrames();
    void fitToAPicksEndEndsWhereItsMusicDoes_data();
    void fitToAPicksEndEndsWhereItsMusicDoes();
    void aPickCutShortKeepsItsPromise();

  private:
    // The game's music of slot 0: a tone 2 dB louder than the made pick's.
    core::LoudnessReference &references()
    {
        if (!references_) {
            core::LoudnessReference::Files files;
            files[0] = folder_.filePath("game.wav").toStdString();
            loudnessfixtures::writeWav(*files[0], rate, 2, 3, loudnessfixtures::tone(-18));
            references_.emplace(core::AudioCodecs::builtIn(), cache_, files);
        }
        return *references_;
    }

    core::MatchedConversion::Outcome convert(const std::filesystem::path &pick,
                                             const core::PickFit &fit = {},
                                             const core::Mp3Settings &slot = settings)
    {
        return core::MatchedConversion(core::AudioCodecs::builtIn(), cache_, references())
            .convert(0, pick, slot, output_, {}, {}, fit);
    }

    QTemporaryDir folder_;
    const std::filesystem::path output_ = folder_.filePath("out.mp3").toStdString();
    core::LoudnessCache cache_;
    std::optional<core::LoudnessReference> references_;
};

void TestPickRendering::silenceAtTheEndsIsLeftOut_data()
{
    QTest::addColumn<double>("leading");
    QTest::addColumn<double>("trailing");
    QTest::addColumn<double>("clickAt"); // negative: no click
    QTest::addColumn<bool>("matched");   // else found by the conversion's own reading
    QTest::newRow("silence at both ends") << 2.0 << 3.0 << -1.0 << true;
    QTest::newRow("a click in the silence at the start") << 2.0 << 3.0 << 0.8 << true;
    QTest::newRow("a click in the silence at the end") << 2.0 << 3.0 << 8.3 << true;
    QTest::newRow("unmatched, a click at the start") << 2.0 << 3.0 << 0.8 << false;
}

void TestPickRendering::silenceAtTheEndsIsLeftOut()
{
    QFETCH(double, leading);
    QFETCH(double, trailing);
    QFETCH(double, clickAt);
    QFETCH(bool, matched);
    const std::filesystem::path pick = writePick(folder_, leading, trailing, clickAt);
    std::filesystem::path written = output_;
    if (matched) {
        const core::MatchedConversion::Outcome outcome = convert(pick);
        QVERIFY(!outcome.failure);
        QVERIFY(std::abs(outcome.plan.pick->leadingSilence - leading) < 0.06);
        QVERIFY(std::abs(outcome.plan.pick->trailingSilence - trailing) < 0.06);
    } else {
        core::ConversionPool pool(&core::AudioCodecs::builtIn(), {{0, pick, settings}},
                                  folder_.path().toStdString());
        const core::ConversionPool::Result result = pool.take(0);
        QVERIFY(!result.failure);
        written = result.staged;
    }
    QVERIFY(std::abs(audiofixtures::listen(written, rate, 2).seconds - 4) < lengthTolerance);
}

void TestPickRendering::samplesNoMusicHoldsAreNoSound_data()
{
    // A float file's sample, at a time in seconds, in the pick of 2 s silence, 4 s tone, 3 s
    // silence: the game's music is 2 dB louder than the tone.
    QTest::addColumn<double>("at");
    QTest::addColumn<float>("sample");
    QTest::addColumn<int>("reason");
    const int matched = int(core::GainReason::Matched);
    QTest::newRow("none") << -1.0 << 0.0F << matched;
    QTest::newRow("not a number in the silence") << 1.0 << std::nanf("") << matched;
    QTest::newRow("infinite in the tone") << 4.0 << -HUGE_VALF << matched;
    QTest::newRow("far past full scale in the tone")
        << 4.0 << 1e20F << int(core::GainReason::PeakLimited);
}

void TestPickRendering::samplesNoMusicHoldsAreNoSound()
{
    QFETCH(double, at);
    QFETCH(float, sample);
    QFETCH(int, reason);
    const core::MatchedConversion::Outcome outcome = convert(writePick(folder_, 2, 3, at, sample));
    QVERIFY(!outcome.failure);
    QCOMPARE(int(outcome.plan.reason), reason);
    // Held to 12 dB over full scale, not made silent by the match.
    QVERIFY(outcome.plan.gain > -15 && outcome.plan.gain < 2.5);
}

void TestPickRendering::fitIsWrittenAsMade_data()
{
    QTest::addColumn<QString>("pick"); // empty: the made one, 2 s silence, 4 s tone, 3 s silence
    QTest::addColumn<double>("start");
    QTest::addColumn<double>("end");
    QTest::addColumn<double>("fade");
    // The player's ends stand: silence inside them is kept.
    QTest::newRow("into the silence at both ends") << QString() << 0.5 << 8.0 << 0.0;
    QTest::newRow("inside the tone, faded") << QString() << 3.0 << 5.0 << 0.5;
    QTest::newRow("an MP3, converted") << audiofixtures::path("tone.mp3") << 0.5 << 1.0 << 0.0;
}

void TestPickRendering::fitIsWrittenAsMade()
{
    QFETCH(QString, pick);
    QFETCH(double, start);
    QFETCH(double, end);
    QFETCH(double, fade);
    const auto frames = [](double seconds) { return std::llround(seconds * rate); };
    const core::PickFit fit{frames(start), frames(end), frames(fade), frames(fade)};
    const core::MatchedConversion::Outcome outcome = convert(
        pick.isEmpty() ? writePick(folder_, 2, 3) : std::filesystem::path(pick.toStdString()), fit);
    QVERIFY(!outcome.failure);
    // Measured as written: the fitted part alone, none of it left out, no MP3 gain steps.
    QVERIFY(std::abs(outcome.plan.pick->seconds - (end - start)) < 0.001);
    QCOMPARE(outcome.plan.pick->leadingSilence + outcome.plan.pick->trailingSilence, 0.0);
    QCOMPARE(outcome.plan.mp3Steps, 0);
    QVERIFY(std::abs(audiofixtures::listen(output_, rate, 2).seconds - (end - start)) <
            lengthTolerance);
}

void TestPickRendering::loopTurnsInWholeFrames_data()
{
    QTest::addColumn<int>("slotRate");
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("kbps");
    QTest::addColumn<double>("loop");  // seconds from 2.5 s into the pick; negative: to its end
    QTest::addColumn<QString>("pick"); // empty: the made one, 2 s silence, 4 s tone, 3 s silence
    QTest::addColumn<int>("junk");     // bytes put after the pick's music
    QTest::newRow("44.1 kHz") << 44100 << 2 << 192 << 2.0 << QString() << 0;
    QTest::newRow("44.1 kHz, another length") << 44100 << 2 << 128 << 3.3 << QString() << 0;
    QTest::newRow("44.1 kHz mono") << 44100 << 1 << 64 << 2.2 << QString() << 0;
    QTest::newRow("48 kHz") << 48000 << 2 << 256 << 2.71 << QString() << 0;
    QTest::newRow("48 kHz mono") << 48000 << 1 << 96 << 1.5 << QString() << 0;
    QTest::newRow("22.05 kHz") << 22050 << 2 << 96 << 1.93 << QString() << 0;
    QTest::newRow("22.05 kHz mono") << 22050 << 1 << 48 << 2.4 << QString() << 0;
    QTest::newRow("22.05 kHz, a short loop") << 22050 << 2 << 96 << 0.08 << QString() << 0;
    QTest::newRow("to the pick's end") << 44100 << 2 << 192 << -1.0 << QString() << 0;
    // Its stated length holds the encoder's delay and padding, which its decoding leaves out.
    QTest::newRow("to an MP3's end")
        << 44100 << 2 << 192 << -1.0 << audiofixtures::path("tone.mp3") << 0;
    // Without an information frame its length is guessed from the file's size.
    QTest::newRow("to the end of an MP3 without its length")
        << 44100 << 2 << 192 << -1.0 << audiofixtures::path("mp3-mpeg1-no-info.mp3") << 48000;
}

// The game decodes the written file whole, every frame's samples, and loops that: a turn is
// the loop's music alone, in whole frames, running on from its end into its start. What
// the decoder, starting afresh at each turn, cannot sound is all the seam may lack: its
// synthesis reaches 256 samples back, into frames that are not there, and the first
// granule's window rises from nothing.
void TestPickRendering::loopTurnsInWholeFrames()
{
    QFETCH(int, slotRate);
    QFETCH(int, channels);
    QFETCH(int, kbps);
    QFETCH(double, loop);
    QFETCH(QString, pick);
    QFETCH(int, junk);
    if (junk > 0) {
        const QString padded = folder_.filePath("padded.mp3");
        QVERIFY(testfiles::writeBytes(padded, testfiles::readBytes(pick) +
                                                  std::string(std::size_t(junk), '\0')));
        pick = padded;
    }
    const double start = pick.isEmpty() ? 2.5 : 0.25;
    core::PickFit fit{
        std::llround(start * rate), {}, 0, 0, core::PickFit::longestCrossfade(rate) / 5};
    if (loop >= 0)
        fit.end = std::llround((start + loop) * rate);
    const core::Mp3Settings slot{slotRate, channels, kbps};
    const std::filesystem::path source =
        pick.isEmpty() ? writePick(folder_, 2, 3) : std::filesystem::path(pick.toStdString());
    const core::MatchedConversion::Outcome outcome = convert(source, fit, slot);
    QVERIFY(!outcome.failure);
    const std::string mp3 = testfiles::readBytes(QString::fromStdString(output_.string()));
    const std::vector<mp3frames::Frame> frames = mp3frames::frames(mp3);
    QCOMPARE(mp3frames::encoderTagAt(mp3, frames.front()), std::size_t(0));
    const int frameSize = slotRate >= 32000 ? 1152 : 576;
    const auto turn = std::int64_t(frames.size()) * frameSize;
    QCOMPARE(std::int64_t(decoded(output_, slot).size()) / channels, turn);
    if (loop >= 0)
        QVERIFY(std::abs(turn - std::llround(loop * slotRate)) <= frameSize / 2);

    // The join as Play the seam hears it: the music where the fit has it, and no more lost.
    core::MatchedConversion matching(core::AudioCodecs::builtIn(), cache_, references());
    const auto rendered = core::WrittenJoin::render(core::AudioCodecs::builtIn(),
                                                    {0, source, slot, &matching, false, fit}, 1,
                                                    folder_.path().toStdString());
    QVERIFY(std::holds_alternative<core::WrittenJoin::Audio>(rendered));
    const core::WrittenJoin::Audio &heard = std::get<core::WrittenJoin::Audio>(rendered);
    const float gain = outcome.plan.applies() ? std::pow(10.0F, float(outcome.plan.gain) / 20) : 1;
    const seammeasures::Join music =
        seammeasures::joined(unencodedTurn(source, fit, slot, gain), channels, slotRate,
                             double(heard.turnAt) / slotRate);
    QCOMPARE(heard.samples.size(), music.samples.size());
    QVERIFY(differenceDecibels(heard.samples, music.samples,
                               (music.turnAt + slotRate / 20) * channels) < -15);
    const seammeasures::Seam seam =
        seammeasures::measure({heard.samples, channels, slotRate, heard.turnAt}, music);
    const double decoderStart = 1000.0 * 300 / slotRate;
    QVERIFY2(seam.silenceMs <= decoderStart, QByteArray::number(seam.silenceMs));
    QVERIFY2(seam.dropoutMs <= decoderStart, QByteArray::number(seam.dropoutMs));
    QVERIFY2(seam.clickDecibels <= 0, QByteArray::number(seam.clickDecibels));
}

void TestPickRendering::fitToAPicksEndEndsWhereItsMusicDoes_data()
{
    QTest::addColumn<QString>("pick");
    QTest::addColumn<bool>("atStatedEnd"); // else to the end, given none
    for (const char *pick : {"tone.opus", "tone.webm", "tone.wma", "tone.m4a", "tone.ogg",
                             "tone.flac", "tone.wav", "tone.mp3", "mp3-mpeg1-no-info.mp3"}) {
        for (const bool atStatedEnd : {false, true})
            QTest::addRow("%s%s", pick, atStatedEnd ? ", at its stated end" : "")
                << QString::fromLatin1(pick) << atStatedEnd;
    }
}

// A seam to the pick's end, or to the end its length states, is made where its music ends,
// whatever encoder's delay or padding, or container's rounding, that length or its decoding
// holds.
void TestPickRendering::fitToAPicksEndEndsWhereItsMusicDoes()
{
    QFETCH(QString, pick);
    QFETCH(bool, atStatedEnd);
    const std::filesystem::path source = audiofixtures::path(pick).toStdString();
    const auto decoder = core::AudioCodecs::builtIn().makeDecoder();
    const auto info = std::get<core::AudioInfo>(decoder->probe(source));
    core::PickFit toTheEnd{
        info.sampleRate / 4, {}, 0, 0, core::PickFit::longestCrossfade(info.sampleRate)};
    if (atStatedEnd)
        toTheEnd.end = std::llround(info.seconds * info.sampleRate);
    // Each is a second of a tone, which some decoders cut short.
    core::PickFit toTheMusicsEnd = toTheEnd;
    toTheMusicsEnd.end = std::min<std::int64_t>(
        info.sampleRate,
        std::llround(audiofixtures::listen(source, info.sampleRate, 1).seconds * info.sampleRate));
    core::AudioInfo music = info;
    music.seconds = double(*toTheMusicsEnd.end) / info.sampleRate;
    const auto framing = core::SeamFraming::forEncoder(core::AudioCodecs::builtIn(), settings);
    QCOMPARE(core::MatchedConversion::decodedFit(*decoder, source, toTheEnd, framing)->end,
             core::MatchedConversion::decodedFit(toTheMusicsEnd, music, framing).end);
}

// A FLAC cut in half: its header still states the whole length; the half that is left is
// the quieter one. What the plan promises is what the written file measures.
void TestPickRendering::aPickCutShortKeepsItsPromise()
{
    const QString cut = folder_.filePath("cut.flac");
    QVERIFY(QFile::copy(audiofixtures::path("quiet-then-loud.flac"), cut));
    QFile file(cut);
    QVERIFY(file.resize(file.size() / 2));
    const std::filesystem::path pick = cut.toStdString();
    const auto stated =
        std::get<core::AudioInfo>(core::AudioCodecs::builtIn().makeDecoder()->probe(pick));
    const core::MatchedConversion::Outcome outcome = convert(pick);
    QVERIFY(!outcome.failure);
    const core::GainPlan &plan = outcome.plan;
    // Measured on what is there, not on what its header states.
    QVERIFY(plan.pick->seconds < stated.seconds - 1);
    const auto written =
        std::get<core::Loudness>(core::LoudnessMeasurer(core::AudioCodecs::builtIn())
                                     .measure(output_, settings.sampleRate, settings.channels));
    QVERIFY(std::abs(written.seconds - plan.pick->seconds) < lengthTolerance);
    const double promised = plan.reason == core::GainReason::FormatLimited
                                ? *plan.resultLufs
                                : plan.pick->lufs + plan.gain + plan.loweredAfterEncoding;
    QVERIFY2(std::abs(written.lufs - promised) <= 0.5,
             qPrintable(QString("written %1, promised %2").arg(written.lufs).arg(promised)));
}

QTEST_GUILESS_MAIN(TestPickRendering)
#include "tst_pickrendering.moc"
