// SPDX-License-Identifier: GPL-3.0-or-later
#include "forms/DriveList.h"

#include <QDir>
#include <QSignalBlocker>
#include <QStorageInfo>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

DriveList::DriveList(QWidget *parent) : QComboBox(parent)
{
    setObjectName(QStringLiteral("Drive1"));
    setDrives(availableDrives());
    connect(this, &QComboBox::currentIndexChanged, this,
            [this](int) { emit driveChanged(drive()); });
}

QString DriveList::systemDrive()
{
#ifdef Q_OS_WIN
    return QStringLiteral("C:\\");
#else
    return QStringLiteral("/");
#endif
}

QStringList DriveList::availableDrives()
{
    QStringList roots;
#ifdef Q_OS_WIN
    for (const QFileInfo &drive : QDir::drives())
        roots << QDir::toNativeSeparators(drive.absoluteFilePath());
#else
    roots << systemDrive();
    const QStringList userMountPlaces = {"/media/", "/mnt/", "/run/media/", "/home"};
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        const QString root = volume.rootPath();
        const bool onDevice = volume.device().startsWith("/dev/") && !root.startsWith("/boot");
        const bool userPlace =
            std::any_of(userMountPlaces.begin(), userMountPlaces.end(),
                        [&](const QString &place) { return root.startsWith(place); });
        if (volume.isValid() && (onDevice || userPlace) && !roots.contains(root))
            roots << root;
    }
#endif
    return roots;
}

QString DriveList::caption(const QString &root)
{
#ifdef Q_OS_WIN
    const QString letter = root.left(2).toLower();
    const QString name = QStorageInfo(root).name();
    return name.isEmpty() ? letter : QStringLiteral("%1 [%2]").arg(letter, name);
#else
    return root;
#endif
}

namespace {
constexpr int mountPointRole = Qt::UserRole + 1;
}

void DriveList::setDrives(const QStringList &roots)
{
    const QSignalBlocker blocker(this);
    clear();
    for (const QString &root : roots) {
        addItem(caption(root), root);
        setItemData(count() - 1, root != systemDrive(), mountPointRole);
    }
}

void DriveList::addFolderDrive(const QString &root, const QString &caption)
{
    if (findData(root) >= 0)
        return;
    const QSignalBlocker blocker(this);
    addItem(caption, root);
    setItemData(count() - 1, false, mountPointRole);
}

bool DriveList::isMountPoint(const QString &drive) const
{
    const int index = findData(drive);
    return index >= 0 && itemData(index, mountPointRole).toBool();
}

QString DriveList::currentFolderOf(const QString &drive)
{
#ifdef Q_OS_WIN
    // "d:" without a separator names the drive's current folder.
    const std::wstring relative = drive.left(2).toStdWString();
    wchar_t buffer[MAX_PATH];
    const DWORD length = GetFullPathNameW(relative.c_str(), MAX_PATH, buffer, nullptr);
    if (length == 0 || length >= MAX_PATH)
        return drive;
    return QString::fromWCharArray(buffer, int(length));
#else
    return drive;
#endif
}

QString DriveList::drive() const
{
    return currentData().toString();
}

void DriveList::setDrive(const QString &drive)
{
    const int index = findData(drive);
    if (index >= 0)
        setCurrentIndex(index);
}

void DriveList::showDriveOf(const QString &folder)
{
    const QString clean = QDir::cleanPath(QDir::fromNativeSeparators(folder));
    int best = -1;
    qsizetype bestLength = -1;
    for (int i = 0; i < count(); ++i) {
        const QString root = QDir::fromNativeSeparators(itemData(i).toString());
        const bool contains =
            clean.startsWith(root, Qt::CaseInsensitive) &&
            (clean.size() == root.size() || root.endsWith('/') || clean.at(root.size()) == '/');
        if (contains && root.size() > bestLength) {
            best = i;
            bestLength = root.size();
        }
    }
    const QSignalBlocker blocker(this);
    if (best >= 0)
        setCurrentIndex(best);
}
