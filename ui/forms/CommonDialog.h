// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

#include <optional>

class PlatformLayer;
class QWidget;

// The main window's one file-open dialog component: fixed title, filter and initial folder,
// and the file name it keeps from one use to the next.
class CommonDialog : public QObject
{
    Q_OBJECT

  public:
    explicit CommonDialog(QObject *parent = nullptr);

    QString dialogTitle() const { return dialogTitle_; }
    QString filter() const { return filter_; }
    QString fileName() const { return fileName_; }
    // The second entry of the chooser, after the MP3 one: every music format the program
    // reads, under this name; none while it is empty.
    void setMusicFilterName(const QString &name) { musicFilterName_ = name; }

    // Opens the dialog on the filter entry chosen last; the chosen file, which also becomes
    // the kept file name.
    std::optional<QString> showOpen(PlatformLayer &platform, QWidget *parent);

    // "Description|pattern|..." as Qt's "Description (pattern);;...".
    static QString qtNameFilter(const QString &filter);

  private:
    QString dialogTitle_;
    QString filter_;
    QString initDir_;
    QString fileName_;
    QString musicFilterName_;
    // The filter entry the player chose last, by its place: its words follow the language.
    qsizetype filterEntry_ = 0;
};
