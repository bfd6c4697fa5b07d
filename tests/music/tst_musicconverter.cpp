// SPDX-License-Identifier: GPL-3.0-or-later
#include "AudioFixtures.h"
#include "TestFiles.h"
#include "music/MusicConverter.h"

#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <limits>

using core::AudioInfo;
using core::Mp3Settings;

class TestMusicConverter : public QObject
{
    Q_OBJECT

  private slots:
    void probeTellsWhatAFileHolds_data();
    void probeTellsWhatAFileHolds();
    void probeRefusesWhatIsNoMusic();
    void settingsFollowTheReference_data();
    void settingsFollowTheReference();
    void convertedFileIsTheGamesMp3_data();
    void convertedFileIsTheGamesMp3();
    void samplesNoMusicHoldsAreBounded_data();
    void samplesNoMusicHoldsAreBounded();

  private:
    const std::unique_ptr<core::AudioDecoder> decoder_ = core::AudioCodecs::builtIn().makeDecoder();
};

void TestMusicConverter::probeTellsWhatAFileHolds_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("sampleRate");
    QTest::addColumn<int>("channels");
    QTest::newRow("mp3") << "tone.mp3"
                         << "MP3" << 44100 << 2;
    QTest::newRow("flac") << "tone.flac"
                          << "FLAC" << 22050 << 1;
    QTest::newRow("vorbis") << "tone.ogg"
                            << "Ogg Vorbis" << 22050 << 1;
    QTest::newRow("opus") << "tone.opus"
                          << "Opus" << 48000 << 1;
    QTest::newRow("aac") << "tone.m4a"
                         << "AAC" << 22050 << 1;
    QTest::newRow("alac") << "tone-alac.m4a"
                          << "ALAC" << 11025 << 1;
    QTest::newRow("wav") << "tone.wav"
                         << "WAV" << 8000 << 1;
    QTest::newRow("aiff") << "tone.aiff"
                          << "AIFF" << 8000 << 1;
    QTest::newRow("wma") << "tone.wma"
                         << "WMA" << 22050 << 1;
    QTest::newRow("webm") << "tone.webm"
                          << "Opus" << 48000 << 1;
}

void TestMusicConverter::probeTellsWhatAFileHolds()
{
    QFETCH(QString, file);
    QFETCH(QString, format);
    QFETCH(int, sampleRate);
    QFETCH(int, channels);
    const auto probed = decoder_->probe(audiofixtures::path(file).toStdString());
    QVERIFY2(std::holds_alternative<AudioInfo>(probed),
             std::holds_alternative<core::Reason>(probed)
                 ? std::get<core::Reason>(probed).text(2).c_str()
                 : "");
    const AudioInfo &info = std::get<AudioInfo>(probed);
    QCOMPARE(QString::fromStdString(info.format), format);
    QCOMPARE(info.isMp3, format == "MP3");
    QCOMPARE(info.sampleRate, sampleRate);
    QCOMPARE(info.channels, channels);
    QVERIFY2(qAbs(info.seconds - 1.0) < 0.1, qPrintable(QString::number(info.seconds)));
    // An MP3's length is what its decoding delivers, without the encoder's delay and padding,
    // as is every length said to be exact.
    if (info.isMp3 || info.lengthExact) {
        std::int64_t frames = 0;
        QVERIFY(!decoder_->decode(audiofixtures::path(file).toStdString(), info.sampleRate, 1,
                                  [&](const float *, std::size_t count) {
                                      frames += std::int64_t(count);
                                      return true;
                                  }));
        QCOMPARE(std::llround(info.seconds * info.sampleRate), frames);
    }
}

void TestMusicConverter::probeRefusesWhatIsNoMusic()
{
    QTemporaryDir dir;
    const QString text = dir.path() + "/notes.flac";
    QVERIFY(testfiles::writeBytes(text, "shopping list: bread, milk\n"));
    const auto probed = decoder_->probe(text.toStdString());
    QVERIFY(std::holds_alternative<core::Reason>(probed));
    QCOMPARE(std::get<core::Reason>(probed).code, core::Reason::Code::NotMusic);
    const auto gone = decoder_->probe(dir.path().toStdString() + "/gone.mp3");
    QVERIFY(std::holds_alternative<core::Reason>(gone));
    QCOMPARE(std::get<core::Reason>(gone).code, core::Reason::Code::CannotOpen);
}

void TestMusicConverter::settingsFollowTheReference_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("bitRate");
    QTest::addColumn<int>("kbps");
    QTest::newRow("22.05 kHz mono at 32 raised to 64") << 22050 << 1 << 32000 << 64;
    QTest::newRow("44.1 kHz stereo at 96 raised to 128") << 44100 << 2 << 96000 << 128;
    QTest::newRow("44.1 kHz stereo at 320 kept") << 44100 << 2 << 320000 << 320;
    QTest::newRow("a variable average snaps up") << 44100 << 2 << 170000 << 192;
    QTest::newRow("16 kHz stereo: MPEG-2 allows 128") << 16000 << 2 << 256000 << 160;
    QTest::newRow("11.025 kHz stereo: MPEG-2.5 tops at 64") << 11025 << 2 << 32000 << 64;
}

void TestMusicConverter::settingsFollowTheReference()
{
    QFETCH(int, rate);
    QFETCH(int, channels);
    QFETCH(int, bitRate);
    QFETCH(int, kbps);
    const Mp3Settings settings =
        Mp3Settings::forReference(AudioInfo{"MP3", true, rate, channels, 1, bitRate});
    QCOMPARE(settings.sampleRate, rate);
    QCOMPARE(settings.channels, channels);
    QCOMPARE(settings.kbps, kbps);
    const Mp3Settings none = Mp3Settings::forReference(std::nullopt);
    QCOMPARE((QList<int>{none.sampleRate, none.channels, none.kbps}), (QList<int>{44100, 2, 192}));
}

void TestMusicConverter::convertedFileIsTheGamesMp3_data()
{
    QTest::addColumn<QString>("file");
    for (const char *file : {"tone.flac", "tone.ogg", "tone.opus", "tone.m4a", "tone-alac.m4a",
                             "tone.wav", "tone.aiff", "tone.wma", "tone.webm"})
        QTest::newRow(file) << file;
}

void TestMusicConverter::convertedFileIsTheGamesMp3()
{
    QFETCH(QString, file);
    const auto reference = decoder_->probe(audiofixtures::path("game-22k-mono.mp3").toStdString());
    const Mp3Settings settings = Mp3Settings::forReference(std::get<AudioInfo>(reference));
    QTemporaryDir dir;
    const std::filesystem::path output = dir.path().toStdString() + "/Dirt.mp3";
    const std::filesystem::path source = audiofixtures::path(file).toStdString();
    const auto failure =
        core::MusicConverter(core::AudioCodecs::builtIn()).convert(source, settings, output);
    QVERIFY2(!failure, failure ? failure->reason.text(2).c_str() : "");

    const auto converted = decoder_->probe(output);
    QVERIFY(std::holds_alternative<AudioInfo>(converted));
    const AudioInfo &info = std::get<AudioInfo>(converted);
    QVERIFY(info.isMp3);
    QCOMPARE(info.sampleRate, 22050);
    QCOMPARE(info.channels, 1);
    QCOMPARE(info.bitRate, 64000);
    const auto heard = audiofixtures::listen(output, 22050, 1);
    const auto original = audiofixtures::listen(source, 22050, 1);
    QVERIFY2(
        qAbs(heard.seconds - original.seconds) <= 0.05,
        qPrintable(QStringLiteral("%1 s against %2 s").arg(heard.seconds).arg(original.seconds)));
    QVERIFY2(qAbs(heard.frequency - 440) < 20, qPrintable(QString::number(heard.frequency)));
    // No ID3 tag at either end.
    const std::string bytes = testfiles::readBytes(QString::fromStdString(output.string()));
    QVERIFY(bytes.substr(0, 3) != "ID3" && bytes.substr(bytes.size() - 128, 3) != "TAG");
}

void TestMusicConverter::samplesNoMusicHoldsAreBounded_data()
{
    // One sample of 200 (three whole blocks of those checked at once, and a part).
    QTest::addColumn<int>("at");
    QTest::addColumn<float>("sample");
    QTest::addColumn<float>("bounded");
    QTest::newRow("first, not a number") << 0 << std::numeric_limits<float>::quiet_NaN() << 0.F;
    QTest::newRow("a block's last, infinite")
        << 63 << std::numeric_limits<float>::infinity() << 0.F;
    QTest::newRow("a block's first, far past") << 64 << 1e20F << 4.F;
    QTest::newRow("within the part, under") << 195 << -5.F << -4.F;
    QTest::newRow("at the largest") << 130 << -4.F << -4.F;
}

void TestMusicConverter::samplesNoMusicHoldsAreBounded()
{
    QFETCH(int, at);
    QFETCH(float, sample);
    QFETCH(float, bounded);
    std::vector<float> samples(200);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = float(std::sin(double(i))) * 3.99F;
    std::vector<float> expected = samples;
    samples[std::size_t(at)] = sample;
    expected[std::size_t(at)] = bounded;
    QCOMPARE(core::AudioDecoder::isBounded(samples.data(), samples.size()), sample == bounded);
    core::AudioDecoder::bound(samples.data(), samples.size());
    QVERIFY(samples == expected);
}

QTEST_APPLESS_MAIN(TestMusicConverter)
#include "tst_musicconverter.moc"
