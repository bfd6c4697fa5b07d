// SPDX-License-Identifier: GPL-3.0-or-later
#include "LoudnessFixtures.h"
#include "TestFiles.h"
#include "files/NativeFileSystem.h"
#include "loudness/SilenceGate.h"
#include "loudness/TrimmedConversion.h"
#include "loudness/TrimmedStream.h"

#include <QTemporaryDir>
#include <QTest>

#include <limits>

namespace {

constexpr int rate = 22050;
const core::Mp3Settings settings{rate, 1, 64};

// The real file system, counting the readings of files; the first reading may be of another
// file, as where a program still writes the pick while it is first read.
class CountedReadings : public core::NativeFileSystem
{
  public:
    core::SystemError openForReading(const std::filesystem::path &path, Handle &handle) override
    {
        ++readings;
        return NativeFileSystem::openForReading(
            readings == 1 && !firstReading.empty() ? firstReading : path, handle);
    }
    int readings = 0;
    std::filesystem::path firstReading;
};

// Silence, a faint stretch at -65 dBFS, a fade into a tone, the tone for 4 s, silence, and a
// click of a full-scale sample, or the one given; only the first seconds given where a program
// has written no more yet.
void writePick(const std::filesystem::path &pick, double silence, double faint, double fadeIn,
               double toneDb, double trailing, double clickAt, double writtenSoFar = 1e9,
               float click = 1)
{
    const loudnessfixtures::Signal faintTone = loudnessfixtures::tone(-65);
    const loudnessfixtures::Signal sound = loudnessfixtures::tone(toneDb);
    const double toneStart = silence + faint;
    const double toneEnd = toneStart + fadeIn + 4;
    loudnessfixtures::writeWav(
        pick, rate, 1, std::min(toneEnd + trailing, writtenSoFar), [&](double t) {
            if (std::abs(t - clickAt) < 0.5 / rate)
                return std::array<float, 2>{click, click};
            if (t < silence || t >= toneEnd)
                return std::array<float, 2>{};
            if (t < toneStart)
                return faintTone(t);
            std::array<float, 2> frame = sound(t);
            for (float &sample : frame)
                sample *= float(std::min(1.0, fadeIn > 0 ? (t - toneStart) / fadeIn : 1.0));
            return frame;
        });
}

// What a reading that finds the ends, and a conversion of what lies between them, write.
std::optional<core::ConversionFailure> convertInTwoReadings(const std::filesystem::path &pick,
                                                            const std::filesystem::path &output)
{
    const core::AudioCodecs &codecs = core::AudioCodecs::builtIn();
    core::SilenceGate gate(rate, 1);
    codecs.makeDecoder()->decode(pick, rate, 1, [&](const float *samples, std::size_t frames) {
        gate.add(samples, frames);
        return true;
    });
    return core::MusicConverter(codecs).convert(pick, settings, output, {}, {},
                                                core::TrimmedStream::withoutSilence(gate));
}

} // namespace

// A pick converted without the silence at its ends, as two readings would write it.
class TestTrimmedConversion : public QObject
{
    Q_OBJECT

  private slots:
    void writesWhatTwoReadingsWrite_data();
    void writesWhatTwoReadingsWrite();
    void writesThePickAsItIsWhenWrittenWhileRead_data();
    void writesThePickAsItIsWhenWrittenWhileRead();
    void writesSamplesNoMusicHolds_data();
    void writesSamplesNoMusicHolds();
};

void TestTrimmedConversion::writesWhatTwoReadingsWrite_data()
{
    // Silence, a faint stretch, a fade into a tone, the tone, silence; a full-scale click.
    QTest::addColumn<double>("silence");
    QTest::addColumn<double>("faint"); // 2 s at -65 dBFS, under the gate's floor
    QTest::addColumn<double>("fadeIn");
    QTest::addColumn<double>("toneDb");
    QTest::addColumn<double>("trailing");
    QTest::addColumn<double>("clickAt"); // negative: none
    QTest::addColumn<int>("readings");
    QTest::newRow("silence at both ends") << 2.0 << 0.0 << 0.0 << -20.0 << 3.0 << -1.0 << 2;
    QTest::newRow("a click in the silence") << 2.0 << 0.0 << 0.0 << -20.0 << 3.0 << 0.8 << 2;
    // Loud enough for its gate to lie at the floor: its start is known in the first reading.
    QTest::newRow("a fade-in") << 1.0 << 0.0 << 3.0 << -10.0 << 1.0 << -1.0 << 2;
    QTest::newRow("no silence") << 0.0 << 0.0 << 0.0 << -20.0 << 0.0 << -1.0 << 2;
    // Its gate lies 40 dB under its level, under the floor: the faint start is music.
    QTest::newRow("a quiet pick's faint start") << 1.0 << 2.0 << 0.0 << -30.0 << 1.0 << -1.0 << 3;
    QTest::newRow("never as loud as the floor") << 1.0 << 0.0 << 0.0 << -66.0 << 1.0 << -1.0 << 2;
    // Longer than is held back from the encoder.
    QTest::newRow("a long silence at the end") << 0.0 << 0.0 << 0.0 << -20.0 << 32.0 << -1.0 << 3;
}

void TestTrimmedConversion::writesWhatTwoReadingsWrite()
{
    QFETCH(double, silence);
    QFETCH(double, faint);
    QFETCH(double, fadeIn);
    QFETCH(double, toneDb);
    QFETCH(double, trailing);
    QFETCH(double, clickAt);
    QFETCH(int, readings);
    QTemporaryDir folder;
    const std::filesystem::path pick = folder.filePath("pick.wav").toStdString();
    writePick(pick, silence, faint, fadeIn, toneDb, trailing, clickAt);
    const std::filesystem::path expected = folder.filePath("expected.mp3").toStdString();
    QVERIFY(!convertInTwoReadings(pick, expected));

    CountedReadings fileSystem;
    const std::filesystem::path output = folder.filePath("output.mp3").toStdString();
    QVERIFY(!core::TrimmedConversion(core::AudioCodecs::builtIn(), fileSystem)
                 .convert(pick, settings, output));
    QCOMPARE(fileSystem.readings, readings);
    QVERIFY(testfiles::readBytes(folder.filePath("output.mp3")) ==
            testfiles::readBytes(folder.filePath("expected.mp3")));
}

void TestTrimmedConversion::writesThePickAsItIsWhenWrittenWhileRead_data()
{
    // 1 s of silence, 2 s faint, the tone, 3 s of silence: what was written of it when the
    // first reading read it (none: that reading failed).
    QTest::addColumn<double>("writtenSoFar");
    QTest::newRow("its silence so far") << 0.8;
    QTest::newRow("its faint start so far") << 2.5;
    QTest::newRow("none, the first reading failing") << 0.0;
}

void TestTrimmedConversion::writesThePickAsItIsWhenWrittenWhileRead()
{
    QFETCH(double, writtenSoFar);
    QTemporaryDir folder;
    const std::filesystem::path pick = folder.filePath("pick.wav").toStdString();
    writePick(pick, 1, 2, 0, -20, 3, -1);
    const std::filesystem::path expected = folder.filePath("expected.mp3").toStdString();
    QVERIFY(!convertInTwoReadings(pick, expected));

    CountedReadings fileSystem;
    fileSystem.firstReading = folder.filePath("so-far.wav").toStdString();
    if (writtenSoFar > 0)
        writePick(fileSystem.firstReading, 1, 2, 0, -20, 3, -1, writtenSoFar);
    const std::filesystem::path output = folder.filePath("output.mp3").toStdString();
    QVERIFY(!core::TrimmedConversion(core::AudioCodecs::builtIn(), fileSystem)
                 .convert(pick, settings, output));
    QVERIFY(testfiles::readBytes(folder.filePath("output.mp3")) ==
            testfiles::readBytes(folder.filePath("expected.mp3")));
}

void TestTrimmedConversion::writesSamplesNoMusicHolds_data()
{
    // A float file's sample in the middle of its tone.
    QTest::addColumn<float>("sample");
    QTest::newRow("not a number") << std::numeric_limits<float>::quiet_NaN();
    QTest::newRow("infinite") << -std::numeric_limits<float>::infinity();
    QTest::newRow("far past full scale") << 1e20F;
}

void TestTrimmedConversion::writesSamplesNoMusicHolds()
{
    QFETCH(float, sample);
    QTemporaryDir folder;
    const std::filesystem::path pick = folder.filePath("pick.wav").toStdString();
    writePick(pick, 1, 0, 0, -20, 1, 3, 1e9, sample);
    const std::filesystem::path expected = folder.filePath("expected.mp3").toStdString();
    QVERIFY(!convertInTwoReadings(pick, expected));
    const std::filesystem::path output = folder.filePath("output.mp3").toStdString();
    QVERIFY(!core::TrimmedConversion(core::AudioCodecs::builtIn()).convert(pick, settings, output));
    QVERIFY(testfiles::readBytes(folder.filePath("output.mp3")) ==
            testfiles::readBytes(folder.filePath("expected.mp3")));
}

QTEST_GUILESS_MAIN(TestTrimmedConversion)
#include "tst_trimmedconversion.moc"
