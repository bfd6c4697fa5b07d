// SPDX-License-Identifier: GPL-3.0-or-later
#include "forms/Form2.h"

#include "Language.h"
#include "PlatformLayer.h"
#include "TextTable.h"
#include "forms/ApplyLanguage.h"
#include "forms/DirectoryList.h"
#include "forms/DriveList.h"
#include "forms/LayoutScale.h"
#include "forms/PathBox.h"
#include "forms/Twips.h"

#include <QCloseEvent>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {

template <class Control> Control *place(Control *control, const char *name, QRect geometry)
{
    control->setObjectName(QLatin1String(name));
    control->setGeometry(geometry);
    return control;
}

} // namespace

Form2::Form2(PlatformLayer &platform, const QString &folderText,
             const QList<FolderDrive> &folderDrives, QWidget *parent)
    : QWidget(parent), platform_(platform)
{
    setObjectName(QStringLiteral("Form2"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QString::fromUtf8(fixedtext::applicationTitle));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    resize(twips::toPixels(4680), twips::toPixels(4665));
    createControls(folderText, folderDrives);
    startFolderLists(folderText);
    layoutscale::elideCaptionsThatDoNotFit(*this);
}

void Form2::createControls(const QString &folderText, const QList<FolderDrive> &folderDrives)
{
    auto &c = controls_;
    c.Label1 = place(new QLabel(QString::fromUtf8("Kérlek add meg a Valdrune elérési útját"), this),
                     "Label1", twips::rect(120, 120, 2535, 495));
    c.Label1->setWordWrap(true);
    c.Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    c.Dir1 = place(new DirectoryList(this), "Dir1", twips::rect(120, 840, 4455, 1665));
    c.Drive1 = place(new DriveList(this), "Drive1", twips::rect(120, 2520, 4455, 315));
    addFolderDrives(folderDrives);
    c.Text1 = place(new QLineEdit(this), "Text1", twips::rect(120, 570, 4455, 285));
    showFolder(folderText);
    c.Command1 = place(new QPushButton(QString::fromUtf8("&Rendben"), this), "Command1",
                       twips::rect(2760, 120, 855, 375));
    c.Command2 = place(new QPushButton(QString::fromUtf8("&Mégse"), this), "Command2",
                       twips::rect(3720, 120, 855, 375));
    c.Label2 = place(new QLabel(QStringLiteral("Nyelv:"), this), "Label2",
                     twips::rect(120, 3000, 2295, 255));
    c.Option1 = place(new QRadioButton(QStringLiteral("Magyar"), this), "Option1",
                      twips::rect(480, 3360, 1335, 375));
    c.Option2 = place(new QRadioButton(QStringLiteral("English"), this), "Option2",
                      twips::rect(480, 3720, 1335, 375));
    c.Option3 = place(new QRadioButton(QStringLiteral("Deutsch"), this), "Option3",
                      twips::rect(480, 4080, 1335, 375));
    c.Label1->setTextFormat(Qt::PlainText);
    c.Label2->setTextFormat(Qt::PlainText);
    c.Option1->setChecked(true);
    c.Option3->setEnabled(false);
    applyAccessibleNames(c, TextTable::forLanguage(codeOf(Language::Hungarian)));

    setTabOrder(c.Dir1, c.Drive1);
    setTabOrder(c.Drive1, c.Text1);
    setTabOrder(c.Text1, c.Command1);
    setTabOrder(c.Command1, c.Command2);
    setTabOrder(c.Command2, c.Option1);
    setTabOrder(c.Option1, c.Option2);
    setTabOrder(c.Option2, c.Option3);
    c.Dir1->setFocus();

    connect(c.Command1, &QPushButton::clicked, this, &Form2::okClicked);
    connect(c.Command2, &QPushButton::clicked, this, &Form2::cancelClicked);
    connect(c.Dir1, &DirectoryList::pathChanged, this, &Form2::showFolder);
    // The drive list follows the folder shown without moving it: no drive change is raised.
    connect(c.Dir1, &DirectoryList::pathChanged, c.Drive1, &DriveList::showDriveOf);
    connect(c.Dir1, &DirectoryList::clicked, this, [this] { showFolder(controls_.Dir1->path()); });
    connect(c.Drive1, &DriveList::driveChanged, this, &Form2::driveChanged);
}

void Form2::addFolderDrives(const QList<FolderDrive> &folderDrives)
{
    for (const FolderDrive &drive : folderDrives)
        controls_.Drive1->addFolderDrive(drive.root, drive.caption);
    // A drive found later may hold the folder shown more closely than the one shown.
    if (controls_.Dir1 && !controls_.Dir1->path().isEmpty())
        controls_.Drive1->showDriveOf(controls_.Dir1->path());
}

void Form2::moveToFolderUnlessChanged(const QString &folderText)
{
    const Form2Controls &c = controls_;
    if (c.Text1->text() != shownFolderText_ || c.Dir1->path() != shownListFolder_)
        return;
    showFolder(folderText);
    startFolderLists(folderText);
}

void Form2::startFolderLists(const QString &folderText)
{
    const QString start = DirectoryList::canList(folderText) ? folderText : QDir::currentPath();
    // Starting the lists is not the user's change: the folder text stays as given.
    const QSignalBlocker blocker(controls_.Dir1);
    controls_.Dir1->setPath(start);
    controls_.Drive1->showDriveOf(controls_.Dir1->path());
    shownFolderText_ = controls_.Text1->text();
    shownListFolder_ = controls_.Dir1->path();
}

void Form2::showFolder(const QString &folder)
{
    PathBox::show(*controls_.Text1, folder);
}

void Form2::driveChanged(const QString &drive)
{
    DriveList *drives = controls_.Drive1;
    if (platform_.isDriveAvailable(drive, drives->isMountPoint(drive))) {
        // Any other failure to list the drive is ignored: the folder list stays put.
        controls_.Dir1->setPath(DriveList::currentFolderOf(drive));
        return;
    }
    // The system drive is not left for itself, which would ask again and again.
    if (drive != DriveList::systemDrive()) {
        platform_.showMessage(this, QString::fromUtf8(fixedtext::deviceUnavailable));
        drives->setDrive(DriveList::systemDrive());
    }
}

void Form2::closeEvent(QCloseEvent *event)
{
    if (!isEnabled()) {
        event->ignore();
        return;
    }
    event->accept();
    emit closeRequested();
}
