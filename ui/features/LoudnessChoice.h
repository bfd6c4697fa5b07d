// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "loudness/LoudnessOptions.h"

#include <QObject>
#include <QString>

namespace core {
struct MusicSet;
}
class QMenu;
struct TextTable;

// Whether Change makes the picks as loud as the game's music: the set menu's two entries,
// kept in a small file of their own beside config.ini. Without a folder (a copy of the
// program handed over) the choice holds for this run only.
class LoudnessChoice : public QObject
{
    Q_OBJECT

  public:
    static constexpr const char *fileName = "loudness.ini";

    explicit LoudnessChoice(QObject *parent = nullptr);

    core::LoudnessOptions options() const { return options_; }
    // Reads the stored choice from folder, where later changes are saved; an empty folder
    // keeps the choice as it is and saves nothing.
    void useFolder(const QString &folder);
    void setOptions(core::LoudnessOptions options);
    // A saved set or a hand-over carries the choice; opening one sets what it carries.
    void recordIn(core::MusicSet &set) const;
    void takeFrom(const core::MusicSet &set);
    // The two checkable entries, showing the choice; the MP3 one only while matching is on.
    void addEntries(QMenu &menu, const TextTable &texts);

  signals:
    void changed();

  private:
    void save() const;

    core::LoudnessOptions options_;
    QString file_;
};
