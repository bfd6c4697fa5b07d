// SPDX-License-Identifier: GPL-3.0-or-later
#include "AudioFixtures.h"
#include "LoudnessFixtures.h"
#include "ReasonTexts.h"
#include "TextTable.h"
#include "WindowFixture.h"
#include "features/ProgressWorker.h"
#include "forms/ApplyLanguage.h"
#include "forms/ClickThroughToolTip.h"
#include "forms/CommonDialog.h"
#include "forms/DirectoryList.h"
#include "forms/DriveList.h"
#include "forms/LayoutScale.h"
#include "forms/LineShape.h"
#include "forms/SlotRow.h"
#include "forms/Twips.h"
#include "music/AudioCodecs.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QEnterEvent>
#include <QFrame>
#include <QHelpEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>
#include <QWindow>

#include <algorithm>
#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

namespace {

QStringList tableTexts(WindowFixture &f)
{
    const Form1Controls &m = f.main();
    const Form2Controls &s = f.settings();
    const FrmAboutControls &a = f.form1->protocol().frmAbout().controls();
    QStringList texts;
    for (int i = 0; i < core::slotCount; ++i)
        texts << m.Text1[i]->text() << m.gomb_browse[i]->text();
    for (QPushButton *b : {m.gomb_firstpage, m.gomb_secondpage, m.gomb_change, m.gomb_default,
                           m.Command1, m.Command2, m.gomb_exit, s.Command1, s.Command2})
        texts << b->text();
    texts << s.Label1->text() << s.Label2->text() << a.lblVersion->text()
          << a.lblDescription->text() << a.Label1->text();
    return texts;
}

} // namespace

class TestWindows : public QObject
{
    Q_OBJECT

  private slots:
    void freshMainWindowOpensOnPageOne();
    void everyControlHasItsName();
    void slotGeometryAtTheCorners_data();
    void slotGeometryAtTheCorners();
    void labelsAndTooltipsNeverChange();
    void applyLanguage_data();
    void applyLanguage();
    void noTextOfOtherLanguageRemains();
    void tabWalkSkipsHiddenPageAndDisabledButton();
    void settingsWindowAsDefined();
    void aboutWindowAsDefined();
    void closedAboutWindowIsMadeAfresh();
    void dialogFilterInQtSyntax();
    void windowsDrivesAreLettersWithCurrentFolders();
    void layoutGrowsUntilEveryCaptionFits();
    void layoutScaleFromMetricsMatchesBuiltWindows_data();
    void layoutScaleFromMetricsMatchesBuiltWindows();
    void layoutStaysOnScreenAndCutsCaptionsShort_data();
    void layoutStaysOnScreenAndCutsCaptionsShort();
    void screenReaderNames();
    void pickIsReadWhenMade_data();
    void pickIsReadWhenMade();
    void unreadablePickIsToldInTheInterfacesLanguage_data();
    void unreadablePickIsToldInTheInterfacesLanguage();
    void withoutAudioPartOnlyAnMp3IsTaken();
    void convertingRunShowsProgressWindow();
    void progressWindowStaysHiddenOnceTheWorkIsOver();
    void runTakesNoInputAndExitStopsIt();
    void mp3PickCopiedAsItIsWhileItsEntryIsOff();
    void pickLoudnessIsToldAndPreviewedAsChangeWouldMakeIt();
    void matchedMp3PickIsToldOneThingChangeDoes();
    void pickCheckedWhileFilesAreWrittenIsMeasuredAfter();
    void menusHaveDistinctKeysAndActWhereTheyCan_data();
    void menusHaveDistinctKeysAndActWhereTheyCan();
    void droppingOneFileOntoSlotRow_data();
    void droppingOneFileOntoSlotRow();
    void shiftF10OpensTheSlotMenuOnce_data();
    void shiftF10OpensTheSlotMenuOnce();
    void slotToolTipLetsTheClickThrough_data();
    void slotToolTipLetsTheClickThrough();
    void pathBoxShowsTheEndOfItsPath_data();
    void pathBoxShowsTheEndOfItsPath();
    void pickCutShortIsTold_data();
    void pickCutShortIsTold();
};

void TestWindows::freshMainWindowOpensOnPageOne()
{
    WindowFixture f;
    const Form1Controls &m = f.main();
    QCOMPARE(f.form1->windowTitle(), QStringLiteral("Valdrune 3 Music Changer"));
    QCOMPARE(f.form1->size(), QSize(616, 457));
    QCOMPARE(f.form1->minimumSize(), f.form1->maximumSize());
    QVERIFY(
        !(f.form1->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QVERIFY(m.Frame1->isVisibleTo(f.form1.get()));
    QVERIFY(!m.Frame2->isVisibleTo(f.form1.get()));
    QCOMPARE(m.Frame1->frameShape(), QFrame::NoFrame);
    QVERIFY(!m.gomb_firstpage->isEnabled());
    QVERIFY(m.gomb_secondpage->isEnabled());
    QVERIFY(!m.gomb_default->isVisibleTo(f.form1.get()));
    QCOMPARE(m.gomb_change->text(), QStringLiteral("Csere"));
    QCOMPARE(m.gomb_change->toolTip(),
             QString::fromUtf8("A megadott fájlokkal kicseréli a VLDR3 MP3-jait"));
    QCOMPARE(m.Command2->toolTip(), QString::fromUtf8("VLDR3 elérési útjának megadása"));
    for (QPushButton *b : {m.gomb_firstpage, m.gomb_secondpage, m.Command1, m.gomb_exit})
        QVERIFY(b->toolTip().isEmpty());
    QCOMPARE(m.gomb_browse[0]->text(), QStringLiteral("Open..."));
    for (int i = 1; i < core::slotCount; ++i)
        QCOMPARE(m.gomb_browse[i]->text(), QStringLiteral("Browse..."));
    QCOMPARE(m.Text1[17]->text(), QStringLiteral("Text1"));
    QCOMPARE(m.CommonDialog1->dialogTitle(), QStringLiteral("Open"));
    QCOMPARE(m.CommonDialog1->filter(), QString::fromUtf8("Mp3 hangfájlok (*.mp3)|*.mp3|"));
    QVERIFY(m.CommonDialog1->fileName().isEmpty());
}

void TestWindows::everyControlHasItsName()
{
    WindowFixture f;
    for (int i = 0; i < core::slotCount; ++i) {
        QCOMPARE(f.form1->findChild<QLineEdit *>(QStringLiteral("Text1(%1)").arg(i)), f.slot(i));
        QVERIFY(f.form1->findChild<QLabel *>(QStringLiteral("Label1(%1)").arg(i)));
        QVERIFY(f.form1->findChild<QPushButton *>(QStringLiteral("gomb_browse(%1)").arg(i)));
    }
    for (const char *name : {"gomb_firstpage", "gomb_secondpage", "gomb_default", "gomb_change",
                             "Command1", "Command2", "gomb_exit"})
        QVERIFY2(f.form1->findChild<QPushButton *>(name), name);
    QVERIFY(f.form1->findChild<CommonDialog *>("CommonDialog1"));
    Form2 &settings = f.form1->protocol().form2();
    for (const char *name : {"Label1", "Dir1", "Drive1", "Text1", "Command1", "Command2", "Label2",
                             "Option1", "Option2", "Option3"})
        QVERIFY2(settings.findChild<QWidget *>(name), name);
    FrmAbout &about = f.form1->protocol().frmAbout();
    for (const char *name : {"cmdOK", "picIcon", "lblDescription", "lblDisclaimer", "lblTitle",
                             "lblVersion", "Label1", "Label2", "Line1(0)", "Line1(1)"})
        QVERIFY2(about.findChild<QWidget *>(name), name);
}

void TestWindows::slotGeometryAtTheCorners_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("page");
    QTest::addColumn<QRect>("label");
    QTest::addColumn<QRect>("browse");
    QTest::addColumn<QRect>("text");

    QTest::newRow("0") << 0 << "Frame1" << QRect(0, 0, 81, 17) << QRect(80, 0, 73, 17)
                       << QRect(0, 24, 161, 25);
    QTest::newRow("15 narrow") << 15 << "Frame1" << QRect(168, 392, 65, 17)
                               << QRect(248, 392, 73, 17) << QRect(168, 416, 161, 25);
    QTest::newRow("23") << 23 << "Frame1" << QRect(336, 392, 81, 17) << QRect(416, 392, 73, 17)
                        << QRect(336, 416, 161, 25);
    QTest::newRow("24") << 24 << "Frame2" << QRect(0, 0, 65, 17) << QRect(80, 0, 73, 17)
                        << QRect(0, 24, 161, 25);
    QTest::newRow("39") << 39 << "Frame2" << QRect(168, 392, 65, 17) << QRect(248, 392, 73, 17)
                        << QRect(168, 416, 161, 25);
}

void TestWindows::slotGeometryAtTheCorners()
{
    QFETCH(int, index);
    QFETCH(QString, page);
    QFETCH(QRect, label);
    QFETCH(QRect, browse);
    QFETCH(QRect, text);

    WindowFixture f;
    const Form1Controls &m = f.main();
    QCOMPARE(m.Label1[index]->parentWidget()->objectName(), page);
    QCOMPARE(m.Text1[index]->parentWidget()->objectName(), page);
    QCOMPARE(m.gomb_browse[index]->parentWidget()->objectName(), page);
    QCOMPARE(m.Label1[index]->geometry(), label);
    QCOMPARE(m.gomb_browse[index]->geometry(), browse);
    QCOMPARE(m.Text1[index]->geometry(), text);
    QCOMPARE(m.Frame1->geometry(), QRect(8, 8, 505, 449));
    QCOMPARE(m.Frame2->geometry(), m.Frame1->geometry());
    QCOMPARE(m.gomb_exit->geometry(), QRect(528, 424, 81, 25));
}

void TestWindows::labelsAndTooltipsNeverChange()
{
    WindowFixture f;
    QStringList before;
    for (int i = 0; i < core::slotCount; ++i)
        before << f.main().Label1[i]->text() + '|' + f.main().Label1[i]->toolTip();
    ApplyLanguage(*f.form1, 1);
    ApplyLanguage(*f.form1, 2);
    for (int i = 0; i < core::slotCount; ++i) {
        const core::MusicSlot &slot = core::SlotTable::slot(i);
        QCOMPARE(f.main().Label1[i]->text() + '|' + f.main().Label1[i]->toolTip(), before.at(i));
        QCOMPARE(f.main().Label1[i]->text().toStdString(), std::string(slot.label));
        QCOMPARE(f.main().Label1[i]->toolTip().toStdString(), std::string(slot.tooltip));
    }
    QCOMPARE(f.settings().Option1->text(), QStringLiteral("Magyar"));
    QCOMPARE(f.form1->protocol().frmAbout().controls().lblTitle->text(),
             QStringLiteral("Valdrune Music Changer"));
}

void TestWindows::applyLanguage_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("hungarian");
    QTest::newRow("1") << 1 << true;
    QTest::newRow("0") << 0 << false;
    QTest::newRow("2") << 2 << false;
    QTest::newRow("3") << 3 << false;
    QTest::newRow("255") << 255 << false;
}

void TestWindows::applyLanguage()
{
    QFETCH(int, code);
    QFETCH(bool, hungarian);

    WindowFixture f;
    for (int i = 0; i < core::slotCount; ++i)
        f.slot(i)->setText("/music/picked" + QString::number(i) + ".mp3");
    ApplyLanguage(*f.form1, std::uint8_t(code));

    const Form1Controls &m = f.main();
    const Form2Controls &s = f.settings();
    const FrmAboutControls &a = f.form1->protocol().frmAbout().controls();
    QVERIFY(!f.settingsWindow()->isVisible());
    QVERIFY(!f.aboutWindow()->isVisible());
    QCOMPARE(s.Option1->isChecked(), hungarian);
    QCOMPARE(s.Option2->isChecked(), !hungarian);
    QVERIFY(!s.Option3->isChecked());
    for (int i = 0; i < core::slotCount; ++i) {
        QCOMPARE(m.Text1[i]->text(), hungarian ? hungarianPlaceholder : englishPlaceholder);
        QCOMPARE(m.gomb_browse[i]->text(),
                 hungarian ? QString::fromUtf8("Tallózás...") : "Open...");
    }
    const QStringList captions = {
        m.gomb_firstpage->text(), m.gomb_secondpage->text(), m.gomb_change->text(),
        m.gomb_default->text(),   m.Command1->text(),        m.Command2->text(),
        m.gomb_exit->text(),      s.Command1->text(),        s.Command2->text(),
        s.Label1->text(),         s.Label2->text()};
    const QStringList expected =
        hungarian ? QStringList{QString::fromUtf8("&Első oldal"),
                                QString::fromUtf8("&Második oldal"),
                                "&Csere",
                                QString::fromUtf8("&Visszaállítás"),
                                QString::fromUtf8("&Névjegy"),
                                QString::fromUtf8("&Beállítások"),
                                QString::fromUtf8("&Kilépés"),
                                "&Rendben",
                                QString::fromUtf8("&Mégse"),
                                QString::fromUtf8("Kérlek add meg a Valdrune elérési útját"),
                                "Nyelv:"}
                  : QStringList{"&1st Page", "&2nd Page",
                                "&Change",   "&Default",
                                "&About",    "&Options",
                                "&Exit",     "&OK",
                                "&Cancel",   "Please set the Path of the VLDR3",
                                "Language:"};
    QCOMPARE(captions, expected);
    QCOMPARE(a.lblVersion->text(),
             hungarian ? QString::fromUtf8("Verziószám 1.5.1") : QStringLiteral("Version 1.5.1"));
    QVERIFY(a.lblDisclaimer->text().isEmpty());
    QVERIFY(a.Label1->text().startsWith(hungarian ? QString::fromUtf8("Készítette: ")
                                                  : "Created by: "));
    QVERIFY(a.lblDescription->text().startsWith(hungarian ? "A Zellerin" : "With this product"));
}

void TestWindows::noTextOfOtherLanguageRemains()
{
    WindowFixture f;
    ApplyLanguage(*f.form1, 1);
    const QStringList hungarianTexts = tableTexts(f);
    ApplyLanguage(*f.form1, 2);
    const QStringList englishTexts = tableTexts(f);
    for (const QString &text : englishTexts)
        QVERIFY2(text.isEmpty() || !hungarianTexts.contains(text), qPrintable(text));
    ApplyLanguage(*f.form1, 1);
    QCOMPARE(tableTexts(f), hungarianTexts);
    for (const QString &text : hungarianTexts)
        QVERIFY2(text.isEmpty() || !englishTexts.contains(text), qPrintable(text));
}

void TestWindows::tabWalkSkipsHiddenPageAndDisabledButton()
{
    WindowFixture f("\"/x/\",2\r\n");
    f.start();
    QApplication::setActiveWindow(f.form1.get());
    QVERIFY(QTest::qWaitForWindowActive(f.form1.get()));

    f.slot(23)->setFocus();
    QTest::keyClick(f.slot(23), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), f.main().gomb_secondpage);

    f.main().gomb_secondpage->click();
    f.slot(39)->setFocus();
    QTest::keyClick(f.slot(39), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), f.main().gomb_firstpage);

    // Within a slot the browse button comes first, then its text box, then the next slot.
    f.main().gomb_browse[30]->setFocus();
    QTest::keyClick(f.main().gomb_browse[30], Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), f.slot(30));
    QTest::keyClick(f.slot(30), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), f.main().gomb_browse[31]);

    // After the page buttons come Change, Options, About and Exit, then the first slot.
    QList<QWidget *> order;
    QWidget *w = f.main().gomb_firstpage;
    for (int i = 0; i < 5; ++i)
        order << (w = w->nextInFocusChain());
    QCOMPARE(order,
             (QList<QWidget *>{f.main().gomb_secondpage, f.main().gomb_change,
                               f.main().gomb_default, f.main().Command2, f.main().Command1}));
}

void TestWindows::settingsWindowAsDefined()
{
    WindowFixture f;
    Form2 &window = f.form1->protocol().form2();
    const Form2Controls &s = window.controls();
    QVERIFY(!window.isVisible());
    QCOMPARE(window.windowTitle(), QStringLiteral("Valdrune 3 Music Changer"));
    QCOMPARE(window.size(), QSize(312, 311));
    QVERIFY(window.minimumSize() != window.maximumSize());
    QVERIFY(s.Option1->isChecked());
    QVERIFY(!s.Option3->isEnabled());
#ifdef Q_OS_WIN
    QCOMPARE(s.Text1->text(), QStringLiteral("C:\\Program Files\\Korvex\\Valdrune3\\Mp3"));
#else
    QCOMPARE(s.Text1->text(),
             QDir::homePath() + "/.wine/drive_c/Program Files/Korvex/Valdrune3/Mp3");
#endif
    QCOMPARE(s.Dir1->geometry(), QRect(8, 56, 297, 111));
    QCOMPARE(s.Command2->geometry(), QRect(248, 8, 57, 25));

    window.show();
    const QRect okBefore = s.Command1->geometry();
    window.resize(600, 500);
    QCoreApplication::processEvents();
    QCOMPARE(s.Command1->geometry(), okBefore);
    QCOMPARE(s.Dir1->geometry(), QRect(8, 56, 297, 111));

    // No default and no cancel button: Enter and Esc press nothing.
    QSignalSpy ok(&window, &Form2::okClicked);
    QSignalSpy cancel(&window, &Form2::cancelClicked);
    QTest::keyClick(s.Text1, Qt::Key_Return);
    QTest::keyClick(s.Text1, Qt::Key_Escape);
    QCOMPARE(ok.count() + cancel.count(), 0);
    QVERIFY(window.isVisible());

    s.Option3->click();
    QVERIFY(s.Option1->isChecked());
    s.Option2->click();
    QVERIFY(!s.Option1->isChecked());
}

void TestWindows::aboutWindowAsDefined()
{
    WindowFixture f;
    FrmAbout &about = f.form1->protocol().frmAbout();
    const FrmAboutControls &a = about.controls();
    QCOMPARE(about.windowTitle(), QStringLiteral("About Valdrune Music Changer"));
    QCOMPARE(about.geometry(), QRect(156, 129, 382, 205));
    QCOMPARE(about.minimumSize(), about.maximumSize());
    QVERIFY(about.windowFlags().testFlag(Qt::Tool)); // no taskbar entry
    QVERIFY(a.cmdOK->isDefault());
    QCOMPARE(a.cmdOK->text(), QStringLiteral("&OK"));
    QCOMPARE(a.lblVersion->text(), QString::fromUtf8("Verziószám"));
    QVERIFY(a.lblDescription->text().contains(QStringLiteral("The Brennix te minden")));
    QVERIFY(a.Label2->text().startsWith(QStringLiteral("e-mail: ")));
    QCOMPARE(a.picIcon->pixmap().size(), QSize(98, 105));
    QCOMPARE(a.picIcon->size(), QSize(101, 101));
    QVERIFY(!about.windowIcon().isNull());
    QVERIFY(about.windowIcon().cacheKey() != QApplication::windowIcon().cacheKey());
    QCOMPARE(a.Line1[1]->color(), QColor(128, 128, 128));
    QCOMPARE(a.Line1[0]->color(), QColor(Qt::white));
    QCOMPARE(a.Line1[0]->lineWidth(), 2);
    QCOMPARE(a.lblTitle->palette().color(QPalette::WindowText), QColor(Qt::black));
}

void TestWindows::closedAboutWindowIsMadeAfresh()
{
    WindowFixture f;
    FrmAbout *first = &f.form1->protocol().frmAbout();
    QPointer<FrmAbout> watch(first);
    first->show();
    first->controls().lblDisclaimer->setText("changed");
    QVERIFY(first->close());
    QVERIFY(!f.aboutWindow());
    WindowFixture::destroyClosedWindows();
    QVERIFY(watch.isNull());
    FrmAbout &second = f.form1->protocol().frmAbout();
    QVERIFY(second.controls().lblDisclaimer->text().isEmpty());
    QVERIFY(!second.isVisible());
}

void TestWindows::dialogFilterInQtSyntax()
{
    QCOMPARE(CommonDialog::qtNameFilter(QString::fromUtf8("Mp3 hangfájlok (*.mp3)|*.mp3|")),
             QString::fromUtf8("Mp3 hangfájlok (*.mp3)"));
    QCOMPARE(CommonDialog::qtNameFilter("Music|*.mp3;*.ogg|All|*.*"),
             QStringLiteral("Music (*.mp3 *.ogg);;All (*.*)"));
}

void TestWindows::windowsDrivesAreLettersWithCurrentFolders()
{
#ifndef Q_OS_WIN
    QSKIP("drive letters are Windows's own");
#else
    DriveList drives;
    QVERIFY(drives.count() >= 1);
    QVERIFY(drives.findData(QStringLiteral("C:\\")) >= 0);
    for (int i = 0; i < drives.count(); ++i)
        QVERIFY2(QRegularExpression("^[a-z]:( \\[.*\\])?$").match(drives.itemText(i)).hasMatch(),
                 qPrintable(drives.itemText(i)));
    // A drive opens at its current folder, not always at its root.
    QVERIFY(QDir::setCurrent(QStringLiteral("C:/windows")));
    const QString current = DriveList::currentFolderOf(QStringLiteral("C:\\"));
    QCOMPARE(QDir::cleanPath(QDir::fromNativeSeparators(current)).toLower(),
             QStringLiteral("c:/windows"));
#endif
}

void TestWindows::layoutGrowsUntilEveryCaptionFits()
{
    const QFont original = QApplication::font();
    QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), 9));
    const double factor = layoutscale::forDefaultFont();
    QVERIFY(factor > 1.0);
    qInfo("layout scale for DejaVu Sans 9 pt: %.2f", factor);
    twips::setScale(factor);
    {
        WindowFixture f("\"/games/Mp3/\",2\r\n");
        f.start();
        QCOMPARE(f.form1->size(), QSize(int(9240 * factor) / 15, int(6855 * factor) / 15));
        f.main().Command1->click();
        QCOMPARE(f.aboutWindow()->geometry().topLeft(), QPoint(156, 129));
        for (const std::uint8_t language : {1, 2}) {
            ApplyLanguage(*f.form1, language);
            for (QWidget *window :
                 QList<QWidget *>{f.form1.get(), f.settingsWindow(), f.aboutWindow()}) {
                for (const QLabel *label : window->findChildren<QLabel *>()) {
                    if (!label->wordWrap())
                        QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <=
                                     label->width(),
                                 qPrintable(label->text()));
                }
                for (const QPushButton *button : window->findChildren<QPushButton *>()) {
                    const QString caption = QString(button->text()).remove('&');
                    QVERIFY2(button->fontMetrics().horizontalAdvance(caption) < button->width(),
                             qPrintable(caption));
                }
            }
        }
    }
    // A font as narrow as the one the layout was drawn for leaves it as drawn.
    QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), 5));
    QCOMPARE(layoutscale::forDefaultFont(), 1.0);
    twips::setScale(1.0);
    QApplication::setFont(original);
}

void TestWindows::layoutScaleFromMetricsMatchesBuiltWindows_data()
{
    QTest::addColumn<int>("points");
    for (const int points : {7, 9, 11, 14})
        QTest::newRow(qPrintable(QStringLiteral("DejaVu Sans %1 pt").arg(points))) << points;
}

void TestWindows::layoutScaleFromMetricsMatchesBuiltWindows()
{
    // The factor as it was found before: real windows at scale 1.0, stepped until every
    // caption fits.
    QFETCH(int, points);
    const QFont original = QApplication::font();
    QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), points));
    twips::setScale(1.0);
    double measured = 1.0;
    {
        WindowFixture f("\"/games/Mp3/\",2\r\n");
        f.start();
        for (const std::uint8_t language : {1, 2}) {
            ApplyLanguage(*f.form1, language);
            QList<QWidget *> controls;
            for (QWidget *window : QList<QWidget *>{f.form1.get(), &f.form1->protocol().form2(),
                                                    &f.form1->protocol().frmAbout()}) {
                for (QLabel *label : window->findChildren<QLabel *>()) {
                    if (!label->text().isEmpty() && label->objectName() != "lblDescription")
                        controls << label;
                }
                for (QAbstractButton *button : window->findChildren<QAbstractButton *>()) {
                    if (!button->text().isEmpty())
                        controls << button;
                }
            }
            for (const QWidget *control : controls) {
                while (!layoutscale::fits(*control, measured))
                    measured += 0.01;
            }
        }
    }
    QVERIFY2(qAbs(layoutscale::forDefaultFont() - measured) <= 0.0100001,
             qPrintable(
                 QStringLiteral("%1 against %2").arg(layoutscale::forDefaultFont()).arg(measured)));
    QApplication::setFont(original);
}

void TestWindows::layoutStaysOnScreenAndCutsCaptionsShort_data()
{
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<bool>("capped");
    QTest::newRow("3840 x 2100") << QSize(3840, 2100) << false;
    QTest::newRow("1366 x 728") << QSize(1366, 728) << true;
}

void TestWindows::layoutStaysOnScreenAndCutsCaptionsShort()
{
    // A font as large as a 192 dpi setting gives.
    QFETCH(QSize, screen);
    QFETCH(bool, capped);
    const QFont original = QApplication::font();
    const auto restore = qScopeGuard([&] {
        layoutscale::setElidesCaptions(false);
        twips::setScale(1.0);
        QApplication::setFont(original);
    });
    QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), 16));
    const double wanted = layoutscale::forDefaultFont();
    const double factor = layoutscale::forDefaultFont(screen);
    QCOMPARE(factor < wanted, capped);
    twips::setScale(factor);
    layoutscale::setElidesCaptions(factor < wanted);
    WindowFixture f("\"/games/Mp3/\",2\r\n");
    f.start();
    QVERIFY(f.form1->width() + 16 <= screen.width());
    QVERIFY(f.form1->height() + 40 <= screen.height());
    int cut = 0;
    for (QWidget *control : f.form1->findChildren<QWidget *>()) {
        const auto *label = qobject_cast<QLabel *>(control);
        const auto *button = qobject_cast<QAbstractButton *>(control);
        if (!label && !button)
            continue;
        const QString shown = QString(label ? label->text() : button->text()).remove('&');
        if (shown.isEmpty())
            continue;
        QVERIFY2(layoutscale::fits(*control, 1.0), qPrintable(shown));
        if (!shown.endsWith(QChar(0x2026)))
            continue;
        ++cut;
        const QString whole = control->accessibleName();
        QVERIFY(whole.startsWith(shown.chopped(1)) && whole.size() > shown.size() - 1);
        QVERIFY(control->toolTip().startsWith(whole));
    }
    QCOMPARE(cut > 0, capped);
}

void TestWindows::pickIsReadWhenMade_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("said");
    QTest::newRow("flac") << audiofixtures::path("tone.flac")
                          << "FLAC, 22.05 kHz, mono, 0:01: converted to MP3 at Change";
    QTest::newRow("mp3 at another rate")
        << audiofixtures::path("tone.mp3")
        << "MP3, 44.1 kHz: the game's own file of this slot is 22.05 kHz";
    // Every number in the interface's language.
    QTest::newRow("mp3 at another rate, Hungarian")
        << audiofixtures::path("tone.mp3")
        << QString::fromUtf8("MP3, 44,1 kHz: a játék saját fájlja ennél a helynél 22,05 kHz-es");
    QTest::newRow("no music") << QStringLiteral(VMC_AUDIO_FIXTURES "/make_fixtures.sh")
                              << "This file cannot be used: not a music format this program reads";
#ifndef Q_OS_WIN
    QTest::newRow("device") << "/dev/urandom"
                            << "This file cannot be used: not a file";
    // Its probe must not wait for a writer that never comes, nor keep the window from closing.
    static QTemporaryDir pipes;
    const QString pipe = pipes.path() + "/song.flac";
    ::mkfifo(pipe.toLocal8Bit().constData(), 0600);
    QTest::newRow("pipe") << pipe << "This file cannot be used: not a file";
#endif
}

void TestWindows::pickIsReadWhenMade()
{
#ifdef Q_OS_WIN
    QSKIP("the Windows build reads music only where its audio libraries are linked");
#endif
    QFETCH(QString, file);
    QFETCH(QString, said);
    QTemporaryDir game;
    QVERIFY(QFile::copy(audiofixtures::path("game-22k-mono.mp3"), game.path() + "/Dirt.mp3"));
    const bool hungarian = QString(QTest::currentDataTag()).contains("Hungarian");
    WindowFixture f("\"" + game.path().toStdString() + (hungarian ? "/\",1\r\n" : "/\",2\r\n"));
    f.start();
    f.slot(9)->setText(file);
    const QString name = QFileInfo(file).fileName();
    // Its loudness may follow on a line of its own.
    QTRY_COMPARE(f.slot(9)->toolTip().section('\n', 0, 2), name + "\n" + file + "\n" + said);
    const bool unreadable = said.startsWith("This file cannot be used");
    QCOMPARE(f.slot(9)->accessibleDescription(), unreadable ? said : QString());
    const QList<QAction *> marks = f.slot(9)->actions();
    QCOMPARE(!marks.isEmpty() && marks.constFirst()->isVisible(), unreadable);
}

void TestWindows::unreadablePickIsToldInTheInterfacesLanguage_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("code");
    static QTemporaryDir music;
    QVERIFY(testfiles::writeBytes(music.path() + "/fake.flac", "shopping list\n"));
    QVERIFY(audiofixtures::writeToneWav(music.path() + "/silence.wav", 0));
    QVERIFY(testfiles::writeBytes(music.path() + "/empty.mp3", ""));
    using Code = core::Reason::Code;
    QTest::newRow("text named fake.flac") << music.path() + "/fake.flac" << int(Code::NotMusic);
    QTest::newRow("no samples") << music.path() + "/silence.wav" << int(Code::NoSound);
    QTest::newRow("empty") << music.path() + "/empty.mp3" << int(Code::EmptyFile);
    // No file name at all: the reason alone follows the colon.
    QTest::newRow("no name") << music.path() + "/gone/" << int(Code::CannotOpen);
#ifndef Q_OS_WIN
    QTest::newRow("device") << "/dev/zero" << int(Code::NotAFile);
#endif
}

void TestWindows::unreadablePickIsToldInTheInterfacesLanguage()
{
#ifdef Q_OS_WIN
    QSKIP("the Windows build reads music only where its audio libraries are linked");
#endif
    QFETCH(QString, file);
    QFETCH(int, code);
    WindowFixture f("\"/games/Mp3/\",1\r\n");
    f.start();
    f.slot(9)->setText(file);
    const QString said = QString::fromUtf8(TextTable::forLanguage(1).pickUnreadable)
                             .arg(reasontexts::words(core::Reason::Code(code), 1));
    QTRY_VERIFY2(f.slot(9)->toolTip().endsWith("\n" + said), qPrintable(f.slot(9)->toolTip()));
    QCOMPARE(reasontexts::englishReasonIn(f.slot(9)->toolTip()), QString());
    QCOMPARE(f.slot(9)->accessibleDescription(), said);
}

void TestWindows::withoutAudioPartOnlyAnMp3IsTaken()
{
#ifdef Q_OS_WIN
    QSKIP("the Windows build links its audio code in");
#else
    if (core::AudioCodecs::get()) {
        // Again, from a folder where the audio module is not beside the program.
        QTemporaryDir hidden;
        const QString copy =
            hidden.path() + "/" + QFileInfo(qApp->applicationFilePath()).fileName();
        QVERIFY(QFile::copy(qApp->applicationFilePath(), copy));
        QProcess child;
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(copy, {"withoutAudioPartOnlyAnMp3IsTaken"});
        QVERIFY(child.waitForFinished(-1));
        QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
                 child.readAll().constData());
        return;
    }
    QTemporaryDir game;
    QVERIFY(QFile::copy(audiofixtures::path("game-22k-mono.mp3"), game.path() + "/Dirt.mp3"));
    WindowFixture f("\"" + game.path().toStdString() + "/\",2\r\n");
    f.start();
    const QString lookedFor = qApp->applicationDirPath() + "/libvmc-audio.so";
    f.slot(9)->setText(audiofixtures::path("tone.flac"));
    f.slot(10)->setText(audiofixtures::path("tone.mp3"));
    QTRY_VERIFY(
        f.slot(9)->toolTip().endsWith("The program's audio part is missing (it was looked for at " +
                                      lookedFor + "), so only an MP3 can be used here"));
    QTRY_VERIFY(f.slot(10)->toolTip().endsWith(
        "MP3: copied as it is (the program's audio part is missing; it was looked for at " +
        lookedFor + ")"));
    f.main().gomb_change->click();
    // Asked whether to change the other pick; no, and nothing changes.
    QVERIFY(f.platform.messages.isEmpty());
    QCOMPARE(f.platform.questions,
             QStringList{"Nothing was changed, because this pick cannot be used:\n"
                         "tone.flac (Dirt): the program's audio part is missing (it was looked "
                         "for at " +
                         lookedFor + ")"});
    QCOMPARE(testfiles::readBytes(game.path() + "/Dirt.mp3"),
             testfiles::readBytes(audiofixtures::path("game-22k-mono.mp3")));
#endif
}

void TestWindows::convertingRunShowsProgressWindow()
{
#ifdef Q_OS_WIN
    QSKIP("the Windows build reads music only where its audio libraries are linked");
#endif
    QTemporaryDir game;
    QVERIFY(QFile::copy(audiofixtures::path("game-22k-mono.mp3"), game.path() + "/Dirt.mp3"));
    WindowFixture f("\"" + game.path().toStdString() + "/\",2\r\n");
    f.start();
    f.slot(9)->setText(audiofixtures::path("tone.flac"));
    QTRY_VERIFY(f.slot(9)->toolTip().contains("converted to MP3 at Change"));
    f.form1->protocol().changeCommand().setProgressDelay(0);

    class ProgressSeen : public QObject
    {
      public:
        bool eventFilter(QObject *watched, QEvent *event) override
        {
            if (event->type() == QEvent::Show && watched->inherits("QProgressDialog"))
                title = static_cast<QWidget *>(watched)->windowTitle();
            return false;
        }
        QString title;
    } seen;
    qApp->installEventFilter(&seen);
    f.main().gomb_change->click();
    qApp->removeEventFilter(&seen);
    QCOMPARE(seen.title, QStringLiteral("Valdrune 3 Music Changer"));
    QVERIFY(f.platform.messages.isEmpty());
    const std::string converted = testfiles::readBytes(game.path() + "/Dirt.mp3");
    QVERIFY(converted != testfiles::readBytes(audiofixtures::path("game-22k-mono.mp3")));
    QVERIFY(converted.find("Info") != std::string::npos);
}

void TestWindows::progressWindowStaysHiddenOnceTheWorkIsOver()
{
    // As a run that ends at once and then says why: its window must not show over the message.
    QWidget window;
    window.show();
    ProgressWorker worker(&window, 2, 10);
    worker.setMinimumDuration(100);
    worker.run([&] { worker.report(5, QStringLiteral("half")); });
    worker.hide();
    QTest::qWait(300);
    const auto *progress = window.findChild<QProgressDialog *>();
    QVERIFY(progress && !progress->isVisible());
}

void TestWindows::runTakesNoInputAndExitStopsIt()
{
#ifdef Q_OS_WIN
    QSKIP("the Windows build reads music only where its audio libraries are linked");
#endif
    QTemporaryDir game;
    QVERIFY(QFile::copy(audiofixtures::path("game-22k-mono.mp3"), game.path() + "/Dirt.mp3"));
    WindowFixture f("\"" + game.path().toStdString() + "/\",2\r\n");
    f.start();
    f.form1->protocol().changeCommand().setProgressDelay(0);
    // Change at once: what the pick holds is not known yet.
    f.slot(9)->setText(audiofixtures::path("tone.flac"));

    struct DuringRun : QObject
    {
        std::function<void()> act;
        bool eventFilter(QObject *watched, QEvent *event) override
        {
            if (event->type() == QEvent::Show && watched->inherits("QProgressDialog") && act)
                std::exchange(act, nullptr)();
            return false;
        }
    } during;
    during.act = [&] {
        QTest::mouseClick(f.main().gomb_change, Qt::LeftButton);
        QTest::keyClicks(f.slot(3), "x");
        QTest::mouseClick(f.main().gomb_exit, Qt::LeftButton);
    };
    QSignalSpy changes(f.main().gomb_change, &QPushButton::clicked);
    qApp->installEventFilter(&during);
    f.main().gomb_change->click();
    qApp->removeEventFilter(&during);
    QCOMPARE(changes.count(), 1);
    QCOMPARE(f.slot(3)->text(), englishPlaceholder);
    // Exit stopped the run before it wrote, then ended the program, with nothing to say.
    QCOMPARE(f.platform.endRequests, 1);
    QVERIFY(f.platform.messages.isEmpty());
    QCOMPARE(testfiles::readBytes(game.path() + "/Dirt.mp3"),
             testfiles::readBytes(audiofixtures::path("game-22k-mono.mp3")));
}

void TestWindows::mp3PickCopiedAsItIsWhileItsEntryIsOff()
{
#ifdef Q_OS_WIN
    QSKIP("the Windows build reads music only where its audio libraries are linked");
#endif
    QTemporaryDir game;
    QVERIFY(QFile::copy(audiofixtures::path("tone.mp3"), game.path() + "/Dirt.mp3"));
    WindowFixture f("\"" + game.path().toStdString() + "/\",2\r\n");
    f.start();
    // The set menu's entries, kept beside config.ini once changed.
    std::unique_ptr<QMenu> menu(f.form1->protocol().musicSets().createMenu(f.form1.get()));
    menu->actions().last()->trigger();
    menu->actions().last()->trigger();
    QVERIFY(QFile::exists(QFileInfo(f.configPath()).path() + "/loudness.ini"));
    f.slot(9)->setText(audiofixtures::path("mp3-mpeg1-joint-crc.mp3"));
    QTRY_VERIFY2(f.slot(9)->toolTip().contains("copied as it is"),
                 qPrintable(f.slot(9)->toolTip()));
    f.main().gomb_change->click();
    QVERIFY(f.platform.messages.isEmpty());
    QCOMPARE(testfiles::readBytes(game.path() + "/Dirt.mp3"),
             testfiles::readBytes(audiofixtures::path("mp3-mpeg1-joint-crc.mp3")));
}

void TestWindows::pickLoudnessIsToldAndPreviewedAsChangeWouldMakeIt()
{
#ifdef Q_OS_WIN
    QSKIP("the Windows build reads music only where its audio libraries are linked");
#endif
    // A mono game file at -23 LUFS; a stereo pick of like channels, mixed down to it at -3 dB
    // each, at -8 LUFS.
    QTemporaryDir game;
    const std::string folder = game.path().toStdString();
    loudnessfixtures::writeWav(folder + "/Dirt.mp3", 22050, 1, 3, loudnessfixtures::tone(-20));
    loudnessfixtures::writeWav(folder + "/pick.wav", 44100, 2, 3, loudnessfixtures::tone(-8));
    WindowFixture f("\"" + folder + "/\",2\r\n");
    f.start();
    PickLoudness &loudness = f.form1->protocol().slotStatus().pickLoudness();
    f.slot(9)->setText(game.path() + "/pick.wav");
    QTRY_VERIFY2(f.slot(9)->toolTip().endsWith(
                     "-8.0 LUFS; the game's music of this slot -23.0 LUFS: Change makes it "
                     "15.0 dB quieter"),
                 qPrintable(f.slot(9)->toolTip()));
    QVERIFY(std::abs(loudness.previewGain(9) + 15) < 0.1);
    // With matching off the pick is heard, and goes, as it is.
    f.form1->protocol().loudnessChoice().setOptions({false, false});
    QCOMPARE(loudness.previewGain(9), 0.0);
    QVERIFY2(f.slot(9)->toolTip().endsWith("converted with its loudness as it is, 15.0 dB "
                                           "louder than the game's music"),
             qPrintable(f.slot(9)->toolTip()));
}

void TestWindows::matchedMp3PickIsToldOneThingChangeDoes()
{
#ifdef Q_OS_WIN
    QSKIP("the Windows build reads music only where its audio libraries are linked");
#endif
    QTemporaryDir game; // a game file far quieter than any pick, at the pick's rate
    loudnessfixtures::writeWav(game.path().toStdString() + "/Dirt.mp3", 44100, 1, 3,
                               loudnessfixtures::tone(-50));
    WindowFixture f("\"" + game.path().toStdString() + "/\",2\r\n");
    f.start();
    f.form1->protocol().loudnessChoice().setOptions({true, true});
    f.slot(9)->setText(audiofixtures::path("tone.mp3"));
    QTRY_VERIFY2(f.slot(9)->toolTip().contains("Change makes it"),
                 qPrintable(f.slot(9)->toolTip()));
    QVERIFY(!f.slot(9)->toolTip().contains("as it is"));
}

void TestWindows::pickCheckedWhileFilesAreWrittenIsMeasuredAfter()
{
#ifdef Q_OS_WIN
    QSKIP("the Windows build reads music only where its audio libraries are linked");
#endif
    WindowFixture f("\"/games/Mp3/\",2\r\n");
    f.start();
    SlotStatus &status = f.form1->protocol().slotStatus();
    PickLoudness &loudness = status.pickLoudness();
    // As Change does before it writes: the pick's check ends while the run goes on.
    loudness.stopAll();
    f.slot(9)->setText(audiofixtures::path("tone.wav"));
    QTRY_VERIFY(status.pickChecker().verdict(9));
    QVERIFY(!loudness.isMeasuring(9) && !loudness.plan(9));
    loudness.resume();
    QTRY_VERIFY(loudness.plan(9));
}

void TestWindows::menusHaveDistinctKeysAndActWhereTheyCan_data()
{
    QTest::addColumn<char>("language");
    QTest::newRow("Hungarian") << '1';
    QTest::newRow("English") << '2';
}

void TestWindows::menusHaveDistinctKeysAndActWhereTheyCan()
{
    QFETCH(char, language);
    WindowFixture f(std::string("\"/games/Mp3/\",") + language + "\r\n");
    f.start();
    SlotRow *row = f.form1->findChildren<SlotRow *>().value(9);
    QVERIFY(row && row->index() == 9);
    const auto keysAreDistinct = [](const QMenu *menu) {
        QStringList keys;
        for (const QAction *action : menu->actions()) {
            const qsizetype at = action->text().indexOf(QRegularExpression("&[^&]"));
            if (at >= 0)
                keys << action->text().mid(at + 1, 1).toLower();
        }
        return keys.size() == QSet<QString>(keys.begin(), keys.end()).size();
    };
    // The slot's own entries: restore, clear, show in folder, fit, and the three to listen.
    const auto slotEntries = [](const QMenu *menu) {
        QList<QAction *> entries;
        for (QAction *action : menu->actions())
            if (!action->isSeparator())
                entries << action;
        return entries.mid(entries.size() - 7);
    };
    const auto enabled = [&](const QMenu *menu) {
        QList<bool> states;
        for (const QAction *action : slotEntries(menu))
            states << action->isEnabled();
        return states;
    };
    for (QWidget *control :
         QList<QWidget *>{f.main().Label1[9], f.slot(9), f.main().gomb_browse[9]}) {
        // The mouse coming over the row readies the sound code for the menu.
        QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
        QApplication::sendEvent(control, &enter);
        std::unique_ptr<QMenu> menu(row->createMenu(control));
        QVERIFY(keysAreDistinct(menu.get()));
        // Nothing picked, nothing kept: no entry can act. The tests have no sound output.
        QCOMPARE(enabled(menu.get()), QList<bool>(7, false));
        QCOMPARE(slotEntries(menu.get()).last()->toolTip(),
                 QString::fromUtf8(TextTable::forLanguage(language - '0').noSoundOutput));
    }
    std::unique_ptr<QMenu> editing(row->createMenu(f.slot(9)));
    QVERIFY(editing->actions().size() > 4);
    QTemporaryDir music;
    QVERIFY(testfiles::writeBytes(music.path() + "/a.mp3", testfiles::song()));
    f.slot(9)->setText(music.path() + "/a.mp3");
    QTRY_VERIFY(f.form1->protocol().slotStatus().pickChecker().verdict(9).has_value());
    std::unique_ptr<QMenu> picked(row->createMenu(f.main().Label1[9]));
    // Fitting needs a pick the build can read: the Windows tests link no audio libraries.
    const auto &verdict = f.form1->protocol().slotStatus().pickChecker().verdict(9);
    const bool fitEnabled = core::AudioCodecs::get() != nullptr && verdict->readable;
    QCOMPARE(enabled(picked.get()),
             (QList<bool>{false, true, true, fitEnabled, false, false, false}));
    slotEntries(picked.get()).at(1)->trigger();
    QCOMPARE(f.slot(9)->text(), language == '1' ? hungarianPlaceholder : englishPlaceholder);
    std::unique_ptr<QMenu> sets(f.form1->protocol().musicSets().createMenu(f.form1.get()));
    QVERIFY(keysAreDistinct(sets.get()));
    // Save, save with music, open, clear all, reopen; a separator and the two loudness entries.
    QCOMPARE(sets->actions().size(), 8);
}

void TestWindows::screenReaderNames()
{
    WindowFixture f("\"/games/Mp3/\",2\r\n");
    f.start();
    for (const int i : {0, 16, 27, 39}) {
        const QString label = f.main().Label1[i]->text();
        QCOMPARE(QAccessible::queryAccessibleInterface(f.slot(i))->text(QAccessible::Name), label);
        QCOMPARE(QAccessible::queryAccessibleInterface(f.main().gomb_browse[i])
                     ->text(QAccessible::Description),
                 label);
    }
    const auto name = [](QWidget *control) {
        return QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name);
    };
    QCOMPARE(name(f.settings().Text1), QStringLiteral("The game's music folder"));
    QCOMPARE(name(f.settings().Dir1), QStringLiteral("Folders"));
    const auto driveList = [&] {
        const QAccessibleInterface *list =
            QAccessible::queryAccessibleInterface(f.settings().Drive1);
#ifdef Q_OS_WIN
        return list->text(QAccessible::Name);
#else
        return list->text(QAccessible::Description);
#endif
    };
    QCOMPARE(driveList(), QStringLiteral("Drives"));
    ApplyLanguage(*f.form1, 1);
    QCOMPARE(driveList(), QString::fromUtf8("Meghajtók"));
    QCOMPARE(name(f.settings().Dir1), QString::fromUtf8("Mappák"));
}

void TestWindows::droppingOneFileOntoSlotRow_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QStringList>("dragged");
    QTest::addColumn<bool>("accepted");
    for (const QString control : {"Label1(7)", "Text1(7)", "gomb_browse(7)"}) {
        const QByteArray row = control.toUtf8();
        QTest::newRow(row + ": one file") << control << QStringList{"a.mp3"} << true;
        QTest::newRow(row + ": two files") << control << QStringList{"a.mp3", "b.mp3"} << false;
        QTest::newRow(row + ": a folder") << control << QStringList{"music"} << false;
        QTest::newRow(row + ": not music") << control << QStringList{"notes.txt"} << false;
        QTest::newRow(row + ": capitals") << control << QStringList{"LOUD.MP3"} << true;
        QTest::newRow(row + ": remote") << control << QStringList{"https:a.mp3"} << false;
    }
}

void TestWindows::droppingOneFileOntoSlotRow()
{
    QFETCH(QString, control);
    QFETCH(QStringList, dragged);
    QFETCH(bool, accepted);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("music"));
    QVERIFY(testfiles::writeBytes(dir.path() + "/a.mp3", "a"));
    QVERIFY(testfiles::writeBytes(dir.path() + "/b.mp3", "b"));
    QVERIFY(testfiles::writeBytes(dir.path() + "/notes.txt", "n"));
    QVERIFY(testfiles::writeBytes(dir.path() + "/LOUD.MP3", "l"));
    QList<QUrl> urls;
    for (const QString &name : dragged)
        urls << (name.startsWith("https:") ? QUrl("https://example.org/a.mp3")
                                           : QUrl::fromLocalFile(dir.path() + "/" + name));
    QMimeData data;
    data.setUrls(urls);
    data.setText(urls.constFirst().toString());

    WindowFixture f("\"/games/Mp3/\",2\r\n");
    f.start();
    QWidget *target = f.form1->findChild<QWidget *>(control);
    QVERIFY(target);
    QDragEnterEvent enter(QPoint(3, 3), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QCOMPARE(enter.isAccepted(), accepted);
    // The row that would take the file is marked while it is dragged over it.
    QCOMPARE(f.main().Text1[7]->autoFillBackground(), accepted);
    QDropEvent drop(QPointF(3, 3), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    QVERIFY(!f.main().Text1[7]->autoFillBackground());
    const QString path = QDir::toNativeSeparators(dir.path() + "/" + dragged[0]);
    QCOMPARE(f.slot(7)->text(), accepted ? path : englishPlaceholder);
    QCOMPARE(f.slot(7)->toolTip(), accepted ? dragged[0] + "\n" + path : QString());
    QCOMPARE(f.slot(8)->text(), englishPlaceholder);
}

void TestWindows::shiftF10OpensTheSlotMenuOnce_data()
{
    QTest::addColumn<QString>("control");
    for (const char *control : {"Label1(4)", "Text1(4)", "gomb_browse(4)"})
        QTest::newRow(control) << QString::fromLatin1(control);
}

void TestWindows::shiftF10OpensTheSlotMenuOnce()
{
    QFETCH(QString, control);
    WindowFixture f("\"/games/Mp3/\",2\r\n");
    f.start();
    QWidget *target = f.form1->findChild<QWidget *>(control);
    QVERIFY(target);
    QTest::keyClick(target, Qt::Key_F10);
    QVERIFY(!QApplication::activePopupWidget());
    QTest::keyClick(target, Qt::Key_F10, Qt::ShiftModifier);
    auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    QVERIFY(menu);
    QCOMPARE(menu->parentWidget(), target);
    const QString showInFolder = QString::fromUtf8(TextTable::forLanguage(2).showInFolder);
    QVERIFY(std::any_of(menu->actions().cbegin(), menu->actions().cend(),
                        [&](const QAction *action) { return action->text() == showInFolder; }));
    // Where the system turns the same keys into a menu request as well, one menu opens.
    QContextMenuEvent request(QContextMenuEvent::Keyboard, QPoint(2, 2),
                              target->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(target, &request);
    QCOMPARE(target->findChildren<QMenu *>().size(), 1);
    menu->close();
    WindowFixture::destroyClosedWindows();
    QVERIFY(!QApplication::activePopupWidget());
}

void TestWindows::slotToolTipLetsTheClickThrough_data()
{
    QTest::addColumn<QString>("control");
    QTest::newRow("slot box") << "Text1(3)";
    QTest::newRow("slot label") << "Label1(3)";
}

void TestWindows::slotToolTipLetsTheClickThrough()
{
    QFETCH(QString, control);
    WindowFixture f("\"/games/Mp3/\",2\r\n");
    f.start();
    f.slot(3)->setText(QStringLiteral("/music/song.mp3"));
    auto *widget = f.form1->findChild<QWidget *>(control);
    QVERIFY(widget && !widget->toolTip().isEmpty());
    const QPoint at(5, 5);
    QHelpEvent hover(QEvent::ToolTip, at, widget->mapToGlobal(at));
    QApplication::sendEvent(widget, &hover);
    // Shown where the toolkit shows it, over the next row: a click goes to what lies below.
    QWidget *tip = ClickThroughToolTip::shown();
    QVERIFY(tip && tip->windowHandle());
    QCOMPARE(qobject_cast<QLabel *>(tip)->text(), widget->toolTip());
    QVERIFY(tip->windowHandle()->flags().testFlag(Qt::WindowTransparentForInput));
    QToolTip::hideText();
}

void TestWindows::pathBoxShowsTheEndOfItsPath_data()
{
    QTest::addColumn<bool>("settingsWindow");
    QTest::newRow("slot box") << false;
    QTest::newRow("settings window's folder box") << true;
}

void TestWindows::pathBoxShowsTheEndOfItsPath()
{
    QFETCH(bool, settingsWindow);
    QTemporaryDir home;
    const QString folder = home.path() + "/a/rather/long/folder/of/music/that/a/player/keeps";
    QVERIFY(QDir().mkpath(folder));
    const QString song = QDir::toNativeSeparators(folder + "/sajat_dal.mp3");
    QVERIFY(testfiles::writeBytes(song, "song"));
    WindowFixture f("\"/games/Mp3/\",1\r\n");
    f.start();
    QLineEdit *box = nullptr;
    QString expected;
    if (settingsWindow) {
        f.main().Command2->click();
        box = f.settings().Text1;
        f.settings().Dir1->setPath(folder);
        expected = QDir::toNativeSeparators(folder);
    } else {
        box = f.slot(12);
        f.platform.answerNextFileDialog(song);
        f.main().gomb_browse[12]->click();
        expected = song;
    }
    QCOMPARE(box->text(), expected);
    QVERIFY(box->fontMetrics().horizontalAdvance(expected) > box->width());
    // The end is in sight: the file or folder name, not the start of the path. The box
    // scrolls its text as it is drawn.
    box->grab();
    const QRect end = box->inputMethodQuery(Qt::ImCursorRectangle).toRect();
    QVERIFY2(end.right() <= box->width() && end.left() > box->width() / 2,
             qPrintable(QString::number(end.left())));
}

void TestWindows::pickCutShortIsTold_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("said");
    QTest::newRow("English") << 2 << "Cut short: the music ends at 0:02 of 0:04";
    QTest::newRow("Hungarian") << 1
                               << QString::fromUtf8("Csonka fájl: a zene 0:02-kor véget ér, pedig "
                                                    "a fájl szerint 0:04 hosszú");
}

// A FLAC cut in half still states its whole length in its header.
void TestWindows::pickCutShortIsTold()
{
#ifdef Q_OS_WIN
    QSKIP("the Windows build reads music only where its audio libraries are linked");
#endif
    QFETCH(int, language);
    QFETCH(QString, said);
    QTemporaryDir music;
    const QString cut = music.path() + "/cut.flac";
    QVERIFY(QFile::copy(audiofixtures::path("quiet-then-loud.flac"), cut));
    QFile file(cut);
    QVERIFY(file.resize(file.size() / 2));
    WindowFixture f("\"/games/Mp3/\"," + std::to_string(language) + "\r\n");
    f.start();
    f.slot(9)->setText(cut);
    QTRY_VERIFY2(f.slot(9)->toolTip().split('\n').contains(said), qPrintable(f.slot(9)->toolTip()));
}

QTEST_MAIN(TestWindows)
#include "tst_windows.moc"
