// SPDX-License-Identifier: GPL-3.0-or-later
#include "AudioFixtures.h"
#include "Mp3Frames.h"
#include "TestFiles.h"
#include "audio/Mp3Gain.h"

#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <vector>

using core::Mp3Gain;

Q_DECLARE_METATYPE(Mp3Gain::Refusal)

// The lossless gain of MP3 streams: the decoded music moves by whole steps, the stream
// stays valid.
class TestMp3Gain : public QObject
{
    Q_OBJECT

  private slots:
    void gainRoundTrips_data();
    void gainRoundTrips();
    void streamsThatCannotBeChangedStayAsTheyAre_data();
    void streamsThatCannotBeChangedStayAsTheyAre();

  private:
    std::vector<float> decode(const std::string &mp3)
    {
        const std::string path = folder_.path().toStdString() + "/decoded.mp3";
        testfiles::writeBytes(QString::fromStdString(path), mp3);
        const auto decoder = core::AudioCodecs::builtIn().makeDecoder();
        const auto info = std::get<core::AudioInfo>(decoder->probe(path));
        std::vector<float> samples;
        decoder->decode(
            path, info.sampleRate, info.channels, [&](const float *data, std::size_t frames) {
                samples.insert(samples.end(), data, data + frames * std::size_t(info.channels));
                return true;
            });
        return samples;
    }

    QTemporaryDir folder_;
};

void TestMp3Gain::gainRoundTrips_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<int>("steps");
    QTest::newRow("MPEG-1 joint stereo, checksums") << "mp3-mpeg1-joint-crc.mp3" << -4;
    QTest::newRow("MPEG-1 stereo") << "mp3-mpeg1-stereo.mp3" << 1;
    QTest::newRow("MPEG-1 mono, checksums") << "mp3-mpeg1-mono-crc.mp3" << -1;
    QTest::newRow("MPEG-2 joint stereo") << "mp3-mpeg2-joint.mp3" << -7;
    QTest::newRow("MPEG-2 mono, checksums") << "mp3-mpeg2-mono-crc.mp3" << 1;
    QTest::newRow("MPEG-2.5 stereo, checksums") << "mp3-mpeg25-stereo-crc.mp3" << -2;
    QTest::newRow("MPEG-2.5 mono, no information frame") << "mp3-mpeg25-mono.mp3" << -3;
}

void TestMp3Gain::gainRoundTrips()
{
    QFETCH(QString, fixture);
    QFETCH(int, steps);
    const std::string original = testfiles::readBytes(audiofixtures::path(fixture));
    std::string changed = original;
    const auto applied = Mp3Gain::apply(changed, steps);
    QVERIFY(std::holds_alternative<int>(applied));
    QCOMPARE(std::get<int>(applied), steps);

    // Same frames, every checksum holds; only side information and checksums differ.
    const auto before = mp3frames::frames(original);
    const auto after = mp3frames::frames(changed);
    QCOMPARE(changed.size(), original.size());
    QCOMPARE(after.size(), before.size());
    QVERIFY(before.size() > 5);
    for (const mp3frames::Frame &frame : after)
        QVERIFY(frame.crcHolds);
    const std::size_t tagAt = mp3frames::encoderTagAt(original, before.front());
    for (const mp3frames::Frame &frame : before) {
        const std::size_t changeable = frame.at + 4 + (frame.hasCrc ? 2 : 0) + 32;
        for (std::size_t i = frame.at; i < frame.at + frame.length; ++i) {
            const bool tagField = tagAt && ((i >= tagAt + 11 && i < tagAt + 19) || i >= tagAt + 32);
            if (i >= changeable && !(tagField && i < tagAt + 36))
                QCOMPARE(changed[i], original[i]);
        }
    }

    // The information frame: its own side information untouched, its checksums whole.
    const mp3frames::Frame &info = after.front();
    if (tagAt) {
        QCOMPARE(
            changed.compare(info.at, tagAt + 11 - info.at, original, info.at, tagAt + 11 - info.at),
            0);
        const auto stored = [&](std::size_t at) {
            return mp3frames::byteAt(changed, at) << 8 | mp3frames::byteAt(changed, at + 1);
        };
        QCOMPARE(int(mp3frames::crcA001(changed, info.at, tagAt + 34 - info.at)),
                 stored(tagAt + 34));
        const std::size_t musicLength =
            std::size_t(stored(tagAt + 28)) << 16 | std::size_t(stored(tagAt + 30));
        QCOMPARE(int(mp3frames::crcA001(changed, info.at + info.length, musicLength - info.length)),
                 stored(tagAt + 32));
        QCOMPARE(changed.compare(tagAt + 11, 8, std::string(8, '\0')), 0);
    }

    // Decoded, it is the original times the gain.
    const std::vector<float> louder = decode(changed);
    const std::vector<float> plain = decode(original);
    QCOMPARE(louder.size(), plain.size());
    const double gain = std::pow(2.0, steps / 4.0);
    double largestError = 0;
    for (std::size_t i = 0; i < plain.size(); ++i)
        largestError = std::max(largestError, std::abs(louder[i] - plain[i] * gain));
    QVERIFY2(largestError < 1e-4, qPrintable(QString::number(largestError)));
}

void TestMp3Gain::streamsThatCannotBeChangedStayAsTheyAre_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<Mp3Gain::Refusal>("refusal");
    QTest::newRow("free format") << "mp3-free-format.mp3" << Mp3Gain::Refusal::FreeFormat;
    QTest::newRow("layer II") << "mp3-layer2.mp3" << Mp3Gain::Refusal::OtherLayer;
    QTest::newRow("no MPEG audio") << "tone.flac" << Mp3Gain::Refusal::NoFrames;
}

void TestMp3Gain::streamsThatCannotBeChangedStayAsTheyAre()
{
    QFETCH(QString, fixture);
    QFETCH(Mp3Gain::Refusal, refusal);
    const std::string original = testfiles::readBytes(audiofixtures::path(fixture));
    std::string changed = original;
    const auto applied = Mp3Gain::apply(changed, -2);
    QVERIFY(std::holds_alternative<Mp3Gain::Refusal>(applied));
    QCOMPARE(std::get<Mp3Gain::Refusal>(applied), refusal);
    QCOMPARE(changed, original);
}

QTEST_GUILESS_MAIN(TestMp3Gain)
#include "tst_mp3gain.moc"
