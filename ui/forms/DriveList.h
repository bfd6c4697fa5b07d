// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QComboBox>
#include <QStringList>

// The drive list: drive letters on Windows; on Linux the mounted file systems a user would
// pick a folder from, the root first. A drive is given by its root folder.
class DriveList : public QComboBox
{
    Q_OBJECT

  public:
    explicit DriveList(QWidget *parent = nullptr);

    QString drive() const;
    // Selects the drive; raises driveChanged when the selection changes.
    void setDrive(const QString &drive);
    // Selects the drive holding the folder, without raising driveChanged.
    void showDriveOf(const QString &folder);
    void setDrives(const QStringList &roots);
    // A drive that is a folder, not a mount point of its own: a Wine prefix's drive c:.
    void addFolderDrive(const QString &root, const QString &caption);
    // True for a drive whose root is a mount point of its own (every drive on Windows).
    bool isMountPoint(const QString &drive) const;

    // The folder the folder list opens for the drive: on Windows the drive's current folder.
    static QString currentFolderOf(const QString &drive);

    static QStringList availableDrives();
    static QString systemDrive();

  signals:
    void driveChanged(const QString &drive);

  private:
    static QString caption(const QString &root);
};
