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
// click of one sample at clickAt (none where negative), full scale unless another is given.
struct Pick
{
    double silence, faint, fadeIn, toneDb, trailing, clickAt;
    float click = 1;
};

// The pick, or only its first seconds given where a program has written no more yet.
void writePick(const std::filesystem::path &path, const Pick &pick, double writtenSoFar = 1e9)
{
    const loudnessfixtures::Signal faintTone = loudnessfixtures::tone(-65);
    const loudnessfixtures::Signal sound = loudnessfixtures::tone(pick.toneDb);
    const double toneStart = pick.silence + pick.faint;
    const double toneEnd = toneStart + pick.fadeIn + 4;
    loudnessfixtures::writeWav(
        path, rate, 1, std::min(toneEnd + pick.trailing, writtenSoFar), [&](double t) {
            if (std::abs(t - pick.clickAt) < 0.5 / rate)
                return std::array<float, 2>{pick.click, pick.click};
            if (t < pick.silence || t >= toneEnd)
                return std::array<float, 2>{};
            if (t < toneStart)
                return faintTone(t);
            std::array<float, 2> frame = sound(t);
            const double fade = pick.fadeIn > 0 ? (t - toneStart) / pick.fadeIn : 1.0;
            for (float &sample : frame)
                sample *= float(std::min(1.0, fade));
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

Q_DECLARE_METATYPE(Pick)

// A pick converted without the silence at its ends, as two readings would write it.
class TestTrimmedConversion : public QObject
{
    Q_OBJECT

  private slots:
    void writesWhatTwoReadingsWrite_data();
    void writesWhatTwoReadingsWrite();
};

void TestTrimmedConversion::writesWhatTwoReadingsWrite_data()
{
    QTest::addColumn<Pick>("pick");
    // What of the pick its first reading finds: all where negative, else its first seconds, as
    // where a program still writes it; none: that reading fails.
    QTest::addColumn<double>("firstFinds");
    QTest::addColumn<int>("readings"); // 0: not counted
    QTest::newRow("silence at both ends") << Pick{2, 0, 0, -20, 3, -1} << -1.0 << 2;
    QTest::newRow("a click in the silence") << Pick{2, 0, 0, -20, 3, 0.8} << -1.0 << 2;
    // Loud enough for its gate to lie at the floor: its start is known in the first reading.
    QTest::newRow("a fade-in") << Pick{1, 0, 3, -10, 1, -1} << -1.0 << 2;
    QTest::newRow("no silence") << Pick{0, 0, 0, -20, 0, -1} << -1.0 << 2;
    // Its gate lies 40 dB under its level, under the floor: the faint start is music.
    QTest::newRow("a quiet pick's faint start") << Pick{1, 2, 0, -30, 1, -1} << -1.0 << 3;
    QTest::newRow("never as loud as the floor") << Pick{1, 0, 0, -66, 1, -1} << -1.0 << 2;
    // Longer than is held back from the encoder.
    QTest::newRow("a long silence at the end") << Pick{0, 0, 0, -20, 32, -1} << -1.0 << 3;
    const Pick written{1, 2, 0, -20, 3, -1};
    QTest::newRow("written while read: its silence so far") << written << 0.8 << 0;
    QTest::newRow("written while read: its faint start so far") << written << 2.5 << 0;
    QTest::newRow("written while read: none, the first reading failing") << written << 0.0 << 0;
    // A float file's sample in the middle of its tone.
    const float notANumber = std::numeric_limits<float>::quiet_NaN();
    const float infinite = -std::numeric_limits<float>::infinity();
    QTest::newRow("not a number") << Pick{1, 0, 0, -20, 1, 3, notANumber} << -1.0 << 0;
    QTest::newRow("infinite") << Pick{1, 0, 0, -20, 1, 3, infinite} << -1.0 << 0;
    QTest::newRow("far past full scale") << Pick{1, 0, 0, -20, 1, 3, 1e20F} << -1.0 << 0;
}

void TestTrimmedConversion::writesWhatTwoReadingsWrite()
{
    QFETCH(Pick, pick);
    QFETCH(double, firstFinds);
    QFETCH(int, readings);
    QTemporaryDir folder;
    const std::filesystem::path path = folder.filePath("pick.wav").toStdString();
    writePick(path, pick);
    QVERIFY(!convertInTwoReadings(path, folder.filePath("expected.mp3").toStdString()));

    CountedReadings fileSystem;
    if (firstFinds >= 0)
        fileSystem.firstReading = folder.filePath("so-far.wav").toStdString();
    if (firstFinds > 0)
        writePick(fileSystem.firstReading, pick, firstFinds);
    QVERIFY(!core::TrimmedConversion(core::AudioCodecs::builtIn(), fileSystem)
                 .convert(path, settings, folder.filePath("output.mp3").toStdString()));
    if (readings > 0)
        QCOMPARE(fileSystem.readings, readings);
    QVERIFY(testfiles::readBytes(folder.filePath("output.mp3")) ==
            testfiles::readBytes(folder.filePath("expected.mp3")));
}

QTEST_GUILESS_MAIN(TestTrimmedConversion)
#include "tst_trimmedconversion.moc"
