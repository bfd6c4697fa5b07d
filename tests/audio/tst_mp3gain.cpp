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
    void lastFrameBeforeTagsOrJunkIsGained_data();
    void lastFrameBeforeTagsOrJunkIsGained();
    void bytesOutsideTheFramesStayAsTheyAre_data();
    void bytesOutsideTheFramesStayAsTheyAre();
    void silentGranulesDoNotLimitTheGain();
    void ffmpegEncoderTagIsKeptUpToDate_data();
    void ffmpegEncoderTagIsKeptUpToDate();
    void streamsOfDifferentRatesAreBothGained_data();
    void streamsOfDifferentRatesAreBothGained();

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
    // How far the changed stream decodes from the original times the gain of steps, every
    // sample of every frame where the stream has no information frame to trim by.
    double largestError(const std::string &original, const std::string &changed, int steps)
    {
        const std::vector<float> louder = decode(changed);
        const std::vector<float> plain = decode(original);
        if (louder.size() != plain.size() || plain.empty())
            return 1;
        const double gain = std::pow(2.0, steps / 4.0);
        double largest = 0;
        for (std::size_t i = 0; i < plain.size(); ++i)
            largest = std::max(largest, std::abs(louder[i] - plain[i] * gain));
        return largest;
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
    const double error = largestError(original, changed, steps);
    QVERIFY2(error < 1e-4, qPrintable(QString::number(error)));
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

namespace {

std::string fixture(const char *name)
{
    return testfiles::readBytes(audiofixtures::path(name));
}

} // namespace

void TestMp3Gain::lastFrameBeforeTagsOrJunkIsGained_data()
{
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<int>("cut");
    QTest::addColumn<bool>("junkInside");
    const auto bytes = [](const std::string &text) { return QByteArray::fromStdString(text); };
    QTest::newRow("ID3v1") << bytes(mp3frames::id3v1()) << 0 << false;
    QTest::newRow("APEv2 and ID3v1")
        << bytes(mp3frames::ape("art") + mp3frames::id3v1()) << 0 << false;
    QTest::newRow("Lyrics3v2 and ID3v1")
        << bytes(mp3frames::lyrics3v2("words") + mp3frames::id3v1()) << 0 << false;
    QTest::newRow("appended ID3v2") << bytes(mp3frames::id3v2("art", true)) << 0 << false;
    QTest::newRow("last frame cut short, ID3v1") << bytes(mp3frames::id3v1()) << 300 << false;
    QTest::newRow("junk in mid-stream") << QByteArray() << 0 << true;
}

void TestMp3Gain::lastFrameBeforeTagsOrJunkIsGained()
{
    QFETCH(QByteArray, after);
    QFETCH(int, cut);
    QFETCH(bool, junkInside);
    std::string audio = fixture("mp3-mpeg1-no-info.mp3");
    const auto frames = mp3frames::frames(audio);
    // The encoder's last frames hold its silent padding: the stream ends before them, on a
    // frame with sound.
    const std::size_t lastAt = frames[frames.size() - 4].at;
    audio.resize(frames[frames.size() - 3].at - std::size_t(cut));
    if (junkInside)
        audio.insert(frames[3].at, "junk between frames");
    const std::string original = audio + after.toStdString();
    std::string changed = original;
    QCOMPARE(std::get<int>(Mp3Gain::apply(changed, -4)), -4);
    const std::size_t junkFrameAt = frames[2].at;
    QVERIFY(changed.compare(lastAt + 4, 32, original, lastAt + 4, 32) != 0);
    QVERIFY(changed.compare(junkFrameAt + 4, 32, original, junkFrameAt + 4, 32) != 0);
    const double error = largestError(original, changed, -4);
    QVERIFY2(error < 1e-4, qPrintable(QString::number(error)));
}

void TestMp3Gain::bytesOutsideTheFramesStayAsTheyAre_data()
{
    // Tags holding MP3 data, as a picture may.
    const std::string music = fixture("mp3-mpeg1-no-info.mp3").substr(0, 3000);
    const auto bytes = [](const std::string &text) { return QByteArray::fromStdString(text); };
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");
    QTest::newRow("second leading ID3v2")
        << bytes(mp3frames::id3v2("title") + mp3frames::id3v2(music)) << QByteArray();
    QTest::newRow("APEv2 at the end") << QByteArray() << bytes(mp3frames::ape(music));
    QTest::newRow("appended ID3v2") << QByteArray() << bytes(mp3frames::id3v2(music, true));
    QTest::newRow("Lyrics3v2 and ID3v1") << bytes(mp3frames::id3v2("title"))
                                         << bytes(mp3frames::lyrics3v2(music) + mp3frames::id3v1());
}

void TestMp3Gain::bytesOutsideTheFramesStayAsTheyAre()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    const std::string audio = fixture("mp3-mpeg1-no-info.mp3");
    const std::string original = before.toStdString() + audio + after.toStdString();
    std::string changed = original;
    QCOMPARE(std::get<int>(Mp3Gain::apply(changed, -3)), -3);
    std::vector<bool> sideInfo(original.size(), false);
    for (const mp3frames::Frame &frame : mp3frames::frames(audio)) {
        for (std::size_t i = 4; i < 4 + 32; ++i)
            sideInfo[std::size_t(before.size()) + frame.at + i] = true;
    }
    std::size_t changedBytes = 0;
    for (std::size_t i = 0; i < original.size(); ++i) {
        if (changed[i] != original[i]) {
            QVERIFY2(sideInfo[i], qPrintable(QString("byte %1").arg(i)));
            ++changedBytes;
        }
    }
    QVERIFY(changedBytes > 0);
}

void TestMp3Gain::silentGranulesDoNotLimitTheGain()
{
    // The stream starts with digital silence: granules without coded values, whose gain
    // matters to nothing; one of them at the bottom of the range.
    std::string original = fixture("mp3-silence-start.mp3");
    mp3frames::setGlobalGain(original, mp3frames::frames(original).front(), 0, 0);
    std::string changed = original;
    QCOMPARE(std::get<int>(Mp3Gain::applicable(original, -5)), -5);
    QCOMPARE(std::get<int>(Mp3Gain::apply(changed, -5)), -5);
    const double error = largestError(original, changed, -5);
    QVERIFY2(error < 1e-4, qPrintable(QString::number(error)));
}

void TestMp3Gain::ffmpegEncoderTagIsKeptUpToDate_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::newRow("MPEG-1 mono") << "mp3-ffmpeg-mpeg1-mono.mp3";
    QTest::newRow("MPEG-2 mono") << "mp3-ffmpeg-mpeg2-mono.mp3";
}

void TestMp3Gain::ffmpegEncoderTagIsKeptUpToDate()
{
    QFETCH(QString, fixture);
    const std::string original = testfiles::readBytes(audiofixtures::path(fixture));
    const std::size_t start = mp3frames::afterId3v2(original);
    const mp3frames::Frame info = mp3frames::frames(original.substr(start)).front();
    const std::size_t tagAt = start + mp3frames::encoderTagAt(original.substr(start), info);
    const std::size_t infoAt = start + info.at;
    QCOMPARE(original.compare(tagAt, 4, "Lavc"), 0);
    const auto stored = [&](const std::string &data, std::size_t at) {
        return int(mp3frames::byteAt(data, at) << 8 | mp3frames::byteAt(data, at + 1));
    };
    // Its checksums as FFmpeg makes them: the music's from after the information frame, the
    // tag's over 190 bytes, zeros past the frame and for the checksum's own.
    const auto checksumsHold = [&](const std::string &data) {
        const std::size_t musicLength =
            std::size_t(stored(data, tagAt + 28)) << 16 | std::size_t(stored(data, tagAt + 30));
        std::string first = data.substr(infoAt, std::min<std::size_t>(info.length, 190));
        first.resize(190, '\0');
        first[tagAt + 34 - infoAt] = first[tagAt + 35 - infoAt] = '\0';
        return mp3frames::crcA001(data, infoAt + info.length, musicLength - info.length) ==
                   stored(data, tagAt + 32) &&
               mp3frames::crcA001(first, 0, 190) == stored(data, tagAt + 34);
    };
    QVERIFY(checksumsHold(original));
    std::string changed = original;
    QCOMPARE(std::get<int>(Mp3Gain::apply(changed, -2)), -2);
    QVERIFY(checksumsHold(changed));
    QCOMPARE(changed.compare(tagAt + 11, 8, std::string(8, '\0')), 0);
}

void TestMp3Gain::streamsOfDifferentRatesAreBothGained_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::newRow("48 kHz, then 44.1 kHz") << "mp3-mpeg1-stereo.mp3"
                                           << "mp3-mpeg1-joint-crc.mp3";
    QTest::newRow("MPEG-1, then MPEG-2") << "mp3-mpeg1-stereo.mp3"
                                         << "mp3-mpeg2-joint.mp3";
}

void TestMp3Gain::streamsOfDifferentRatesAreBothGained()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    const std::string one = testfiles::readBytes(audiofixtures::path(first));
    const std::string two = testfiles::readBytes(audiofixtures::path(second));
    std::string changed = one + two;
    QCOMPARE(std::get<int>(Mp3Gain::apply(changed, -3)), -3);
    const double firstError = largestError(one, changed.substr(0, one.size()), -3);
    const double secondError = largestError(two, changed.substr(one.size()), -3);
    QVERIFY2(firstError < 1e-4 && secondError < 1e-4,
             qPrintable(QString("%1, %2").arg(firstError).arg(secondError)));
}

QTEST_GUILESS_MAIN(TestMp3Gain)
#include "tst_mp3gain.moc"
