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

    static QStringList availableDrives();
    static QString systemDrive();

  signals:
    void driveChanged(const QString &drive);

  private:
    static QString caption(const QString &root);
};
