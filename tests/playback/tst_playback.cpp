// SPDX-License-Identifier: GPL-3.0-or-later
#include "AudioFixtures.h"
#include "DecodedStream.h"
#include "OpenFiles.h"
#include "TestFiles.h"
#include "music/AudioCodecs.h"

#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <future>
#include <memory>
#include <optional>
#include <string>

#ifndef _WIN32
#include "PrivateSoundServer.h"
#include "TextTable.h"
#include "WindowFixture.h"
#include "features/Listening.h"
#include "forms/SlotRow.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QToolButton>
#include <numbers>
#endif

namespace {

std::filesystem::path fixture(const char *name)
{
    return audiofixtures::path(QString::fromLatin1(name)).toStdString();
}

struct Level
{
    double rms = 0;
    double frequency = 0;
};

Level measure(const std::vector<std::int16_t> &samples, int rate)
{
    if (samples.empty())
        return {};
    double power = 0;
    int crossings = 0;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        power += double(samples[i]) * samples[i];
        crossings += i > 0 && (samples[i - 1] < 0) != (samples[i] < 0) ? 1 : 0;
    }
    const double seconds = double(samples.size()) / rate;
    return {std::sqrt(power / double(samples.size())) / 32768.0, crossings / 2.0 / seconds};
}

// What a playback said when it ended, which may come on any thread.
struct Ending
{
    std::shared_ptr<std::promise<std::optional<core::Reason>>> said =
        std::make_shared<std::promise<std::optional<core::Reason>>>();
    std::shared_future<std::optional<core::Reason>> heard = said->get_future().share();

    std::shared_ptr<std::atomic<bool>> sounded = std::make_shared<std::atomic<bool>>(false);

    core::AudioPlayer::Ended callback()
    {
        return [said = said](std::optional<core::Reason> failure) { said->set_value(failure); };
    }
    core::AudioPlayer::Sounding sounding()
    {
        return [sounded = sounded] { *sounded = true; };
    }
    bool ended() const
    {
        return heard.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
    }
    std::optional<core::Reason> failure() const { return heard.get(); }
};

#ifndef _WIN32
// Some seconds of the game's music, made with the program's own encoder.
std::string toneOfSeconds(int seconds)
{
    std::vector<float> tone(std::size_t(22050 * seconds));
    for (std::size_t i = 0; i < tone.size(); ++i)
        tone[i] = 0.2f * float(std::sin(2 * std::numbers::pi * 330 * double(i) / 22050));
    const auto encoder = core::AudioCodecs::builtIn().makeEncoder();
    std::string music;
    if (encoder->start(22050, 1, 32) || encoder->encode(tone.data(), tone.size(), music) ||
        encoder->finish(music))
        return {};
    return music;
}

// Chooses the entry of the slot's menu as the player would.
void chooseFromSlotMenu(WindowFixture &f, int slot, const char *entry)
{
    SlotRow *row = f.form1->findChildren<SlotRow *>().value(slot);
    std::unique_ptr<QMenu> menu(row->createMenu(f.main().Label1[slot]));
    for (QAction *action : menu->actions())
        if (action->text() == QString::fromUtf8(entry))
            action->trigger();
}

// Plays from the slot's menu and waits for the player to say it is heard, or why it is not.
bool waitUntilHeard(WindowFixture &f, int slot, const char *entry, QSignalSpy &sounding)
{
    QSignalSpy ended(&f.form1->protocol().listening(), &Listening::ended);
    chooseFromSlotMenu(f, slot, entry);
    // The pick's check and measuring run beside it: slow under the sanitizers on two cores.
    if (!QTest::qWaitFor([&] { return !sounding.isEmpty() || !ended.isEmpty(); }, 30000))
        qWarning("The player told nothing in 30 s");
    else if (!ended.isEmpty())
        qWarning("The playback ended before it was heard: %s",
                 qPrintable(f.platform.messages.join(QLatin1Char(' '))));
    return !sounding.isEmpty() && sounding.constFirst().constFirst().toInt() == slot;
}

// The mark of the slot that plays, found by its words, and what a screen reader calls it.
QAction *playingMark(QLineEdit *box, const QString &said)
{
    for (QAction *action : box->actions())
        if (action->toolTip() == said)
            return action;
    return nullptr;
}

QString accessibleName(QLineEdit *box, const QAction *mark)
{
    for (QToolButton *button : box->findChildren<QToolButton *>())
        if (button->defaultAction() == mark)
            return QAccessible::queryAccessibleInterface(button)->text(QAccessible::Name);
    return {};
}
#endif

} // namespace

class TestPlayback : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase();
    void streamFeedsTheDecodedToneInWholeFrames();
    void stopLeavesNoFileOpen();
    void gainScalesWhatIsDecoded();
#ifndef _WIN32
    void playsThroughTheOutputAndStopEndsIt();
    void saysWhyAFileCannotBePlayed();
    void changeStopsPlayingTheGameFileItReplaces();
    void playingRowIsMarkedUntilEscOrTheEnd_data();
    void playingRowIsMarkedUntilEscOrTheEnd();
    void unplayablePickIsToldInABoxOnce();
#endif

  private:
#ifndef _WIN32
    std::unique_ptr<PrivateSoundServer> server_;
#endif
    std::unique_ptr<core::AudioPlayer> player_;
};

void TestPlayback::initTestCase()
{
#ifndef _WIN32
    server_ = std::make_unique<PrivateSoundServer>();
    QVERIFY2(server_->isUp(), "the private PulseAudio server did not start");
#endif
    QVERIFY(core::AudioCodecs::builtIn().makePlayer);
    player_ = core::AudioCodecs::builtIn().makePlayer();
}

void TestPlayback::streamFeedsTheDecodedToneInWholeFrames()
{
    // Stereo 16-bit at 8 kHz through a queue smaller than the file: the decoder must wait.
    DecodedStream stream(core::AudioCodecs::builtIn().makeDecoder());
    QVERIFY(stream.start(fixture("tone.flac"), {8000, 2, false}, 4000));
    std::vector<std::int16_t> left;
    char buffer[1003];
    QVERIFY(QTest::qWaitFor(
        [&] {
            const std::size_t taken = stream.read(buffer, sizeof buffer);
            if (taken % 4 != 0)
                return true;
            for (std::size_t i = 0; i < taken; i += 4)
                left.push_back(*reinterpret_cast<const std::int16_t *>(buffer + i));
            return stream.atEnd();
        },
        10000));
    QVERIFY(!stream.failure());
    QCOMPARE(left.size(), std::size_t(8000));
    const Level level = measure(left, 8000);
    QVERIFY2(std::abs(level.frequency - 440) < 5, qPrintable(QString::number(level.frequency)));
    QVERIFY(level.rms > 0.05);
}

void TestPlayback::gainScalesWhatIsDecoded()
{
    // The preview of a pick that Change makes 6 dB quieter: half the amplitude.
    const auto peakAt = [](double decibels) {
        DecodedStream stream(core::AudioCodecs::builtIn().makeDecoder());
        stream.setGain(decibels);
        stream.start(fixture("tone.flac"), {8000, 1, true}, 1 << 16);
        float peak = 0;
        float samples[256];
        const bool ended = QTest::qWaitFor(
            [&] {
                const std::size_t taken =
                    stream.read(reinterpret_cast<char *>(samples), sizeof samples);
                for (std::size_t i = 0; i < taken / sizeof(float); ++i)
                    peak = std::max(peak, std::abs(samples[i]));
                return stream.atEnd();
            },
            10000);
        return ended ? peak : -1.0f; // an unfinished stream fails the comparisons
    };
    const float asItIs = peakAt(0);
    QVERIFY(asItIs > 0.05f);
    QVERIFY2(std::abs(peakAt(-6.0206) / asItIs - 0.5f) < 0.01f,
             qPrintable(QString::number(peakAt(-6.0206) / asItIs)));
}

void TestPlayback::stopLeavesNoFileOpen()
{
    // Whether or not there is an output device: a game file played and stopped can be
    // replaced at once.
    QTemporaryDir folder;
    const std::filesystem::path game = folder.path().toStdString() + "/a.flac";
    std::filesystem::copy_file(fixture("tone.flac"), game);
    DecodedStream stream(core::AudioCodecs::builtIn().makeDecoder());
    QVERIFY(stream.start(game, {8000, 1, true}, 1000));
    QVERIFY(QTest::qWaitFor([&] { return stream.available() > 0; }, 5000));
    QVERIFY(testfiles::isHeldOpen(game));
    stream.stop();
    QVERIFY(!testfiles::isHeldOpen(game));
    QVERIFY(!stream.start(game, {8000, 1, true}, 1000)); // a stopped stream stays stopped
    Ending ending;
    player_->play(game, ending.callback(), ending.sounding());
    QTest::qWait(50);
    player_->stop();
    QVERIFY(!testfiles::isHeldOpen(game));
    QVERIFY(std::filesystem::remove(game));
}

#ifndef _WIN32
void TestPlayback::playsThroughTheOutputAndStopEndsIt()
{
    QVERIFY(player_->hasOutputDevice());
    QVERIFY(server_->startRecording());
    const int rate = PrivateSoundServer::recordingRate;
    const std::size_t playedAt = server_->recordedFrames();
    Ending ending;
    player_->play(fixture("tone.flac"), ending.callback(), ending.sounding());
    QTest::qWait(700);
    player_->stop();
    const std::size_t stoppedAt = server_->recordedFrames();
    QTest::qWait(600);
    const std::vector<std::int16_t> played = server_->recording(playedAt, stoppedAt);
    const auto firstSound = std::find_if(
        played.begin(), played.end(), [](std::int16_t sample) { return std::abs(sample) > 300; });
    QVERIFY2(firstSound != played.end(), "nothing was heard");
    qInfo("Play to first sound: %.0f ms", double(firstSound - played.begin()) * 1000 / rate);
    const Level tone = measure({firstSound, played.end() - rate / 20}, rate);
    QVERIFY2(std::abs(tone.frequency - 440) < 5, qPrintable(QString::number(tone.frequency)));
    QVERIFY2(tone.rms > 0.05, qPrintable(QString::number(tone.rms)));
    // Stop is heard at once: the output's short buffer, then silence.
    const std::size_t afterStop = stoppedAt + rate * 35 / 100;
    const Level after = measure(server_->recording(afterStop, afterStop + rate / 10), rate);
    QVERIFY2(after.rms < 0.001, qPrintable(QString::number(after.rms)));
    QTRY_VERIFY(ending.ended());
    QCOMPARE(ending.failure(), std::nullopt);
}

void TestPlayback::saysWhyAFileCannotBePlayed()
{
    QTemporaryDir folder;
    QVERIFY(testfiles::writeBytes(folder.path() + "/notes.mp3", "not music at all"));
    Ending ending;
    player_->play(folder.path().toStdString() + "/notes.mp3", ending.callback(), ending.sounding());
    QTRY_VERIFY(ending.ended());
    QCOMPARE(ending.failure().value_or(core::Reason{core::Reason::Code::Cancelled, {}}).code,
             core::Reason::Code::NotMusic);
    QVERIFY(!*ending.sounded);
    // A tone played out ends by itself, with nothing to report.
    Ending played;
    player_->play(fixture("tone.flac"), played.callback(), played.sounding());
    QTRY_VERIFY_WITH_TIMEOUT(played.ended(), 5000);
    QCOMPARE(played.failure(), std::nullopt);
    QVERIFY(*played.sounded);
}

void TestPlayback::changeStopsPlayingTheGameFileItReplaces()
{
    // Long enough to be still playing when Change is pressed, once it is heard.
    const std::string music = toneOfSeconds(10);
    QVERIFY(!music.empty());
    QTemporaryDir game;
    const QString target = game.path() + "/CstleTown.mp3";
    QVERIFY(testfiles::writeBytes(target, music));

    WindowFixture f("\"" + game.path().toStdString() + "/\",2\r\n");
    f.start();
    f.slot(0)->setText(audiofixtures::path("tone.mp3"));
    Listening &listening = f.form1->protocol().listening();
    QSignalSpy sounding(&listening, &Listening::sounding);
    QVERIFY(waitUntilHeard(f, 0, TextTable::forLanguage(2).playGameMusic, sounding));
    QVERIFY(listening.isPlaying());
    // Where the playback ends, the game's file must still be the one it played.
    std::optional<bool> stoppedBeforeWriting;
    connect(&listening, &Listening::ended, this,
            [&](int slot, const std::optional<core::Reason> &failure) {
                if (slot == 0 && !failure)
                    stoppedBeforeWriting = testfiles::readBytes(target) == music;
            });
    f.main().gomb_change->click();
    QCOMPARE(stoppedBeforeWriting, std::optional(true));
    QVERIFY(!testfiles::holdsReplacedFile(target.toStdString()));
    QCOMPARE(testfiles::readBytes(target), testfiles::song());
}

void TestPlayback::playingRowIsMarkedUntilEscOrTheEnd_data()
{
    QTest::addColumn<char>("language");
    QTest::addColumn<QString>("said");
    QTest::newRow("Hungarian") << '1' << QString::fromUtf8("lejátszás folyamatban");
    QTest::newRow("English") << '2' << QStringLiteral("playing");
}

void TestPlayback::playingRowIsMarkedUntilEscOrTheEnd()
{
    QFETCH(char, language);
    QFETCH(QString, said);
    QTemporaryDir game;
    const QString target = game.path() + "/CstleTown.mp3";
    QVERIFY(testfiles::writeBytes(target, toneOfSeconds(10)));
    QVERIFY(testfiles::writeBytes(game.path() + "/fake.mp3", "not music at all"));
    WindowFixture f("\"" + game.path().toStdString() + "/\"," + language + "\r\n");
    f.start();
    QApplication::setActiveWindow(f.form1.get());
    QVERIFY(QTest::qWaitForWindowActive(f.form1.get()));
    const TextTable &texts = TextTable::forLanguage(language - '0');
    // The game's music of a slot whose pick is marked unreadable: both marks, each its words.
    QLineEdit *box = f.slot(0);
    box->setText(game.path() + "/fake.mp3");
    QTRY_VERIFY(!box->accessibleDescription().isEmpty());
    const QString description = box->accessibleDescription();
    QSignalSpy sounding(&f.form1->protocol().listening(), &Listening::sounding);
    QVERIFY(waitUntilHeard(f, 0, texts.playGameMusic, sounding));
    QAction *mark = playingMark(box, said);
    QVERIFY(mark && mark->isVisible());
    QCOMPARE(accessibleName(box, mark), said);
    QCOMPARE(box->accessibleDescription(), description);
    QTest::keyClick(box, Qt::Key_Escape);
    QVERIFY(!testfiles::isHeldOpen(target.toStdString()));
    QVERIFY(!mark->isVisible());

    // A pick played to its end loses its mark by itself.
    f.slot(1)->setText(audiofixtures::path("tone.flac"));
    chooseFromSlotMenu(f, 1, texts.playPick);
    QAction *ending = playingMark(f.slot(1), said);
    QVERIFY(ending && ending->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!ending->isVisible(), 5000);
}

void TestPlayback::unplayablePickIsToldInABoxOnce()
{
    QTemporaryDir music;
    const QString notes = QDir::toNativeSeparators(music.path() + "/notes.mp3");
    QVERIFY(testfiles::writeBytes(notes, "not music at all"));
    WindowFixture f("\"/games/Mp3/\",2\r\n");
    f.start();
    f.slot(2)->setText(notes);
    const QString cannotPlay = QStringLiteral("Cannot be played: ");
    for (int time = 0; time < 2; ++time) {
        chooseFromSlotMenu(f, 2, TextTable::forLanguage(2).playPick);
        QVERIFY(!f.slot(2)->toolTip().contains(cannotPlay));
        QTRY_VERIFY(f.slot(2)->toolTip().contains(cannotPlay));
    }
    QCOMPARE(f.platform.messages.size(), 1);
    QVERIFY2(f.platform.messages.constFirst().startsWith("Cannot play " + notes + ": "),
             qPrintable(f.platform.messages.constFirst()));
}
#endif

QTEST_MAIN(TestPlayback)
#include "tst_playback.moc"
