// SPDX-License-Identifier: GPL-3.0-or-later
#include "FaultyFileSystem.h"
#include "TestFiles.h"
#include "sets/SetMusicCopy.h"

#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

using core::MusicSet;
using core::SetMusicCopy;
using Kind = SetMusicCopy::Failure::Kind;
using testfiles::entries;
using testfiles::readBytes;
namespace fs = std::filesystem;

Q_DECLARE_METATYPE(Kind)

// Sets saved with their music beside "Castle.m3u8", in a folder of the test's own.
class TestSetMusicCopy : public QObject
{
    Q_OBJECT

  private slots:
    void init() { dir_ = std::make_unique<QTemporaryDir>(); }
    void savingAgainKeepsALaterSlotsMusic();
    void failedSaveLeavesTheSetAsItWas_data();
    void failedSaveLeavesTheSetAsItWas();
    void removesOnlyCopiesEarlierSavesMade();
    void savingAgainKeepsTheFolderTheSetNames_data();
    void savingAgainKeepsTheFolderTheSetNames();
    void copiesEachSourceOnce();
    void removesNoFileItDidNotCopyThere_data();
    void removesNoFileItDidNotCopyThere();

  private:
    QString path(const QString &name) const { return dir_->path() + '/' + name; }
    fs::path file(const QString &name) const { return path(name).toStdString(); }
    // Writes the files a test picks, name=content.
    void write(const QStringList &files) const
    {
        for (const QString &entry : files) {
            QDir().mkpath(QFileInfo(path(entry.section('=', 0, 0))).absolutePath());
            testfiles::writeBytes(path(entry.section('=', 0, 0)),
                                  entry.section('=', 1).toStdString());
        }
    }
    // The set as saved, opened again.
    MusicSet saved() const
    {
        return MusicSet::parse(readBytes(path("Castle.m3u8")), dir_->path().toStdString());
    }
    std::optional<SetMusicCopy::Failure>
    save(std::vector<MusicSet::Pick> picks, const fs::path &folderName = "Castle files",
         core::FileSystem &fileSystem = core::FileSystem::native(),
         const SetMusicCopy::Progress &progress = {}, std::stop_token stop = {})
    {
        set_.picks = std::move(picks);
        return SetMusicCopy(fileSystem).save(set_, file("Castle.m3u8"), folderName, stop, progress);
    }

    std::unique_ptr<QTemporaryDir> dir_;
    MusicSet set_;
};

void TestSetMusicCopy::savingAgainKeepsALaterSlotsMusic()
{
    write({"a/song.flac=first", "b/song.flac=second"});
    QVERIFY(!save({{0, file("a/song.flac")}}));
    // The first pick moves to a later slot; a new file of the same name takes its place.
    QVERIFY(!save({{0, file("b/song.flac")}, {1, saved().picks.at(0).file}}));
    QCOMPARE(readBytes(QString::fromStdString(saved().picks.at(0).file)), std::string("second"));
    QCOMPARE(readBytes(QString::fromStdString(saved().picks.at(1).file)), std::string("first"));
}

void TestSetMusicCopy::failedSaveLeavesTheSetAsItWas_data()
{
    QTest::addColumn<int>("failingCall"); // none: cancelled
    QTest::addColumn<QString>("pick");    // in the test's folder unless absolute
    QTest::addColumn<Kind>("kind");
    const int none = -1;
    const QString music = QStringLiteral("c/third.flac");
    QTest::newRow("cancelled") << none << music << Kind::Stopped;
    QTest::newRow("disk full while copying")
        << int(FaultyFileSystem::Call::Write) << music << Kind::Destination;
    QTest::newRow("set file not written")
        << int(FaultyFileSystem::Call::Replace) << music << Kind::Destination;
    QTest::newRow("a device picked") << none << QStringLiteral("/dev/zero") << Kind::NotAFile;
    QTest::newRow("a pipe picked") << none << QStringLiteral("pipe") << Kind::NotAFile;
}

void TestSetMusicCopy::failedSaveLeavesTheSetAsItWas()
{
    QFETCH(int, failingCall);
    QFETCH(QString, pick);
    QFETCH(Kind, kind);
    write({"a/song.flac=first", "b/other.flac=second", "c/third.flac=third"});
    QVERIFY(::mkfifo(qPrintable(path("pipe")), 0600) == 0);
    QVERIFY(!save({{0, file("a/song.flac")}}));
    write({"Castle files/notes.txt=the player's"});
    const auto snapshot = [&] {
        QStringList files = entries(dir_->path()) + entries(path("Castle files"));
        for (const char *name : {"Castle.m3u8", "Castle files/song.flac", "Castle files/notes.txt"})
            files << QString::fromStdString(readBytes(path(name)));
        return files;
    };
    const QStringList before = snapshot();
    FaultyFileSystem fileSystem;
    if (failingCall >= 0)
        fileSystem.failOn(FaultyFileSystem::Call(failingCall), ENOSPC);
    std::stop_source stop;
    const fs::path picked = pick.startsWith('/') ? fs::path(pick.toStdString()) : file(pick);
    const auto failure = save(
        {saved().picks.at(0), {1, file("b/other.flac")}, {2, picked}}, "Castle files", fileSystem,
        [&](std::size_t done, std::size_t, auto &) {
            if (kind == Kind::Stopped && done == 1)
                stop.request_stop();
        },
        stop.get_token());
    QVERIFY(failure);
    QCOMPARE(failure->kind, kind);
    if (kind == Kind::NotAFile)
        QCOMPARE(failure->file, picked);
    QCOMPARE(snapshot(), before);
}

void TestSetMusicCopy::removesOnlyCopiesEarlierSavesMade()
{
    write({"a/song.flac=song", "a/gone.flac=gone"});
    QVERIFY(!save({{0, file("a/song.flac")}, {1, file("a/gone.flac")}}));
    // The player's own files in the folder, one of them picked from there.
    write({"Castle files/mine.flac=mine", "Castle files/notes.txt=notes"});
    QVERIFY(::link(qPrintable(path("Castle files/mine.flac")), qPrintable(path("mine"))) == 0);
    QVERIFY(!save({saved().picks.at(0), {2, file("Castle files/mine.flac")}}));
    const QStringList kept{".valdrune-copies", "mine.flac", "notes.txt", "song.flac"};
    QCOMPARE(entries(path("Castle files")), kept);
    // Already the file the set names: a second name, not a second copy.
    QVERIFY(fs::equivalent(file("Castle files/mine.flac"), file("mine")));
    QVERIFY(!save({saved().picks.at(0)}));
    QCOMPARE(entries(path("Castle files")), kept);
}

void TestSetMusicCopy::savingAgainKeepsTheFolderTheSetNames_data()
{
    QTest::addColumn<QString>("oldSet"); // the set file there before
    QTest::newRow("saved with its music")
        << "#EXTM3U\n#VALDRUNE-SLOT:Water.mp3\n#VALDRUNE-COPY\nCastle files/old.flac\n";
    QTest::newRow("saved before copies were marked")
        << "#EXTM3U\n#VALDRUNE-SLOT:Water.mp3\nCastle files/old.flac\n";
}

void TestSetMusicCopy::savingAgainKeepsTheFolderTheSetNames()
{
    QFETCH(QString, oldSet);
    write({"a/song.flac=song", "Castle files/old.flac=old", "Castle.m3u8=" + oldSet});
    QVERIFY(!save({{0, file("a/song.flac")}}, "Castle fájljai"));
    QCOMPARE(set_.picks.at(0).file, file("Castle files/song.flac"));
    QCOMPARE(entries(dir_->path()), (QStringList{"Castle files", "Castle.m3u8", "a"}));
}

void TestSetMusicCopy::removesNoFileItDidNotCopyThere_data()
{
    // A file the set marks as its copy, which the next save no longer picks.
    QTest::addColumn<QString>("marked");
    QTest::addColumn<QString>("content");
    QTest::newRow("the player's own music, named by a set from elsewhere") << "Music/a.mp3"
                                                                           << "the player's a";
    QTest::newRow("a copy the player has changed since") << "Castle files/a.mp3"
                                                         << "the player's a, changed";
}

void TestSetMusicCopy::removesNoFileItDidNotCopyThere()
{
    QFETCH(QString, marked);
    QFETCH(QString, content);
    write({"Music/a.mp3=the player's a", "Music/b.mp3=the player's b", "new/c.flac=c"});
    if (marked.startsWith("Music/")) {
        write({"Castle.m3u8=#EXTM3U\n#VALDRUNE-SLOT:Water.mp3\n#VALDRUNE-COPY\n" + marked + "\n"});
    } else {
        QVERIFY(!save({{17, file("Music/a.mp3")}}));
        write({marked + "=" + content});
    }
    const QStringList music = entries(path("Music"));

    QVERIFY(!save({{0, file("new/c.flac")}}));
    QCOMPARE(readBytes(path(marked)), content.toStdString());
    QCOMPARE(entries(path("Music")), music);
    QCOMPARE(readBytes(path("Music/b.mp3")), std::string("the player's b"));
    QCOMPARE(readBytes(path("Castle files/c.flac")), std::string("c"));
}

void TestSetMusicCopy::copiesEachSourceOnce()
{
    write({"a/song1.flac=song", "b/song1.flac=another"});
    QVERIFY(QFile::link(path("a"), path("linked")));
    QVERIFY(!save({{0, file("a/song1.flac")},
                   {5, file("b/song1.flac")},
                   {9, file("a/song1.flac")},
                   {20, file("linked/song1.flac")}}));
    QCOMPARE(entries(path("Castle files")),
             (QStringList{".valdrune-copies", "song1 (2).flac", "song1.flac"}));
    QCOMPARE(set_.picks[1].file, file("Castle files/song1 (2).flac"));
    for (const int i : {0, 2, 3})
        QCOMPARE(set_.picks[i].file, file("Castle files/song1.flac"));
}

QTEST_APPLESS_MAIN(TestSetMusicCopy)
#include "tst_setmusiccopy.moc"
