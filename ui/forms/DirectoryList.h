// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QTreeWidget>

// The directory list: the folders from the root down to the current one, opened, and the
// current one's subfolders below it. A single click only highlights an entry; opening it
// (double click or Enter) makes it the current folder and raises pathChanged.
class DirectoryList : public QTreeWidget
{
    Q_OBJECT

  public:
    explicit DirectoryList(QWidget *parent = nullptr);

    // The current folder, with native separators.
    QString path() const { return path_; }
    // False, and nothing changes, when the folder cannot be listed.
    bool setPath(const QString &folder);

    static bool canList(const QString &folder);

  signals:
    void pathChanged(const QString &path);
    void clicked();

  protected:
    // The folders are always open: no expand or collapse marks.
    void drawBranches(QPainter *, const QRect &, const QModelIndex &) const override {}
    void showEvent(QShowEvent *event) override;

  private:
    // Lists the folders now where the list shows, else when it is first shown: a hidden
    // window's list costs the program's start nothing.
    void fillWhenShown();
    void fill();

    QString path_;
    bool fillPending_ = false;
};
