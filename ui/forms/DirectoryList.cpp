// SPDX-License-Identifier: GPL-3.0-or-later
#include "forms/DirectoryList.h"

#include <QDir>
#include <QHeaderView>
#include <QStyle>

#include <utility>

namespace {

constexpr int pathRole = Qt::UserRole;

QStringList foldersFromRoot(const QString &folder)
{
    QStringList chain;
    QDir dir(folder);
    chain.prepend(dir.absolutePath());
    while (dir.cdUp())
        chain.prepend(dir.absolutePath());
    return chain;
}

QString shownName(const QString &folder)
{
    const QString name = QDir(folder).dirName();
    return name.isEmpty() ? QDir::toNativeSeparators(folder) : name;
}

} // namespace

DirectoryList::DirectoryList(QWidget *parent) : QTreeWidget(parent)
{
    setObjectName(QStringLiteral("Dir1"));
    setHeaderHidden(true);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setIndentation(12);
    setUniformRowHeights(true);
    connect(this, &QTreeWidget::itemClicked, this, [this] { emit clicked(); });
    connect(this, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem *item) { setPath(item->data(0, pathRole).toString()); });
}

bool DirectoryList::canList(const QString &folder)
{
    const QDir dir(QDir::fromNativeSeparators(folder));
    return dir.exists() && dir.isReadable();
}

bool DirectoryList::setPath(const QString &folder)
{
    if (!canList(folder))
        return false;
    const QString native =
        QDir::toNativeSeparators(QDir(QDir::fromNativeSeparators(folder)).absolutePath());
    const bool changed = native != path_;
    path_ = native;
    fillWhenShown();
    if (changed)
        emit pathChanged(path_);
    return true;
}

void DirectoryList::fillWhenShown()
{
    fillPending_ = !isVisible();
    if (!fillPending_)
        fill();
}

void DirectoryList::showEvent(QShowEvent *event)
{
    if (std::exchange(fillPending_, false))
        fill();
    QTreeWidget::showEvent(event);
}

void DirectoryList::fill()
{
    clear();
    const QIcon openIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closedIcon = style()->standardIcon(QStyle::SP_DirClosedIcon);
    QTreeWidgetItem *parentItem = nullptr;
    for (const QString &folder : foldersFromRoot(QDir::fromNativeSeparators(path_))) {
        auto *item = parentItem ? new QTreeWidgetItem(parentItem) : new QTreeWidgetItem(this);
        item->setText(0, shownName(folder));
        item->setIcon(0, openIcon);
        item->setData(0, pathRole, QDir::toNativeSeparators(folder));
        parentItem = item;
    }
    const QDir current(QDir::fromNativeSeparators(path_));
    const QFileInfoList subfolders = current.entryInfoList(
        QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo &subfolder : subfolders) {
        auto *item = new QTreeWidgetItem(parentItem);
        item->setText(0, subfolder.fileName());
        item->setIcon(0, closedIcon);
        item->setData(0, pathRole, QDir::toNativeSeparators(subfolder.absoluteFilePath()));
    }
    expandAll();
    setCurrentItem(parentItem);
    scrollToItem(parentItem);
}
