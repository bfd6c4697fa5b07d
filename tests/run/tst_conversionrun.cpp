// SPDX-License-Identifier: GPL-3.0-or-later
#include "AudioFixtures.h"
#include "FaultyFileSystem.h"
#include "LanguageCodes.h"
#include "ReasonTexts.h"
#include "ScratchMount.h"
#include "SlotTextsForTests.h"
#include "TestFiles.h"
#include "files/AtomicFileWriter.h"
#include "files/FailureCodes.h"
#include "report/RunMessages.h"
#include "run/ReplacementRun.h"
#include "sets/MusicSet.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

#ifdef _WIN32
#include <windows.h>
#endif

using core::RunResult;
using languagecodes::english;
using languagecodes::hungarian;
using runtexts::labels;
using runtexts::placeholders;
using testfiles::readBytes;

// Runs whose picks are music of other formats: converted like the game's own files, in
// parallel, committed in slot order.
class TestConversionRun : public QObject
{
    Q_OBJECT

  private slots:
    void init();
    void whatAPickHoldsDecides();
    void laterFailureStopsAfterEarlierConversions();
    void cancelLeavesEveryFileOldOrNew();
    void unreadablePicksStopTheRunBeforeAnyWrite();
    void refusalGivesTheReasonInTheRunsLanguage_data();
    void refusalGivesTheReasonInTheRunsLanguage();
    void readErrorStopsAsACopyDoes();
    void fullDiskWhileConvertingIsNoMusicFault();
    void fullDiskWhileMatchingAnMp3StopsAsACopyDoes();
    void cancelEndsTheConversionUnderWay();
    void failedCommitTellsThePlansPutInPlace();

  private:
    QString game(const QString &name) const { return game_->path() + "/" + name; }
    QString pick(const QString &fixture, const QString &as) const;
    RunResult run(const core::SlotTexts &texts, const core::ReplacementRun::Progress &progress = {},
                  std::stop_token stop = {},
                  core::FileSystem &fileSystem = core::FileSystem::native(),
                  core::LoudnessOptions loudness = {}) const
    {
        return core::ReplacementRun(slots_, fileSystem, {}, &core::AudioCodecs::builtIn(), loudness,
                                    nullptr)
            .run(texts, labels(), game_->path().toStdString() + "/", english, progress, stop);
    }
    // The game's file as the game has it: 22.05 kHz mono, the slots' reference.
    void shipGameFile(const QString &name) const
    {
        QVERIFY(QFile::copy(audiofixtures::path("game-22k-mono.mp3"), game(name)));
    }
    bool isGamesOwn(const QString &name) const
    {
        return readBytes(game(name)) == readBytes(audiofixtures::path("game-22k-mono.mp3"));
    }
    bool isConvertedMp3(const QString &name) const
    {
        const auto probed =
            core::AudioCodecs::builtIn().makeDecoder()->probe(game(name).toStdString());
        const auto *info = std::get_if<core::AudioInfo>(&probed);
        return info && info->isMp3 && info->sampleRate == 22050 && info->channels == 1 &&
               !isGamesOwn(name);
    }
    QStringList ourTemporaryFiles(const QString &folder) const
    {
        QStringList found;
        for (const QString &name : testfiles::entries(folder)) {
            if (core::AtomicFileWriter::isTemporaryFileName(name.toStdString()))
                found << name;
        }
        return found;
    }

    const core::SlotTable slots_;
    std::unique_ptr<QTemporaryDir> game_;
    std::unique_ptr<QTemporaryDir> music_;
};

void TestConversionRun::init()
{
    game_ = std::make_unique<QTemporaryDir>();
    music_ = std::make_unique<QTemporaryDir>();
    for (const char *name : {"CstleTown.mp3", "Dirt.mp3", "Grass.mp3", "Water.mp3", "Combat01.mp3"})
        shipGameFile(name);
}

QString TestConversionRun::pick(const QString &fixture, const QString &as) const
{
    const QString path = music_->path() + "/" + as;
    QFile::copy(audiofixtures::path(fixture), path);
    return path;
}

void TestConversionRun::whatAPickHoldsDecides()
{
    core::SlotTexts texts = placeholders(english);
    texts[0] = pick("tone.mp3", "song.mp3").toStdString();
    texts[9] = pick("tone.mp3", "really an mp3.flac").toStdString();
    texts[10] = pick("tone.flac", "really a flac.mp3").toStdString();
    QCOMPARE(run(texts).outcome, RunResult::Outcome::Completed);
    QCOMPARE(readBytes(game("CstleTown.mp3")), readBytes(audiofixtures::path("tone.mp3")));
    QCOMPARE(readBytes(game("Dirt.mp3")), readBytes(audiofixtures::path("tone.mp3")));
    QVERIFY(isConvertedMp3("Grass.mp3"));

    texts[17] = pick("tone.flac", "x.flac").toStdString();
    QVERIFY(testfiles::writeBytes(music_->path() + "/notes.flac", "shopping list\n"));
    texts[17] = (music_->path() + "/notes.flac").toStdString();
    const RunResult refused = run(texts);
    QCOMPARE(refused.slot, 17);
    QVERIFY2(QString::fromStdString(refused.message)
                 .endsWith("\nnotes.flac (Water): not a music format this program reads"),
             refused.message.c_str());
    QVERIFY(isGamesOwn("Water.mp3"));
}

void TestConversionRun::laterFailureStopsAfterEarlierConversions()
{
    core::SlotTexts texts = placeholders(english);
    texts[0] = pick("tone.ogg", "a.ogg").toStdString();
    texts[9] = pick("tone.m4a", "b.m4a").toStdString();
    texts[17] = (music_->path() + "/missing.flac").toStdString();
    texts[22] = pick("tone.wav", "c.wav").toStdString();
    const QStringList before = ourTemporaryFiles(QDir::tempPath());
    const RunResult result = run(texts);
    QCOMPARE(result.slot, 17);
    QCOMPARE(result.code, 53);
    QVERIFY(isConvertedMp3("CstleTown.mp3"));
    QVERIFY(isConvertedMp3("Dirt.mp3"));
    QVERIFY(isGamesOwn("Water.mp3"));
    QVERIFY(isGamesOwn("Combat01.mp3"));
    QCOMPARE(ourTemporaryFiles(game_->path()), QStringList{});
    QCOMPARE(ourTemporaryFiles(QDir::tempPath()), before);
}

void TestConversionRun::cancelLeavesEveryFileOldOrNew()
{
    core::SlotTexts texts = placeholders(english);
    const QStringList targets = {"CstleTown.mp3", "Dirt.mp3", "Grass.mp3", "Water.mp3",
                                 "Combat01.mp3"};
    int n = 0;
    for (const int slot : {0, 9, 10, 17, 22})
        texts[slot] = pick("tone.flac", QStringLiteral("p%1.flac").arg(n++)).toStdString();
    std::stop_source stop;
    const QStringList before = ourTemporaryFiles(QDir::tempPath());
    const RunResult result = run(
        texts,
        [&](const core::RunProgress &progress) {
            QVERIFY(progress.secondsTotal > 4.9);
            if (progress.secondsDone > 1.5)
                stop.request_stop();
        },
        stop.get_token());
    QCOMPARE(result.outcome, RunResult::Outcome::Cancelled);
    QVERIFY(result.message.empty());
    int changed = 0;
    for (const QString &target : targets) {
        QVERIFY2(isGamesOwn(target) || isConvertedMp3(target), qPrintable(target));
        changed += isGamesOwn(target) ? 0 : 1;
    }
    QVERIFY(changed < targets.size());
    QCOMPARE(ourTemporaryFiles(game_->path()), QStringList{});
    QCOMPARE(ourTemporaryFiles(QDir::tempPath()), before);
}

void TestConversionRun::unreadablePicksStopTheRunBeforeAnyWrite()
{
    core::SlotTexts texts = placeholders(english);
    texts[0] = pick("tone.flac", "a.flac").toStdString();
    QVERIFY(testfiles::writeBytes(music_->path() + "/fake.flac", "shopping list\n"));
    QVERIFY(testfiles::writeBytes(music_->path() + "/fake.mp3", "not a song\n"));
    texts[9] = (music_->path() + "/fake.flac").toStdString();
    texts[10] = (music_->path() + "/missing.flac").toStdString();
    texts[17] = (music_->path() + "/fake.mp3").toStdString();
    const RunResult result = run(texts);
    QCOMPARE(result.outcome, RunResult::Outcome::Failed);
    QCOMPARE(result.slot, 9);
    QCOMPARE(QString::fromStdString(result.message),
             "Nothing was changed, because these picks cannot be used:\n"
             "fake.flac (Dirt): not a music format this program reads\n"
             "fake.mp3 (Water): not a music format this program reads");
    QCOMPARE(result.refusedSlots, (std::vector<int>{9, 17}));
    QVERIFY(isGamesOwn("CstleTown.mp3") && isGamesOwn("Dirt.mp3") && isGamesOwn("Water.mp3"));
}

void TestConversionRun::refusalGivesTheReasonInTheRunsLanguage_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QByteArray>("fit"); // as a set's fit line gives it
    QTest::addColumn<int>("code");
    QTest::newRow("text named fake.flac")
        << QByteArray("shopping list\n") << QByteArray() << int(core::Reason::Code::NotMusic);
    QTest::newRow("no samples") << QByteArray() << QByteArray() << int(core::Reason::Code::NoSound);
    QTest::newRow("fit ending past the pick") // a second at 8 kHz
        << QByteArray::fromStdString(readBytes(audiofixtures::path("tone.wav")))
        << QByteArray("0,8001,0,0,0") << int(core::Reason::Code::FitPastEnd);
}

void TestConversionRun::refusalGivesTheReasonInTheRunsLanguage()
{
    QFETCH(QByteArray, content);
    QFETCH(QByteArray, fit);
    QFETCH(int, code);
    const QString fake = music_->path() + "/fake.flac";
    QVERIFY(content.isEmpty() ? audiofixtures::writeToneWav(fake, 0)
                              : testfiles::writeBytes(fake, content.toStdString()));
    core::SlotTexts texts = placeholders(hungarian);
    texts[9] = fake.toStdString();
    core::ReplacementRun run(slots_, core::FileSystem::native(), {}, &core::AudioCodecs::builtIn());
    std::array<core::PickFit, core::slotCount> fits{};
    fits[9] = core::MusicSet::parseFit(fit.toStdString()).value_or(core::PickFit{});
    run.setFits(fits);
    const RunResult result = run.run(texts, labels(), game_->path().toStdString() + "/", hungarian);
    const QString message = QString::fromStdString(result.message);
    const std::string_view refused = core::RunTexts::forLanguage(hungarian).picksRefusedOne;
    QVERIFY2(message.startsWith(QString::fromUtf8(refused.data(), qsizetype(refused.size()))),
             qPrintable(message));
    QVERIFY2(message.endsWith("\nfake.flac (Dirt): " +
                              reasontexts::words(core::Reason::Code(code), hungarian)),
             qPrintable(message));
    QCOMPARE(reasontexts::englishReasonIn(message), QString());
}

void TestConversionRun::readErrorStopsAsACopyDoes()
{
    core::SlotTexts texts = placeholders(english);
    const QString failing = music_->path() + "/on a failing stick.wav";
    QVERIFY(audiofixtures::writeToneWav(failing, 60));
    texts[0] = failing.toStdString();
    // Its first reads (the probes) pass; the conversion's twentieth fails.
    FaultyFileSystem faulty;
#ifdef _WIN32
    faulty.failOn(FaultyFileSystem::Call::Read, ERROR_READ_FAULT, 20);
#else
    faulty.failOn(FaultyFileSystem::Call::Read, EIO, 20);
#endif
    const RunResult result = run(texts, {}, {}, faulty);
    QCOMPARE(result.slot, 0);
    QCOMPARE(result.code, 57);
    QCOMPARE(result.message, core::RunMessages::failure(english, "Castle", 57));
    QVERIFY(isGamesOwn("CstleTown.mp3"));
}

void TestConversionRun::fullDiskWhileConvertingIsNoMusicFault()
{
    // Room for the game's file, not for ten seconds converted beside it.
    ScratchMount disk(game_->path(), "size=48k");
    if (!disk.mounted())
        QSKIP("mounting a small tmpfs needs root");
    shipGameFile("CstleTown.mp3");
    core::SlotTexts texts = placeholders(english);
    const QString longer = music_->path() + "/longer.wav";
    QVERIFY(audiofixtures::writeToneWav(longer, 10));
    texts[0] = longer.toStdString();
    const RunResult result = run(texts);
    QCOMPARE(result.slot, 0);
    QCOMPARE(result.code, 61);
    // The failure's own text alone; the window gives the reason beside it.
    QCOMPARE(result.message, core::RunMessages::failure(english, "Castle", 61));
    QCOMPARE(int(core::commonFailureOf(result.systemError)), int(core::CommonFailure::DiskFull));
    QVERIFY(isGamesOwn("CstleTown.mp3"));
    QCOMPARE(ourTemporaryFiles(game_->path()), QStringList{});
}

void TestConversionRun::fullDiskWhileMatchingAnMp3StopsAsACopyDoes()
{
    // Room for the game's file, not for the pick beside it.
    ScratchMount disk(game_->path(), "size=16k");
    if (!disk.mounted())
        QSKIP("mounting a small tmpfs needs root");
    shipGameFile("CstleTown.mp3");
    core::SlotTexts texts = placeholders(english);
    texts[0] = pick("mp3-mpeg1-stereo.mp3", "pick.mp3").toStdString();
    const RunResult result = run(texts, {}, {}, core::FileSystem::native(), {true, true});
    QCOMPARE(result.code, 61);
    // The failure's own text alone; the window gives the reason beside it.
    QCOMPARE(result.message, core::RunMessages::failure(english, "Castle", 61));
    QCOMPARE(int(core::commonFailureOf(result.systemError)), int(core::CommonFailure::DiskFull));
    QVERIFY(isGamesOwn("CstleTown.mp3"));
    QCOMPARE(ourTemporaryFiles(game_->path()), QStringList{});
}

void TestConversionRun::cancelEndsTheConversionUnderWay()
{
    core::SlotTexts texts = placeholders(english);
    const QString longPiece = music_->path() + "/long.wav";
    QVERIFY(audiofixtures::writeToneWav(longPiece, 120));
    texts[0] = longPiece.toStdString();
    std::stop_source stop;
    std::atomic<double> converted = 0;
    const RunResult result = run(
        texts,
        [&](const core::RunProgress &progress) {
            converted = std::max(converted.load(), progress.secondsDone);
            if (progress.secondsDone > 1)
                stop.request_stop();
        },
        stop.get_token());
    QCOMPARE(result.outcome, RunResult::Outcome::Cancelled);
    // Within a block of samples of the request, not at the end of the piece.
    QVERIFY2(converted < 10, qPrintable(QString::number(converted.load())));
    QVERIFY(isGamesOwn("CstleTown.mp3"));
    QCOMPARE(ourTemporaryFiles(game_->path()), QStringList{});
}

void TestConversionRun::failedCommitTellsThePlansPutInPlace()
{
    core::SlotTexts texts = placeholders(english);
    for (const int slot : {0, 9, 10})
        texts[slot] = pick("tone.flac", QStringLiteral("p%1.flac").arg(slot)).toStdString();
    // Renamed before: the new originals folder's manifest, the record, the first slot's file.
    FaultyFileSystem faulty;
    faulty.failOn(FaultyFileSystem::Call::Replace, EACCES, 3);
    const RunResult result = run(texts, {}, {}, faulty);
    QCOMPARE(result.slot, 9);
    for (const int slot : {0, 9, 10}) {
        QCOMPARE(result.written[std::size_t(slot)].has_value(), slot == 0);
        QCOMPARE(isConvertedMp3(QString::fromStdString(slots_.targetFileName(slot))), slot == 0);
    }
}

QTEST_APPLESS_MAIN(TestConversionRun)
#include "tst_conversionrun.moc"
