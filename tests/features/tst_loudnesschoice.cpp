// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestFiles.h"
#include "TextTable.h"
#include "WindowFixture.h"
#include "features/LoudnessChoice.h"
#include "features/MusicSets.h"
#include "features/PickLoudness.h"
#include "sets/MusicSet.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <memory>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

using testfiles::readBytes;
using testfiles::writeBytes;

class TestLoudnessChoice : public QObject
{
    Q_OBJECT

  private slots:
    void entriesShowTheChoice_data();
    void entriesShowTheChoice();
    void choiceIsStoredInItsOwnFile();
    void pipeInPlaceOfItsFileIsLeftAlone();
    void onlyTheWordsItWritesAreRead_data();
    void onlyTheWordsItWritesAreRead();
    void pickLoudnessIsToldInTheLanguage_data();
    void pickLoudnessIsToldInTheLanguage();
    void silenceLeftOutIsToldInTheLanguage();
    void setsAndHandOverCarryTheLoudnessChoice();
};

namespace {

QList<QAction *> entriesOf(LoudnessChoice &choice, QMenu &menu, std::uint8_t language)
{
    choice.addEntries(menu, TextTable::forLanguage(language));
    return menu.actions();
}

} // namespace

void TestLoudnessChoice::entriesShowTheChoice_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("match");
    QTest::addColumn<QString>("mp3");
    QTest::newRow("Hungarian") << 1 << QString::fromUtf8("A játék &hangerejéhez igazítás")
                               << QString::fromUtf8("Az MP3 választások &igazítása is "
                                                    "(veszteségmentesen, 1,5 dB-es lépésekben)");
    QTest::newRow("English") << 2 << QStringLiteral("Match the game's &loudness")
                             << QStringLiteral("Match &MP3 picks too (lossless, in 1.5 dB steps)");
}

void TestLoudnessChoice::entriesShowTheChoice()
{
    QFETCH(int, language);
    QFETCH(QString, match);
    QFETCH(QString, mp3);
    LoudnessChoice choice;
    QMenu menu;
    const QList<QAction *> entries = entriesOf(choice, menu, std::uint8_t(language));
    QCOMPARE(entries.size(), 2);
    QCOMPARE(entries[0]->text(), match);
    QCOMPARE(entries[1]->text(), mp3);
    // Matching is on and MP3 picks are copied as they are until the player says otherwise.
    QVERIFY(entries[0]->isChecked() && !entries[1]->isChecked() && entries[1]->isEnabled());
    entries[1]->trigger();
    QVERIFY(choice.options().matchLoudness && choice.options().matchMp3);
    // Matching off takes the MP3 entry with it.
    entries[0]->trigger();
    QVERIFY(!choice.options().matchLoudness && !entries[1]->isEnabled());
}

void TestLoudnessChoice::choiceIsStoredInItsOwnFile()
{
    QTemporaryDir folder;
    LoudnessChoice choice;
    choice.useFolder(folder.path());
    choice.setOptions({false, true});
    QVERIFY(QFile::exists(folder.path() + "/loudness.ini"));
    QVERIFY(!QFile::exists(folder.path() + "/config.ini"));
    LoudnessChoice read;
    read.useFolder(folder.path());
    QVERIFY(!read.options().matchLoudness && read.options().matchMp3);
}

void TestLoudnessChoice::pipeInPlaceOfItsFileIsLeftAlone()
{
#ifdef Q_OS_UNIX
    QTemporaryDir folder;
    const QString file = folder.path() + "/loudness.ini";
    QCOMPARE(::mkfifo(qPrintable(file), 0600), 0);
    LoudnessChoice choice;
    choice.useFolder(folder.path());
    choice.setOptions({false, true});
    QVERIFY(!choice.options().matchLoudness && !QFileInfo(file).isFile());
#else
    QSKIP("pipes are made in the file system on POSIX only");
#endif
}

void TestLoudnessChoice::onlyTheWordsItWritesAreRead_data()
{
    QTest::addColumn<QByteArray>("word"); // of both keys
    QTest::addColumn<bool>("match");
    QTest::addColumn<bool>("mp3");
    QTest::newRow("false") << QByteArray("false") << false << false;
    // Anything else is the default: matching on, MP3 picks as they are.
    for (const char *word : {"off", "no", "x7!"})
        QTest::newRow(word) << QByteArray(word) << true << false;
}

void TestLoudnessChoice::onlyTheWordsItWritesAreRead()
{
    QFETCH(QByteArray, word);
    QFETCH(bool, match);
    QFETCH(bool, mp3);
    QTemporaryDir folder;
    QVERIFY(testfiles::writeBytes(folder.path() + "/loudness.ini",
                                  ("[General]\nmatch=" + word + "\nmp3=" + word).toStdString()));
    LoudnessChoice choice;
    choice.useFolder(folder.path());
    QCOMPARE(choice.options().matchLoudness, match);
    QCOMPARE(choice.options().matchMp3, mp3);
}

void TestLoudnessChoice::pickLoudnessIsToldInTheLanguage_data()
{
    QTest::addColumn<double>("pick");
    QTest::addColumn<double>("peak");      // the pick's true peak
    QTest::addColumn<double>("reference"); // NaN: none
    QTest::addColumn<bool>("median");
    QTest::addColumn<bool>("mp3"); // an MP3 pick, MP3 matching off
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("said");
    QTest::addColumn<double>("result"); // the written result's figure; NaN: not measured
    QTest::addColumn<int>("steps");     // an MP3 pick matched in that many steps; 0: none
    QTest::newRow("quieter") << -8.1 << -1.0 << -17.6 << false << false << 2
                             << "-8.1 LUFS; the game's music of this slot -17.6 LUFS: Change "
                                "makes it 9.5 dB quieter"
                             << std::nan("") << 0;
    QTest::newRow("held back") << -20.1 << -3.0 << -15.0 << false << false << 2
                               << "-20.1 LUFS; the game's music of this slot -15.0 LUFS: Change "
                                  "makes it 1.5 dB louder (3.6 dB less than would match: its "
                                  "peaks would clip)"
                               << std::nan("") << 0;
    QTest::newRow("MP3 as it is") << -8.1 << -1.0 << -17.6 << false << true << 2
                                  << "-8.1 LUFS; the game's music of this slot -17.6 LUFS: copied "
                                     "as it is, 9.5 dB louder than the game's music"
                                  << std::nan("") << 0;
    QTest::newRow("median, Hungarian")
        << -8.1 << -1.0 << -17.6 << true << false << 1
        << QString::fromUtf8("-8,1 LUFS; a játék többi zenéje -17,6 LUFS (a mediánjuk): a Csere "
                             "9,5 dB-lel halkítja")
        << std::nan("") << 0;
    QTest::newRow("no reference") << -8.1 << -1.0 << std::nan("") << false << false << 2
                                  << "-8.1 LUFS; the game folder holds no file of this slot, so "
                                     "its loudness is left as it is"
                                  << std::nan("") << 0;
    QTest::newRow("no game file, Hungarian")
        << -20.9 << -1.0 << std::nan("") << true << false << 1
        << QString::fromUtf8("-20,9 LUFS; a játék mappájában nincs fájl ehhez a helyhez, ezért a "
                             "hangereje változatlan marad")
        << std::nan("") << 0;
    QTest::newRow("written short of its format")
        << -49.8 << -15.8 << -23.5 << false << false << 2
        << "-49.8 LUFS; the game's music of this slot -23.5 LUFS: Change makes it 14.3 dB louder "
           "(written, it measures 12.5 dB short of a match: the slot's format does not carry all "
           "of its sound)"
        << -36.0 << 0;
    QTest::newRow("written short of its format, Hungarian")
        << -49.8 << -15.8 << -23.5 << false << false << 1
        << QString::fromUtf8("-49,8 LUFS; a játék zenéje ezen a helyen -23,5 LUFS: a Csere 14,3 "
                             "dB-lel hangosítja (megírva 12,5 dB-lel halkabb, mint amennyi "
                             "kiegyenlítené: ennek a helynek a formátuma nem őrzi meg minden "
                             "hangját)")
        << -36.0 << 0;
    QTest::newRow("as loud") << -17.6 << -5.0 << -17.6 << false << false << 2
                             << "-17.6 LUFS; the game's music of this slot -17.6 LUFS: as loud "
                                "already, Change leaves it so"
                             << std::nan("") << 0;
    QTest::newRow("louder") << -20.0 << -10.0 << -17.6 << false << false << 2
                            << "-20.0 LUFS; the game's music of this slot -17.6 LUFS: Change "
                               "makes it 2.4 dB louder"
                            << std::nan("") << 0;
    QTest::newRow("held back, quieter")
        << -16.0 << 0.8 << -17.7 << false << false << 2
        << "-16.0 LUFS; the game's music of this slot -17.7 LUFS: Change makes it 2.3 dB quieter "
           "(0.6 dB more than a match: otherwise its peaks would clip)"
        << std::nan("") << 0;
    QTest::newRow("held back, quieter, Hungarian")
        << -16.0 << 0.8 << -17.7 << false << false << 1
        << QString::fromUtf8("-16,0 LUFS; a játék zenéje ezen a helyen -17,7 LUFS: a Csere 2,3 "
                             "dB-lel halkítja (0,6 dB-lel jobban, mint amennyi kiegyenlítené: "
                             "különben a csúcsai torzítanának)")
        << std::nan("") << 0;
    QTest::newRow("held back past the limit")
        << -18.0 << 0.3 << -17.5 << false << false << 2
        << "-18.0 LUFS; the game's music of this slot -17.5 LUFS: Change makes it 1.8 dB quieter "
           "(a match would make it 0.5 dB louder, but its peaks are already too high)"
        << std::nan("") << 0;
    QTest::newRow("held back at the limit, Hungarian")
        << -18.0 << -1.5 << -17.5 << false << false << 1
        << QString::fromUtf8("-18,0 LUFS; a játék zenéje ezen a helyen -17,5 LUFS: a Csere a "
                             "hangerején nem változtat (a kiegyenlítéshez 0,5 dB-lel hangosítani "
                             "kellene, de a csúcsai már így is túl magasak)")
        << std::nan("") << 0;
    QTest::newRow("MP3 short of its range")
        << -8.1 << -10.0 << -17.6 << false << true << 2
        << "-8.1 LUFS; the game's music of this slot -17.6 LUFS: Change makes it 6.0 dB quieter "
           "(3.5 dB short of a match: the MP3's own gain goes no further)"
        << std::nan("") << -4;
    QTest::newRow("written louder than promised")
        << -20.1 << -10.0 << -15.0 << false << false << 2
        << "-20.1 LUFS; the game's music of this slot -15.0 LUFS: Change makes it 5.1 dB louder "
           "(written, it measures -14.2 LUFS)"
        << -14.2 << 0;
}

void TestLoudnessChoice::pickLoudnessIsToldInTheLanguage()
{
    QFETCH(double, pick);
    QFETCH(double, peak);
    QFETCH(double, reference);
    QFETCH(bool, median);
    QFETCH(bool, mp3);
    QFETCH(int, language);
    QFETCH(QString, said);
    QFETCH(double, result);
    QFETCH(int, steps);
    const core::Loudness picked{pick, peak, peak, true};
    const auto game = std::isnan(reference)
                          ? std::nullopt
                          : std::optional(core::Loudness{reference, -5, -5, true});
    core::GainPlan plan =
        steps != 0
            ? core::LoudnessGain::withMp3Steps(core::LoudnessGain::forMp3(picked, game), steps)
            : core::LoudnessGain::asChosen(mp3 ? core::LoudnessGain::forMp3(picked, game)
                                               : core::LoudnessGain::forConversion(picked, game),
                                           mp3, {});
    plan.medianReference = median;
    if (!std::isnan(result)) {
        plan.resultLufs = result;
        plan = core::LoudnessGain::withResult(plan);
    }
    QCOMPARE(PickLoudness::describe(plan, mp3, std::uint8_t(language)), said);
}

void TestLoudnessChoice::silenceLeftOutIsToldInTheLanguage()
{
    core::GainPlan plan;
    plan.pick = core::Loudness{-14, -1, -1, true};
    plan.pick->leadingSilence = 2.0;
    plan.pick->trailingSilence = 3.08;
    QCOMPARE(PickLoudness::describeSilence(plan, 2),
             QString("2.0 s of silence at the start and 3.1 s at the end are left out"));
    QCOMPARE(PickLoudness::describeSilence(plan, 1),
             QString::fromUtf8("Az elején 2,0 s és a végén 3,1 s csend kimarad"));
}

void TestLoudnessChoice::setsAndHandOverCarryTheLoudnessChoice()
{
    QTemporaryDir music;
    QVERIFY(writeBytes(music.path() + "/song.mp3", testfiles::song()));
    const QString set = music.path() + "/mine.m3u8";
    {
        WindowFixture f("\"/games/Mp3/\",2\r\n");
        f.start();
        LoudnessChoice &choice = f.form1->protocol().loudnessChoice();
        f.slot(0)->setText(QDir::toNativeSeparators(music.path() + "/song.mp3"));
        choice.setOptions({false, true});
        f.platform.saveAnswers << set;
        f.form1->protocol().musicSets().save(false);
        QVERIFY(readBytes(set).find("#VALDRUNE-LOUDNESS:match=0\n#VALDRUNE-LOUDNESS:mp3=1\n") !=
                std::string::npos);
        choice.setOptions({true, false});
        f.platform.yesNoAnswers << true;
        f.form1->protocol().musicSets().openFile(set);
        QVERIFY(!choice.options().matchLoudness && choice.options().matchMp3);
    }
    // The copy handed over takes the choice and stores nothing of it.
    WindowFixture f;
    core::MusicSet handedOver = core::MusicSet::parse(readBytes(set), music.path().toStdString());
    handedOver.gameFolder = "/games/Mp3/";
    f.platform.yesNoAnswers << true;
    QVERIFY(f.form1->protocol().takeOver(handedOver));
    f.start();
    LoudnessChoice &choice = f.form1->protocol().loudnessChoice();
    QVERIFY(!choice.options().matchLoudness && choice.options().matchMp3);
    choice.setOptions({true, true});
    QVERIFY(!QFile::exists(QFileInfo(f.configPath()).path() + "/loudness.ini"));
}

QTEST_MAIN(TestLoudnessChoice)
#include "tst_loudnesschoice.moc"
