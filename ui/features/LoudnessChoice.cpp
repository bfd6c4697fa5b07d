// SPDX-License-Identifier: GPL-3.0-or-later
#include "features/LoudnessChoice.h"

#include "TextTable.h"
#include "sets/MusicSet.h"

#include <QAction>
#include <QFileInfo>
#include <QMenu>
#include <QSettings>

namespace {

constexpr auto matchKey = "match";
constexpr auto mp3Key = "mp3";

// Only the words QSettings writes: a hand-edited "off", "no" or anything else is the default,
// where QVariant::toBool would take it for true.
bool storedFlag(const QSettings &stored, const char *key, bool byDefault)
{
    const QString word = stored.value(QLatin1String(key)).toString();
    if (word == QLatin1String("true"))
        return true;
    if (word == QLatin1String("false"))
        return false;
    return byDefault;
}

} // namespace

LoudnessChoice::LoudnessChoice(QObject *parent) : QObject(parent) {}

void LoudnessChoice::useFolder(const QString &folder)
{
    file_ = folder.isEmpty() ? QString() : folder + QLatin1Char('/') + QLatin1String(fileName);
    if (file_.isEmpty())
        return;
    const core::LoudnessOptions defaults;
    options_ = defaults;
    // An INI file of its own: never the registry, and config.ini keeps its one line. Only a
    // file is read: on a pipe there QSettings would wait for ever.
    if (QFileInfo(file_).isFile()) {
        const QSettings stored(file_, QSettings::IniFormat);
        options_.matchLoudness = storedFlag(stored, matchKey, defaults.matchLoudness);
        options_.matchMp3 = storedFlag(stored, mp3Key, defaults.matchMp3);
    }
    emit changed();
}

void LoudnessChoice::setOptions(core::LoudnessOptions options)
{
    if (options.matchLoudness == options_.matchLoudness && options.matchMp3 == options_.matchMp3)
        return;
    options_ = options;
    save();
    emit changed();
}

void LoudnessChoice::recordIn(core::MusicSet &set) const
{
    set.matchLoudness = options_.matchLoudness;
    set.matchMp3 = options_.matchMp3;
}

void LoudnessChoice::takeFrom(const core::MusicSet &set)
{
    setOptions({set.matchLoudness.value_or(options_.matchLoudness),
                set.matchMp3.value_or(options_.matchMp3)});
}

void LoudnessChoice::addEntries(QMenu &menu, const TextTable &texts)
{
    QAction *match = menu.addAction(QString::fromUtf8(texts.matchLoudness));
    match->setCheckable(true);
    match->setChecked(options_.matchLoudness);
    QAction *mp3 = menu.addAction(QString::fromUtf8(texts.matchMp3Loudness));
    mp3->setCheckable(true);
    mp3->setChecked(options_.matchMp3);
    mp3->setEnabled(options_.matchLoudness);
    connect(match, &QAction::toggled, this, [this, mp3](bool on) {
        setOptions({on, options_.matchMp3});
        mp3->setEnabled(on);
    });
    connect(mp3, &QAction::toggled, this, [this](bool on) {
        setOptions({options_.matchLoudness, on});
    });
}

void LoudnessChoice::save() const
{
    // Nor is anything but a file written over: QSettings reads it again first.
    if (file_.isEmpty() || (QFileInfo::exists(file_) && !QFileInfo(file_).isFile()))
        return;
    QSettings stored(file_, QSettings::IniFormat);
    stored.setValue(matchKey, options_.matchLoudness);
    stored.setValue(mp3Key, options_.matchMp3);
}
