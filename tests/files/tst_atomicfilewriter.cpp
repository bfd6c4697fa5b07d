// SPDX-License-Identifier: GPL-3.0-or-later
#include "FaultyFileSystem.h"
#include "ScratchMount.h"
#include "TestFiles.h"
#include "files/AtomicFileWriter.h"
#include "files/FailureCodes.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <functional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using core::AtomicFileWriter;
using core::FileError;
using testfiles::entries;
using testfiles::readBytes;
using testfiles::writeBytes;

namespace {
std::filesystem::path fsPath(const QString &path)
{
    return path.toStdString();
}

// Runs the work as a user without special rights: root drops to nobody in a child process,
// since folder rights do not stop root. Returns the work's result.
int runUnprivileged(const std::function<int()> &work)
{
    if (::geteuid() != 0)
        return work();
    const pid_t child = ::fork();
    if (child == 0) {
        constexpr uid_t nobody = 65534;
        if (::setgid(nobody) != 0 || ::setuid(nobody) != 0)
            ::_exit(255);
        ::_exit(work());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 254;
}

int copyCode(const QString &source, const QString &target)
{
    const auto failure = AtomicFileWriter().copyFile(fsPath(source), fsPath(target));
    return failure ? core::failureCodeFor(*failure) : 0;
}
} // namespace

class TestAtomicFileWriter : public QObject
{
    Q_OBJECT

  private slots:
    void copyReplacesTargetAndKeepsItsPermissions();
    void preparedCopyKnowsItsContentBeforeTheTargetChanges_data();
    void preparedCopyKnowsItsContentBeforeTheTargetChanges();
    void copyOntoItselfKeepsFile();
    void kernelCopyWritesWhatWasRead();
    void copyRefusesWhatCannotBeCopied_data();
    void copyRefusesWhatCannotBeCopied();
    void failingCallLeavesTargetAsItWas_data();
    void failingCallLeavesTargetAsItWas();
    void failureCodes_data();
    void failureCodes();
    void leftoversOfOurOwnAreRemovedOnly();
    void realFullDiskKeepsTarget();
    void realReadOnlyFolderKeepsTarget();
    void deniedFolderOverwritesWritableFileInPlace();
    void readOnlyTargetIsRefused();
    void inPlaceOpenSaysWhyItWasRefused_data();
    void inPlaceOpenSaysWhyItWasRefused();
    void symlinkedTargetIsWrittenThrough();
    void hardLinkedTargetBecomesOwnFile();
    void sourceFailingMidwayNeverEmptiesFileOverwrittenInPlace();
    void stopEndsCopyBetweenBlocks();

  private:
    QTemporaryDir dir_;
    QString path(const QString &name) const { return dir_.path() + "/" + name; }
};

void TestAtomicFileWriter::copyReplacesTargetAndKeepsItsPermissions()
{
    const std::string music = testfiles::pattern('m', 3 * 1024 * 1024 + 17);
    QVERIFY(writeBytes(path("song.mp3"), music));
    QVERIFY(writeBytes(path("Dirt.mp3"), "old"));
    using std::filesystem::perms;
    std::filesystem::permissions(fsPath(path("Dirt.mp3")), perms::owner_read | perms::owner_write);

    QVERIFY(!AtomicFileWriter().copyFile(fsPath(path("song.mp3")), fsPath(path("Dirt.mp3"))));
    QCOMPARE(readBytes(path("Dirt.mp3")), music);
    QCOMPARE(std::filesystem::status(fsPath(path("Dirt.mp3"))).permissions(),
             perms::owner_read | perms::owner_write);

    QVERIFY(!AtomicFileWriter().copyFile(fsPath(path("song.mp3")), fsPath(path("New file.mp3"))));
    QCOMPARE(readBytes(path("New file.mp3")), music);
    QCOMPARE(entries(dir_.path()), (QStringList{"Dirt.mp3", "New file.mp3", "song.mp3"}));
}

void TestAtomicFileWriter::preparedCopyKnowsItsContentBeforeTheTargetChanges_data()
{
    QTest::addColumn<bool>("inPlace");
    QTest::newRow("renamed over the target") << false;
    QTest::newRow("written over it in place") << true;
}

void TestAtomicFileWriter::preparedCopyKnowsItsContentBeforeTheTargetChanges()
{
    // The hash is taken as the bytes are copied: what the record holds before any change.
    QFETCH(bool, inPlace);
    const std::string music = testfiles::pattern('m', 3 * 1024 * 1024 + 17);
    QVERIFY(writeBytes(path("song.mp3"), music));
    QVERIFY(writeBytes(path("Dirt.mp3"), "old"));
    FaultyFileSystem fs;
    if (inPlace)
        fs.failOn(FaultyFileSystem::Call::CreateNew, EACCES, 0, fsPath(dir_.path()));
    QTemporaryDir staging;
    AtomicFileWriter writer(fs);
    writer.setStagingFolder(fsPath(staging.path()));
    AtomicFileWriter::Prepared prepared;
    QVERIFY(!writer.prepareCopy(fsPath(path("song.mp3")), fsPath(path("Dirt.mp3")), prepared));
    QCOMPARE(prepared.inPlace, inPlace);
    QCOMPARE(prepared.written.size, std::uint64_t(music.size()));
    QCOMPARE(prepared.written.hash, core::WrittenFile::hashOfBytes(music));
    QCOMPARE(readBytes(path("Dirt.mp3")), std::string("old"));
    QVERIFY(!writer.commit(prepared));
    QCOMPARE(readBytes(path("Dirt.mp3")), music);
    QVERIFY(core::WrittenFile::statOf(fsPath(path("Dirt.mp3")))->sameSizeAndTime(prepared.written));
    QCOMPARE(entries(staging.path()), QStringList{});
}

void TestAtomicFileWriter::kernelCopyWritesWhatWasRead()
{
    // A source cut short after it was read: what was read is written, as it was hashed.
    QVERIFY(writeBytes(path("pick.mp3"), "0123456789"));
    QVERIFY(writeBytes(path("out.mp3"), ""));
    core::FileSystem &native = core::FileSystem::native();
    core::FileSystem::Handle source = 0;
    core::FileSystem::Handle destination = 0;
    QCOMPARE(native.openForReading(fsPath(path("pick.mp3")), source), 0);
    QCOMPARE(native.openForOverwrite(fsPath(path("out.mp3")), destination), 0);
    QVERIFY(::truncate(qPrintable(path("pick.mp3")), 4) == 0);
    QCOMPARE(native.writeCopyOf(source, 2, destination, "23456789", 8), 0);
    native.close(source);
    native.close(destination);
    QCOMPARE(readBytes(path("out.mp3")), std::string("23456789"));
}

void TestAtomicFileWriter::copyOntoItselfKeepsFile()
{
    QVERIFY(writeBytes(path("Water.mp3"), "the game's own water"));
    QVERIFY(!AtomicFileWriter().copyFile(fsPath(path("Water.mp3")), fsPath(path("Water.mp3"))));
    QCOMPARE(readBytes(path("Water.mp3")), std::string("the game's own water"));
    QVERIFY(!AtomicFileWriter().copyFile(fsPath(path("./Water.mp3")), fsPath(path("Water.mp3"))));
    QCOMPARE(readBytes(path("Water.mp3")), std::string("the game's own water"));
}

void TestAtomicFileWriter::copyRefusesWhatCannotBeCopied_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("code");

    QTest::newRow("missing source") << "nothing.mp3"
                                    << "Lava.mp3" << 53;
    QTest::newRow("source in missing folder") << "gone/nothing.mp3"
                                              << "Lava.mp3" << 53;
    QTest::newRow("missing destination folder") << "src.mp3"
                                                << "gone/Lava.mp3" << 76;
    QTest::newRow("folder as source") << "sub"
                                      << "Lava.mp3" << 75;
    QTest::newRow("folder at destination") << "src.mp3"
                                           << "sub" << 75;
}

void TestAtomicFileWriter::copyRefusesWhatCannotBeCopied()
{
    QFETCH(QString, source);
    QFETCH(QString, target);
    QFETCH(int, code);

    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("sub"));
    QVERIFY(writeBytes(dir.path() + "/src.mp3", "new"));
    QVERIFY(writeBytes(dir.path() + "/Lava.mp3", "old"));
    const auto error = AtomicFileWriter().copyFile(fsPath(dir.path() + "/" + source),
                                                   fsPath(dir.path() + "/" + target));
    QVERIFY(error);
    QCOMPARE(core::failureCodeFor(*error), code);
    QCOMPARE(readBytes(dir.path() + "/Lava.mp3"), std::string("old"));
    QCOMPARE(entries(dir.path()), (QStringList{"Lava.mp3", "src.mp3", "sub"}));
}

void TestAtomicFileWriter::failingCallLeavesTargetAsItWas_data()
{
    using Call = FaultyFileSystem::Call;
    QTest::addColumn<Call>("call");
    QTest::addColumn<int>("successesBefore");
    QTest::addColumn<int>("error");
    QTest::addColumn<int>("code");

    QTest::newRow("open source: denied") << Call::OpenForReading << 0 << EACCES << 70;
    QTest::newRow("create temporary: read-only") << Call::CreateNew << 0 << EROFS << 70;
    QTest::newRow("first write: disk full") << Call::Write << 0 << ENOSPC << 61;
    QTest::newRow("write half-way: disk full") << Call::Write << 1 << ENOSPC << 61;
    QTest::newRow("read half-way: I/O error") << Call::Read << 1 << EIO << 57;
    QTest::newRow("flush: I/O error") << Call::Flush << 0 << EIO << 57;
    QTest::newRow("rename: device gone") << Call::Replace << 0 << ENODEV << 68;
}

void TestAtomicFileWriter::failingCallLeavesTargetAsItWas()
{
    QFETCH(FaultyFileSystem::Call, call);
    QFETCH(int, successesBefore);
    QFETCH(int, error);
    QFETCH(int, code);

    QTemporaryDir dir;
    const std::string old = testfiles::pattern('o', 2 * 1024 * 1024 + 5);
    QVERIFY(writeBytes(dir.path() + "/Sand.mp3", old));
    QVERIFY(writeBytes(dir.path() + "/song.mp3", testfiles::pattern('n', 3 * 1024 * 1024)));
    FaultyFileSystem faulty;
    faulty.failOn(call, error, successesBefore);

    const auto failure = AtomicFileWriter(faulty).copyFile(fsPath(dir.path() + "/song.mp3"),
                                                           fsPath(dir.path() + "/Sand.mp3"));
    QVERIFY(failure);
    QCOMPARE(failure->systemError, error);
    QCOMPARE(core::failureCodeFor(*failure), code);
    QCOMPARE(readBytes(dir.path() + "/Sand.mp3"), old);
    QCOMPARE(entries(dir.path()), (QStringList{"Sand.mp3", "song.mp3"}));
}

void TestAtomicFileWriter::failureCodes_data()
{
    using Kind = FileError::Kind;
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<int>("error");
    QTest::addColumn<int>("code");

    QTest::newRow("blank source") << Kind::BlankSource << 0 << 53;
    QTest::newRow("source not found") << Kind::SourceCall << ENOENT << 53;
    QTest::newRow("source path not a folder") << Kind::SourceCall << ENOTDIR << 53;
    QTest::newRow("destination folder missing") << Kind::DestinationCall << ENOENT << 76;
    QTest::newRow("denied") << Kind::DestinationCall << EACCES << 70;
    QTest::newRow("not permitted") << Kind::DestinationCall << EPERM << 70;
    QTest::newRow("read-only file system") << Kind::DestinationCall << EROFS << 70;
    QTest::newRow("disk full") << Kind::DestinationCall << ENOSPC << 61;
    QTest::newRow("quota") << Kind::DestinationCall << EDQUOT << 61;
    QTest::newRow("I/O error") << Kind::SourceCall << EIO << 57;
    QTest::newRow("no medium") << Kind::SourceCall << ENOMEDIUM << 68;
    QTest::newRow("no device") << Kind::DestinationCall << ENXIO << 68;
    QTest::newRow("name too long") << Kind::DestinationCall << ENAMETOOLONG << 75;
    QTest::newRow("source is a folder") << Kind::SourceIsFolder << EISDIR << 75;
    QTest::newRow("destination is a folder") << Kind::DestinationIsFolder << EISDIR << 75;
}

void TestAtomicFileWriter::failureCodes()
{
    QFETCH(FileError::Kind, kind);
    QFETCH(int, error);
    QFETCH(int, code);
    QCOMPARE(core::failureCodeFor(FileError{kind, error}), code);
}

void TestAtomicFileWriter::leftoversOfOurOwnAreRemovedOnly()
{
    QTemporaryDir dir;
    const QStringList ours = {".vmc3-0123456789abcdef.tmp", ".vmc3-fedcba9876543210.tmp"};
    const QStringList others = {
        ".vmc3-0123456789ABCDEF.tmp",     ".vmc3-0123.tmp", "vmc3-0123456789abcdef.tmp",
        ".vmc3-0123456789abcdef.tmp.mp3", "Dirt.mp3",       "notes.tmp"};
    for (const QString &name : ours + others)
        QVERIFY(writeBytes(dir.path() + "/" + name, "x"));
    QVERIFY(QDir(dir.path()).mkdir(".vmc3-aaaaaaaaaaaaaaaa.tmp"));

    AtomicFileWriter().removeLeftovers(fsPath(dir.path()));
    QStringList expected = others;
    expected << ".vmc3-aaaaaaaaaaaaaaaa.tmp";
    expected.sort();
    QCOMPARE(entries(dir.path()), expected);
}

void TestAtomicFileWriter::realFullDiskKeepsTarget()
{
    QTemporaryDir source;
    QTemporaryDir game;
    ScratchMount mount(game.path(), "size=1m");
    if (!mount.mounted())
        QSKIP("cannot mount a scratch file system here (needs root); covered by fault injection");
    const std::string old = testfiles::pattern('o', 600 * 1024);
    QVERIFY(writeBytes(game.path() + "/Rough.mp3", old));
    QVERIFY(writeBytes(source.path() + "/big.mp3", testfiles::pattern('b', 700 * 1024)));

    const auto failure = AtomicFileWriter().copyFile(fsPath(source.path() + "/big.mp3"),
                                                     fsPath(game.path() + "/Rough.mp3"));
    QVERIFY(failure);
    QCOMPARE(core::failureCodeFor(*failure), 61);
    QCOMPARE(readBytes(game.path() + "/Rough.mp3"), old);
    QCOMPARE(entries(game.path()), QStringList{"Rough.mp3"});
}

void TestAtomicFileWriter::realReadOnlyFolderKeepsTarget()
{
    QTemporaryDir source;
    QTemporaryDir game;
    ScratchMount mount(game.path(), "size=1m");
    if (!mount.mounted())
        QSKIP("cannot mount a scratch file system here (needs root); covered by fault injection");
    QVERIFY(writeBytes(game.path() + "/Snow.mp3", "old snow"));
    QVERIFY(mount.makeReadOnly());
    QVERIFY(writeBytes(source.path() + "/new.mp3", "new snow"));

    const auto failure = AtomicFileWriter().copyFile(fsPath(source.path() + "/new.mp3"),
                                                     fsPath(game.path() + "/Snow.mp3"));
    QVERIFY(failure);
    QCOMPARE(core::failureCodeFor(*failure), 70);
    QCOMPARE(readBytes(game.path() + "/Snow.mp3"), std::string("old snow"));
}

void TestAtomicFileWriter::deniedFolderOverwritesWritableFileInPlace()
{
    QTemporaryDir source;
    QTemporaryDir game;
    QVERIFY(writeBytes(source.path() + "/new.mp3", "new grass"));
    QVERIFY(writeBytes(game.path() + "/Grass.mp3", "old grass"));
    QVERIFY(writeBytes(game.path() + "/Lava.mp3", "old lava"));
    ::chmod(source.path().toLocal8Bit(), 0755);
    ::chmod((source.path() + "/new.mp3").toLocal8Bit(), 0644);
    ::chmod((game.path() + "/Grass.mp3").toLocal8Bit(), 0666);
    ::chmod((game.path() + "/Lava.mp3").toLocal8Bit(), ::geteuid() == 0 ? 0644 : 0444);
    ::chmod(game.path().toLocal8Bit(), 0555);

    QCOMPARE(runUnprivileged(
                 [&] { return copyCode(source.path() + "/new.mp3", game.path() + "/Grass.mp3"); }),
             0);
    QCOMPARE(readBytes(game.path() + "/Grass.mp3"), std::string("new grass"));
    // A file the user may not write either stays as it was.
    QCOMPARE(runUnprivileged(
                 [&] { return copyCode(source.path() + "/new.mp3", game.path() + "/Lava.mp3"); }),
             70);
    QCOMPARE(readBytes(game.path() + "/Lava.mp3"), std::string("old lava"));
    QCOMPARE(entries(game.path()), (QStringList{"Grass.mp3", "Lava.mp3"}));
    ::chmod(game.path().toLocal8Bit(), 0755);
}

void TestAtomicFileWriter::readOnlyTargetIsRefused()
{
    QVERIFY(writeBytes(path("new.mp3"), "new"));
    QVERIFY(writeBytes(path("Swamp.mp3"), "old swamp"));
    ::chmod(path("Swamp.mp3").toLocal8Bit(), 0444);
    QCOMPARE(copyCode(path("new.mp3"), path("Swamp.mp3")), 70);
    QCOMPARE(readBytes(path("Swamp.mp3")), std::string("old swamp"));
    QVERIFY(!entries(dir_.path()).join(' ').contains(".tmp"));
    ::chmod(path("Swamp.mp3").toLocal8Bit(), 0644);
}

void TestAtomicFileWriter::inPlaceOpenSaysWhyItWasRefused_data()
{
    // The folder takes no new file; then the open of the file itself fails with this error.
    QTest::addColumn<int>("openError");
    QTest::addColumn<int>("reported");
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("inUse");
    QTest::newRow("in use") << EBUSY << EBUSY << 70 << true;
    QTest::newRow("input or output") << EIO << EIO << 57 << false;
    QTest::newRow("denied as its folder") << EACCES << EACCES << 70 << false;
    QTest::newRow("read-only as its folder") << EROFS << EACCES << 70 << false;
}

void TestAtomicFileWriter::inPlaceOpenSaysWhyItWasRefused()
{
    QFETCH(int, openError);
    QFETCH(int, reported);
    QFETCH(int, code);
    QFETCH(bool, inUse);
    QVERIFY(writeBytes(path("new.mp3"), "new"));
    QVERIFY(writeBytes(path("Swamp.mp3"), "old swamp"));
    FaultyFileSystem fs;
    fs.failOn(FaultyFileSystem::Call::CreateNew, EACCES, 0,
              fsPath(path("Swamp.mp3")).parent_path());
    fs.failOn(FaultyFileSystem::Call::OpenForOverwrite, openError);
    const auto failure =
        AtomicFileWriter(fs).copyFile(fsPath(path("new.mp3")), fsPath(path("Swamp.mp3")));
    QVERIFY(failure);
    QCOMPARE(failure->systemError, reported);
    QCOMPARE(core::failureCodeFor(*failure), code);
    QCOMPARE(core::commonFailureOf(failure->systemError) == core::CommonFailure::InUse, inUse);
    QCOMPARE(readBytes(path("Swamp.mp3")), std::string("old swamp"));
}

void TestAtomicFileWriter::symlinkedTargetIsWrittenThrough()
{
    QTemporaryDir shared;
    QVERIFY(writeBytes(path("new.mp3"), "new snow"));
    QVERIFY(writeBytes(shared.path() + "/Snow.mp3", "old snow"));
    QVERIFY(QFile::link(shared.path() + "/Snow.mp3", path("Snow.mp3")));
    QCOMPARE(copyCode(path("new.mp3"), path("Snow.mp3")), 0);
    QCOMPARE(QFileInfo(path("Snow.mp3")).symLinkTarget(), shared.path() + "/Snow.mp3");
    QCOMPARE(readBytes(shared.path() + "/Snow.mp3"), std::string("new snow"));
    QCOMPARE(entries(shared.path()), QStringList{"Snow.mp3"});
}

void TestAtomicFileWriter::hardLinkedTargetBecomesOwnFile()
{
    QVERIFY(writeBytes(path("new.mp3"), "new win"));
    QVERIFY(writeBytes(path("other name.mp3"), "old win"));
    QVERIFY(::link(path("other name.mp3").toLocal8Bit(), path("Win Battle.mp3").toLocal8Bit()) ==
            0);
    QCOMPARE(copyCode(path("new.mp3"), path("Win Battle.mp3")), 0);
    QCOMPARE(readBytes(path("Win Battle.mp3")), std::string("new win"));
    QCOMPARE(readBytes(path("other name.mp3")), std::string("old win"));
}

void TestAtomicFileWriter::sourceFailingMidwayNeverEmptiesFileOverwrittenInPlace()
{
    // The folder takes no temporary file, so the game file would be written in place; the
    // pick breaks after its first megabyte (a dropped share).
    QTemporaryDir staging;
    QVERIFY(writeBytes(path("pick.mp3"), testfiles::pattern('p', 3 * 1024 * 1024)));
    QVERIFY(writeBytes(path("Grass.mp3"), "the game's own grass"));
    FaultyFileSystem fs;
    fs.failOn(FaultyFileSystem::Call::CreateNew, EACCES, 0, fsPath(dir_.path()));
    fs.failOn(FaultyFileSystem::Call::Read, EIO, 1);
    AtomicFileWriter writer(fs);
    writer.setStagingFolder(fsPath(staging.path()));
    const auto failure = writer.copyFile(fsPath(path("pick.mp3")), fsPath(path("Grass.mp3")));
    QVERIFY(failure);
    QCOMPARE(core::failureCodeFor(*failure), 57);
    QCOMPARE(readBytes(path("Grass.mp3")), std::string("the game's own grass"));
    QCOMPARE(entries(staging.path()), QStringList{});
}

void TestAtomicFileWriter::stopEndsCopyBetweenBlocks()
{
    QTemporaryDir dir;
    QVERIFY(writeBytes(dir.path() + "/pick.mp3", testfiles::pattern('p', 3 * 1024 * 1024)));
    QVERIFY(writeBytes(dir.path() + "/Grass.mp3", "the game's own grass"));
    std::stop_source stop;
    stop.request_stop();
    const auto failure = AtomicFileWriter().copyFile(
        fsPath(dir.path() + "/pick.mp3"), fsPath(dir.path() + "/Grass.mp3"), {}, stop.get_token());
    QVERIFY(failure);
    QCOMPARE(failure->systemError, core::FileSystem::cancelled);
    QCOMPARE(readBytes(dir.path() + "/Grass.mp3"), std::string("the game's own grass"));
    QCOMPARE(entries(dir.path()), (QStringList{"Grass.mp3", "pick.mp3"}));
}

QTEST_APPLESS_MAIN(TestAtomicFileWriter)
#include "tst_atomicfilewriter.moc"
