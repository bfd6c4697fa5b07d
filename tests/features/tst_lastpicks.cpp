// SPDX-License-Identifier: GPL-3.0-or-later
#include "SharedState.h"
#include "TextTable.h"
#include "WindowFixture.h"
#include "features/LastPicks.h"
#include "features/MusicSets.h"

#include <QFileInfo>
#include <QMenu>
#include <QTest>

// The picks an emptying took, brought back from the player's settings folder.
class TestLastPicks : public QObject
{
    Q_OBJECT

  private slots:
    void emptiedPicksComeBackWithTheirFits_data();
    void emptiedPicksComeBackWithTheirFits();
};

namespace {

void triggerSetEntry(WindowFixture &f, const char *TextTable::*entry)
{
    const QString text = QString::fromUtf8(TextTable::forLanguage(f.form1->nyelv()).*entry);
    std::unique_ptr<QMenu> menu(f.form1->protocol().musicSets().createMenu(f.form1.get()));
    for (QAction *action : menu->actions())
        if (action->text() == text && action->isEnabled())
            action->trigger();
}

} // namespace

void TestLastPicks::emptiedPicksComeBackWithTheirFits_data()
{
    QTest::addColumn<char>("language");
    QTest::addColumn<QString>("emptying");
    QTest::addColumn<QString>("note"); // what every slot's tooltip names; empty: none
    const QString english = QStringLiteral("“Reopen last picks”");
    QTest::newRow("Settings OK") << '2' << "ok" << english;
    QTest::newRow("Settings OK twice") << '2' << "ok twice" << english;
    QTest::newRow("Clear all picks, Hungarian")
        << '1' << "clear" << QString::fromUtf8("„Legutóbbi választások visszahozása”");
    QTest::newRow("a new start") << '2' << "restart" << QString();
    QTest::newRow("a set of no picks opened") << '2' << "empty set" << english;
}

void TestLastPicks::emptiedPicksComeBackWithTheirFits()
{
    QFETCH(char, language);
    QFETCH(QString, emptying);
    QFETCH(QString, note);
    QTemporaryDir game;
    WindowFixture f("\"" + storedFolder(game.path()) + "\"," + language + "\r\n");
    f.start();
    const core::PickFit fit{4410, 44100, 441, 2205, 100};
    f.slot(0)->setText("/music/a.mp3");
    f.slot(5)->setText("typed.mp3");
    f.slot(30)->setText("/music/b.flac");
    f.form1->sharedState().fits.set(30, fit);
    const QString kept = f.programFolder.path() + '/' + LastPicks::fileName;
    QTRY_VERIFY(testfiles::readBytes(kept).find("b.flac") != std::string::npos);
    const std::string before = testfiles::readBytes(kept);

    if (emptying.startsWith("ok")) {
        for (int i = emptying == "ok" ? 1 : 2; i > 0; --i) {
            f.main().Command2->click();
            f.settings().Command1->click();
        }
    } else if (emptying == "clear") {
        f.platform.yesNoAnswers << true;
        triggerSetEntry(f, &TextTable::clearAllPicks);
    } else if (emptying == "empty set") {
        const QString set = f.programFolder.path() + "/none.m3u8";
        QVERIFY(testfiles::writeBytes(set, "#EXTM3U\n"));
        f.platform.yesNoAnswers << true;
        f.form1->protocol().musicSets().openFile(set);
    } else {
        f.form1 = std::make_unique<Form1>(f.platform, f.programFolder.path());
        f.start();
    }
    QCoreApplication::processEvents();
    QCOMPARE(testfiles::readBytes(kept), before);
    for (int i = 0; i < core::slotCount; ++i) {
        QCOMPARE(f.slot(i)->text(), language == '1' ? hungarianPlaceholder : englishPlaceholder);
        const QString toolTip = f.slot(i)->toolTip();
        QVERIFY(note.isEmpty() ? toolTip.isEmpty() : toolTip.contains(note));
    }

    triggerSetEntry(f, &TextTable::reopenLastPicks);
    // Full paths: on Windows a rooted path gains its drive.
    const auto full = [](const char *path) {
        return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    };
    QCOMPARE(f.slot(0)->text(), full("/music/a.mp3"));
    QCOMPARE(f.slot(5)->text(), full("typed.mp3"));
    QCOMPARE(f.slot(30)->text(), full("/music/b.flac"));
    QCOMPARE(f.form1->sharedState().fits.fit(30), fit);
    QCOMPARE(f.slot(9)->toolTip(), QString());
}

QTEST_MAIN(TestLastPicks)
#include "tst_lastpicks.moc"
