// SPDX-License-Identifier: GPL-3.0-or-later
// Form2, the settings window. Each control is the member of Form2Controls of its name and has
// that objectName; the names recur on the main window for other controls.
//
//   Control    What it is
//   Label1     the prompt above the folder box
//   Text1      the folder box: the game music folder that OK stores
//   Dir1       the folder list: the folder opened in it goes into Text1
//   Drive1     the drive list: moves Dir1 to the drive chosen
//   Command1   OK: stores the settings, applies the language, returns to the main window
//   Command2   Cancel: returns without storing; at a first start, ends the program
//   Label2     "Language:", above the options
//   Option1    Magyar: Hungarian
//   Option2    English
//   Option3    Deutsch: never enabled
#pragma once

#include <QWidget>

class DirectoryList;
class DriveList;
class PlatformLayer;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

struct Form2Controls
{
    QLabel *Label1 = nullptr;
    DirectoryList *Dir1 = nullptr;
    DriveList *Drive1 = nullptr;
    QLineEdit *Text1 = nullptr;
    QPushButton *Command1 = nullptr; // OK
    QPushButton *Command2 = nullptr; // Cancel
    QLabel *Label2 = nullptr;
    QRadioButton *Option1 = nullptr; // Magyar
    QRadioButton *Option2 = nullptr; // English
    QRadioButton *Option3 = nullptr; // Deutsch, never enabled
};

// The settings window: the game music folder and the interface language. What OK, Cancel
// and closing do to the other windows belongs to the window protocol.
class Form2 : public QWidget
{
    Q_OBJECT

  public:
    // A drive the drive list offers beyond the system's: its root and its caption.
    struct FolderDrive
    {
        QString root;
        QString caption;
    };

    // Shows the folder text; the folder lists start there when it exists.
    Form2(PlatformLayer &platform, const QString &folderText,
          const QList<FolderDrive> &folderDrives = {}, QWidget *parent = nullptr);

    const Form2Controls &controls() const { return controls_; }
    void addFolderDrives(const QList<FolderDrive> &folderDrives);
    // Shows another folder, as at creation, unless the player has changed the folder text or
    // the lists since.
    void moveToFolderUnlessChanged(const QString &folderText);

  signals:
    void okClicked();
    void cancelClicked();
    // The user closes the window; it is destroyed afterwards.
    void closeRequested();

  protected:
    void closeEvent(QCloseEvent *event) override;

  private:
    void createControls(const QString &folderText, const QList<FolderDrive> &folderDrives);
    void startFolderLists(const QString &folderText);
    void showFolder(const QString &folder);
    void driveChanged(const QString &drive);

    PlatformLayer &platform_;
    Form2Controls controls_;
    QString shownFolderText_;
    QString shownListFolder_;
};
