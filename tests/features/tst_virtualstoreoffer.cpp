// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowFixture.h"
#include "features/VirtualStoreOffer.h"

#include <QTest>

using testfiles::readBytes;
using testfiles::writeBytes;

// Windows' VirtualStore copies of the game's files, offered once per folder.
class TestVirtualStoreOffer : public QObject
{
    Q_OBJECT

  private slots:
    void virtualStoreCopiesAreOfferedOnce();
};

void TestVirtualStoreOffer::virtualStoreCopiesAreOfferedOnce()
{
#ifndef Q_OS_WIN
    QSKIP("file virtualization is Windows'");
#else
    const QString relative =
        "/Korvex/VMC Store " + QString::number(QCoreApplication::applicationPid());
    const QString game = qEnvironmentVariable("ProgramFiles") + relative;
    const QString programFiles = QDir::fromNativeSeparators(qEnvironmentVariable("ProgramFiles"));
    const QString store =
        qEnvironmentVariable("LOCALAPPDATA") + "/VirtualStore" + programFiles.mid(2) + relative;
    QVERIFY(QDir().mkpath(game));
    QVERIFY(QDir().mkpath(store));
    QVERIFY(writeBytes(game + "/Dirt.mp3", "the game's own"));
    QVERIFY(writeBytes(store + "/Dirt.mp3", "an old tool's"));
    WindowFixture f("\"" + storedFolder(game) + "\",2\r\n");
    f.platform.yesNoAnswers << true;
    f.start();
    QCOMPARE(f.platform.questions.size(), 1);
    QVERIFY2(
        f.platform.questions.first().startsWith("The game will play 1 file(s) that Windows keeps"),
        qPrintable(f.platform.questions.first()));
    QVERIFY(!QFile::exists(store + "/Dirt.mp3"));
    // The game folder's file is the original; the copy is parked beside it.
    QCOMPARE(readBytes(game + "/Originals (Music Changer)/Dirt.mp3"),
             std::string("the game's own"));
    QCOMPARE(readBytes(game + "/Originals (Music Changer)/VirtualStore copies/Dirt.mp3"),
             std::string("an old tool's"));
    QVERIFY(!f.main().gomb_default->isVisible());
    f.form1->activate();
    QCOMPARE(f.platform.questions.size(), 1);
    QDir(game).removeRecursively();
    QDir(store).removeRecursively();
#endif
}

QTEST_MAIN(TestVirtualStoreOffer)
#include "tst_virtualstoreoffer.moc"
