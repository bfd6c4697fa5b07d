// SPDX-License-Identifier: GPL-3.0-or-later
#include "SharedState.h"
#include "TextTable.h"
#include "WindowFixture.h"
#include "features/MusicSets.h"
#include "features/PickChecker.h"
#include "features/SlotStatus.h"
#include "sets/MusicSet.h"

#include <QApplication>
#include <QMenu>
#include <QTest>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

using testfiles::entries;
using testfiles::readBytes;
using testfiles::writeBytes;

// The main window's music sets with a scripted desktop: what the player is told and what is
// left on disk. In English unless a row's name says Hungarian. The tests that make pipes and
// links in their folder run on Linux alone.
class TestMusicSets : public QObject
{
    Q_OBJECT

  private slots:
    void setsSaveAndOpenThePicks();
    void clearAllPicksAsksWhenMoreThanOneWouldGo_data();
    void clearAllPicksAsksWhenMoreThanOneWouldGo();
#ifdef Q_OS_UNIX
    void init();
    void saveSaysWhyItFailed_data();
    void saveSaysWhyItFailed();
    void openingAnUnreadableSetLeavesThePicks_data();
    void openingAnUnreadableSetLeavesThePicks();
    void musicFolderIsNamedInTheLanguage_data();
    void musicFolderIsNamedInTheLanguage();
    void linesPassedOverAreToldInTheLanguage_data();
    void linesPassedOverAreToldInTheLanguage();
    void openingASetAsksBeforeItReplacesPicks();
    void aSavedFitComesBackWithItsSet();
    void aNewPickGoesWithoutTheOldFit();
    void aFitPastItsPickIsDropped_data();
    void aFitPastItsPickIsDropped();
    void savingWithMusicOffersToLeaveOutAMissingPick_data();
    void savingWithMusicOffersToLeaveOutAMissingPick();
#endif

  private:
    QString path(const QString &name) const
    {
        return dir_->path() + '/' + name;
    }
    // The main window in the row's language, slot 3 holding pick.
    std::unique_ptr<WindowFixture> window(const QString &pick) const;

    std::unique_ptr<QTemporaryDir> dir_;
};

void TestMusicSets::setsSaveAndOpenThePicks()
{
    QTemporaryDir music;
    QVERIFY(QDir(music.path()).mkpath("sets"));
    QVERIFY(writeBytes(music.path() + "/sets/song.mp3", testfiles::song()));
    QVERIFY(writeBytes(music.path() + "/other.mp3", testfiles::song()));
    WindowFixture f("\"/games/Mp3/\",2\r\n");
    f.start();
    f.slot(0)->setText(QDir::toNativeSeparators(music.path() + "/sets/song.mp3"));
    f.slot(39)->setText(QDir::toNativeSeparators(music.path() + "/other.mp3"));
    const QString set = music.path() + "/sets/mine.m3u8";
    f.platform.saveAnswers << set << (music.path() + "/shared/theirs");
    QApplication::setActiveWindow(f.form1.get());
    QVERIFY(QTest::qWaitForWindowActive(f.form1.get()));
    QTest::keyClick(f.form1.get(), Qt::Key_S, Qt::ControlModifier);
    QVERIFY(readBytes(set).find("\nsong.mp3\n") != std::string::npos);

    // With its music: copies beside the set, under names of their own, found relatively.
    QVERIFY(QDir(music.path()).mkpath("shared"));
    MusicSets &sets = f.form1->protocol().musicSets();
    std::unique_ptr<QMenu>(sets.createMenu(f.form1.get()))->actions().at(1)->trigger();
    // Beside them, the record of the copies this save made.
    QCOMPARE(testfiles::entries(music.path() + "/shared/theirs files"),
             (QStringList{".valdrune-copies", "other.mp3", "song.mp3"}));
    QVERIFY(readBytes(music.path() + "/shared/theirs.m3u8").find("\ntheirs files/song.mp3\n") !=
            std::string::npos);

    f.slot(5)->setText("/somewhere/else.mp3");
    f.platform.yesNoAnswers << true;
    sets.openFile(set);
    QCOMPARE(f.platform.questions.size(), 1);
    QCOMPARE(f.slot(0)->text(), QDir::toNativeSeparators(music.path() + "/sets/song.mp3"));
    QCOMPARE(f.slot(5)->text(), englishPlaceholder);
    QCOMPARE(f.slot(39)->text(), QDir::toNativeSeparators(music.path() + "/other.mp3"));
    QVERIFY(f.platform.messages.isEmpty());
}

void TestMusicSets::clearAllPicksAsksWhenMoreThanOneWouldGo_data()
{
    QTest::addColumn<char>("language");
    QTest::addColumn<int>("picks");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<QString>("question"); // empty: none is asked
    QTest::newRow("one pick") << '2' << 1 << false << QString();
    QTest::newRow("two, yes") << '2' << 2 << true << "Clear all picks? (2 files)";
    QTest::newRow("two, no") << '2' << 2 << false << "Clear all picks? (2 files)";
    QTest::newRow("Hungarian") << '1' << 3 << true
                               << QString::fromUtf8("Törlöd az összes választást? (3 fájl)");
}

void TestMusicSets::clearAllPicksAsksWhenMoreThanOneWouldGo()
{
    QFETCH(char, language);
    QFETCH(int, picks);
    QFETCH(bool, answer);
    QFETCH(QString, question);
    WindowFixture f(std::string("\"/games/Mp3/\",") + language + "\r\n");
    f.start();
    const QString placeholder = language == '1' ? hungarianPlaceholder : englishPlaceholder;
    for (int i = 0; i < picks; ++i)
        f.slot(i * 13)->setText(QStringLiteral("/music/%1.mp3").arg(i));
    f.platform.yesNoAnswers << answer;
    const QString clearAll =
        QString::fromUtf8(TextTable::forLanguage(language - '0').clearAllPicks);
    std::unique_ptr<QMenu> menu(f.form1->protocol().musicSets().createMenu(f.form1.get()));
    for (QAction *action : menu->actions())
        if (action->text() == clearAll)
            action->trigger();
    QCOMPARE(f.platform.questions, question.isEmpty() ? QStringList() : QStringList{question});
    if (!question.isEmpty())
        QCOMPARE(f.platform.defaultAnswers, QList{PlatformLayer::DefaultAnswer::Yes});
    const bool cleared = question.isEmpty() || answer;
    for (int i = 0; i < picks; ++i)
        QCOMPARE(f.slot(i * 13)->text(),
                 cleared ? placeholder : QStringLiteral("/music/%1.mp3").arg(i));
}

#ifdef Q_OS_UNIX

void TestMusicSets::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(QDir(dir_->path()).mkpath("a folder"));
    QVERIFY(::mkfifo(qPrintable(path("pipe.m3u8")), 0600) == 0);
    QVERIFY(::symlink("loop.m3u8", qPrintable(path("loop.m3u8"))) == 0);
    QVERIFY(testfiles::writeBytes(path("song.mp3"), testfiles::song()));
    // A set whose first pick would be read were it read in part.
    std::string large = "#EXTM3U\n#VALDRUNE-SLOT:Water.mp3\n/music/water.mp3\n";
    large.resize(core::MusicSet::largestFile + 1, '#');
    QVERIFY(testfiles::writeBytes(path("large.m3u8"), large));
}

std::unique_ptr<WindowFixture> TestMusicSets::window(const QString &pick) const
{
    const bool hungarian = QString(QTest::currentDataTag()).contains("Hungarian");
    auto f = std::make_unique<WindowFixture>(hungarian ? "\"/games/Mp3/\",1\r\n"
                                                       : "\"/games/Mp3/\",2\r\n");
    f->start();
    f->slot(3)->setText(pick);
    return f;
}

void TestMusicSets::saveSaysWhyItFailed_data()
{
    QTest::addColumn<QString>("pick");    // in the test's folder
    QTest::addColumn<QString>("setFile"); // in the test's folder
    QTest::addColumn<bool>("withMusic");
    QTest::addColumn<QString>("message"); // %1 the test's folder
    QTest::newRow("a folder picked, Hungarian")
        << "a folder"
        << "mine.m3u8" << true
        << QString::fromUtf8("%1/a folder nem másolható a készlet mellé: nem fájl");
    QTest::newRow("alone") << "song.mp3"
                           << "gone/mine.m3u8" << false
                           << QStringLiteral("Cannot save the set %1/gone/mine.m3u8: the file "
                                             "or folder does not exist");
    QTest::newRow("with its music, Hungarian")
        << "song.mp3"
        << "gone/mine.m3u8" << true
        << QString::fromUtf8(
               "A(z) %1/gone/mine.m3u8 készlet nem menthető: a fájl vagy a mappa nem létezik");
}

void TestMusicSets::saveSaysWhyItFailed()
{
    QFETCH(QString, pick);
    QFETCH(QString, setFile);
    QFETCH(bool, withMusic);
    QFETCH(QString, message);
    const std::unique_ptr<WindowFixture> f = window(path(pick));
    const QStringList before = entries(dir_->path());
    f->platform.saveAnswers << path(setFile);
    f->form1->protocol().musicSets().save(withMusic);
    QCOMPARE(f->platform.messages, QStringList{message.arg(dir_->path())});
    QCOMPARE(entries(dir_->path()), before);
}

void TestMusicSets::openingAnUnreadableSetLeavesThePicks_data()
{
    QTest::addColumn<QString>("set");
    QTest::addColumn<QString>("message"); // %1 the set file
    // Opened without waiting for a writer that never comes.
    QTest::newRow("pipe") << "pipe.m3u8" << QStringLiteral("Cannot open the set %1: not a file");
    QTest::newRow("missing") << "gone.m3u8"
                             << QStringLiteral(
                                    "Cannot open the set %1: the file or folder does not exist");
    QTest::newRow("too large, Hungarian")
        << "large.m3u8"
        << QString::fromUtf8(
               "A(z) %1 készlet nem nyitható meg: nagyobb, mint amekkora egy zenekészlet lehet "
               "(1 MiB)");
    QTest::newRow("link to itself, Hungarian")
        << "loop.m3u8"
        << QString::fromUtf8("A(z) %1 készlet nem nyitható meg: a rendszer hibát jelzett (") +
               QString::fromLocal8Bit(std::strerror(ELOOP)) + ")";
}

void TestMusicSets::openingAnUnreadableSetLeavesThePicks()
{
    QFETCH(QString, set);
    QFETCH(QString, message);
    const std::unique_ptr<WindowFixture> f = window("/music/mine.mp3");
    f->form1->protocol().musicSets().openFile(path(set));
    QCOMPARE(f->slot(3)->text(), QStringLiteral("/music/mine.mp3"));
    QCOMPARE(f->slot(17)->text(), f->slot(16)->text());
    QCOMPARE(f->platform.messages, QStringList{message.arg(path(set))});
}

void TestMusicSets::musicFolderIsNamedInTheLanguage_data()
{
    QTest::addColumn<QString>("folder");
    QTest::newRow("English") << QStringLiteral("mine files");
    QTest::newRow("Hungarian") << QString::fromUtf8("mine fájljai");
}

void TestMusicSets::musicFolderIsNamedInTheLanguage()
{
    QFETCH(QString, folder);
    const std::unique_ptr<WindowFixture> f = window(path("song.mp3"));
    f->platform.saveAnswers << path("mine.m3u8");
    f->form1->protocol().musicSets().save(true);
    QVERIFY(f->platform.messages.isEmpty());
    // The copy, and the record of the copies made there.
    QCOMPARE(entries(path(folder)), (QStringList{".valdrune-copies", "song.mp3"}));
}

void TestMusicSets::linesPassedOverAreToldInTheLanguage_data()
{
    QTest::addColumn<QString>("message");
    QTest::newRow("English") << QStringLiteral(
        "These lines of the set were passed over:\nline 2: no slot of the game is named "
        "Nowhere.mp3\nline 3: a file without a slot\nline 4: not a language");
    QTest::newRow("Hungarian") << QString::fromUtf8(
        "A készlet ezen sorait a program kihagyta:\n2. sor: a játéknak nincs ilyen nevű helye: "
        "Nowhere.mp3\n3. sor: fájl, amelyhez nincs megadva hely\n4. sor: nem nyelvkód");
}

void TestMusicSets::linesPassedOverAreToldInTheLanguage()
{
    QFETCH(QString, message);
    QVERIFY(testfiles::writeBytes(
        path("odd.m3u8"), "#EXTM3U\n#VALDRUNE-SLOT:Nowhere.mp3\na.mp3\n#VALDRUNE-LANGUAGE:x\n"));
    const std::unique_ptr<WindowFixture> f = window("/music/mine.mp3");
    f->platform.yesNoAnswers << true;
    f->form1->protocol().musicSets().openFile(path("odd.m3u8"));
    QCOMPARE(f->platform.messages, QStringList{message});
}

void TestMusicSets::openingASetAsksBeforeItReplacesPicks()
{
    QVERIFY(testfiles::writeBytes(path("set.m3u8"),
                                  "#EXTM3U\n#VALDRUNE-SLOT:Water.mp3\n/music/water.mp3\n"));
    const std::unique_ptr<WindowFixture> f = window("/music/mine.mp3");
    f->platform.answerNextFileDialog(path("set.m3u8")); // as Ctrl+O and the menu open it
    f->form1->protocol().musicSets().open();
    QCOMPARE(f->platform.questions, QStringList{"Replace the current picks with the set's?"});
    QCOMPARE(f->slot(3)->text(), QStringLiteral("/music/mine.mp3")); // answered No
}

namespace {

// Within the second of song.mp3.
core::PickFit someFit()
{
    return {4410, 44100, 441, 2205, 0};
}

} // namespace

void TestMusicSets::aSavedFitComesBackWithItsSet()
{
    const std::unique_ptr<WindowFixture> f = window(path("song.mp3"));
    SlotFits &fits = f->form1->sharedState().fits;
    fits.set(3, someFit());
    f->platform.saveAnswers << path("fitted.m3u8");
    f->form1->protocol().musicSets().save(false);
    // Saved again from the set it opened, the fit is still there.
    f->slot(3)->clear();
    f->form1->protocol().musicSets().openFile(path("fitted.m3u8"));
    QCOMPARE(fits.fit(3), someFit());
    f->platform.saveAnswers << path("again.m3u8");
    f->form1->protocol().musicSets().save(false);
    QCOMPARE(testfiles::readBytes(path("again.m3u8")), testfiles::readBytes(path("fitted.m3u8")));
}

void TestMusicSets::aNewPickGoesWithoutTheOldFit()
{
    const std::unique_ptr<WindowFixture> f = window(path("song.mp3"));
    SlotFits &fits = f->form1->sharedState().fits;
    fits.set(3, someFit());
    f->slot(3)->setText(path("other.mp3"));
    QVERIFY(fits.fit(3).isWhole());
}

void TestMusicSets::aFitPastItsPickIsDropped_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<bool>("kept");
    QTest::addColumn<QString>("fitLine");
    QTest::newRow("ending past a WAV") << "tone.wav" << false << "0,8001,0,0,0";
    // Its 0.55 s (24,191 frames) are guessed from its bit rate: a tenth more, at least 1 s.
    QTest::newRow("past a guessed length") << "mp3-mpeg1-no-info.mp3" << true << "0,26000,0,0,0";
    QTest::newRow("far past it") << "mp3-mpeg1-no-info.mp3" << false << "0,70000,0,0,0";
}

void TestMusicSets::aFitPastItsPickIsDropped()
{
    QFETCH(QString, fixture);
    QFETCH(bool, kept);
    QFETCH(QString, fitLine);
    if (!core::AudioCodecs::get())
        QSKIP("A pick's length is read through the audio module");
    QVERIFY(QFile::copy(QStringLiteral(VMC_AUDIO_FIXTURES "/") + fixture, path(fixture)));
    const QString set("#EXTM3U\n#VALDRUNE-SLOT:StrongHold.mp3\n#VALDRUNE-FIT:%1\n%2\n");
    QVERIFY(testfiles::writeBytes(path("fitted.m3u8"), set.arg(fitLine, fixture).toStdString()));
    const std::unique_ptr<WindowFixture> f = window(path("song.mp3"));
    f->platform.yesNoAnswers << true;
    f->form1->protocol().musicSets().openFile(path("fitted.m3u8"));
    QTRY_VERIFY(f->form1->protocol().slotStatus().pickChecker().verdict(3).has_value());
    QCOMPARE(f->form1->sharedState().fits.fit(3).isWhole(), !kept);
    QCOMPARE(f->platform.messages,
             kept ? QStringList{}
                  : QStringList{"These lines of the set were passed over:\nline 3: the fit cannot "
                                "be used: the fit reaches past the end of the music"});
}

void TestMusicSets::savingWithMusicOffersToLeaveOutAMissingPick_data()
{
    QTest::addColumn<bool>("answer");
    QTest::addColumn<QString>("question"); // %1 the missing pick
    QTest::addColumn<QStringList>("copies");
    const QString english = "%1 is no longer there, so its music cannot be saved with the set. "
                            "Save the set without it, with the music of the other picks?";
    QTest::newRow("yes") << true << english << QStringList{".valdrune-copies", "song.mp3"};
    QTest::newRow("no") << false << english << QStringList{};
    QTest::newRow("yes, Hungarian")
        << true
        << QString::fromUtf8("A(z) %1 már nincs meg, így a zenéje nem menthető a készlet mellé. "
                             "Mented a készletet nélküle, a többi választás zenéjével?")
        << QStringList{".valdrune-copies", "song.mp3"};
}

void TestMusicSets::savingWithMusicOffersToLeaveOutAMissingPick()
{
    QFETCH(bool, answer);
    QFETCH(QString, question);
    QFETCH(QStringList, copies);
    const std::unique_ptr<WindowFixture> f = window(path("song.mp3"));
    f->slot(20)->setText(path("gone.mp3"));
    f->platform.saveAnswers << path("mine.m3u8");
    f->platform.yesNoAnswers << answer;
    f->form1->protocol().musicSets().save(true);
    QCOMPARE(f->platform.questions, QStringList{question.arg(path("gone.mp3"))});
    QVERIFY(f->platform.messages.isEmpty());
    QCOMPARE(QFile::exists(path("mine.m3u8")), answer);
    const bool hungarian = QString(QTest::currentDataTag()).contains("Hungarian");
    const QString folder =
        QString::fromUtf8(TextTable::forLanguage(hungarian ? 1 : 2).setMusicFolder);
    QCOMPARE(entries(path(folder.arg("mine"))), copies);
    if (answer)
        QVERIFY(readBytes(path("mine.m3u8")).find("gone.mp3") == std::string::npos);
}

#endif

QTEST_MAIN(TestMusicSets)
#include "tst_musicsets.moc"
