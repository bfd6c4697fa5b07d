// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowFixture.h"
#include "features/SlotMenu.h"
#include "forms/SlotRow.h"

#include <QTest>

using testfiles::writeBytes;

// A slot menu's entries, in the main window with a scripted desktop.
class TestSlotMenu : public QObject
{
    Q_OBJECT

  private slots:
    void showInFolderThatCannotOpenGivesThePath_data();
    void showInFolderThatCannotOpenGivesThePath();
};

void TestSlotMenu::showInFolderThatCannotOpenGivesThePath_data()
{
    QTest::addColumn<char>("language");
    QTest::addColumn<bool>("opens");
    QTest::addColumn<QString>("message"); // %1 the folder
    QTest::newRow("opened") << '2' << true << QString();
    QTest::newRow("English") << '2' << false
                             << "The folder could not be opened in a file manager. Open it by "
                                "hand:\n%1";
    QTest::newRow("Hungarian") << '1' << false
                               << QString::fromUtf8("A mappát nem sikerült fájlkezelőben "
                                                    "megnyitni. Nyisd meg kézzel:\n%1");
}

void TestSlotMenu::showInFolderThatCannotOpenGivesThePath()
{
    QFETCH(char, language);
    QFETCH(bool, opens);
    QFETCH(QString, message);
    QTemporaryDir music;
    QVERIFY(writeBytes(music.path() + "/song.mp3", testfiles::song()));
    WindowFixture f(std::string("\"/games/Mp3/\",") + language + "\r\n");
    f.start();
    f.slot(7)->setText(QDir::toNativeSeparators(music.path() + "/song.mp3"));
    f.platform.foldersOpen = opens;
    emit f.form1->findChildren<SlotRow *>().value(7)->showInFolderRequested();
    QCOMPARE(f.platform.shownFolders, QStringList{music.path()});
    QCOMPARE(f.platform.messages,
             opens ? QStringList()
                   : QStringList{message.arg(QDir::toNativeSeparators(music.path()))});
}

QTEST_MAIN(TestSlotMenu)
#include "tst_slotmenu.moc"
