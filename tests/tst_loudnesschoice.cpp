// SPDX-License-Identifier: GPL-3.0-or-later
#include "LoudnessChoice.h"
#include "PickLoudness.h"
#include "TextTable.h"

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

class TestLoudnessChoice : public QObject
{
    Q_OBJECT

  private slots:
    void entriesShowTheChoice_data();
    void entriesShowTheChoice();
    void mp3EntryOnlyWhileMatching();
    void choiceIsStoredInItsOwnFile_data();
    void choiceIsStoredInItsOwnFile();
    void pipeInPlaceOfItsFileIsLeftAlone();
    void pickLoudnessIsToldInTheLanguage_data();
    void pickLoudnessIsToldInTheLanguage();
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
    QVERIFY(entries[0]->isCheckable() && entries[0]->isChecked());
    QVERIFY(entries[1]->isCheckable() && !entries[1]->isChecked() && entries[1]->isEnabled());
    entries[1]->trigger();
    QVERIFY(choice.options().matchLoudness && choice.options().matchMp3);
}

void TestLoudnessChoice::mp3EntryOnlyWhileMatching()
{
    LoudnessChoice choice;
    QMenu menu;
    const QList<QAction *> entries = entriesOf(choice, menu, 2);
    entries[0]->trigger();
    QVERIFY(!choice.options().matchLoudness);
    QVERIFY(!entries[1]->isEnabled());
    // A menu made while matching is off shows the MP3 entry disabled.
    choice.setOptions({false, true});
    QMenu again;
    const QList<QAction *> shown = entriesOf(choice, again, 2);
    QVERIFY(!shown[0]->isChecked() && shown[1]->isChecked() && !shown[1]->isEnabled());
}

void TestLoudnessChoice::choiceIsStoredInItsOwnFile_data()
{
    QTest::addColumn<bool>("match");
    QTest::addColumn<bool>("mp3");
    QTest::newRow("MP3 only, kept while off") << false << true;
    QTest::newRow("both") << true << true;
}

void TestLoudnessChoice::choiceIsStoredInItsOwnFile()
{
    QFETCH(bool, match);
    QFETCH(bool, mp3);
    QTemporaryDir folder;
    {
        LoudnessChoice choice;
        choice.useFolder(folder.path());
        QMenu menu;
        const QList<QAction *> entries = entriesOf(choice, menu, 2);
        if (mp3)
            entries[1]->trigger();
        if (!match)
            entries[0]->trigger();
    }
    const QString file = folder.path() + "/loudness.ini";
    QVERIFY(QFile::exists(file) || (match && !mp3));
    QVERIFY(!QFile::exists(folder.path() + "/config.ini"));
    LoudnessChoice read;
    read.useFolder(folder.path());
    QCOMPARE(read.options().matchLoudness, match);
    QCOMPARE(read.options().matchMp3, mp3);
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

void TestLoudnessChoice::pickLoudnessIsToldInTheLanguage_data()
{
    using core::GainReason;
    QTest::addColumn<int>("reason");
    QTest::addColumn<double>("pick");
    QTest::addColumn<double>("reference"); // NaN: none
    QTest::addColumn<double>("gain");
    QTest::addColumn<double>("heldBack");
    QTest::addColumn<bool>("median");
    QTest::addColumn<bool>("mp3");
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("said");
    const double none = std::nan("");
    QTest::newRow("quieter") << int(GainReason::Matched) << -8.1 << -17.6 << -9.5 << 0.0 << false
                             << false << 2
                             << "-8.1 LUFS; the game's music of this slot -17.6 LUFS: Change "
                                "makes it 9.5 dB quieter";
    QTest::newRow("held back") << int(GainReason::PeakLimited) << -20.1 << -15.0 << 3.0 << 2.1
                               << false << false << 2
                               << "-20.1 LUFS; the game's music of this slot -15.0 LUFS: Change "
                                  "makes it 3.0 dB louder (2.1 dB less than would match: its "
                                  "peaks would clip)";
    QTest::newRow("MP3 as it is") << int(GainReason::Off) << -8.1 << -17.6 << 0.0 << 0.0 << false
                                  << true << 2
                                  << "-8.1 LUFS; the game's music of this slot -17.6 LUFS: copied "
                                     "as it is, 9.5 dB louder than the game's music";
    QTest::newRow("median, Hungarian")
        << int(GainReason::Matched) << -8.1 << -17.6 << -9.5 << 0.0 << true << false << 1
        << QString::fromUtf8("-8,1 LUFS; a játék többi zenéje -17,6 LUFS (a mediánjuk): a Csere "
                             "9,5 dB-lel halkítja");
    QTest::newRow("no reference") << int(GainReason::NoReference) << -8.1 << none << 0.0 << 0.0
                                  << false << false << 2
                                  << "-8.1 LUFS; the game's music of this slot cannot be measured "
                                     "(the game file is this program's own), so its loudness is "
                                     "left as it is";
    QTest::newRow("silent pick, Hungarian")
        << int(GainReason::SilentPick) << -HUGE_VAL << -17.6 << 0.0 << 0.0 << false << false << 1
        << QString::fromUtf8("Nincs mérhető hangereje (néma vagy 0,4 mp-nél rövidebb), ezért "
                             "változatlan marad");
}

void TestLoudnessChoice::pickLoudnessIsToldInTheLanguage()
{
    QFETCH(int, reason);
    QFETCH(double, pick);
    QFETCH(double, reference);
    QFETCH(double, gain);
    QFETCH(double, heldBack);
    QFETCH(bool, median);
    QFETCH(bool, mp3);
    QFETCH(int, language);
    QFETCH(QString, said);
    core::GainPlan plan;
    plan.reason = core::GainReason(reason);
    plan.pick = core::Loudness{pick};
    if (!std::isnan(reference))
        plan.reference = core::Loudness{reference};
    plan.gain = gain;
    plan.heldBack = heldBack;
    plan.medianReference = median;
    QCOMPARE(PickLoudness::describe(plan, mp3, std::uint8_t(language)), said);
}

QTEST_MAIN(TestLoudnessChoice)
#include "tst_loudnesschoice.moc"
