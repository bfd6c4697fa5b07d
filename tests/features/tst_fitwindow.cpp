// SPDX-License-Identifier: GPL-3.0-or-later
#include "AudioFixtures.h"
#include "MadeSong.h"
#include "RecordingPlayer.h"
#include "SharedState.h"
#include "TextTable.h"
#include "WindowFixture.h"
#include "features/FitPreview.h"
#include "features/FitWindow.h"
#include "features/Listening.h"
#include "features/PickLoudness.h"
#include "features/SeamView.h"
#include "features/SlotStatus.h"
#include "files/Platform.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include <cmath>

using Parts = std::vector<FitPreview::Part>;
Q_DECLARE_METATYPE(FitPreview::Part)

namespace {

// The window's button of this text.
QAbstractButton *button(FitWindow &window, const char *text)
{
    for (QAbstractButton *button : window.findChildren<QAbstractButton *>())
        if (button->text() == QString::fromUtf8(text))
            return button;
    return nullptr;
}

} // namespace

// The Fit window opened from a slot's menu in the main window, with a scripted desktop.
class TestFitWindow : public QObject
{
    Q_OBJECT

  private slots:
    void init();
    void keysMoveTheMarkersAndOkKeepsTheFit();
    void accessKeysAreDistinct_data();
    void accessKeysAreDistinct();
    void findALoopSetsTheMarkersToWholePatterns();
    void aJingleIsFittedToTheGamesLength();
    void escapeLeavesTheFitAsItWas();
    void changeWritesTheFittedPart();
    void aFittedMp3IsToldAsConverted();
    void playHandsThePartHeardToTheOutput_data();
    void playHandsThePartHeardToTheOutput();
    void playTheSeamHearsTheFileChangeWrites();
    void aFoundLoopIsKeptOnlyAtItsOwnEnds();
    void tabGoesFromResetToOk();
    void playAndFindALoopAreTakenWhileThePickIsRead();

  private:
    // The main window in the language given with the pick in slot 3, its Fit window open and
    // the pick decoded.
    FitWindow *open(const QString &pick, bool hungarian = false,
                    const QString &gameFolder = QStringLiteral("/games/Mp3"));

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<WindowFixture> f_;
};

void TestFitWindow::init()
{
    if (!core::AudioCodecs::get())
        QSKIP("Fitting needs the audio module");
    f_.reset();
    dir_ = std::make_unique<QTemporaryDir>();
}

FitWindow *TestFitWindow::open(const QString &pick, bool hungarian, const QString &gameFolder)
{
    f_ = std::make_unique<WindowFixture>("\"" + storedFolder(gameFolder) + "\"," +
                                         (hungarian ? "1" : "2") + "\r\n");
    f_->start();
    f_->slot(3)->setText(pick);
    const PickChecker &checker = f_->form1->protocol().slotStatus().pickChecker();
    if (!QTest::qWaitFor([&] { return checker.verdict(3).has_value(); }, 10000))
        return nullptr;
    f_->form1->protocol().slotMenu().fit(3);
    auto *window = f_->form1->findChild<FitWindow *>();
    if (!window || !QTest::qWaitFor([window] { return window->isDecoded(); }, 10000))
        return nullptr;
    return window;
}

void TestFitWindow::keysMoveTheMarkersAndOkKeepsTheFit()
{
    const QString pick = dir_->filePath("tone.wav");
    QVERIFY(audiofixtures::writeToneWav(pick, 10));
    FitWindow *window = open(pick);
    QVERIFY(window);
    WaveformView &waveform = window->waveform();
    QTest::keyClick(&waveform, Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(&waveform, Qt::Key_Right);
    QTest::keyClick(&waveform, Qt::Key_E);
    QTest::keyClick(&waveform, Qt::Key_Left, Qt::ShiftModifier);
    QAccessibleInterface *reader = QAccessible::queryAccessibleInterface(&waveform);
    QCOMPARE(reader->text(QAccessible::Name), QStringLiteral("Waveform"));
    QCOMPARE(reader->text(QAccessible::Value), QStringLiteral("Start 0:01.01, end 0:09.00"));
    window->accept();
    const core::PickFit fit = f_->form1->sharedState().fits.fit(3);
    QCOMPARE(fit.start, std::llround(1.01 * 22050));
    QCOMPARE(fit.end, std::optional(std::int64_t(9 * 22050)));
    QVERIFY(f_->slot(3)->toolTip().contains(
        QStringLiteral("Fitted: 0:01.01 to 0:09.00, fade-in 0.0 s, fade-out 0.0 s")));
}

void TestFitWindow::accessKeysAreDistinct_data()
{
    QTest::addColumn<bool>("hungarian");
    QTest::newRow("English") << false;
    QTest::newRow("Hungarian") << true;
}

void TestFitWindow::accessKeysAreDistinct()
{
    QFETCH(bool, hungarian);
    const QString pick = dir_->filePath("tone.wav");
    QVERIFY(audiofixtures::writeToneWav(pick, 3));
    FitWindow *window = open(pick, hungarian);
    QVERIFY(window);
    QStringList texts;
    for (const QAbstractButton *button : window->findChildren<QAbstractButton *>())
        texts << button->text();
    for (const QLabel *label : window->findChildren<QLabel *>())
        if (label->buddy())
            texts << label->text();
    QStringList keys;
    for (const QString &text : texts) {
        const QRegularExpressionMatch key = QRegularExpression("&([^&])").match(text);
        if (key.hasMatch())
            keys << key.captured(1).toLower();
    }
    // Six buttons, OK, Cancel and the four boxes.
    QCOMPARE(keys.size(), 12);
    QCOMPARE(QSet<QString>(keys.begin(), keys.end()).size(), keys.size());
}

void TestFitWindow::findALoopSetsTheMarkersToWholePatterns()
{
    const madesong::Song song = madesong::song(22050, 40);
    FitPreview writer;
    const QString pick =
        writer.write(song.samples, song.sampleRate, 1, {{0, song.samples.size(), 0, 0}});
    QVERIFY(!pick.isEmpty());
    FitWindow *window = open(pick);
    QVERIFY(window);
    QSignalSpy searched(window, &FitWindow::loopSearchEnded);
    QAbstractButton *find = button(*window, TextTable::forLanguage(2).fitFindLoop);
    QVERIFY(find);
    find->click();
    QVERIFY(searched.wait(20000));
    const WaveformView &waveform = window->waveform();
    // The whole song is five patterns too: the loop is a part of it.
    QVERIFY(waveform.start() > 0 || waveform.end() < waveform.seconds());
    const double patterns =
        (waveform.end() - waveform.start()) * song.sampleRate / double(song.patternSamples);
    QVERIFY2(std::round(patterns) >= 1 && std::abs(patterns - std::round(patterns)) < 0.01,
             qPrintable(QString::number(patterns)));
    // The fit keeps the loop's rising zero crossings to the frame, not the boxes' hundredths.
    const core::PickFit fit = window->fit();
    QVERIFY(fit.end);
    for (const std::int64_t at : {fit.start, *fit.end}) {
        const auto rises = [&](std::int64_t i) {
            return i > 0 && i < std::int64_t(song.samples.size()) && song.samples[i - 1] < 0 &&
                   song.samples[i] >= 0;
        };
        QVERIFY2(rises(at - 1) || rises(at) || rises(at + 1), qPrintable(QString::number(at)));
    }
}

void TestFitWindow::aJingleIsFittedToTheGamesLength()
{
    // Slot 3's own music lasts 5 s: a jingle.
    QVERIFY(audiofixtures::writeToneWav(dir_->filePath("StrongHold.mp3"), 5));
    const QString pick = dir_->filePath("long.wav");
    QVERIFY(audiofixtures::writeToneWav(pick, 12));
    FitWindow *window = open(pick, false, dir_->path());
    QVERIFY(window);
    QVERIFY(f_->slot(3)->toolTip().contains(
        QStringLiteral("The game's music of this slot is a jingle of 5.0 s, played once")));
    const QString onlyPart = QStringLiteral(
        "The game plays only 5.0 s of it, from its start. To choose which part it plays, use "
        "“Fit to the game's length” in the slot menu's “Fit to the game…”");
    QVERIFY2(f_->slot(3)->toolTip().contains(onlyPart), qPrintable(f_->slot(3)->toolTip()));
    const TextTable &texts = TextTable::forLanguage(2);
    QVERIFY(!button(*window, texts.fitFindLoop)->isEnabled());
    QVERIFY(!button(*window, texts.fitPlaySeam)->isEnabled());
    QVERIFY(window->seam().isHidden());
    button(*window, texts.fitToGameLength)->click();
    window->accept();
    const core::PickFit fit = f_->form1->sharedState().fits.fit(3);
    QCOMPARE(fit.start, 0);
    QCOMPARE(fit.end, std::optional(std::int64_t(5 * 22050)));
    QCOMPARE(fit.fadeOut, std::int64_t(1.5 * 22050));
    QVERIFY(!f_->slot(3)->toolTip().contains(onlyPart));
}

void TestFitWindow::escapeLeavesTheFitAsItWas()
{
    const QString pick = dir_->filePath("tone.wav");
    QVERIFY(audiofixtures::writeToneWav(pick, 5));
    FitWindow *window = open(pick);
    QVERIFY(window);
    QTest::keyClick(&window->waveform(), Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(window, Qt::Key_Escape);
    QVERIFY(!window->isVisible());
    QVERIFY(f_->form1->sharedState().fits.fit(3).isWhole());
}

void TestFitWindow::changeWritesTheFittedPart()
{
    const QString game = dir_->filePath("StrongHold.mp3");
    QVERIFY(audiofixtures::writeToneWav(game, 5));
    const QString pick = dir_->filePath("long.wav");
    QVERIFY(audiofixtures::writeToneWav(pick, 12));
    FitWindow *window = open(pick, false, dir_->path());
    QVERIFY(window);
    window->reject();
    f_->form1->sharedState().fits.set(3, {22050, 4 * 22050, 0, 0, 0});
    f_->main().gomb_change->click();
    std::size_t frames = 0;
    QVERIFY(!core::AudioCodecs::get()->makeDecoder()->decode(
        core::platform::pathFromText(game.toStdString()), 22050, 1,
        [&](const float *, std::size_t count) {
            frames += count;
            return true;
        }));
    const double seconds = double(frames) / 22050;
    QVERIFY2(std::abs(seconds - 3) < 0.1, qPrintable(QString::number(seconds)));
}

void TestFitWindow::aFittedMp3IsToldAsConverted()
{
    const QString pick = dir_->filePath("song.mp3");
    QVERIFY(testfiles::writeBytes(pick, testfiles::song()));
    QVERIFY(open(pick));
    f_->form1->sharedState().fits.set(3, {0, 1000, 0, 0, 0});
    const TextTable &texts = TextTable::forLanguage(2);
    const QString tip = f_->slot(3)->toolTip();
    QVERIFY2(tip.contains(QString::fromUtf8(texts.fittedMp3Converted)), qPrintable(tip));
    QVERIFY2(!tip.contains(QStringLiteral("copied")), qPrintable(tip));
}

void TestFitWindow::playHandsThePartHeardToTheOutput_data()
{
    // The pick's fit and the parts heard, in frames at 22.05 kHz.
    QTest::addColumn<FitPreview::Part>("fit");
    QTest::addColumn<Parts>("parts");
    constexpr std::size_t s = 22050;
    const FitPreview::Part faded{s, 9 * s, s / 2, s / 5};
    QTest::newRow("Play: start to end, faded") << faded << Parts{faded};
}

void TestFitWindow::playHandsThePartHeardToTheOutput()
{
    QFETCH(FitPreview::Part, fit);
    QFETCH(Parts, parts);
    const QString file = dir_->filePath("tone.wav");
    QVERIFY(audiofixtures::writeToneWav(file, 10));
    FitWindow *window = open(file);
    QVERIFY(window);
    auto output = std::make_unique<RecordingPlayer>();
    const RecordingPlayer &heard = *output;
    f_->form1->protocol().listening().playThrough(std::move(output));
    const QList<QDoubleSpinBox *> boxes = window->findChildren<QDoubleSpinBox *>();
    const std::array<std::size_t, 4> fitFrames{fit.from, fit.to, fit.fadeIn, fit.fadeOut};
    for (std::size_t i = 0; i < 4; ++i) // the boxes' order
        boxes[qsizetype(i)]->setValue(double(fitFrames[i]) / 22050);
    const TextTable &texts = TextTable::forLanguage(2);
    button(*window, texts.fitPlay)->click();

    std::vector<float> tone;
    core::AudioCodecs::get()->makeDecoder()->decode(
        file.toStdString(), 22050, 1, [&](const float *samples, std::size_t count) {
            tone.insert(tone.end(), samples, samples + count);
            return true;
        });
    FitPreview preview;
    QCOMPARE(heard.played.size(), std::size_t(1));
    QCOMPARE(heard.played[0], testfiles::readBytes(preview.write(tone, 22050, 1, parts)));
    QCOMPARE(heard.gain, f_->form1->protocol().slotStatus().pickLoudness().previewGain(3));
}

void TestFitWindow::playTheSeamHearsTheFileChangeWrites()
{
    const QString file = dir_->filePath("tone.wav");
    QVERIFY(audiofixtures::writeToneWav(file, 10));
    FitWindow *window = open(file);
    QVERIFY(window);
    auto output = std::make_unique<RecordingPlayer>();
    const RecordingPlayer &heard = *output;
    f_->form1->protocol().listening().playThrough(std::move(output));
    const QList<QDoubleSpinBox *> boxes = window->findChildren<QDoubleSpinBox *>();
    for (const auto &[box, seconds] : {std::pair{0, 1.0}, {1, 9.0}, {3, 0.5}})
        boxes[box]->setValue(seconds);
    // The seam view shows the written join once the fit stays put, with no press.
    QCOMPARE(window->seam().drawn(), SeamView::Drawn::FromThePick);
    QTRY_COMPARE_WITH_TIMEOUT(window->seam().drawn(), SeamView::Drawn::AsWritten, 20000);
    button(*window, TextTable::forLanguage(2).fitPlaySeam)->click();
    QTRY_COMPARE_WITH_TIMEOUT(heard.played.size(), std::size_t(1), 20000);

    // Written without a game file: 44.1 kHz stereo, the end faded out before the turn.
    const std::string &wav = heard.played[0];
    QVERIFY(wav.size() > 44);
    const auto *pcm = reinterpret_cast<const std::int16_t *>(wav.data() + 44);
    const std::size_t frames = (wav.size() - 44) / 4;
    QVERIFY2(std::abs(double(frames) / 44100 - 8) < 0.1, qPrintable(QString::number(frames)));
    const auto rms = [&](std::size_t from, std::size_t count) {
        double sum = 0;
        for (std::size_t i = from * 2; i < (from + count) * 2; ++i)
            sum += double(pcm[i]) * pcm[i];
        return std::sqrt(sum / double(count * 2));
    };
    const std::size_t turn = frames / 2;
    QVERIFY(rms(turn - 441, 441) < 0.2 * rms(turn - 44100, 4410));
    QVERIFY(rms(turn, 4410) > 0.5 * rms(turn - 44100, 4410));
    // Beside the waveform, half a second on each side of the join heard.
    QCOMPARE(window->seam().samplesShown(), std::size_t(44100));
    // Moved, it is drawn from the pick until the new join is rendered.
    boxes[1]->setValue(8.5);
    QCOMPARE(window->seam().drawn(), SeamView::Drawn::FromThePick);
    QTRY_COMPARE_WITH_TIMEOUT(window->seam().drawn(), SeamView::Drawn::AsWritten, 20000);
}

void TestFitWindow::aFoundLoopIsKeptOnlyAtItsOwnEnds()
{
    const madesong::Song song = madesong::song(22050, 40);
    FitPreview writer;
    const QString pick =
        writer.write(song.samples, song.sampleRate, 1, {{0, song.samples.size(), 0, 0}});
    FitWindow *window = open(pick);
    QVERIFY(window);
    QSignalSpy searched(window, &FitWindow::loopSearchEnded);
    button(*window, TextTable::forLanguage(2).fitFindLoop)->click();
    QVERIFY(searched.wait(20000));
    const core::PickFit found = window->fit();
    QVERIFY(found.crossfade > 0);
    auto *line = window->findChildren<QLabel *>().first();
    const QString foundLine = line->text();
    WaveformView &waveform = window->waveform();
    QTest::keyClick(&waveform, Qt::Key_Right);
    QVERIFY2(line->text().contains(QStringLiteral("set by hand")), qPrintable(line->text()));
    QCOMPARE(window->fit().crossfade, 0);
    QTest::keyClick(&waveform, Qt::Key_Left);
    QCOMPARE(window->fit(), found);
    QCOMPARE(line->text(), foundLine);
    window->accept();
    // Kept, the slot and the window reopened tell the loop and its crossfade.
    const QString crossfade = QString::number(std::llround(double(found.crossfade) / 22.05));
    QVERIFY2(f_->slot(3)->toolTip().contains(QStringLiteral("Fitted as a loop: ")) &&
                 f_->slot(3)->toolTip().contains("crossfade " + crossfade + " ms"),
             qPrintable(f_->slot(3)->toolTip()));
    QTRY_VERIFY(!f_->form1->findChild<FitWindow *>());
    f_->form1->protocol().slotMenu().fit(3);
    window = f_->form1->findChild<FitWindow *>();
    QVERIFY(window && QTest::qWaitFor([window] { return window->isDecoded(); }, 10000));
    line = window->findChildren<QLabel *>().first();
    QVERIFY2(line->text().contains("found, crossfade " + crossfade + " ms"),
             qPrintable(line->text()));
    QCOMPARE(window->fit(), found);
}

void TestFitWindow::tabGoesFromResetToOk()
{
    const QString pick = dir_->filePath("tone.wav");
    QVERIFY(audiofixtures::writeToneWav(pick, 3));
    FitWindow *window = open(pick);
    QVERIFY(window);
    window->activateWindow();
    QAbstractButton *reset = button(*window, TextTable::forLanguage(2).fitReset);
    reset->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), reset);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), button(*window, TextTable::forLanguage(2).ok));
    // Where a button cannot be used, it says why.
    QVERIFY(!button(*window, TextTable::forLanguage(2).fitToGameLength)->toolTip().isEmpty());
}

void TestFitWindow::playAndFindALoopAreTakenWhileThePickIsRead()
{
    const QString pick = dir_->filePath("tone.wav");
    QVERIFY(audiofixtures::writeToneWav(pick, 10));
    FitWindow *first = open(pick);
    QVERIFY(first);
    first->close();
    QTRY_VERIFY(!f_->form1->findChild<FitWindow *>());
    auto output = std::make_unique<RecordingPlayer>();
    const RecordingPlayer &heard = *output;
    f_->form1->protocol().listening().playThrough(std::move(output));
    // Opened again, with no event handled in between: the decoded pick has not come yet.
    f_->form1->protocol().slotMenu().fit(3);
    auto *window = f_->form1->findChild<FitWindow *>();
    QVERIFY(window && !window->isDecoded());
    QAbstractButton *play = button(*window, TextTable::forLanguage(2).fitPlay);
    QVERIFY(play->isEnabled());
    play->click();
    button(*window, TextTable::forLanguage(2).fitFindLoop)->click();
    QCOMPARE(window->findChildren<QLabel *>().first()->text(),
             QString::fromUtf8(TextTable::forLanguage(2).fitLoopSearching));
    QTRY_COMPARE_WITH_TIMEOUT(heard.played.size(), std::size_t(1), 10000);
    // The whole pick is its own file, heard without waiting for the reading.
    QCOMPARE(heard.played.front(), testfiles::readBytes(pick));
}

QTEST_MAIN(TestFitWindow)
#include "tst_fitwindow.moc"
