// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/Platform.h"
#include "sets/MusicSet.h"

#include <QTemporaryDir>
#include <QTest>

#ifndef _WIN32
#include <sys/stat.h>
#endif

using core::MusicSet;

Q_DECLARE_METATYPE(core::PickFit)
namespace fs = std::filesystem;

class TestMusicSet : public QObject
{
    Q_OBJECT

  private slots:
    void savedSetOpensAsSaved();
    void pickNameSurvivesSaving_data();
    void pickNameSurvivesSaving();
    void loudnessChoiceRoundTrips_data();
    void loudnessChoiceRoundTrips();
    void readsSetsLeniently_data();
    void readsSetsLeniently();
    void setThatIsNoFileIsNotRead_data();
    void setThatIsNoFileIsNotRead();
    void fitRoundTrips_data();
    void fitRoundTrips();
    void impossibleFitLineIsDropped_data();
    void impossibleFitLineIsDropped();
};

void TestMusicSet::savedSetOpensAsSaved()
{
    const fs::path setFolder = fs::absolute("sets");
    MusicSet set;
    set.picks = {{0, setFolder / "Castle files/castle.flac", 222},
                 {9, fs::absolute("elsewhere/dirt.mp3"), -1}};
    set.gameFolder = "/games/Valdrune3/Mp3/";
    set.language = 1;
    const std::string text = set.format(setFolder);
    QVERIFY(text.starts_with("#EXTM3U\n"));
    QVERIFY(
        text.find("#EXTINF:222,Castle\n#VALDRUNE-SLOT:CstleTown.mp3\nCastle files/castle.flac\n") !=
        std::string::npos);

    const MusicSet opened = MusicSet::parse(text, setFolder);
    QCOMPARE(opened.picks.size(), std::size_t(2));
    QCOMPARE(opened.picks[0].slot, 0);
    QCOMPARE(opened.picks[0].file, setFolder / "Castle files/castle.flac");
    QCOMPARE(opened.picks[1].slot, 9);
    QCOMPARE(opened.picks[1].file, fs::absolute("elsewhere/dirt.mp3"));
    QCOMPARE(opened.gameFolder.value_or(""), std::string("/games/Valdrune3/Mp3/"));
    QCOMPARE(int(opened.language.value_or(0)), 1);
    QVERIFY(opened.problems.empty());
}

void TestMusicSet::pickNameSurvivesSaving_data()
{
    QTest::addColumn<QByteArray>("name"); // UTF-8, below the set's folder
    QTest::addColumn<bool>("kept");       // false: no line can hold it, and it is left out
    QTest::newRow("not ASCII") << QByteArray("Caf\xC3\xA9 \xE6\x9B\xB2.ogg") << true;
    QTest::newRow("backslash") << QByteArray("back\\slash.ogg") << true;
    // Read as they stand, a comment and a name without its blank.
    QTest::newRow("starting with '#'") << QByteArray("#1 hit.ogg") << true;
    QTest::newRow("starting with a blank") << QByteArray(" intro.ogg") << true;
#ifndef _WIN32
    QTest::newRow("folder named like a drive") << QByteArray("c:/drive.ogg") << true;
    // Read as they stand, a file that is not the one picked.
    QTest::newRow("a line break") << QByteArray("a\nb.ogg") << false;
    QTest::newRow("ending with a blank") << QByteArray("outro.ogg ") << false;
#endif
}

void TestMusicSet::pickNameSurvivesSaving()
{
    QFETCH(QByteArray, name);
    QFETCH(bool, kept);
    const fs::path setFolder = fs::absolute("sets");
    MusicSet set;
    set.picks = {{0, setFolder / core::platform::pathFromText(name.toStdString()), -1},
                 {1, setFolder / "next.ogg", -1}};
    const MusicSet opened = MusicSet::parse(set.format(setFolder), setFolder);
    QCOMPARE(opened.picks.size(), std::size_t(kept ? 2 : 1));
    QCOMPARE(core::platform::textFromPath(opened.picks[0].file),
             core::platform::textFromPath(set.picks[kept ? 0 : 1].file));
    QVERIFY(opened.problems.empty());
}

void TestMusicSet::loudnessChoiceRoundTrips_data()
{
    QTest::addColumn<int>("match"); // -1 absent, else 0 or 1
    QTest::addColumn<int>("mp3");
    QTest::addColumn<QByteArray>("lines");
    QTest::newRow("saved before the choice") << -1 << -1 << QByteArray();
    QTest::newRow("MP3 picks too")
        << 1 << 1 << QByteArray("#VALDRUNE-LOUDNESS:match=1\n#VALDRUNE-LOUDNESS:mp3=1\n");
    QTest::newRow("off") << 0 << 1
                         << QByteArray("#VALDRUNE-LOUDNESS:match=0\n#VALDRUNE-LOUDNESS:mp3=1\n");
}

void TestMusicSet::loudnessChoiceRoundTrips()
{
    QFETCH(int, match);
    QFETCH(int, mp3);
    QFETCH(QByteArray, lines);
    const auto choice = [](int value) {
        return value < 0 ? std::optional<bool>() : std::optional<bool>(value == 1);
    };
    MusicSet set;
    set.language = 2;
    set.picks = {{9, fs::absolute("dirt.mp3"), 61}};
    set.matchLoudness = choice(match);
    set.matchMp3 = choice(mp3);
    const std::string text = set.format(fs::absolute("."));
    QCOMPARE(QByteArray::fromStdString(text),
             "#EXTM3U\n#VALDRUNE-LANGUAGE:2\n" + lines +
                 "#EXTINF:61,Dirt\n#VALDRUNE-SLOT:Dirt.mp3\ndirt.mp3\n");
    const MusicSet opened = MusicSet::parse(text, fs::absolute("."));
    QCOMPARE(opened.matchLoudness, set.matchLoudness);
    QCOMPARE(opened.matchMp3, set.matchMp3);
    QVERIFY(opened.problems.empty());
}

void TestMusicSet::readsSetsLeniently_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("files"); // slot:file, relative to the set's folder
    QTest::addColumn<int>("problems");
    QTest::newRow("made on Windows")
        << QByteArray("\xEF\xBB\xBF#EXTM3U\r\n\r\n#EXTINF:61,Dirt\r\n"
                      "#VALDRUNE-SLOT:dirt.MP3\r\nmusic\\dirt.flac\r\n")
        << QStringList{"9:music/dirt.flac"} << 0;
    QTest::newRow("unknown slot, stray file")
        << QByteArray(
               "#EXTM3U\n#VALDRUNE-SLOT:Nowhere.mp3\na.mp3\nb.mp3\n#VALDRUNE-SLOT:Water.mp3\nc.ogg")
        << QStringList{"17:c.ogg"} << 3;
    QTest::newRow("not a playlist") << QByteArray("shopping list\nbread\n") << QStringList{} << 1;
    QTest::newRow("bad loudness choice")
        << QByteArray("#EXTM3U\n#VALDRUNE-LOUDNESS:match=yes\n#VALDRUNE-LOUDNESS:gain=3\n")
        << QStringList{} << 2;
    QTest::newRow("bad language") << QByteArray("#EXTM3U\n#VALDRUNE-LANGUAGE:x\n") << QStringList{}
                                  << 1;
}

void TestMusicSet::readsSetsLeniently()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, files);
    QFETCH(int, problems);
    const fs::path setFolder = fs::absolute("sets");
    const MusicSet set = MusicSet::parse(text.toStdString(), setFolder);
    QStringList read;
    for (const MusicSet::Pick &pick : set.picks)
        read << QStringLiteral("%1:%2").arg(pick.slot).arg(
            QString::fromStdString(pick.file.lexically_relative(setFolder).generic_string()));
    QCOMPARE(read, files);
    QCOMPARE(int(set.problems.size()), problems);
}

void TestMusicSet::setThatIsNoFileIsNotRead_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("endless zeros") << "/dev/zero";
    QTest::newRow("pipe with no writer") << "fifo";
}

void TestMusicSet::setThatIsNoFileIsNotRead()
{
    QFETCH(QString, file);
#ifdef _WIN32
    QSKIP("devices and pipes of the Linux kind");
#else
    QTemporaryDir dir;
    if (file == "fifo") {
        file = dir.path() + "/set.m3u8";
        QCOMPARE(::mkfifo(file.toLocal8Bit().constData(), 0600), 0);
    }
#endif
    std::string bytes;
    QVERIFY(MusicSet::readFile(file.toStdString(), bytes));
}

void TestMusicSet::fitRoundTrips_data()
{
    QTest::addColumn<core::PickFit>("fit");
    QTest::addColumn<QByteArray>("line"); // between the slot's line and the file's
    QTest::newRow("a loop with its seam")
        << core::PickFit{88200, 9261000, 0, 66150, 2205}
        << QByteArray("#VALDRUNE-FIT:88200,9261000,0,66150,2205\n");
    QTest::newRow("to the pick's end")
        << core::PickFit{44100, {}, 4410} << QByteArray("#VALDRUNE-FIT:44100,,4410,0,0\n");
    // Without a crossfade, only the mark tells a found loop from hand-set markers.
    QTest::newRow("a loop found, no crossfade")
        << core::PickFit{4410, 88200, 0, 0, 0, true}
        << QByteArray("#VALDRUNE-FIT:4410,88200,0,0,0\n#VALDRUNE-LOOP-FOUND\n");
}

void TestMusicSet::fitRoundTrips()
{
    QFETCH(core::PickFit, fit);
    QFETCH(QByteArray, line);
    const fs::path setFolder = fs::absolute("sets");
    MusicSet set;
    set.picks = {{0, setFolder / "castle.flac", 222, false, fit}};
    const std::string text = set.format(setFolder);
    QVERIFY(text.find("#VALDRUNE-SLOT:CstleTown.mp3\n" + line.toStdString() + "castle.flac\n") !=
            std::string::npos);
    const MusicSet opened = MusicSet::parse(text, setFolder);
    QVERIFY(opened.picks.size() == 1 && opened.picks[0].fit == fit && opened.problems.empty());
}

void TestMusicSet::impossibleFitLineIsDropped_data()
{
    using Kind = MusicSet::Problem::Kind;
    using Code = core::Reason::Code;
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("reason"); // -1: none
    QTest::newRow("end before start")
        << QByteArray("500,400,0,0,0") << int(Kind::ImpossibleFit) << int(Code::FitEndBeforeStart);
    QTest::newRow("negative start")
        << QByteArray("-5,,0,0,0") << int(Kind::ImpossibleFit) << int(Code::FitNegative);
    QTest::newRow("three numbers") << QByteArray("1,2,3") << int(Kind::NotAFit) << -1;
}

void TestMusicSet::impossibleFitLineIsDropped()
{
    QFETCH(QByteArray, line);
    QFETCH(int, kind);
    QFETCH(int, reason);
    const QByteArray text =
        "#EXTM3U\n#VALDRUNE-SLOT:CstleTown.mp3\n#VALDRUNE-FIT:" + line + "\ncastle.flac\n";
    const MusicSet set = MusicSet::parse(text.toStdString(), fs::absolute("sets"));
    // The pick stays, whole; the line is named with why.
    QVERIFY(set.picks.size() == 1 && set.picks[0].fit.isWhole());
    QCOMPARE(set.problems.size(), std::size_t(1));
    QCOMPARE(int(set.problems[0].kind), kind);
    QCOMPARE(set.problems[0].line, 3);
    QCOMPARE(reason < 0 ? -1 : int(set.problems[0].reason.code), reason);
}

QTEST_APPLESS_MAIN(TestMusicSet)
#include "tst_musicset.moc"
