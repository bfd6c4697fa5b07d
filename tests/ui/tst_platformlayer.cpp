// SPDX-License-Identifier: GPL-3.0-or-later
#include "PlatformLayer.h"
#include "TestFiles.h"
#include "forms/Form1.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QUrl>

#include <optional>
#include <string>

namespace {

// Runs `answer` on the modal dialog of type Dialog once it is up, however deep in nested
// event loops (a run's worker) it comes.
template <class Dialog> void whenDialogShows(std::function<void(Dialog *)> answer)
{
    auto *poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, answer] {
        auto *dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        poll->stop();
        poll->deleteLater();
        answer(dialog);
    });
    poll->start(10);
}

} // namespace

// The real message box and file-open dialog, answered from a timer.
class TestPlatformLayer : public QObject
{
    Q_OBJECT

  private slots:
    void messageBoxHasOkOnlyNoIconAndTitle();
    void changeFailureShowsRealMessageBox();
    void folderWithoutGameMusicIsAskedAboutInTheLanguage();
    void fileDialogReturnsChosenFile();
    void fileDialogCancelReturnsNothing();
    void fileDialogSpeaksTheInterfaceLanguage_data();
    void fileDialogSpeaksTheInterfaceLanguage();
    void fileDialogOpensOnTheGivenFilterAndTellsTheChosenOne();
    void messageBoxesHoldTheirWholeTitle_data();
    void messageBoxesHoldTheirWholeTitle();
    void hungarianFileDialogNamesFoldersAndFitsItsColumns();
    void driveAvailability();
    void showInFolderHearsTheOpener_data();
    void showInFolderHearsTheOpener();
};

void TestPlatformLayer::messageBoxHasOkOnlyNoIconAndTitle()
{
    QString seenTitle;
    QString seenText;
    QMessageBox::Icon seenIcon = QMessageBox::Critical;
    QMessageBox::StandardButtons seenButtons;
    whenDialogShows<QMessageBox>([&](QMessageBox *box) {
        seenTitle = box->windowTitle();
        seenText = box->text();
        seenIcon = box->icon();
        seenButtons = box->standardButtons();
        box->button(QMessageBox::Ok)->click();
    });
    QtPlatformLayer().showMessage(nullptr, QStringLiteral("Bad filename or path at Castle.mp3"));
    QCOMPARE(seenTitle, QStringLiteral("Valdrune 3 Music Changer"));
    QCOMPARE(seenText, QStringLiteral("Bad filename or path at Castle.mp3"));
    QCOMPARE(seenIcon, QMessageBox::NoIcon);
    QCOMPARE(seenButtons, QMessageBox::StandardButtons(QMessageBox::Ok));
}

void TestPlatformLayer::changeFailureShowsRealMessageBox()
{
    QTemporaryDir programFolder;
    QTemporaryDir game;
    QVERIFY(testfiles::writeBytes(programFolder.path() + "/config.ini",
                                  "\"" + game.path().toStdString() + "/\",1\r\n"));
    QtPlatformLayer platform;
    Form1 form1(platform, programFolder.path());
    form1.show();
    QVERIFY(testfiles::writeBytes(game.path() + "/Water.mp3", "the game's own"));
    form1.controls().Text1[9]->setText(game.path() + "/nothing-here.mp3");

    QString seenText;
    whenDialogShows<QMessageBox>([&](QMessageBox *box) {
        seenText = box->text();
        box->accept();
    });
    form1.controls().gomb_change->click();
    QCOMPARE(seenText, QString::fromUtf8(
                           "Rossz fájlnevet vagy elérési utat adtál meg a Dirt.mp3 nevű fájlnál"));
}

void TestPlatformLayer::folderWithoutGameMusicIsAskedAboutInTheLanguage()
{
    QTemporaryDir programFolder;
    QTemporaryDir parent;
    QVERIFY(testfiles::writeBytes(programFolder.path() + "/config.ini",
                                  "\"" + parent.path().toStdString() + "/\",1\r\n"));
    QVERIFY(testfiles::writeBytes(parent.path() + "/song.mp3", "song"));
    QtPlatformLayer platform;
    Form1 form1(platform, programFolder.path());
    form1.show();
    form1.controls().Text1[9]->setText(parent.path() + "/song.mp3");

    QStringList captions;
    QString defaultCaption;
    whenDialogShows<QMessageBox>([&](QMessageBox *box) {
        for (QAbstractButton *button : box->buttons())
            captions << button->text();
        defaultCaption = box->defaultButton() ? box->defaultButton()->text() : QString();
        // Enter answers the default button.
        QTest::keyClick(box, Qt::Key_Return);
    });
    form1.controls().gomb_change->click();
    captions.sort();
    QCOMPARE(captions, (QStringList{"&Igen", "&Nem"}));
    QCOMPARE(defaultCaption, QStringLiteral("&Nem"));
    QCOMPARE(testfiles::entries(parent.path()), QStringList{"song.mp3"});
}

void TestPlatformLayer::fileDialogReturnsChosenFile()
{
    QTemporaryDir music;
    QVERIFY(testfiles::writeBytes(music.path() + "/song.mp3", "song"));
    QString seenTitle;
    QStringList seenFilters;
    QString seenFolder;
    whenDialogShows<QFileDialog>([&](QFileDialog *dialog) {
        seenTitle = dialog->windowTitle();
        seenFilters = dialog->nameFilters();
        seenFolder = dialog->directory().absolutePath();
        dialog->selectFile(music.path() + "/song.mp3");
        QMetaObject::invokeMethod(dialog, "accept");
    });
    PlatformLayer::OpenFileRequest request{
        "Open", QString::fromUtf8("Mp3 hangfájlok (*.mp3)"), music.path(), {}, {}};
    const std::optional<QString> chosen = QtPlatformLayer().chooseFileToOpen(nullptr, request);
    QCOMPARE(seenTitle, QStringLiteral("Open"));
    QCOMPARE(seenFilters, QStringList{QString::fromUtf8("Mp3 hangfájlok (*.mp3)")});
    QCOMPARE(seenFolder, music.path());
    QVERIFY(chosen);
    QCOMPARE(*chosen, QDir::toNativeSeparators(music.path() + "/song.mp3"));
}

void TestPlatformLayer::fileDialogCancelReturnsNothing()
{
    whenDialogShows<QFileDialog>([](QFileDialog *dialog) { dialog->reject(); });
    PlatformLayer::OpenFileRequest request{"Open", "All (*)", QDir::tempPath(), {}, {}};
    QVERIFY(!QtPlatformLayer().chooseFileToOpen(nullptr, request));
}

void TestPlatformLayer::fileDialogOpensOnTheGivenFilterAndTellsTheChosenOne()
{
    PlatformLayer::OpenFileRequest request{
        "Open", "Mp3 (*.mp3);;Music (*.mp3 *.flac)", QDir::tempPath(), {}, "Music (*.mp3 *.flac)"};
    QString shownFirst;
    whenDialogShows<QFileDialog>([&](QFileDialog *dialog) {
        shownFirst = dialog->selectedNameFilter();
        dialog->selectNameFilter("Mp3 (*.mp3)");
        dialog->reject();
    });
    QVERIFY(!QtPlatformLayer().chooseFileToOpen(nullptr, request));
    QCOMPARE(shownFirst, QStringLiteral("Music (*.mp3 *.flac)"));
    QCOMPARE(request.selectedFilter, QStringLiteral("Mp3 (*.mp3)"));
}

void TestPlatformLayer::fileDialogSpeaksTheInterfaceLanguage_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("lookIn");
    QTest::addColumn<QString>("fileName");
    QTest::newRow("Hungarian") << 1 << QString::fromUtf8("Keresés itt:")
                               << QString::fromUtf8("Fájl &neve:");
    QTest::newRow("English") << 2 << QStringLiteral("Look in:") << QStringLiteral("File &name:");
}

void TestPlatformLayer::fileDialogSpeaksTheInterfaceLanguage()
{
    QFETCH(int, language);
    QFETCH(QString, lookIn);
    QFETCH(QString, fileName);
    QTemporaryDir programFolder;
    QVERIFY(testfiles::writeBytes(programFolder.path() + "/config.ini",
                                  "\"" + programFolder.path().toStdString() + "/\",1\r\n"));
    QtPlatformLayer platform;
    Form1 form1(platform, programFolder.path());
    form1.show();
    // Every switch of language switches the toolkit's texts with it, back to English too.
    form1.applyLanguage(std::uint8_t(language));

    QString seenLookIn;
    QString seenFileName;
    whenDialogShows<QFileDialog>([&](QFileDialog *dialog) {
        seenLookIn = dialog->findChild<QLabel *>("lookInLabel")->text();
        seenFileName = dialog->findChild<QLabel *>("fileNameLabel")->text();
        dialog->reject();
    });
    PlatformLayer::OpenFileRequest request{"Open", "All (*)", programFolder.path(), {}, {}};
    platform.chooseFileToOpen(&form1, request);
    QCOMPARE(seenLookIn, lookIn);
    QCOMPARE(seenFileName, fileName);
}

void TestPlatformLayer::messageBoxesHoldTheirWholeTitle_data()
{
    QTest::addColumn<bool>("question");
    QTest::newRow("message") << false;
    QTest::newRow("question") << true;
}

void TestPlatformLayer::messageBoxesHoldTheirWholeTitle()
{
    QFETCH(bool, question);
    int width = 0;
    QString title;
    whenDialogShows<QMessageBox>([&](QMessageBox *box) {
        width = box->width();
        title = box->windowTitle();
        box->reject();
    });
    QtPlatformLayer platform;
    if (question)
        platform.askYesNo(nullptr, QStringLiteral("Igen?"), PlatformLayer::DefaultAnswer::No);
    else
        platform.showMessage(nullptr, QStringLiteral("Kész."));
    // The title in the application's font, bold or not, and the title bar's three buttons.
    QFont bold = QApplication::font();
    bold.setBold(true);
    const int buttons = 3 * QApplication::style()->pixelMetric(QStyle::PM_TitleBarHeight);
    QVERIFY2(width >= QFontMetrics(bold).horizontalAdvance(title) + buttons,
             qPrintable(QString::number(width)));
}

void TestPlatformLayer::hungarianFileDialogNamesFoldersAndFitsItsColumns()
{
    QTemporaryDir programFolder;
    QVERIFY(QDir(programFolder.path()).mkdir(QStringLiteral("Zenék")));
    QVERIFY(testfiles::writeBytes(programFolder.path() + "/config.ini",
                                  "\"" + programFolder.path().toStdString() + "/\",1\r\n"));
    QtPlatformLayer platform;
    Form1 form1(platform, programFolder.path());
    form1.show();
    form1.applyLanguage(1);
    QString folderType;
    QList<QHeaderView::ResizeMode> modes;
    whenDialogShows<QFileDialog>([&](QFileDialog *dialog) {
        auto *model = dialog->findChild<QFileSystemModel *>();
        const QModelIndex folder = model->index(programFolder.path() + "/Zenék");
        // The model reads a folder's details on a thread of its own.
        if (QTest::qWaitFor([&] { return !model->type(folder).isEmpty(); }))
            folderType = model->type(folder);
        const QHeaderView *header = dialog->findChild<QTreeView *>("treeView")->header();
        for (int column = 0; column < header->count(); ++column)
            modes << header->sectionResizeMode(column);
        dialog->reject();
    });
    PlatformLayer::OpenFileRequest request{"Open", "All (*)", programFolder.path(), {}, {}};
    platform.chooseFileToOpen(&form1, request);
    // Windows' own name of a folder is "File Folder".
#ifdef Q_OS_WIN
    QCOMPARE(folderType, QStringLiteral("Fájlmappa"));
#else
    QCOMPARE(folderType, QStringLiteral("Mappa"));
#endif
    QCOMPARE(modes, (QList<QHeaderView::ResizeMode>{
                        QHeaderView::Stretch, QHeaderView::ResizeToContents,
                        QHeaderView::ResizeToContents, QHeaderView::ResizeToContents}));
}

void TestPlatformLayer::driveAvailability()
{
    QtPlatformLayer platform;
    QTemporaryDir folder;
    QVERIFY(platform.isDriveAvailable("/", false));
    QVERIFY(platform.isDriveAvailable(folder.path(), false));
    // A mount point whose device is gone is an empty folder on the file system below it.
    QVERIFY(!platform.isDriveAvailable(folder.path(), true));
    QVERIFY(!platform.isDriveAvailable(folder.path() + "/gone", false));
}

void TestPlatformLayer::showInFolderHearsTheOpener_data()
{
    QTest::addColumn<int>("exitCode"); // -1: there is no opener at all
    QTest::addColumn<bool>("shown");
    QTest::newRow("opened") << 0 << true;
    QTest::newRow("no file manager") << 3 << false;
    QTest::newRow("opening failed") << 4 << false;
    QTest::newRow("no opener") << -1 << false;
}

void TestPlatformLayer::showInFolderHearsTheOpener()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    QFETCH(int, exitCode);
    QFETCH(bool, shown);
    // A desktop of the test's own: its opener, if any, the one program on the path.
    QTemporaryDir desktop;
    if (exitCode >= 0)
        QVERIFY(testfiles::writeBytes(desktop.path() + "/xdg-open",
                                      "#!/bin/sh\necho \"$1\" > \"${0%/*}/asked\"\nexit " +
                                          std::to_string(exitCode) + "\n") &&
                QFile::setPermissions(desktop.path() + "/xdg-open",
                                      QFile::ReadOwner | QFile::ExeOwner));
    const QByteArray path = qgetenv("PATH");
    const auto restore = qScopeGuard([&] { qputenv("PATH", path); });
    qputenv("PATH", desktop.path().toUtf8());
    QTemporaryDir folder;
    std::optional<bool> heard;
    QtPlatformLayer().showInFolder(folder.path(), [&](bool opened) { heard = opened; });
    QTRY_VERIFY(heard.has_value());
    QCOMPARE(*heard, shown);
    if (exitCode >= 0)
        QCOMPARE(testfiles::readBytes(desktop.path() + "/asked"),
                 QUrl::fromLocalFile(folder.path()).toString().toStdString() + "\n");
#else
    QSKIP("the desktop's opener is a Linux one");
#endif
}

QTEST_MAIN(TestPlatformLayer)
#include "tst_platformlayer.moc"
